#include "rai/image_io.h"

#include "rai/rai_state.h"
#include "flash/geometry.h"
#include "rai/image_buffer.h"

namespace qv {
namespace {

bool legal(RaiState &rai, uint32_t address) {
    const RaiImage &img = rai.image;
    return address >= img.base && address < img.end;
}

void moveBytes(RaiImage &img, uint64_t pos, uint8_t *buf, uint64_t n, bool toImage) {
    if (toImage) imageWriteAt(img, pos, buf, n);
    else imageReadAt(img, pos, buf, n);
}

// Carries out one access at offset o: in one piece in the plain layout, and
// 16-byte chunk by chunk in the interleaved one.
void access(RaiState &rai, uint32_t offset, uint32_t count, uint8_t *buf, bool toImage) {
    RaiImage &img = rai.image;
    if (!fms_IsInterleaved(rai.flash)) {
        moveBytes(img, offset, buf, count, toImage);
        return;
    }
    // n runs signed: a first piece shorter than its chunk ends the access.
    int64_t n = count;
    uint64_t done = 0;
    uint64_t p = imagePosition(rai.flash, offset);
    uint32_t low = offset & 0xF;
    if (low != 0) {
        moveBytes(img, p, buf, n < 16 - low ? uint64_t(n) : 16 - low, toImage);
        done += 16 - low;
        n -= 16 - low;
        p += 32 - low;
    }
    while (n > 0) {
        moveBytes(img, p, buf + done, n < 16 ? uint64_t(n) : 16, toImage);
        done += 16;
        p += 32;
        n -= 16;
    }
}

} // namespace

void fms_SetImageWindow(RaiState &rai, uint32_t base, uint32_t end) {
    rai.image.base = base;
    rai.image.end = end;
}

bool imageWindowHolds(RaiState &rai, uint32_t address) { return legal(rai, address); }

uint64_t imagePosition(const FlashState &flash, uint32_t offset) {
    if (!fms_IsInterleaved(flash)) return offset;
    return uint64_t(offset >> 4) * 32 + (offset & 0xF);
}

int fms_Write(RaiState &rai, uint32_t address, uint32_t n, const void *src) {
    if (!legal(rai, address)) {
        logf(rai.io.log, "fms_Write", "illegal address: 0x%x", address);
        return kIllegalWriteAddress;
    }
    access(rai, address - rai.image.base, n, static_cast<uint8_t *>(const_cast<void *>(src)), true);
    return 0;
}

int fms_Read(RaiState &rai, uint32_t address, uint32_t n, void *dst) {
    if (!legal(rai, address)) {
        logf(rai.io.log, "fms_Read", "illegal address: 0x%x", address);
        return kIllegalReadAddress;
    }
    access(rai, address - rai.image.base, n, static_cast<uint8_t *>(dst), false);
    return 0;
}

} // namespace qv
