#include "rai/partition_map.h"

#include "rai/rai_state.h"
#include "e2p/access.h"
#include "flash/geometry.h"

namespace qv {
namespace {

constexpr const char *kName = "fms_MapOutMemoryExt";
constexpr unsigned kMaxRegions = 4;

// The region table must be walkable before any sector question is asked.
int checkRegions(RaiState &rai) {
    FlashInfo fi = fms_FlashInfo(rai.flash);
    unsigned count = fi.regionCount();
    if (count < 1 || count > kMaxRegions) {
        logf(rai.io.log, kName, "regionCount = %u is outside 1..%u", count, kMaxRegions);
        return kMapBadRegionCount;
    }
    for (unsigned k = 0; k < count; ++k) {
        if (fi.regionShift(k) >= 32) {
            logf(rai.io.log, kName, "region %u sector shift = %u is 32 or more", k, fi.regionShift(k));
            return kMapBadRegionShift;
        }
    }
    return 0;
}

// One E2P byte; a refused read counts as 0.
uint8_t e2pByte(RaiState &rai, uint32_t address) {
    uint8_t v = 0;
    if (fms_E2pRead(rai.e2p, address, 1, &v) != 0) return 0;
    return v;
}

// One little-endian E2P word; false when the read is refused.
bool e2pWord(RaiState &rai, uint32_t address, uint16_t &value) {
    uint8_t b[2] = {0, 0};
    if (fms_E2pRead(rai.e2p, address, 2, b) != 0) return false;
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
void placeE2p(RaiState &rai, uint32_t top, Layout &l) {
    uint32_t sector = fms_GetRegionSectorSize(rai.flash, fms_GetRegionCount(rai.flash) - 1);
    uint8_t d = uint8_t(rai.e2p.e2pAreaSize / sector);
    l.e2pSectors = d >= 2 ? d : 1;
    l.eepromBase = top - 3 * l.e2pSectors * sector;
}

// Trace size in bytes from the trace parameters and the trace version.
uint32_t traceSize(RaiState &rai, uint32_t version) {
    uint8_t number = e2pByte(rai, kE2pTrcNumber);
    uint8_t check = e2pByte(rai, kE2pTrcChecksum);
    logf(rai.io.log, kName, "E2P_TRCNUMBEROF32KB=%d", number);
    logf(rai.io.log, kName, "E2P_TRCFORMATCHKSUM=%d", check);
    logValue(rai.io.log, kName, "u8_velmorine_version_trc", version);
    if (number == 255 || number + check != 100) {
        logf(rai.io.log, kName, "New E2P_TRCNUMBEROF32KB=%d", number);
        logf(rai.io.log, kName, "New E2P_TRCFORMATCHKSUM=%d", check);
        number = version >= 2 ? 8 : 2;
    }
    uint32_t size = number * (version >= 2 ? 0x2000u : 0x8000u);
    logf(rai.io.log, kName, "TraceSize = 0x%x", size);
    return size;
}

// True when the last region has smaller sectors than the one before it.
bool topBoot(RaiState &rai) {
    uint32_t count = fms_GetRegionCount(rai.flash);
    return count > 1 && fms_GetRegionSectorSize(rai.flash, count - 1) < fms_GetRegionSectorSize(rai.flash, count - 2);
}

// Counts the trace sectors below the E2P partition and places the trace area.
// Returns 0 or -407 when the step-down leaves the bank.
int placeTrace(RaiState &rai, uint32_t version, Layout &l) {
    uint32_t size = traceSize(rai, version);
    uint32_t traceBase = l.eepromBase - size;
    logf(rai.io.log, kName, "l__u32_EEpromBase = %x", l.eepromBase);
    logf(rai.io.log, kName, "TraceSecterBase = %x", traceBase);
    uint8_t i = 0;
    for (uint32_t a = l.eepromBase;;) {
        int32_t prev = fms_GetPrevSectorStart(rai.flash, a);
        a = uint32_t(prev);
        if (a < traceBase) break;
        if (prev == kNoSectorStart) return kMapTraceBelowBank;
        ++i;
        logf(rai.io.log, kName, "StAddrBase=%x", a);
    }
    if (topBoot(rai)) {
        uint32_t small = fms_GetRegionSectorCount(rai.flash, fms_GetRegionCount(rai.flash) - 1);
        if (i + 3 * l.e2pSectors < small) i = uint8_t(small - 3 * l.e2pSectors);
    }
    if (i == 0) i = 1;
    logf(rai.io.log, kName, "trace sector num = %d", i);
    l.trcBase = uint32_t(fms_GoBackSectors(rai.flash, l.eepromBase, i));
    logf(rai.io.log, kName, "l__u32_TrcBase=%x", l.trcBase);
    logf(rai.io.log, kName, "[fms_MapOutMemoryExt] trace addr %#x length %#x", l.trcBase, l.eepromBase - l.trcBase);
    return 0;
}

// RAI size in 32 KB units: the RAI words when they add up to 0xFFFF (and
// both can be read), else the object bytes when they add up to 100, else 32.
uint32_t raiUnits(RaiState &rai) {
    uint16_t size = 0, check = 0;
    bool readable = e2pWord(rai, kE2pRaiSize, size);
    readable = e2pWord(rai, kE2pRaiChecksum, check) && readable;
    logf(rai.io.log, kName, "[fms_MapOutMemoryExt] offset %d E2P_RAISIZEIN32KB = %d, E2P_RAIFORMATCHKSUM = %d",
         kE2pRaiSize, size, check);
    if (readable && uint32_t(size) + check == 0xFFFF) return size;
    uint8_t number = e2pByte(rai, kE2pObjNumber);
    uint8_t objCheck = e2pByte(rai, kE2pObjChecksum);
    logf(rai.io.log, kName, "[fms_MapOutMemoryExt] E2P_OBJNUMBEROF32KB = %d, E2P_OBJFORMATCHKSUM = %d", number,
         objCheck);
    return number + objCheck == 100 ? number : 32;
}

// Sectors of the RAI area below the trace area: the ones the size covers
// (at least one), and one more.
uint16_t raiSectors(RaiState &rai, uint32_t trcBase) {
    uint32_t units = raiUnits(rai);
    logf(rai.io.log, kName, "Cal rai size start");
    logf(rai.io.log, kName, " E2P_RAISIZEIN32KB=%d", units);
    uint32_t bytes = units * 0x8000;
    logf(rai.io.log, kName, "RAI size %x", bytes);
    uint32_t raiBase = trcBase - bytes;
    logf(rai.io.log, kName, "RaiSecterBase=%x", raiBase);
    uint16_t j = 0;
    for (uint32_t a = trcBase;;) {
        int32_t prev = fms_GetPrevSectorStart(rai.flash, a);
        a = uint32_t(prev);
        if (a < raiBase) break;
        if (prev == kNoSectorStart) {
            j = 0;
            break;
        }
        ++j;
        logf(rai.io.log, kName, "StAddrBase addr=%x", a);
    }
    if (j == 0) j = 1;
    ++j;
    logf(rai.io.log, kName, "RaiSector_number=%x", j);
    logf(rai.io.log, kName, "Cal rai size end");
    return j;
}

} // namespace

int fms_MapOutMemoryExt(RaiState &rai, uint32_t &raiBase, uint32_t &raiLength) {
    if (!fms_HasFlashInfo(rai.flash)) {
        logf(rai.io.log, kName, "No flash_info!");
        return kMapNoFlashInfo;
    }
    if (int r = checkRegions(rai)) return r;
    FlashInfo fi = fms_FlashInfo(rai.flash);
    uint32_t top = (uint32_t(fi.sizeIn64KB()) << 16) + fi.baseAddress();
    uint32_t version = rai.flash.versionAddr1 >> 24;
    Layout l;
    placeE2p(rai, top, l);
    if (int r = placeTrace(rai, version, l)) return r;
    uint16_t j = raiSectors(rai, l.trcBase);
    uint32_t base = uint32_t(fms_GoBackSectors(rai.flash, l.trcBase, j));
    logf(rai.io.log, kName, "[fms_MapOutMemoryExt] obj addr %#x limit %#x", base, l.trcBase);
    raiBase = base;
    raiLength = l.trcBase - base;
    rai.eepromBase = l.eepromBase;
    logf(rai.io.log, kName, "##################");
    logf(rai.io.log, kName, "RAI base =   0x%x", base);
    logf(rai.io.log, kName, "Trace base = 0x%x", l.trcBase);
    logf(rai.io.log, kName, "E2P base =   0x%x", l.eepromBase);
    logf(rai.io.log, kName, "##################");
    return 0;
}

} // namespace qv
