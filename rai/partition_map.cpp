#include "rai/partition_map.h"

#include "entry/context.h"
#include "e2p/access.h"
#include "flash/geometry.h"

namespace qv {
namespace {

constexpr const char *kName = "fms_MapOutMemoryExt";
constexpr unsigned kMaxRegions = 4;

// The region table must be walkable before any sector question is asked.
int checkRegions() {
    FlashInfo fi = fms_FlashInfo();
    unsigned count = fi.regionCount();
    if (count < 1 || count > kMaxRegions) {
        logf(kName, "regionCount = %u is outside 1..%u", count, kMaxRegions);
        return kMapBadRegionCount;
    }
    for (unsigned k = 0; k < count; ++k) {
        if (fi.regionShift(k) >= 32) {
            logf(kName, "region %u sector shift = %u is 32 or more", k, fi.regionShift(k));
            return kMapBadRegionShift;
        }
    }
    return 0;
}

// One E2P byte; a refused read counts as 0.
uint8_t e2pByte(uint32_t address) {
    uint8_t v = 0;
    if (fms_E2pRead(address, 1, &v) != 0) return 0;
    return v;
}

// One little-endian E2P word; false when the read is refused.
bool e2pWord(uint32_t address, uint16_t &value) {
    uint8_t b[2] = {0, 0};
    if (fms_E2pRead(address, 2, b) != 0) return false;
    value = uint16_t(b[0] | b[1] << 8);
    return true;
}

struct Layout {
    uint32_t e2pSectors = 0;
    uint32_t eepromBase = 0;
    uint32_t trcBase = 0;
};

// The E2P partition: three times the E2P area in whole sectors of the last
// region (the count kept in 8 bits), never less than three sectors.
void placeE2p(uint32_t top, Layout &l) {
    uint32_t sector = fms_GetRegionSectorSize(fms_GetRegionCount() - 1);
    uint8_t d = uint8_t(state().e2pAreaSize / sector);
    l.e2pSectors = d >= 2 ? d : 1;
    l.eepromBase = top - 3 * l.e2pSectors * sector;
}

// Trace size in bytes from the trace parameters and the trace version.
uint32_t traceSize(uint32_t version) {
    uint8_t number = e2pByte(kE2pTrcNumber);
    uint8_t check = e2pByte(kE2pTrcChecksum);
    logf(kName, "E2P_TRCNUMBEROF32KB=%d", number);
    logf(kName, "E2P_TRCFORMATCHKSUM=%d", check);
    logValue(kName, "u8_velmorine_version_trc", version);
    if (number == 255 || number + check != 100) {
        logf(kName, "New E2P_TRCNUMBEROF32KB=%d", number);
        logf(kName, "New E2P_TRCFORMATCHKSUM=%d", check);
        number = version >= 2 ? 8 : 2;
    }
    uint32_t size = number * (version >= 2 ? 0x2000u : 0x8000u);
    logf(kName, "TraceSize = 0x%x", size);
    return size;
}

// True when the last region has smaller sectors than the one before it.
bool topBoot() {
    uint32_t count = fms_GetRegionCount();
    return count > 1 && fms_GetRegionSectorSize(count - 1) < fms_GetRegionSectorSize(count - 2);
}

// Counts the trace sectors below the E2P partition and places the trace area.
// Returns 0 or -407 when the step-down leaves the bank.
int placeTrace(uint32_t version, Layout &l) {
    uint32_t size = traceSize(version);
    uint32_t traceBase = l.eepromBase - size;
    logf(kName, "l__u32_EEpromBase = %x", l.eepromBase);
    logf(kName, "TraceSecterBase = %x", traceBase);
    uint8_t i = 0;
    for (uint32_t a = l.eepromBase;;) {
        int32_t prev = fms_GetPrevSectorStart(a);
        a = uint32_t(prev);
        if (a < traceBase) break;
        if (prev == kNoSectorStart) return kMapTraceBelowBank;
        ++i;
        logf(kName, "StAddrBase=%x", a);
    }
    if (topBoot()) {
        uint32_t small = fms_GetRegionSectorCount(fms_GetRegionCount() - 1);
        if (i + 3 * l.e2pSectors < small) i = uint8_t(small - 3 * l.e2pSectors);
    }
    if (i == 0) i = 1;
    logf(kName, "trace sector num = %d", i);
    l.trcBase = uint32_t(fms_GoBackSectors(l.eepromBase, i));
    logf(kName, "l__u32_TrcBase=%x", l.trcBase);
    logf(kName, "[fms_MapOutMemoryExt] trace addr %#x length %#x", l.trcBase, l.eepromBase - l.trcBase);
    return 0;
}

// RAI size in 32 KB units: the RAI words when they add up to 0xFFFF (and
// both can be read), else the object bytes when they add up to 100, else 32.
uint32_t raiUnits() {
    uint16_t size = 0, check = 0;
    bool readable = e2pWord(kE2pRaiSize, size);
    readable = e2pWord(kE2pRaiChecksum, check) && readable;
    logf(kName, "[fms_MapOutMemoryExt] offset %d E2P_RAISIZEIN32KB = %d, E2P_RAIFORMATCHKSUM = %d", kE2pRaiSize,
         size, check);
    if (readable && uint32_t(size) + check == 0xFFFF) return size;
    uint8_t number = e2pByte(kE2pObjNumber);
    uint8_t objCheck = e2pByte(kE2pObjChecksum);
    logf(kName, "[fms_MapOutMemoryExt] E2P_OBJNUMBEROF32KB = %d, E2P_OBJFORMATCHKSUM = %d", number, objCheck);
    return number + objCheck == 100 ? number : 32;
}

// Sectors of the RAI area below the trace area: the ones the size covers
// (at least one), and one more.
uint16_t raiSectors(uint32_t trcBase) {
    uint32_t units = raiUnits();
    logf(kName, "Cal rai size start");
    logf(kName, " E2P_RAISIZEIN32KB=%d", units);
    uint32_t bytes = units * 0x8000;
    logf(kName, "RAI size %x", bytes);
    uint32_t raiBase = trcBase - bytes;
    logf(kName, "RaiSecterBase=%x", raiBase);
    uint16_t j = 0;
    for (uint32_t a = trcBase;;) {
        int32_t prev = fms_GetPrevSectorStart(a);
        a = uint32_t(prev);
        if (a < raiBase) break;
        if (prev == kNoSectorStart) {
            j = 0;
            break;
        }
        ++j;
        logf(kName, "StAddrBase addr=%x", a);
    }
    if (j == 0) j = 1;
    ++j;
    logf(kName, "RaiSector_number=%x", j);
    logf(kName, "Cal rai size end");
    return j;
}

} // namespace

int fms_MapOutMemoryExt(uint32_t &raiBase, uint32_t &raiLength) {
    if (!fms_HasFlashInfo()) {
        logf(kName, "No flash_info!");
        return kMapNoFlashInfo;
    }
    if (int r = checkRegions()) return r;
    FlashInfo fi = fms_FlashInfo();
    uint32_t top = (uint32_t(fi.sizeIn64KB()) << 16) + fi.baseAddress();
    uint32_t version = state().versionAddr1 >> 24;
    Layout l;
    placeE2p(top, l);
    if (int r = placeTrace(version, l)) return r;
    uint16_t j = raiSectors(l.trcBase);
    uint32_t base = uint32_t(fms_GoBackSectors(l.trcBase, j));
    logf(kName, "[fms_MapOutMemoryExt] obj addr %#x limit %#x", base, l.trcBase);
    raiBase = base;
    raiLength = l.trcBase - base;
    state().eepromBase = l.eepromBase;
    logf(kName, "##################");
    logf(kName, "RAI base =   0x%x", base);
    logf(kName, "Trace base = 0x%x", l.trcBase);
    logf(kName, "E2P base =   0x%x", l.eepromBase);
    logf(kName, "##################");
    return 0;
}

} // namespace qv
