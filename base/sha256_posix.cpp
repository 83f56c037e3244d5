#include "base/sha256.h"

#include <openssl/evp.h>

namespace qv {

struct Sha256::State {
    struct Free {
        void operator()(EVP_MD_CTX *c) const { EVP_MD_CTX_free(c); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> context{EVP_MD_CTX_new()};
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    if (state_->context && EVP_DigestInit_ex(state_->context.get(), EVP_sha256(), nullptr) != 1)
        state_->context.reset();
}

Sha256::~Sha256() = default;

bool Sha256::update(const void *data, size_t n) {
    if (state_->context && EVP_DigestUpdate(state_->context.get(), data, n) != 1) state_->context.reset();
    return state_->context != nullptr;
}

std::optional<Sha256::Digest> Sha256::finish() {
    Digest d{};
    unsigned int n = 0;
    if (!state_->context || EVP_DigestFinal_ex(state_->context.get(), d.data(), &n) != 1 || n != d.size())
        return std::nullopt;
    return d;
}

} // namespace qv
