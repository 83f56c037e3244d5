#include "rai/partition_map.h"

#include "base/bytes.h"
#include "rai/rai_state.h"
#include "e2p/access.h"
#include "flash/geometry.h"

namespace qv {
namespace {

constexpr const char *kName = "fms_MapOutMemoryExt";
constexpr unsigned kMaxRegions = 4;

// The region table must be walkable before any sector question is asked.
int checkRegions(E2pState &e2p) {
    FlashInfo fi = fms_FlashInfo(e2p.flash);
    unsigned count = fi.regionCount();
    if (count < 1 || count > kMaxRegions) {
        logf(e2p.io.log, kName, "regionCount = %u is outside 1..%u", count, kMaxRegions);
        e2p.io.cause.explain("regionCount %u, expected 1 to %u", count, kMaxRegions);
        e2p.io.cause.name(kFlashInfoName);
        return kMapBadRegionCount;
    }
    for (unsigned k = 0; k < count; ++k) {
        if (fi.regionShift(k) >= 32) {
            logf(e2p.io.log, kName, "region %u sector shift = %u is 32 or more", k, fi.regionShift(k));
            e2p.io.cause.explain("region %u has sector shift %u, expected below 32", k, fi.regionShift(k));
            e2p.io.cause.name(kFlashInfoName);
            return kMapBadRegionShift;
        }
    }
    return 0;
}

// One E2P byte; a refused read counts as 0.
uint8_t e2pByte(E2pState &e2p, uint32_t address) {
    uint8_t v = 0;
    if (fms_E2pRead(e2p, address, 1, &v) != 0) return 0;
    return v;
}

// One little-endian E2P word; false when the read is refused.
bool e2pWord(E2pState &e2p, uint32_t address, uint16_t &value) {
    uint8_t b[2] = {0, 0};
    if (fms_E2pRead(e2p, address, 2, b) != 0) return false;
    value = le16(b);
    return true;
}

// The E2P partition: three times the E2P area in whole sectors of the last
// region (the count kept in 8 bits), never less than three sectors.
void placeE2p(E2pState &e2p, PartitionMap &m) {
    uint32_t sector = fms_GetRegionSectorSize(e2p.flash, fms_GetRegionCount(e2p.flash) - 1);
    uint8_t d = uint8_t(e2p.e2pAreaSize / sector);
    m.e2pSectors = d >= 2 ? d : 1;
    m.eepromBase = m.top - 3 * m.e2pSectors * sector;
}

// Trace size in bytes from the trace parameters and the trace version.
uint32_t traceSize(E2pState &e2p, uint32_t version) {
    MergeLog &log = e2p.io.log;
    uint8_t number = e2pByte(e2p, kE2pTrcNumber);
    uint8_t check = e2pByte(e2p, kE2pTrcChecksum);
    logf(log, kName, "E2P_TRCNUMBEROF32KB=%d", number);
    logf(log, kName, "E2P_TRCFORMATCHKSUM=%d", check);
    logValue(log, kName, "u8_velmorine_version_trc", version);
    if (number == 255 || number + check != 100) {
        logf(log, kName, "New E2P_TRCNUMBEROF32KB=%d", number);
        logf(log, kName, "New E2P_TRCFORMATCHKSUM=%d", check);
        number = version >= 2 ? 8 : 2;
    }
    uint32_t size = number * (version >= 2 ? 0x2000u : 0x8000u);
    logf(log, kName, "TraceSize = 0x%x", size);
    return size;
}

// True when the last region has smaller sectors than the one before it.
bool topBoot(const FlashState &flash) {
    uint32_t count = fms_GetRegionCount(flash);
    return count > 1 && fms_GetRegionSectorSize(flash, count - 1) < fms_GetRegionSectorSize(flash, count - 2);
}

// Why no sector lies below `a` on the way down to the trace base: the
// regions end before the flash does, or the flash is too small for the E2P
// partition and the trace area.
void explainTraceStep(E2pState &e2p, const PartitionMap &m, uint32_t a) {
    // `a` is the lowest sector start the step-down reached.
    const std::vector<RegionRange> regions = regionRanges(e2p.flash);
    const uint64_t covered = regions.empty() ? 0 : regions.back().end;
    if (fms_FindRegion(e2p.flash, a) < 0 && covered != m.top)
        e2p.io.cause.explain("the regions cover 0x%08x–0x%08llx, the flash ends at 0x%08x", flashBankBase(e2p.flash),
                             static_cast<unsigned long long>(covered), m.top);
    else
        e2p.io.cause.explain("the E2P partition starts at 0x%08x, the trace area of %u bytes below it passes the "
                             "flash's start at 0x%08x",
                             m.eepromBase, m.traceSize, flashBankBase(e2p.flash));
    e2p.io.cause.name(kFlashInfoName);
}

// Counts the trace sectors below the E2P partition and places the trace area.
// Returns 0 or -407 when the step-down leaves the bank.
int placeTrace(E2pState &e2p, uint32_t version, PartitionMap &m) {
    MergeLog &log = e2p.io.log;
    m.traceSize = traceSize(e2p, version);
    uint32_t traceBase = m.eepromBase - m.traceSize;
    logf(log, kName, "l__u32_EEpromBase = %x", m.eepromBase);
    logf(log, kName, "TraceSecterBase = %x", traceBase);
    uint8_t i = 0;
    for (uint32_t a = m.eepromBase;;) {
        int32_t prev = fms_GetPrevSectorStart(e2p.flash, a);
        if (uint32_t(prev) < traceBase) break;
        if (prev == kNoSectorStart) {
            m.stoppedAt = a;
            explainTraceStep(e2p, m, a);
            return kMapTraceBelowBank;
        }
        a = uint32_t(prev);
        ++i;
        logf(log, kName, "StAddrBase=%x", a);
    }
    if (topBoot(e2p.flash)) {
        uint32_t small = fms_GetRegionSectorCount(e2p.flash, fms_GetRegionCount(e2p.flash) - 1);
        if (i + 3 * m.e2pSectors < small) i = uint8_t(small - 3 * m.e2pSectors);
    }
    if (i == 0) i = 1;
    m.traceSectors = i;
    logf(log, kName, "trace sector num = %d", i);
    m.trcBase = uint32_t(fms_GoBackSectors(e2p.flash, m.eepromBase, i));
    logf(log, kName, "l__u32_TrcBase=%x", m.trcBase);
    logf(log, kName, "[fms_MapOutMemoryExt] trace addr %#x length %#x", m.trcBase, m.eepromBase - m.trcBase);
    return 0;
}

// RAI size in 32 KB units: the RAI words when they add up to 0xFFFF (and
// both can be read), else the object bytes when they add up to 100, else 32.
uint32_t raiUnits(E2pState &e2p) {
    uint16_t size = 0, check = 0;
    bool readable = e2pWord(e2p, kE2pRaiSize, size);
    readable = e2pWord(e2p, kE2pRaiChecksum, check) && readable;
    logf(e2p.io.log, kName, "[fms_MapOutMemoryExt] offset %d E2P_RAISIZEIN32KB = %d, E2P_RAIFORMATCHKSUM = %d",
         kE2pRaiSize, size, check);
    if (readable && uint32_t(size) + check == 0xFFFF) return size;
    uint8_t number = e2pByte(e2p, kE2pObjNumber);
    uint8_t objCheck = e2pByte(e2p, kE2pObjChecksum);
    logf(e2p.io.log, kName, "[fms_MapOutMemoryExt] E2P_OBJNUMBEROF32KB = %d, E2P_OBJFORMATCHKSUM = %d", number,
         objCheck);
    return number + objCheck == 100 ? number : 32;
}

// Sectors of the RAI area below the trace area: the ones the size covers
// (at least one), and one more.
void placeRai(E2pState &e2p, PartitionMap &m) {
    MergeLog &log = e2p.io.log;
    m.raiUnits = raiUnits(e2p);
    logf(log, kName, "Cal rai size start");
    logf(log, kName, " E2P_RAISIZEIN32KB=%d", m.raiUnits);
    uint32_t bytes = m.raiUnits * 0x8000;
    logf(log, kName, "RAI size %x", bytes);
    uint32_t raiBase = m.trcBase - bytes;
    logf(log, kName, "RaiSecterBase=%x", raiBase);
    uint16_t j = 0;
    for (uint32_t a = m.trcBase;;) {
        int32_t prev = fms_GetPrevSectorStart(e2p.flash, a);
        a = uint32_t(prev);
        if (a < raiBase) break;
        if (prev == kNoSectorStart) {
            j = 0;
            break;
        }
        ++j;
        logf(log, kName, "StAddrBase addr=%x", a);
    }
    if (j == 0) j = 1;
    ++j;
    m.raiSectors = j;
    logf(log, kName, "RaiSector_number=%x", j);
    logf(log, kName, "Cal rai size end");
    m.raiBase = uint32_t(fms_GoBackSectors(e2p.flash, m.trcBase, j));
    m.raiLength = m.trcBase - m.raiBase;
    logf(log, kName, "[fms_MapOutMemoryExt] obj addr %#x limit %#x", m.raiBase, m.trcBase);
}

} // namespace

int placePartitionMap(E2pState &e2p, PartitionMap &m) {
    if (!fms_HasFlashInfo(e2p.flash)) {
        logf(e2p.io.log, kName, "No flash_info!");
        return kMapNoFlashInfo;
    }
    if (int r = checkRegions(e2p)) return r;
    FlashInfo fi = fms_FlashInfo(e2p.flash);
    m.top = uint32_t(flashBytes(fi.sizeIn64KB())) + fi.baseAddress();
    placeE2p(e2p, m);
    if (int r = placeTrace(e2p, traceVersion(e2p.flash.versionAddr1), m)) return r;
    placeRai(e2p, m);
    return 0;
}

int fms_MapOutMemoryExt(RaiState &rai, uint32_t &raiBase, uint32_t &raiLength) {
    PartitionMap m;
    if (int r = placePartitionMap(rai.e2p, m)) return r;
    raiBase = m.raiBase;
    raiLength = m.raiLength;
    rai.eepromBase = m.eepromBase;
    logf(rai.io.log, kName, "##################");
    logf(rai.io.log, kName, "RAI base =   0x%x", m.raiBase);
    logf(rai.io.log, kName, "Trace base = 0x%x", m.trcBase);
    logf(rai.io.log, kName, "E2P base =   0x%x", m.eepromBase);
    logf(rai.io.log, kName, "##################");
    return 0;
}

} // namespace qv
