// Copying a stretch of an input file into the code image block by block, so
// that a record's data never has to be held in memory whole.
#pragma once

#include "base/call_control.h"
#include "base/file.h"

#include <cstdint>

namespace qv {

// Copies `n` bytes of `in` from offset `at` onto `out` at its position.
// False when `in` ends or fails before `n` bytes were read, a write fell
// short (then `out.failed()` is set), or the host cancelled the call between
// two blocks.
bool copyRange(CallControl &call, File &in, int64_t at, uint64_t n, File &out);

} // namespace qv
