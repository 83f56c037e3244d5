// SHA-256 digests of the files and buffers a release report lists, as 64
// lower-case hex digits (through the system's own provider, base/sha256.h).
#pragma once

#include "base/sha256.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qvcli {

std::string sha256Hex(const uint8_t *data, size_t size);
// The digest of everything `digest` was given; empty after a failure.
std::string hexDigest(qv::Sha256 &digest);
// The digest of a whole file, read in blocks; nothing when it cannot be read.
std::optional<std::string> sha256OfFile(const std::string &path);

} // namespace qvcli
