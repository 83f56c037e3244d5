#include "report/areas.h"

#include "report/format.h"

namespace qvcli {
namespace {

void addCode(const ReleaseModel &m, std::vector<FlashArea> &out) {
    const CodeImageContents &c = *m.code;
    const uint64_t at = m.codeAddress;
    if (!c.cusOnly)
        out.push_back({"code", "code", at, at + (c.hasCusArea ? c.cusfOffset : c.fileSize),
                       "code section (" + std::to_string(c.codeLength) + " bytes) and its closing"});
    if (c.hasCusArea)
        out.push_back({"CUS", "cus", at + c.cusfOffset, at + codeImageBytes(c),
                       "CUS area: " + std::to_string(c.records.size()) + " records, CUS length " +
                           std::to_string(c.cusLength()) + " bytes"});
}

void addPartitions(const ReleaseModel &m, std::vector<FlashArea> &out) {
    const PartitionMap &p = *m.map;
    const uint64_t codeEnd = m.code ? m.codeAddress + codeImageBytes(*m.code) : 0;
    if (m.code && m.code->fileSize > 0 && codeEnd < p.raiBase)
        out.push_back({"free", "free", codeEnd, p.raiBase,
                       "free: from the code image's end to the RAI area"});
    out.push_back({"RAI", "rai", p.raiBase, p.trcBase,
                   "RAI area: " + std::to_string(p.raiSectors) + " sectors (" + std::to_string(p.raiUnits) +
                       " x 32 KiB asked)"});
    out.push_back({"trace", "trace", p.trcBase, p.eepromBase,
                   "trace area: " + std::to_string(p.traceSectors) + " sectors"});
    out.push_back({"E2P", "e2p", p.eepromBase, p.top,
                   "E2P partition: " + std::to_string(3 * p.e2pSectors) + " sectors"});
}

} // namespace

std::vector<FlashArea> flashAreas(const ReleaseModel &m) {
    std::vector<FlashArea> out;
    if (m.code && m.code->fileSize > 0) addCode(m, out);
    if (m.map) addPartitions(m, out);
    return out;
}

uint64_t codeImageBytes(const CodeImageContents &c) { return c.hasCusArea ? c.recordsEnd : c.fileSize; }

std::optional<FlashArea> findArea(const std::vector<FlashArea> &areas, const std::string &name) {
    for (const FlashArea &a : areas)
        if (a.name == name) return a;
    return std::nullopt;
}

const char *sectorClass(RaiSectorKind k) {
    switch (k) {
    case RaiSectorKind::Active:
    case RaiSectorKind::Free: return "formatted";
    case RaiSectorKind::Erased: return "erased";
    case RaiSectorKind::Spare: return "spare";
    case RaiSectorKind::Damaged: return "damaged";
    }
    return "damaged";
}

uint64_t sectorUsedBytes(const RaiSector &s) { return 4ull * s.usedWords; }
uint64_t sectorCapacity(const RaiStoreContents &img) { return 4ull * img.wordsPerSector; }

double raiUsePercent(const RaiStoreContents &img) {
    uint64_t used = 0, capacity = 0;
    for (const RaiSector &s : img.sectors) {
        if (s.kind == RaiSectorKind::Spare) continue;
        used += sectorUsedBytes(s);
        capacity += sectorCapacity(img);
    }
    return capacity ? 100.0 * double(used) / double(capacity) : 0.0;
}

} // namespace qvcli
