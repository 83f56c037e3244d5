// SHA-256 through the system's own provider: OpenSSL's libcrypto on Linux,
// the CNG provider (bcrypt) on Windows. Built as a library of its own,
// quorvel_sha256, that only the command's release report links: the merge
// library does not depend on a crypto library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace qv {

class Sha256 {
public:
    using Digest = std::array<uint8_t, 32>;

    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    // False once the provider failed (from the start when it has no SHA-256).
    bool update(const void *data, size_t n);
    // The digest of everything given; nothing after a failure.
    std::optional<Digest> finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace qv
