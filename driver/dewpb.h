// Expansion of a compressed input (144-byte header, then a zlib stream).
#pragma once

#include "driver/file.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qv {

// Where the expanded bytes go: called with each block the expansion makes,
// returns how many of them it took (fewer: the write failed).
using ExpandedSink = std::function<size_t(const uint8_t *, size_t)>;

// Hands the expanded payload of the compressed input `in` to `out`, block by
// block. Results as below.
int deWpb(File &in, const ExpandedSink &out);

// Appends the expanded payload of the compressed input `in` to `out`.
// Returns 0 or a negative code (-62, -99, -115, -128, -148, -155, or the
// cancel code when the host cancelled the call between two blocks). Neither
// stream is opened or closed here; the payload is read at its offsets, so the
// input stream stays where its header ended.
int deWpb(File &in, File &out);

} // namespace qv
