#include "cli/partition.h"

#include "cli/errors.h"
#include "cli/format.h"
#include "cli/geometry.h"

namespace qvcli {
namespace {

constexpr uint32_t kTrcNumber = 253, kTrcCheck = 254;
constexpr uint32_t kObjNumber = 235, kObjCheck = 236;
constexpr uint32_t kRaiSize = 296, kRaiCheck = 298;

uint8_t byteOr0(const E2pView &e2p, uint32_t x) {
    uint8_t v = 0;
    return e2p.byte(x, v) ? v : 0;
}

uint32_t traceBytes(const E2pView &e2p, uint32_t version) {
    uint8_t number = byteOr0(e2p, kTrcNumber);
    const uint8_t check = byteOr0(e2p, kTrcCheck);
    if (number == 255 || number + check != 100) number = version >= 2 ? 8 : 2;
    return number * (version >= 2 ? 0x2000u : 0x8000u);
}

// RAI size in 32 KB units: the RAI words when both read and add up to
// 0xFFFF, else the object bytes when they add up to 100, else 32.
uint32_t raiUnits(const E2pView &e2p) {
    uint16_t size = 0, check = 0;
    if (e2p.word(kRaiSize, size) && e2p.word(kRaiCheck, check) && uint32_t(size) + check == 0xFFFF) return size;
    const uint8_t number = byteOr0(e2p, kObjNumber);
    return number + byteOr0(e2p, kObjCheck) == 100 ? number : 32;
}

void placeTrace(const Geometry &g, const FlashDesc &d, const E2pView &e2p, uint32_t version, PartitionMap &m) {
    m.traceSize = traceBytes(e2p, version);
    const uint32_t floor = m.eepromBase - m.traceSize;
    uint8_t i = 0;
    for (uint32_t a = m.eepromBase;;) {
        auto prev = g.prevSectorStart(a);
        if (!prev) throw InputError("the trace area runs out of the bank below " + hex(a));
        a = *prev;
        if (a < floor) break;
        ++i;
    }
    const size_t last = d.regions.size() - 1;
    const bool topBoot = d.regions.size() > 1 && d.regions[last].shift < d.regions[last - 1].shift;
    if (topBoot && i + 3 * m.e2pSectors < d.regions[last].count) i = uint8_t(d.regions[last].count - 3 * m.e2pSectors);
    if (i == 0) i = 1;
    m.traceSectors = i;
    m.trcBase = g.goBackSectors(m.eepromBase, i).value_or(0xFFFFFFFFu);
}

void placeRai(const Geometry &g, const E2pView &e2p, PartitionMap &m) {
    m.raiUnits = raiUnits(e2p);
    const uint32_t floor = m.trcBase - m.raiUnits * 0x8000;
    uint16_t j = 0;
    for (uint32_t a = m.trcBase;;) {
        auto prev = g.prevSectorStart(a);
        if (!prev) {
            j = 0;
            break;
        }
        a = *prev;
        if (a < floor) break;
        ++j;
    }
    if (j == 0) j = 1;
    ++j;
    m.raiSectors = j;
    m.raiBase = g.goBackSectors(m.trcBase, j).value_or(0xFFFFFFFFu);
    m.raiLength = m.trcBase - m.raiBase;
}

} // namespace

PartitionMap computePartitionMap(const FlashDesc &d, const E2pView &e2p, uint32_t traceVersion) {
    Geometry g(d);
    if (!g.valid()) throw InputError("the flash description's region table cannot be walked");
    PartitionMap m;
    m.top = uint32_t(d.sizeIn64KB) * 0x10000u + d.baseAddress;
    const uint32_t sector = uint32_t(1) << d.regions.back().shift;
    const uint8_t count = uint8_t(e2p.imageSize() / sector);
    m.e2pSectors = count >= 2 ? count : 1;
    m.eepromBase = m.top - 3 * m.e2pSectors * sector;
    placeTrace(g, d, e2p, traceVersion, m);
    placeRai(g, e2p, m);
    return m;
}

RaiLayout raiLayoutAt(const FlashDesc &d, const PartitionMap &m, uint32_t base) {
    const Geometry g(d);
    const auto shift = g.shiftAt(base);
    if (!shift) throw InputError("the RAI base " + hex(base) + " lies in no region of the flash");
    RaiLayout l;
    l.base = base;
    l.sectorSize = uint32_t(1) << *shift;
    l.sectors = g.sectorCount(m.raiBase, m.raiLength).value_or(0);
    l.interleaved = d.interleaved();
    return l;
}

} // namespace qvcli
