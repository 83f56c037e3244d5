#include "entry/same_file.h"

#include "base/results.h"
#include "base/log.h"
#include "base/system.h"

#include <filesystem>

namespace qv {
namespace {

// What tells two paths apart: the file they name, or where a file of that
// name would be.
struct FileId {
    std::string path; // as given
    bool exists = false;
    bool device = false; // a character device (/dev/null): reading or writing it destroys nothing
    uint64_t volume = 0; // with `index`: the file (device and inode, or volume and file index)
    uint64_t index = 0;
    std::string place; // normalised absolute path, for files that do not exist
};

FileId identify(const std::string &path) {
    FileId id;
    id.path = path;
    const sys::FileStatus st = sys::fileStatus(path);
    if (st.kind != sys::FileKind::none && st.kind != sys::FileKind::noFolder && st.kind != sys::FileKind::error) {
        id.exists = true;
        id.device = st.kind == sys::FileKind::device;
        id.volume = st.volume;
        id.index = st.index;
        return id;
    }
    std::error_code ec;
    const std::filesystem::path given = sys::fsPath(path);
    std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(given, ec), ec);
    id.place = sys::utf8Path(ec ? std::filesystem::absolute(given, ec).lexically_normal() : p);
    return id;
}

bool same(const FileId &a, const FileId &b) {
    if (a.exists != b.exists) return false;
    if (a.exists) return a.volume == b.volume && a.index == b.index && !a.device;
    return a.place == b.place;
}

void addAll(std::vector<FileId> &ids, const std::vector<std::string> &paths) {
    for (const std::string &p : paths)
        if (!p.empty()) ids.push_back(identify(p));
}

} // namespace

int checkOutputsAreNotInputs(const HostLists &in, const MergeOutputs &out, const std::string &logPath,
                             std::string &msg) {
    std::vector<FileId> inputs, outputs;
    for (const std::vector<std::string> *list : {&in.images, &in.patches, &in.cus, &in.e2pFiles})
        addAll(inputs, *list);
    addAll(outputs, {out[kCodeOutput].imagePath, out[kE2pOutput].imagePath, out[kRaiOutput].imagePath, logPath});
    for (size_t i = 0; i < outputs.size(); ++i) {
        for (const FileId &input : inputs) {
            if (!same(outputs[i], input)) continue;
            msg = strprintf("output %s is the same file as the input %s", outputs[i].path.c_str(),
                            input.path.c_str());
            return kErrOutputIsInput;
        }
        for (size_t j = i + 1; j < outputs.size(); ++j) {
            if (!same(outputs[i], outputs[j])) continue;
            msg = strprintf("output %s is the same file as the output %s", outputs[i].path.c_str(),
                            outputs[j].path.c_str());
            return kErrOutputIsOutput;
        }
    }
    return 0;
}

} // namespace qv
