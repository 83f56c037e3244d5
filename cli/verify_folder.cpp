// The folder of a release against its record: every input and output file
// still has the size and digest the record gives.
#include "cli/verify.h"

#include "report/files.h"

namespace qvcli {
namespace {

// Compares one file; a finding when it is missing or differs.
void checkFile(const ReleaseRecord &r, const RecordFile &f, const std::string &role, const std::string &stale,
               VerifyResult &v, const FactsOf &facts) {
    if (f.path.empty() || !f.exists) return;
    const FileFacts now = facts(r.pathOf(f));
    Json j{{"kind", role}, {"path", f.path}, {"recordedSha256", f.sha256}};
    if (!now.exists) {
        j["problem"] = "missing";
        v.differences.push_back({role + " " + f.path + ": missing" + stale, j});
    } else if (now.size != f.size || now.sha256 != f.sha256) {
        j["problem"] = "changed";
        j["sha256"] = now.sha256;
        j["size"] = now.size;
        j["recordedSize"] = f.size;
        v.differences.push_back({role + " " + f.path + ": changed (" + std::to_string(now.size) + " bytes, sha256 " +
                                     now.sha256.substr(0, 16) + "...; recorded " + std::to_string(f.size) + " bytes, " +
                                     f.sha256.substr(0, 16) + "...)" + stale,
                                 j});
    }
}

} // namespace

void verifyFolder(const ReleaseRecord &r, bool outputsOnly, VerifyResult &v, const FactsOf &factsOf) {
    const FactsOf facts = factsOf ? factsOf : FactsOf([](const std::string &path) { return fileFacts(path); });
    if (r.result != 0)
        v.differences.push_back({"the merge of this release failed: error " + std::to_string(r.result) + ": " + r.message,
                                 Json{{"kind", "result"}, {"code", r.result}, {"message", r.message}}});
    size_t files = 0;
    if (!outputsOnly)
        for (const RecordInput &in : r.inputs) {
            checkFile(r, in.file, "input", ": the images are stale", v, facts);
            files += in.file.exists;
        }
    for (const RecordOutput &o : r.outputs) {
        if (!o.produced) continue;
        checkFile(r, o.file, o.image + " image", "", v, facts);
        ++files;
    }
    if (!outputsOnly) {
        if (r.mergedArea) checkFile(r, *r.mergedArea, "merged E2P area", "", v, facts), ++files;
        checkFile(r, r.log, "log", "", v, facts);
        files += r.log.exists;
    }
    v.checked.push_back(std::to_string(files) + " files against their recorded digests");
}

} // namespace qvcli
