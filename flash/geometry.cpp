#include "flash/geometry.h"

#include "flash/flash_state.h"

namespace qv {
namespace {

constexpr uint32_t kBankMask = 0xFC000000; // a bank is the 64 MB window of an address
constexpr unsigned kMaxRegions = 4;

uint32_t bankBase(uint32_t address) { return address & kBankMask; }

// First address past the flash for the bank of `address`, without 32-bit wrap.
uint64_t flashEnd(const FlashState &flash, uint32_t address) {
    return uint64_t(bankBase(address)) + flashBytes(fms_FlashInfo(flash).sizeIn64KB());
}

// Shift of the region holding `address`, or -1.
int shiftAt(const FlashState &flash, uint32_t address) {
    int k = fms_FindRegion(flash, address);
    return k < 0 ? -1 : int(fms_FlashInfo(flash).regionShift(unsigned(k)));
}

} // namespace

bool fms_SetFlashInfo(FlashState &flash, const void *flashInfo) {
    if (!flashInfo) return false;
    flash.flashInfo = static_cast<const uint8_t *>(flashInfo);
    return true;
}

bool fms_HasFlashInfo(const FlashState &flash) { return flash.flashInfo != nullptr; }

FlashInfo fms_FlashInfo(const FlashState &flash) { return FlashInfo(flash.flashInfo); }

bool fms_IsInterleaved(const FlashState &flash) {
    return fms_HasFlashInfo(flash) && (fms_FlashInfo(flash).flags() & 1) != 0;
}

bool fms_GeometryValid(const FlashState &flash) {
    if (!fms_HasFlashInfo(flash)) return false;
    FlashInfo fi = fms_FlashInfo(flash);
    if (fi.regionCount() < 1 || fi.regionCount() > kMaxRegions) return false;
    for (unsigned k = 0; k < fi.regionCount(); ++k)
        if (fi.regionShift(k) >= 32) return false;
    return true;
}

uint32_t fms_GetRegionCount(const FlashState &flash) {
    return fms_HasFlashInfo(flash) ? fms_FlashInfo(flash).regionCount() : 0;
}

uint32_t fms_GetRegionSectorSize(const FlashState &flash, uint32_t k) {
    if (!fms_GeometryValid(flash) || k >= fms_GetRegionCount(flash)) return 0;
    return uint32_t(1) << fms_FlashInfo(flash).regionShift(k);
}

uint32_t fms_GetRegionSectorCount(const FlashState &flash, uint32_t k) {
    if (!fms_GeometryValid(flash) || k >= fms_GetRegionCount(flash)) return 0;
    return fms_FlashInfo(flash).regionCountOfSectors(k);
}

int fms_FindRegion(const FlashState &flash, uint32_t address, uint32_t *flashSize) {
    if (!fms_HasFlashInfo(flash)) return -1;
    FlashInfo fi = fms_FlashInfo(flash);
    if (flashSize) *flashSize = uint32_t(flashBytes(fi.sizeIn64KB()));
    if (!fms_GeometryValid(flash)) return -1;
    uint64_t end = bankBase(address);
    for (unsigned k = 0; k < fi.regionCount(); ++k) {
        end += uint64_t(fi.regionCountOfSectors(k)) << fi.regionShift(k);
        if (address < end) return int(k);
    }
    return -1;
}

int32_t fms_GetSectorStart(const FlashState &flash, uint32_t address) {
    int s = shiftAt(flash, address);
    if (s < 0) return kNoSectorStart;
    return int32_t(uint32_t(uint64_t(address) >> s << s));
}

int32_t fms_GetPrevSectorStart(const FlashState &flash, uint32_t address) {
    int s = shiftAt(flash, address);
    if (s < 0) return kNoSectorStart;
    uint64_t q = uint64_t(address) >> s;
    if (q == 0) return kNoSectorStart;
    uint64_t r = (q - 1) << s;
    // The sector below must lie in the same bank: the lowest sector of any
    // bank has none below it.
    if (r >= flashEnd(flash, address) || bankBase(uint32_t(r)) != bankBase(address)) return kNoSectorStart;
    return int32_t(uint32_t(r));
}

int32_t fms_GetNextSectorStart(const FlashState &flash, uint32_t address) {
    int s = shiftAt(flash, address);
    if (s < 0) return kNoSectorStart;
    uint64_t r = ((uint64_t(address) >> s) + 1) << s;
    if (r >= flashEnd(flash, address) || r > UINT32_MAX) return kNoSectorStart;
    return int32_t(uint32_t(r));
}

int32_t fms_GetSectorSize(const FlashState &flash, uint32_t address) {
    int s = shiftAt(flash, address);
    if (s < 0) return kNoSectorStart;
    return int32_t(uint32_t(1) << s);
}

int32_t fms_GetSectorCount(const FlashState &flash, uint32_t address, uint32_t length) {
    // Addresses are compared and tested as signed 32-bit values, as the
    // partition map has always done.
    const int32_t end = int32_t(address + length);
    int32_t c = int32_t(address);
    int32_t n = 0;
    while (c < end) {
        c = fms_GetNextSectorStart(flash, uint32_t(c));
        if (c < 0) return -1;
        ++n;
    }
    return n;
}

int32_t fms_GoBackSectors(const FlashState &flash, uint32_t address, uint32_t n) {
    uint32_t a = address;
    for (uint32_t i = 0; i < n; ++i) {
        int32_t r = fms_GetSectorStart(flash, a - 1);
        if (r < 0) return -1;
        a = uint32_t(r);
    }
    return int32_t(a);
}

uint32_t flashBankBase(const FlashState &flash) { return bankBase(fms_FlashInfo(flash).baseAddress()); }

uint64_t flashBankEnd(const FlashState &flash) { return flashEnd(flash, fms_FlashInfo(flash).baseAddress()); }

std::vector<RegionRange> regionRanges(const FlashState &flash) {
    std::vector<RegionRange> out;
    if (!fms_GeometryValid(flash)) return out;
    uint64_t at = flashBankBase(flash);
    for (uint32_t k = 0; k < fms_GetRegionCount(flash); ++k) {
        RegionRange r;
        r.start = at;
        r.sectorSize = fms_GetRegionSectorSize(flash, k);
        r.count = uint16_t(fms_GetRegionSectorCount(flash, k));
        at += uint64_t(r.count) * r.sectorSize;
        r.end = at;
        out.push_back(r);
    }
    return out;
}

} // namespace qv
