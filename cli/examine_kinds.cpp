#include "cli/errors.h"
#include "cli/fat_extract.h"
#include "cli/format.h"
#include "cli/examine.h"
#include "cli/report.h"

#include <cstdio>

namespace qvcli {
namespace {

void printJson(const Json &j) { std::printf("%s\n", dumpJson(j, 2).c_str()); }

// The layout: --interleaved, else the flash description's flag, else `fallback`.
bool interleavedLayout(const InspectOptions &o, bool fallback) {
    if (o.interleaved) return true;
    if (!o.flashInfo.empty()) return loadFlashDesc(o.flashInfo).interleaved();
    return fallback;
}

// An E2P image with no layout given is read in the layout whose end mark it has.
bool e2pLayoutFromMark(const Bytes &file) {
    uint16_t mark = 0;
    E2pView plain(file, false), interleaved(file, true);
    const bool plainMark = plain.logicalSize() >= 2 && plain.word(plain.logicalSize() - 2, mark) && mark == 0x7FFF;
    const bool interleavedMark = interleaved.logicalSize() >= 2 &&
                                 interleaved.word(interleaved.logicalSize() - 2, mark) && mark == 0x7FFF;
    return !plainMark && interleavedMark;
}

struct RaiPlace {
    RaiLayout layout;
    std::optional<PartitionMap> map;
};

// Where the RAI area lies: from --sector-size (and --rai-base), or from the
// partition map of the flash description and the merged E2P area.
RaiPlace raiPlace(const InspectOptions &o) {
    RaiPlace p;
    p.layout.interleaved = interleavedLayout(o, false);
    if (!o.sectorSize.empty()) {
        p.layout.sectorSize = uint32_t(optionNumber(o.sectorSize, "--sector-size", uint64_t(1) << 31));
        if (!validSectorSize(p.layout.sectorSize))
            throw UsageError("--sector-size: " + o.sectorSize + " is not a power of two of at least 64");
        p.layout.base = o.raiBase.empty() ? 0 : uint32_t(optionNumber(o.raiBase, "--rai-base", 0xFFFFFFFF));
    } else if (!o.flashInfo.empty() && !o.e2pArea.empty()) {
        const FlashDesc d = loadFlashDesc(o.flashInfo);
        const Bytes area = readWholeFile(o.e2pArea, kE2pBound);
        const uint32_t version = o.traceVersion.empty() ? d.versionAddr1 >> 24
                                                        : uint32_t(optionNumber(o.traceVersion, "--trace-version", 255));
        p.map = computePartitionMap(d, E2pView(area, d.interleaved()), version);
        const uint32_t base = o.raiBase.empty() ? p.map->raiBase : uint32_t(optionNumber(o.raiBase, "--rai-base", 0xFFFFFFFF));
        p.layout = raiLayoutAt(d, *p.map, base);
        p.layout.interleaved = interleavedLayout(o, false);
    } else {
        throw UsageError("an RAI image needs --flash-info and --e2p-area (to place the area), or --sector-size");
    }
    if (!o.sectors.empty()) p.layout.sectors = uint32_t(optionNumber(o.sectors, "--sectors", 0xFFFFFF));
    return p;
}

} // namespace

int finishReport(const std::vector<std::string> &problems) { return problems.empty() ? kExitOk : kExitFailed; }

int inspectFlashInfo(const Bytes &file, const InspectOptions &o) {
    const FlashDesc d = o.file.ends_with(".json") ? loadFlashDesc(o.file) : decodeFlashDesc(file, o.file);
    const size_t size = o.file.ends_with(".json") ? encodeFlashDesc(d).size() : file.size();
    if (o.json) printJson(flashDescReportJson(d, o.file, size));
    else if (!o.quiet) printFlashDesc(d, o.file, size);
    return finishReport(flashDescProblems(d));
}

int inspectCode(const Bytes &file, const InspectOptions &o) {
    const CodeImage img = readCodeImage(file);
    if (o.json) printJson(codeImageJson(img, o.file));
    else if (!o.quiet) printCodeImage(img, o.file);
    return finishReport(img.problems);
}

int inspectE2p(const Bytes &file, const InspectOptions &o) {
    const bool interleaved = interleavedLayout(o, e2pLayoutFromMark(file));
    const Journal j = readJournal(E2pView(file, interleaved));
    std::optional<std::vector<ChangedBlock>> changed;
    if (!o.e2pBase.empty()) changed = replayJournal(j, readWholeFile(o.e2pBase, kE2pBound), interleaved);
    if (o.json) printJson(journalJson(j, o.file, changed));
    else if (!o.quiet) printJournal(j, o.file, changed);
    return finishReport(j.problems);
}

int inspectRai(const Bytes &file, const InspectOptions &o) {
    const RaiPlace place = raiPlace(o);
    const RaiImage img = readRaiImage(file, place.layout);
    std::optional<FatExtract> fat;
    if (!o.extractFat.empty()) fat = extractFat(img, o.extractFat);
    if (o.json) {
        Json j = raiImageJson(img, o.file, place.map);
        if (fat)
            j["extracted"] = {{"user", fat->userPath},           {"userSectors", fat->userSectors},
                              {"hidden", fat->hiddenPath},       {"hiddenSectors", fat->hiddenSectors},
                              {"otherItems", fat->otherItems}};
        printJson(j);
    } else if (!o.quiet) {
        printRaiImage(img, o.file, place.map);
        if (fat)
            std::printf("extracted: %s (%u sectors), %s (%u sectors)%s\n", fat->userPath.c_str(), fat->userSectors,
                        fat->hiddenPath.c_str(), fat->hiddenSectors,
                        fat->otherItems ? (", " + std::to_string(fat->otherItems) + " other items left out").c_str()
                                        : "");
    }
    return finishReport(img.problems);
}

} // namespace qvcli
