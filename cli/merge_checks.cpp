// What a merge is refused for before anything is written: a required input
// or every output missing, a log whose folder does not exist, a FlashInfo
// record shorter than its fields, an output that is a file the command reads
// or writes itself.
#include "cli/errors.h"
#include "cli/flash_desc.h"
#include "cli/merge_args.h"

#include "base/system.h"
#include "entry/same_file.h"

#include <filesystem>

namespace qvcli {
namespace {

void requireInput(const std::string &value, const char *flag, const char *field) {
    if (value.empty()) throw UsageError(std::string(flag) + ": required (or \"" + field + "\" in the manifest)");
}

// The log is the one output created in place; a missing folder would fail the
// merge only after its outputs were decided.
void requireLogFolder(const std::string &log) {
    const std::filesystem::path dir = qv::sys::fsPath(log).parent_path();
    std::error_code ec;
    if (!dir.empty() && !std::filesystem::is_directory(dir, ec))
        throw UsageError("--log: the folder " + qv::sys::utf8Path(dir) + " of " + log + " does not exist");
}

} // namespace

void checkMergeArgs(const MergeArgs &a) {
    if (a.flashInfoPath.empty() && !a.flashInfoRecord) requireInput("", "--flash-info", "flashInfo");
    requireInput(a.e2pBase, "--e2p-base", "e2pBase");
    requireInput(a.e2pArea, "--e2p-area", "e2pArea");
    if (a.outCode.empty() && a.outE2p.empty() && a.outRai.empty())
        throw UsageError("--out-code, --out-e2p, --out-rai: none given (or \"outputs\" in the manifest); a merge "
                         "needs at least one output");
    requireLogFolder(a.log);
}

// The library refuses outputs that are its own inputs or each other. The
// command reads the FlashInfo record and the two E2P buffers and writes the
// merged area itself; the same rule holds for them, the merged area being
// allowed to replace the area it was read from.
int checkCommandFiles(const MergeArgs &a, std::string &msg) {
    qv::MergeOutputs images;
    images[qv::kCodeOutput].imagePath = a.outCode;
    images[qv::kE2pOutput].imagePath = a.outE2p;
    images[qv::kRaiOutput].imagePath = a.outRai;
    const qv::HostLists read{{a.flashInfoPath, a.e2pBase, a.e2pArea}, {}, {}, {}};
    if (const int r = qv::checkOutputsAreNotInputs(read, images, a.log, msg)) return r;
    if (a.e2pAreaOut.empty()) return 0;
    qv::HostLists inputs{a.images, a.patches, a.cus, a.e2pFiles};
    inputs.images.insert(inputs.images.end(), {a.flashInfoPath, a.e2pBase});
    qv::MergeOutputs areaOut;
    areaOut[0].imagePath = a.e2pAreaOut;
    if (const int r = qv::checkOutputsAreNotInputs(inputs, areaOut, "", msg)) return r;
    for (const std::string *other : {&a.outCode, &a.outE2p, &a.outRai, &a.log}) {
        areaOut[1].imagePath = *other;
        if (const int r = qv::checkOutputsAreNotInputs({}, areaOut, "", msg)) return r;
    }
    return 0;
}

FlashSource flashSourceOf(const MergeArgs &a) {
    try {
        return {a.flashInfoRecord ? flashRecordFromBytes(*a.flashInfoRecord, "flashInfo") : loadFlashRecord(a.flashInfoPath),
                ""};
    } catch (const std::exception &e) {
        return {std::nullopt, e.what()};
    }
}

Bytes flashRecord(const MergeArgs &a) {
    if (a.flashInfoRecord) return *a.flashInfoRecord;
    if (a.flashInfoPath.ends_with(".json")) return loadFlashRecord(a.flashInfoPath).bytes;
    Bytes b = readWholeFile(a.flashInfoPath, kRecordBound);
    if (auto why = qv::flashRecordShortfall(b)) throw UsageError("--flash-info: " + a.flashInfoPath + ": " + *why);
    return b;
}

} // namespace qvcli
