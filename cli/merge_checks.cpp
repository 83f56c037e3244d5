// What a merge is refused for before anything is written: a required input
// or an image it writes missing, an output that may not be written, a
// FlashInfo record shorter than its fields.
#include "cli/errors.h"
#include "cli/flash_info_file.h"
#include "cli/merge_args.h"

#include "entry/images_written.h"

namespace qvcli {
namespace {

void requireInput(const std::string &value, const char *flag, const char *field) {
    if (value.empty()) throw UsageError(std::string(flag) + ": required (or \"" + field + "\" in the manifest)");
}

// Every image the merge will write needs its path: the merge would fail only
// when it comes to create it.
void requireOutputs(const MergeArgs &a) {
    static constexpr const char *kFlags[] = {"--out-code", "--out-e2p", "--out-rai"};
    static constexpr const char *kFields[] = {"code", "e2p", "rai"};
    const std::string *paths[] = {&a.outCode, &a.outE2p, &a.outRai};
    const std::array<bool, 3> written = qv::imagesWritten({a.images, a.patches, a.cus, a.e2pFiles});
    for (size_t i = 0; i < written.size(); ++i)
        if (written[i] && paths[i]->empty())
            throw UsageError(std::string(kFlags[i]) + ": required (or \"outputs." + kFields[i] +
                             "\" in the manifest): the merge writes the " + qv::imageName(qv::OutputIndex(i)) + ": " +
                             qv::whyWritten(qv::OutputIndex(i)));
}

void addAll(std::vector<NamedPath> &to, const std::vector<std::string> &paths, const char *flag) {
    for (const std::string &p : paths) to.push_back({p, flag});
}

} // namespace

void checkMergeArgs(const MergeArgs &a, const std::string &manifest, const std::string &report) {
    if (a.flashInfoPath.empty() && !a.flashInfoRecord) requireInput("", "--flash-info", "flashInfo");
    requireInput(a.e2pBase, "--e2p-base", "e2pBase");
    requireInput(a.e2pArea, "--e2p-area", "e2pArea");
    requireOutputs(a);
    std::vector<NamedPath> inputs = {
        {manifest, "--manifest"}, {a.flashInfoPath, "--flash-info"}, {a.e2pBase, "--e2p-base"}, {a.e2pArea, "--e2p-area"}};
    addAll(inputs, a.images, "--image");
    addAll(inputs, a.patches, "--patch");
    addAll(inputs, a.cus, "--cus");
    addAll(inputs, a.e2pFiles, "--e2p-file");
    checkOutputPaths(inputs, {{a.outCode, "--out-code"},
                              {a.outE2p, "--out-e2p"},
                              {a.outRai, "--out-rai"},
                              {a.log, "--log"},
                              {a.e2pAreaOut, "--e2p-area-out", "--e2p-area"},
                              {report, "--report"},
                              {a.record, "--record"},
                              {a.outFlash, "--out-flash"}});
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
