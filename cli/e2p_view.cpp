#include "cli/e2p_view.h"

#include <algorithm>

namespace qvcli {
namespace {

uint64_t mapped(bool interleaved, uint64_t x) { return interleaved ? (x / 16) * 32 + x % 16 : x; }

} // namespace

bool E2pView::read(uint64_t x, uint32_t n, uint8_t *dst) const {
    if (x + n > image_.size()) return false;
    if (n > 0 && mapped(interleaved_, x + n - 1) >= image_.size()) return false;
    for (uint32_t i = 0; i < n; ++i) dst[i] = image_[size_t(mapped(interleaved_, x + i))];
    return true;
}

bool E2pView::word(uint64_t x, uint16_t &v) const {
    uint8_t b[2];
    if (!read(x, 2, b)) return false;
    v = le16(b);
    return true;
}

bool E2pView::erased() const {
    return !image_.empty() && std::all_of(image_.begin(), image_.end(), [](uint8_t b) { return b == 0xFF; });
}

bool e2pWrite(Bytes &image, bool interleaved, uint64_t limit, uint64_t x, const uint8_t *src, uint32_t n) {
    if (x + n > limit) return false;
    if (n > 0 && mapped(interleaved, x + n - 1) >= image.size()) return false;
    for (uint32_t i = 0; i < n; ++i) image[size_t(mapped(interleaved, x + i))] = src[i];
    return true;
}

} // namespace qvcli
