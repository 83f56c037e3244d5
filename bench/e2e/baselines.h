// The physical baselines each merge is measured against: a plain zlib
// inflate of a compressed input's stream into a file, and a sequential write
// of a given number of bytes. (The third, cp, is the command itself.)
#pragma once

#include <cstdint>
#include <string>

namespace qvbench {

// Inflates the zlib stream that starts at offset 144 of `wpbPath` into a new
// file `outPath`, with large buffers and nothing else. Returns the number of
// bytes written, or -1 on any failure.
int64_t inflateToFile(const std::string &wpbPath, const std::string &outPath);

// Writes `bytes` bytes of 0xFF to a new file `path` in 256 KiB blocks. Returns
// 0, or -1 on any failure.
int writeSequential(const std::string &path, uint64_t bytes);

} // namespace qvbench
