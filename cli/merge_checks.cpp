// What a merge is refused for before anything is written: a required input
// or every output missing, a log whose folder does not exist, a FlashInfo
// record shorter than its fields, an output that is a file the command reads
// or writes itself.
#include "cli/errors.h"
#include "cli/flash_desc.h"
#include "cli/merge_args.h"

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
    const std::filesystem::path dir = std::filesystem::path(log).parent_path();
    std::error_code ec;
    if (!dir.empty() && !std::filesystem::is_directory(dir, ec))
        throw UsageError("--log: the folder " + dir.string() + " of " + log + " does not exist");
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
    // Each file the command writes itself is no input and no output before it.
    qv::HostLists inputs{a.images, a.patches, a.cus, a.e2pFiles};
    inputs.images.insert(inputs.images.end(), {a.flashInfoPath, a.e2pBase});
    const std::string *outputs[] = {&a.outCode, &a.outE2p, &a.outRai, &a.log, &a.e2pAreaOut, &a.record, &a.outFlash};
    for (size_t i = 4; i < std::size(outputs); ++i) {
        if (outputs[i]->empty()) continue;
        qv::MergeOutputs own;
        own[0].imagePath = *outputs[i];
        if (i == 5) inputs.images.push_back(a.e2pArea); // only the merged area may replace it
        if (const int r = qv::checkOutputsAreNotInputs(inputs, own, "", msg)) return r;
        for (size_t k = 0; k < i; ++k) {
            own[1].imagePath = *outputs[k];
            if (const int r = qv::checkOutputsAreNotInputs({}, own, "", msg)) return r;
        }
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
