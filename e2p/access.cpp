#include "e2p/access.h"

#include "flash/geometry.h"

#include <cstring>

namespace qv {
namespace {

// True when logical bytes [x, x + n) lie inside the area and the image.
bool inRange(E2pState &e2p, uint32_t x, uint32_t n, bool checkArea) {
    if (!e2p.e2pImage) return false;
    if (checkArea && uint64_t(x) + n > e2p.e2pAreaSize) return false;
    if (n == 0) return true;
    return e2pImageOffset(e2p.flash, uint32_t(uint64_t(x) + n - 1)) < e2p.e2pImageSize;
}

// Copies n logical bytes at x between `buf` and the image, slot by slot.
template <bool kToImage> void transfer(E2pState &e2p, uint32_t x, uint32_t n, uint8_t *buf) {
    uint8_t *image = e2p.e2pImage;
    if (!fms_IsInterleaved(e2p.flash)) {
        if (kToImage) std::memcpy(image + x, buf, n);
        else std::memcpy(buf, image + x, n);
        return;
    }
    uint64_t p = e2pImageOffset(e2p.flash, x);
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

uint64_t e2pImageOffset(const FlashState &flash, uint32_t x) {
    if (!fms_IsInterleaved(flash)) return x;
    return uint64_t(x / 16) * 32 + (x & 0xF);
}

bool fms_E2pSetImage(E2pState &e2p, uint8_t *image, uint32_t size) {
    if (!image) return false;
    e2p.e2pImage = image;
    e2p.e2pImageSize = size;
    return true;
}

void fms_E2pClearImage(E2pState &e2p) {
    e2p.e2pImage = nullptr;
    e2p.e2pImageSize = 0;
}

int fms_E2pRead(E2pState &e2p, uint32_t x, uint32_t n, void *dst) {
    if (!inRange(e2p, x, n, true)) return kE2pReadRefused;
    transfer<false>(e2p, x, n, static_cast<uint8_t *>(dst));
    return 0;
}

int fms_E2pWrite(E2pState &e2p, uint32_t x, uint32_t n, const void *src) {
    if (!inRange(e2p, x, n, true)) return kE2pWriteRefused;
    transfer<true>(e2p, x, n, static_cast<uint8_t *>(const_cast<void *>(src)));
    return 0;
}

void fms_E2pSetEndMark(E2pState &e2p, uint32_t areaImageBytes) {
    uint32_t logical = fms_IsInterleaved(e2p.flash) ? areaImageBytes / 2 : areaImageBytes;
    static const uint8_t kEndMark[2] = {0xFF, 0x7F};
    if (logical < 2 || !inRange(e2p, logical - 2, 2, false)) return;
    transfer<true>(e2p, logical - 2, 2, const_cast<uint8_t *>(kEndMark));
}

} // namespace qv
