// The record of a merge, from the release as the report gathers it.
#include "report/command_files.h"
#include "cli/record.h"
#include "cli/paths.h"
#include "report/files.h"
#include "report/digests.h"

#include <quorvel/quorvel.h>

#include "base/system.h"

#include <filesystem>

namespace qvcli {
namespace {

namespace fs = std::filesystem;

// `path` relative to `folder` when both lie under one root, else absolute:
// the record names the same files wherever the release is copied to.
std::string storedPath(const std::string &folder, const std::string &path) {
    if (path.empty()) return path;
    std::error_code ec;
    const fs::path base = fs::absolute(qv::sys::fsPath(folder.empty() ? "." : folder), ec).lexically_normal();
    const fs::path p = fs::absolute(qv::sys::fsPath(path), ec).lexically_normal();
    const fs::path rel = p.lexically_relative(base);
    return qv::sys::utf8Path(rel.empty() ? p : rel);
}

RecordFile recordFile(const std::string &folder, const FileFacts &f) {
    return RecordFile{storedPath(folder, f.path), f.exists, f.size, f.sha256};
}

// The merge argument an input was given as, by the kind the report sorts it as.
std::string listOf(const std::string &kind) {
    if (kind == "flash info") return "flashInfo";
    if (kind == "manifest") return "manifest";
    if (kind == "code" || kind == "rai") return "images";
    if (kind == "cus") return "cus";
    if (kind == "e2p") return "e2pFiles";
    if (kind == "e2p base") return "e2pBase";
    if (kind == "e2p area") return "e2pArea";
    return "patches"; // dsp, mcp, and patch files neither of them
}

} // namespace

ReleaseRecord recordOf(const ReleaseModel &m, const MergeArgs &a, ByteView flashRecord,
                       std::optional<int64_t> recordedTime, const std::string &recordPath) {
    const std::string folder = directoryOf(recordPath);
    ReleaseRecord r;
    r.tool = std::string("quorvel ") + quorvel_version();
    r.recordedTime = recordedTime;
    r.flash = qv::decodeFlashDesc(flashRecord);
    r.flashRecordSha256 = sha256Hex(flashRecord.data(), flashRecord.size());
    r.eraseAll = a.eraseAll;
    for (const InputFile &in : m.inputs)
        r.inputs.push_back(RecordInput{listOf(in.kind), in.kind, recordFile(folder, in.file), in.used, in.usedFor});
    for (const OutputFile &o : m.outputs)
        r.outputs.push_back(RecordOutput{o.image, o.produced, o.type, o.flashAddress, o.size, recordFile(folder, o.file)});
    if (!a.e2pAreaOut.empty()) r.mergedArea = recordFile(folder, fileFacts(a.e2pAreaOut));
    r.log = recordFile(folder, fileFacts(a.log));
    if (m.merge) {
        r.result = m.merge->result;
        r.message = m.merge->message;
        r.cause = m.merge->cause;
    }
    if (m.map) r.areas = RecordAreas{m.map->raiBase, m.map->trcBase, m.map->eepromBase, m.map->top};
    r.folder = folder;
    return r;
}

void writeRecord(const std::string &path, const ReleaseRecord &r, bool sync) {
    writeWholeFile(path, asBytes(dumpJson(recordToJson(r), 2) + "\n"), sync);
}

} // namespace qvcli
