// What a merge is refused for before anything is written: a required input
// or every output missing, a log whose folder does not exist, a FlashInfo
// record shorter than its fields.
#include "cli/errors.h"
#include "cli/flash_desc.h"
#include "cli/merge_args.h"

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

Bytes flashRecord(const MergeArgs &a) {
    if (a.flashInfoRecord) return *a.flashInfoRecord;
    if (a.flashInfoPath.ends_with(".json")) return encodeFlashDesc(loadFlashDesc(a.flashInfoPath));
    Bytes b = readWholeFile(a.flashInfoPath, kRecordBound);
    if (auto why = recordShortfall(b)) throw UsageError("--flash-info: " + a.flashInfoPath + ": " + *why);
    return b;
}

} // namespace qvcli
