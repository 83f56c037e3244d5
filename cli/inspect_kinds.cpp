#include "cli/errors.h"
#include "report/format.h"
#include "cli/inspect.h"
#include "cli/inspect_print.h"
#include "e2p/image_reader.h"
#include "base/system.h"

#include <cstdio>
#include <filesystem>

namespace qvcli {
namespace {

void printJson(const Json &j) { std::printf("%s\n", dumpJson(j, 2).c_str()); }

// The layout: --interleaved, else the flash description's flag, else `fallback`.
bool interleavedLayout(const InspectOptions &o, bool fallback) {
    if (o.interleaved) return true;
    if (!o.flashInfo.empty()) return loadFlashRecord(o.flashInfo).desc.interleaved();
    return fallback;
}

// An E2P image with no layout given is read in the layout whose end mark it
// has: interleaved only when the plain layout shows none.
bool e2pLayoutFromMark(const Bytes &file) { return !qv::e2pHasEndMark(file, false) && qv::e2pHasEndMark(file, true); }

struct RaiPlace {
    RaiAreaLayout layout;
    std::optional<PartitionMap> map;
};

// The partition map of the flash description and the merged E2P area, the
// trace version being --trace-version or the description's.
PartitionMap partitionMap(const FlashRecord &flash, const InspectOptions &o) {
    const Bytes area = readWholeFile(o.e2pArea, kE2pBound);
    const uint32_t versionAddr1 = o.traceVersion.empty()
                                      ? flash.desc.versionAddr1
                                      : qv::versionAddr1OfTrace(uint8_t(optionNumber(o.traceVersion, "--trace-version", 255)));
    PartitionMap m;
    if (auto why = qv::partitionMapOf(flash, area, versionAddr1, m)) throw InputError(*why);
    return m;
}

// Where the RAI area lies: from --sector-size (and --rai-base), or from the
// partition map of the flash description and the merged E2P area.
RaiPlace raiPlace(const InspectOptions &o) {
    RaiPlace p;
    const bool interleaved = interleavedLayout(o, false);
    if (!o.sectorSize.empty()) {
        p.layout.sectorSize = uint32_t(optionNumber(o.sectorSize, "--sector-size", uint64_t(1) << 31));
        if (!qv::validRaiSectorSize(p.layout.sectorSize))
            throw UsageError("--sector-size: " + o.sectorSize + " is not a power of two of at least 64");
        p.layout.base = o.raiBase.empty() ? 0 : uint32_t(optionNumber(o.raiBase, "--rai-base", 0xFFFFFFFF));
    } else if (!o.flashInfo.empty() && !o.e2pArea.empty()) {
        const FlashRecord flash = loadFlashRecord(o.flashInfo);
        p.map = partitionMap(flash, o);
        const uint32_t base = o.raiBase.empty() ? p.map->raiBase : uint32_t(optionNumber(o.raiBase, "--rai-base", 0xFFFFFFFF));
        if (auto why = qv::raiAreaAt(flash.state(), *p.map, base, p.layout)) throw InputError(*why);
    } else {
        throw UsageError("an RAI image needs --flash-info and --e2p-area (to place the area), or --sector-size");
    }
    p.layout.interleaved = interleaved;
    if (!o.sectors.empty()) p.layout.sectors = uint32_t(optionNumber(o.sectors, "--sectors", 0xFFFFFF));
    return p;
}

// Writes the file-system sectors of the image as user.fat and hidden.fat
// into `dir`, created when missing.
Json extractFat(const RaiStoreContents &img, const InspectOptions &o, std::string &line) {
    const qv::FatInputs fat = qv::fatInputsOf(img);
    const std::string &dir = o.extractFat;
    const std::string user = qv::sys::utf8Path(qv::sys::fsPath(dir) / "user.fat");
    const std::string hidden = qv::sys::utf8Path(qv::sys::fsPath(dir) / "hidden.fat");
    std::error_code ec;
    const std::filesystem::path folder = qv::sys::fsPath(dir);
    if (std::filesystem::exists(folder, ec) && !std::filesystem::is_directory(folder, ec))
        throw UsageError("--extract-fat: " + dir + " is a file, not a folder");
    std::filesystem::create_directories(folder, ec);
    if (ec) throw InputError("cannot create the folder " + dir + ": " + ec.message());
    checkOutputPaths({{o.file, "the file inspected"}, {o.flashInfo, "--flash-info"}, {o.e2pArea, "--e2p-area"}},
                     {{user, "--extract-fat"}, {hidden, "--extract-fat"}});
    writeWholeFile(user, fat.user);
    writeWholeFile(hidden, fat.hidden);
    line = strprintf("extracted: %s (%u sectors), %s (%u sectors)%s\n", user.c_str(), fat.userSectors, hidden.c_str(),
                     fat.hiddenSectors,
                     fat.otherItems ? (", " + std::to_string(fat.otherItems) + " other items left out").c_str() : "");
    return {{"user", user},          {"userSectors", fat.userSectors},     {"hidden", hidden},
            {"hiddenSectors", fat.hiddenSectors}, {"otherItems", fat.otherItems}};
}

} // namespace

int finishReport(const std::vector<std::string> &problems) { return problems.empty() ? kExitOk : kExitFailed; }

int inspectFlashInfo(const Bytes &file, const InspectOptions &o) {
    const bool json = o.file.ends_with(".json");
    const FlashRecord r = json ? loadFlashRecord(o.file) : flashRecordFromBytes(file, o.file);
    if (o.json) printJson(flashRecordJson(r, o.file, r.bytes.size()));
    else if (!o.quiet) printFlashRecord(r, o.file, r.bytes.size());
    return finishReport(qv::flashRecordProblems(r));
}

int inspectCode(const Bytes &file, const InspectOptions &o) {
    const CodeImageContents img = qv::readCodeImage(file);
    if (o.json) printJson(codeImageJson(img, o.file));
    else if (!o.quiet) printCodeImage(img, o.file);
    return finishReport(img.problems);
}

int inspectE2p(const Bytes &file, const InspectOptions &o) {
    if (!o.e2pFiles.empty() && o.e2pBase.empty())
        throw UsageError("--e2p-file needs --e2p-base: the parameters are read from the journal replayed onto its base");
    const bool interleaved = interleavedLayout(o, e2pLayoutFromMark(file));
    qv::E2pImageReader reader(file, qv::layoutOnly(interleaved));
    E2pJournal j = qv::readE2pJournal(reader.e2p);
    std::optional<std::vector<E2pChangedBlock>> changed;
    std::optional<qv::E2pImageParams> params;
    if (!o.e2pBase.empty()) {
        params = qv::readE2pImageParams(reader.e2p, readWholeFile(o.e2pBase, kE2pBound), o.e2pFiles);
        changed = params->replay.changed;
        j.problems.insert(j.problems.end(), params->table.problems.begin(), params->table.problems.end());
    }
    const bool named = params && !o.e2pFiles.empty();
    if (o.json) {
        Json out = journalJson(j, o.file, changed);
        if (named) {
            out["parameters"] = paramsJson(*params);
            out["uncoveredChanges"] = blocksJson(params->uncovered);
        }
        printJson(out);
    } else if (!o.quiet) {
        printJournal(j, o.file, changed, named ? &*params : nullptr);
    }
    return finishReport(j.problems);
}

int inspectRai(const Bytes &file, const InspectOptions &o) {
    const RaiPlace place = raiPlace(o);
    RaiStoreContents img;
    if (auto why = qv::readRaiStore(file, place.layout, img)) throw InputError(*why);
    std::string fatLine;
    std::optional<Json> fat;
    if (!o.extractFat.empty()) fat = extractFat(img, o, fatLine);
    if (o.json) {
        Json j = raiImageJson(img, o.file, place.map);
        if (fat) j["extracted"] = *fat;
        printJson(j);
    } else if (!o.quiet) {
        printRaiImage(img, o.file, place.map);
        std::printf("%s", fatLine.c_str());
    }
    return finishReport(img.problems);
}

} // namespace qvcli
