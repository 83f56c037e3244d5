#include "flash/geometry.h"

#include "entry/context.h"

namespace qv {
namespace {

constexpr uint32_t kBankMask = 0xFC000000; // a bank is the 64 MB window of an address
constexpr unsigned kMaxRegions = 4;

uint32_t bankBase(uint32_t address) { return address & kBankMask; }

// First address past the flash for the bank of `address`, without 32-bit wrap.
uint64_t flashEnd(uint32_t address) {
    return uint64_t(bankBase(address)) + (uint64_t(fms_FlashInfo().sizeIn64KB()) << 16);
}

// Shift of the region holding `address`, or -1.
int shiftAt(uint32_t address) {
    int k = fms_FindRegion(address);
    return k < 0 ? -1 : int(fms_FlashInfo().regionShift(unsigned(k)));
}

} // namespace

bool fms_SetFlashInfo(const void *flashInfo) {
    if (!flashInfo) return false;
    state().flashInfo = static_cast<const uint8_t *>(flashInfo);
    return true;
}

bool fms_HasFlashInfo() { return state().flashInfo != nullptr; }

FlashInfo fms_FlashInfo() { return FlashInfo(state().flashInfo); }

bool fms_IsInterleaved() { return fms_HasFlashInfo() && (fms_FlashInfo().flags() & 1) != 0; }

bool fms_GeometryValid() {
    if (!fms_HasFlashInfo()) return false;
    FlashInfo fi = fms_FlashInfo();
    if (fi.regionCount() < 1 || fi.regionCount() > kMaxRegions) return false;
    for (unsigned k = 0; k < fi.regionCount(); ++k)
        if (fi.regionShift(k) >= 32) return false;
    return true;
}

uint32_t fms_GetRegionCount() { return fms_HasFlashInfo() ? fms_FlashInfo().regionCount() : 0; }

uint32_t fms_GetRegionSectorSize(uint32_t k) {
    if (!fms_GeometryValid() || k >= fms_GetRegionCount()) return 0;
    return uint32_t(1) << fms_FlashInfo().regionShift(k);
}

uint32_t fms_GetRegionSectorCount(uint32_t k) {
    if (!fms_GeometryValid() || k >= fms_GetRegionCount()) return 0;
    return fms_FlashInfo().regionCountOfSectors(k);
}

int fms_FindRegion(uint32_t address, uint32_t *flashSize) {
    if (!fms_HasFlashInfo()) return -1;
    FlashInfo fi = fms_FlashInfo();
    if (flashSize) *flashSize = uint32_t(fi.sizeIn64KB()) << 16;
    if (!fms_GeometryValid()) return -1;
    uint64_t end = bankBase(address);
    for (unsigned k = 0; k < fi.regionCount(); ++k) {
        end += uint64_t(fi.regionCountOfSectors(k)) << fi.regionShift(k);
        if (address < end) return int(k);
    }
    return -1;
}

int32_t fms_GetSectorStart(uint32_t address) {
    int s = shiftAt(address);
    if (s < 0) return kNoSectorStart;
    return int32_t(uint32_t(uint64_t(address) >> s << s));
}

int32_t fms_GetPrevSectorStart(uint32_t address) {
    int s = shiftAt(address);
    if (s < 0) return kNoSectorStart;
    uint64_t q = uint64_t(address) >> s;
    if (q == 0) return kNoSectorStart;
    uint64_t r = (q - 1) << s;
    // The sector below must lie in the same bank: the lowest sector of any
    // bank has none below it.
    if (r >= flashEnd(address) || bankBase(uint32_t(r)) != bankBase(address)) return kNoSectorStart;
    return int32_t(uint32_t(r));
}

int32_t fms_GetNextSectorStart(uint32_t address) {
    int s = shiftAt(address);
    if (s < 0) return kNoSectorStart;
    uint64_t r = ((uint64_t(address) >> s) + 1) << s;
    if (r >= flashEnd(address) || r > UINT32_MAX) return kNoSectorStart;
    return int32_t(uint32_t(r));
}

int32_t fms_GetSectorSize(uint32_t address) {
    int s = shiftAt(address);
    if (s < 0) return kNoSectorStart;
    return int32_t(uint32_t(1) << s);
}

int32_t fms_GetSectorCount(uint32_t address, uint32_t length) {
    // Addresses are compared and tested as signed 32-bit values, as the
    // partition map has always done.
    const int32_t end = int32_t(address + length);
    int32_t c = int32_t(address);
    int32_t n = 0;
    while (c < end) {
        c = fms_GetNextSectorStart(uint32_t(c));
        if (c < 0) return -1;
        ++n;
    }
    return n;
}

int32_t fms_GoBackSectors(uint32_t address, uint32_t n) {
    uint32_t a = address;
    for (uint32_t i = 0; i < n; ++i) {
        int32_t r = fms_GetSectorStart(a - 1);
        if (r < 0) return -1;
        a = uint32_t(r);
    }
    return int32_t(a);
}

} // namespace qv
