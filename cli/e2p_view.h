// Logical reads of an E2P image held in memory: flat, or interleaved (every
// 16 data bytes in the first half of a 32-byte slot). The area size is the
// image's size, as in a merge; a read that passes it, or the image's end,
// is refused.
#pragma once

#include "cli/io.h"

#include <cstdint>

namespace qvcli {

class E2pView {
public:
    E2pView(const Bytes &image, bool interleaved) : image_(image), interleaved_(interleaved) {}

    bool interleaved() const { return interleaved_; }
    uint32_t imageSize() const { return uint32_t(image_.size()); }
    // Logical bytes the image holds: half its size when interleaved.
    uint32_t logicalSize() const { return interleaved_ ? imageSize() / 2 : imageSize(); }
    // Image offset of logical address x.
    uint64_t offsetOf(uint64_t x) const { return interleaved_ ? (x / 16) * 32 + x % 16 : x; }

    bool read(uint64_t x, uint32_t n, uint8_t *dst) const;
    bool byte(uint64_t x, uint8_t &v) const { return read(x, 1, &v); }
    bool word(uint64_t x, uint16_t &v) const;
    // True when the image holds bytes and every one of them is 0xFF.
    bool erased() const;

private:
    const Bytes &image_;
    bool interleaved_;
};

// Writes through the same mapping into a content image; false (nothing
// written) when the range passes `limit` logical bytes or the image's end.
bool e2pWrite(Bytes &image, bool interleaved, uint64_t limit, uint64_t x, const uint8_t *src, uint32_t n);

} // namespace qvcli
