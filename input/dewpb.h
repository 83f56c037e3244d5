// Expansion of a compressed input (144-byte header, then a zlib stream).
#pragma once

#include "base/file.h"
#include "base/io.h"
#include "base/results.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qv {

// Where the expanded bytes go: called with each block the expansion makes,
// returns how many of them it took (fewer: the write failed).
using ExpandedSink = std::function<size_t(const uint8_t *, size_t)>;

inline constexpr uint64_t kNoExpansionLimit = UINT64_MAX;

// Hands the expanded payload of the compressed input `in` to `out`, block by
// block, logging each step to the call's log. Results as below; an
// expansion that would give more than `limit` bytes hands on the first
// `limit` of them and stops with kWpbPastLimit.
int deWpb(Io &io, File &in, const ExpandedSink &out, uint64_t limit = kNoExpansionLimit);

// Appends the expanded payload of the compressed input `in` to `out`.
// Returns 0 or a negative code (-62, -99, -115, -128, -148, -155, or the
// cancel code when the host cancelled the call between two blocks). Neither
// stream is opened or closed here; the payload is read at its offsets, so the
// input stream stays where its header ended.
int deWpb(Io &io, File &in, File &out, uint64_t limit = kNoExpansionLimit);

} // namespace qv
