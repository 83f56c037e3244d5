#include "e2p/access.h"

#include "entry/context.h"
#include "flash/geometry.h"

#include <cstring>

namespace qv {
namespace {

// True when logical bytes [x, x + n) lie inside the area and the image.
bool inRange(uint32_t x, uint32_t n, bool checkArea) {
    const State &s = state();
    if (!s.e2pImage) return false;
    if (checkArea && uint64_t(x) + n > s.e2pAreaSize) return false;
    if (n == 0) return true;
    return e2pImageOffset(uint32_t(uint64_t(x) + n - 1)) < s.e2pImageSize;
}

// Copies n logical bytes at x between `buf` and the image, slot by slot.
template <bool kToImage> void transfer(uint32_t x, uint32_t n, uint8_t *buf) {
    uint8_t *image = state().e2pImage;
    if (!fms_IsInterleaved()) {
        if (kToImage) std::memcpy(image + x, buf, n);
        else std::memcpy(buf, image + x, n);
        return;
    }
    uint64_t p = e2pImageOffset(x);
    uint32_t b = x & 0xF;
    while (n > 0) {
        uint32_t chunk = 16 - b < n ? 16 - b : n;
        if (kToImage) std::memcpy(image + p, buf, chunk);
        else std::memcpy(buf, image + p, chunk);
        buf += chunk;
        n -= chunk;
        p += 32 - b;
        b = 0;
    }
}

} // namespace

uint64_t e2pImageOffset(uint32_t x) {
    if (!fms_IsInterleaved()) return x;
    return uint64_t(x / 16) * 32 + (x & 0xF);
}

bool fms_E2pSetImage(uint8_t *image, uint32_t size) {
    if (!image) return false;
    state().e2pImage = image;
    state().e2pImageSize = size;
    return true;
}

void fms_E2pClearImage() {
    state().e2pImage = nullptr;
    state().e2pImageSize = 0;
}

int fms_E2pRead(uint32_t x, uint32_t n, void *dst) {
    if (!inRange(x, n, true)) return -85;
    transfer<false>(x, n, static_cast<uint8_t *>(dst));
    return 0;
}

int fms_E2pWrite(uint32_t x, uint32_t n, const void *src) {
    if (!inRange(x, n, true)) return -104;
    transfer<true>(x, n, static_cast<uint8_t *>(const_cast<void *>(src)));
    return 0;
}

void fms_E2pSetEndMark(uint32_t areaImageBytes) {
    uint32_t logical = fms_IsInterleaved() ? areaImageBytes / 2 : areaImageBytes;
    static const uint8_t kEndMark[2] = {0xFF, 0x7F};
    if (logical < 2 || !inRange(logical - 2, 2, false)) return;
    transfer<true>(logical - 2, 2, const_cast<uint8_t *>(kEndMark));
}

} // namespace qv
