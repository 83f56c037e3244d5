// Expansion of a compressed input (144-byte header, then a zlib stream).
#pragma once

#include "driver/file.h"

namespace qv {

// Appends the expanded payload of the compressed input `in` to `out`.
// Returns 0 or a negative code (-62, -99, -115, -128, -148, -155). Neither
// stream is opened or closed here; the payload is read at its offsets, so the
// input stream stays where its header ended.
int deWpb(File &in, File &out);

} // namespace qv
