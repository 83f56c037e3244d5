// The code section of the code image: the code file past its 16-byte header,
// copied block by block, and the XOR checksum of its 32-bit words.
#pragma once

#include "base/call_control.h"
#include "base/file.h"

#include <cstddef>
#include <cstdint>

namespace qv {

inline constexpr size_t kCodeBlockSize = 131072;
inline constexpr int64_t kCodeHeaderSize = 16;

// `seed` XOR-ed with `count` consecutive little-endian 32-bit words at `words`.
uint32_t xor_words(uint32_t seed, const void *words, uint32_t count);

// Copies `in` from offset 16 to its end onto `out` in 131072-byte blocks and
// stores the XOR of the section's whole words (1 to 3 trailing bytes are
// copied but not summed). Returns 0, -34 when `in` cannot be positioned,
// -41 when a block is not written completely, or the cancel code when the
// host cancelled the call between two blocks (checksum then untouched).
// A section longer than `limit` bytes is refused: kErrCodeTooLarge, before
// anything is copied, when the file's length shows it; kErrCodeGrewPastFlash,
// before the block that would pass `limit` is written, when the file grows or
// reports no length (a device, a pipe).
int gen_code(CallControl &call, File &in, File &out, uint32_t &checksum, uint64_t limit = UINT64_MAX);

} // namespace qv
