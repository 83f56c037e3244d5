#include "base/sha256.h"

#include <windows.h>

#include <bcrypt.h>

namespace qv {

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = false;
    ~State() {
        if (hash) BCryptDestroyHash(hash);
        if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    State &s = *state_;
    s.ok = BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&s.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
           BCRYPT_SUCCESS(BCryptCreateHash(s.algorithm, &s.hash, nullptr, 0, nullptr, 0, 0));
}

Sha256::~Sha256() = default;

bool Sha256::update(const void *data, size_t n) {
    State &s = *state_;
    auto *bytes = static_cast<PUCHAR>(const_cast<void *>(data));
    while (s.ok && n > 0) { // ULONG lengths: 1 GiB at a time
        const ULONG part = ULONG(n < (size_t(1) << 30) ? n : (size_t(1) << 30));
        s.ok = BCRYPT_SUCCESS(BCryptHashData(s.hash, bytes, part, 0));
        bytes += part;
        n -= part;
    }
    return s.ok;
}

std::optional<Sha256::Digest> Sha256::finish() {
    Digest d{};
    if (!state_->ok || !BCRYPT_SUCCESS(BCryptFinishHash(state_->hash, d.data(), ULONG(d.size()), 0)))
        return std::nullopt;
    state_->ok = false;
    return d;
}

} // namespace qv
