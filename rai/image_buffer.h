// The RAI image file's contents while the merge builds them (RaiImage in
// entry/context.h): positioned writes and reads with the semantics of a C
// stream on a file (a write past the end leaves a zero-filled gap, a read
// past the end returns only the bytes that exist), pages written out to the
// attached file as the merge moves on, and the write-out of the rest in large
// blocks when the merge ends.
#pragma once

#include "base/file.h"
#include "rai/rai_state.h"

#include <cstdint>

namespace qv {

// Writes n bytes of 0xFF from file position 0; an attached file sets aside
// room for them.
void imageFill(RaiImage &img, uint64_t n);
// Writes n bytes at file position `pos`, extending the file as needed.
void imageWriteAt(RaiImage &img, uint64_t pos, const void *src, uint64_t n);
// Reads up to n bytes at `pos`; returns how many exist there. Bytes of `dst`
// past that number keep their contents. A page written out is read back.
uint64_t imageReadAt(RaiImage &img, uint64_t pos, void *dst, uint64_t n);

// Lets the image write pages out to `file` (opened for update, empty) at
// their places, keeping only the most recently used ones in memory. A page
// that fails to go out stays in memory, and so does every page after it;
// the file records the failure.
void imageAttach(RaiImage &img, File &file);
// Forgets the attached file. The image's contents live in that file from
// then on: the image is left empty.
void imageDetach(RaiImage &img);
// Writes the bytes of the file that are not in `out` yet at their places.
// False when a write failed or a written-out page could not be read back.
// With a file attached, `out` is that file.
bool imageSave(RaiImage &img, File &out);

} // namespace qv
