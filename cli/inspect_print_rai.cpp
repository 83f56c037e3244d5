#include "report/format.h"
#include "cli/inspect_print.h"

#include <cstdio>

namespace qvcli {
namespace {

std::string sectors(uint32_t n) { return std::to_string(n) + (n == 1 ? " sector" : " sectors"); }

std::string idNote(uint32_t id) {
    const FsSectorRef f = fsSectorOf(id);
    if (f.image == FsImage::None) return "";
    return (f.image == FsImage::User ? "user FAT sector " : "hidden FAT sector ") + std::to_string(f.number);
}

void printMap(const PartitionMap &m) {
    std::printf("partition map (from the flash description and the E2P area)\n");
    std::printf("  E2P partition  %s .. %s (%s)\n", hex(m.eepromBase, 8).c_str(), hex(m.top, 8).c_str(),
                sectors(3 * m.e2pSectors).c_str());
    std::printf("  trace          %s .. %s (%s)\n", hex(m.trcBase, 8).c_str(), hex(m.eepromBase, 8).c_str(),
                sectors(m.traceSectors).c_str());
    std::printf("  RAI            %s .. %s (%u x 32 KiB asked, %s)\n", hex(m.raiBase, 8).c_str(),
                hex(m.trcBase, 8).c_str(), m.raiUnits, sectors(m.raiSectors).c_str());
}

void printSectors(const RaiStoreContents &img) {
    const uint32_t sectorBytes = 4 * img.wordsPerSector;
    std::printf("  sector  address     state             items  used bytes  free bytes\n");
    for (const RaiSector &s : img.sectors) {
        const bool formatted = s.kind == RaiSectorKind::Active || s.kind == RaiSectorKind::Free;
        const uint32_t used = 4 * s.usedWords;
        const uint32_t free = s.kind == RaiSectorKind::Erased ? sectorBytes : formatted ? sectorBytes - used : 0;
        std::printf("  %-6u  %s  %-16s  %-5zu  %-10u  %u\n", s.index, hex(img.layout.base + s.offset, 8).c_str(),
                    raiSectorKindName(s.kind), s.items.size(), used, free);
    }
}

void printItems(const RaiStoreContents &img) {
    std::printf("items\n  address     identifier  length  state\n");
    for (const RaiSector &s : img.sectors)
        for (const RaiItem &it : s.items)
            std::printf("  %s  %s  %-6u  %-7s  %s\n", hex(img.layout.base + it.offset, 8).c_str(),
                        hex(it.id, 8).c_str(), it.length, it.valid ? "valid" : "deleted", idNote(it.id).c_str());
}

} // namespace

void printRaiImage(const RaiStoreContents &img, const std::string &path, const std::optional<PartitionMap> &map) {
    std::printf("RAI image: %s (%llu bytes)\n", path.c_str(), static_cast<unsigned long long>(img.fileSize));
    if (map) printMap(*map);
    std::printf("  base %s, %zu sectors of %s bytes, %s layout, %u words per sector\n",
                hex(img.layout.base, 8).c_str(), img.sectors.size(), hex(img.layout.sectorSize).c_str(),
                img.layout.interleaved ? "interleaved" : "plain", img.wordsPerSector);
    printSectors(img);
    printItems(img);
    std::printf("totals: %u valid items (%llu data bytes), %u deleted\n", img.validItems,
                static_cast<unsigned long long>(img.validDataBytes), img.deletedItems);
    std::printf("free: %llu bytes in the sectors (the spare left out); the store would still give new items "
                "%lld bytes (%lld more 512-byte sectors)\n",
                static_cast<unsigned long long>(img.freeBytes), static_cast<long long>(img.memAvail),
                static_cast<long long>(qv::fsSectorsThatFit(img.memAvail)));
    printProblems(img.problems);
}

Json raiImageJson(const RaiStoreContents &img, const std::string &path, const std::optional<PartitionMap> &map) {
    Json j = {{"kind", "rai"}, {"file", path}, {"size", img.fileSize}};
    j["base"] = img.layout.base;
    j["sectorSize"] = img.layout.sectorSize;
    j["interleaved"] = img.layout.interleaved;
    j["wordsPerSector"] = img.wordsPerSector;
    if (map)
        j["partitionMap"] = {{"top", map->top},         {"eepromBase", map->eepromBase}, {"trcBase", map->trcBase},
                             {"raiBase", map->raiBase}, {"raiLength", map->raiLength},   {"raiUnits", map->raiUnits}};
    j["sectors"] = Json::array();
    for (const RaiSector &s : img.sectors) {
        Json js = {{"index", s.index}, {"address", img.layout.base + s.offset}, {"state", raiSectorKindName(s.kind)},
                   {"usedBytes", 4 * s.usedWords}};
        js["items"] = Json::array();
        for (const RaiItem &it : s.items)
            js["items"].push_back({{"address", img.layout.base + it.offset},
                                   {"id", it.id},
                                   {"length", it.length},
                                   {"valid", it.valid}});
        j["sectors"].push_back(js);
    }
    j["validItems"] = img.validItems;
    j["deletedItems"] = img.deletedItems;
    j["validDataBytes"] = img.validDataBytes;
    j["freeBytes"] = img.freeBytes;
    j["memAvail"] = img.memAvail;
    j["problems"] = img.problems;
    return j;
}

} // namespace qvcli
