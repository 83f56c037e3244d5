// The RAI image file's contents while the merge builds them (RaiImage in
// driver/state.h): positioned writes and reads with the semantics of a C
// stream on a file (a write past the end leaves a zero-filled gap, a read
// past the end returns only the bytes that exist), and the write-out of the
// whole file in large blocks when the merge ends.
#pragma once

#include "driver/file.h"
#include "driver/state.h"

#include <cstdint>

namespace qv {

// Writes n bytes of 0xFF from file position 0.
void imageFill(RaiImage &img, uint64_t n);
// Writes n bytes at file position `pos`, extending the file as needed.
void imageWriteAt(RaiImage &img, uint64_t pos, const void *src, uint64_t n);
// Reads up to n bytes at `pos`; returns how many exist there. Bytes of `dst`
// past that number keep their contents.
uint64_t imageReadAt(const RaiImage &img, uint64_t pos, void *dst, uint64_t n);
// Writes the whole file to `out` from its current position. False when a
// write failed.
bool imageSave(const RaiImage &img, File &out);

} // namespace qv
