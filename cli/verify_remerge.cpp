// The release merged again from its record's inputs into a temporary folder,
// with the recorded time, and each output compared byte for byte with the
// folder's.
#include "cli/errors.h"
#include "cli/merge_run.h"
#include "cli/verify.h"

#include "base/cause.h"
#include "base/file.h"
#include "base/system.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <filesystem>

namespace qvcli {
namespace {

namespace fs = std::filesystem;

// A folder of its own in the system's temporary folder, removed with all it holds.
class ScratchFolder {
public:
    ScratchFolder() {
        path_ = qv::sys::tempFolder("quorvel-remerge-");
        if (path_.empty())
            throw InputError("cannot create a temporary folder in " + qv::sys::tempDir(),
                             qv::sys::tempDir() + ": " + qv::systemReason());
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(qv::sys::fsPath(path_), ec);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;
    std::string operator/(const char *name) const { return qv::sys::utf8Path(qv::sys::fsPath(path_) / name); }

private:
    std::string path_;
};

// The merge arguments the record names, outputs into the scratch folder.
MergeArgs argsOf(const ReleaseRecord &r, const ScratchFolder &tmp, bool &lenient) {
    MergeArgs a = recordedArgs(r, lenient);
    a.outCode = a.outCode.empty() ? "" : tmp / "code";
    a.outE2p = a.outE2p.empty() ? "" : tmp / "e2p";
    a.outRai = a.outRai.empty() ? "" : tmp / "rai";
    a.e2pAreaOut = r.mergedArea ? tmp / "e2p_area" : "";
    a.log = tmp / "merge.log";
    return a;
}

// The first offset where two files differ, or nothing when they are the same.
std::optional<uint64_t> firstDifference(const std::string &a, const std::string &b) {
    qv::File fa(a, "rb"), fb(b, "rb");
    if (!fa || !fb) return 0;
    std::vector<uint8_t> ba(size_t(1) << 20), bb(ba.size());
    for (int64_t at = 0;; at += int64_t(ba.size())) {
        const size_t na = fa.readAt(ba.data(), ba.size(), at), nb = fb.readAt(bb.data(), bb.size(), at);
        const size_t n = std::min(na, nb);
        if (std::memcmp(ba.data(), bb.data(), n) != 0)
            for (size_t i = 0; i < n; ++i)
                if (ba[i] != bb[i]) return uint64_t(at) + i;
        if (na != nb) return uint64_t(at) + n;
        if (na < ba.size()) return std::nullopt;
    }
}

void compareOutput(const ReleaseRecord &r, const RecordFile &f, const std::string &again, const std::string &role,
                   VerifyResult &v) {
    const std::string mine = r.pathOf(f);
    std::error_code ec;
    const bool made = fs::is_regular_file(again, ec), there = fs::is_regular_file(mine, ec);
    if (made != there) {
        const std::string what = made ? "the merge again writes it, the folder has no file" : "the merge again writes no file";
        v.differences.push_back({role + " " + f.path + ": " + what, Json{{"kind", role}, {"path", f.path}, {"problem", what}}});
        return;
    }
    if (!made) return;
    if (auto at = firstDifference(mine, again))
        v.differences.push_back({role + " " + f.path + ": differs from the merge again from offset " + std::to_string(*at) +
                                     " on",
                                 Json{{"kind", role}, {"path", f.path}, {"problem", "differs"}, {"offset", *at}}});
}

} // namespace

void verifyRemerge(const ReleaseRecord &r, VerifyResult &v) {
    verifyFolder(r, false, v);
    const ScratchFolder tmp;
    MergeSwitches s;
    s.quiet = true;
    s.recordedTime = r.recordedTime.value_or(-1);
    const MergeArgs a = argsOf(r, tmp, s.lenient);
    const int status = runMerge(a, s);
    if (status != kExitOk && r.result == 0) {
        v.differences.push_back({"the merge again failed (exit status " + std::to_string(status) + ")",
                                 Json{{"kind", "remerge"}, {"exitStatus", status}}});
        return;
    }
    const std::string again[] = {a.outCode, a.outE2p, a.outRai};
    for (size_t i = 0; i < r.outputs.size() && i < 3; ++i)
        if (!again[i].empty()) compareOutput(r, r.outputs[i].file, again[i], r.outputs[i].image + " image", v);
    if (r.mergedArea) compareOutput(r, *r.mergedArea, a.e2pAreaOut, "merged E2P area", v);
    v.checked.push_back("the release merged again and its outputs compared byte for byte (the log names the paths as "
                        "given and is not compared)");
}

} // namespace qvcli
