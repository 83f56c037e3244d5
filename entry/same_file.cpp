#include "entry/same_file.h"

#include "base/results.h"
#include "base/log.h"

#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace qv {
namespace {

// What tells two paths apart: the file they name, or where a file of that
// name would be.
struct FileId {
    std::string path; // as given
    bool exists = false;
    bool device = false; // a character device (/dev/null): reading or writing it destroys nothing
    dev_t dev = 0;
    ino_t ino = 0;
    std::string place; // normalised absolute path, for files that do not exist
};

FileId identify(const std::string &path) {
    FileId id;
    id.path = path;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        id.exists = true;
        id.device = S_ISCHR(st.st_mode);
        id.dev = st.st_dev;
        id.ino = st.st_ino;
        return id;
    }
    std::error_code ec;
    std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    id.place = ec ? std::filesystem::absolute(path, ec).lexically_normal().string() : p.string();
    return id;
}

bool same(const FileId &a, const FileId &b) {
    if (a.exists != b.exists) return false;
    if (a.exists) return a.dev == b.dev && a.ino == b.ino && !a.device;
    return a.place == b.place;
}

// What makes a file the same as another, for a cause.
std::string sameness(const FileId &id) {
    if (!id.exists) return "both would be " + id.place;
    return strprintf("both are inode %llu on device %u:%u", static_cast<unsigned long long>(id.ino), major(id.dev),
                     minor(id.dev));
}

int refuse(std::string &msg, Cause *why, int code, const FileId &output, const char *kind, const FileId &other) {
    msg = strprintf("output %s is the same file as the %s %s", output.path.c_str(), kind, other.path.c_str());
    if (why) {
        why->explain("%s", sameness(output).c_str());
        why->name(output.path);
    }
    return code;
}

void addAll(std::vector<FileId> &ids, const std::vector<std::string> &paths) {
    for (const std::string &p : paths)
        if (!p.empty()) ids.push_back(identify(p));
}

} // namespace

int checkOutputsAreNotInputs(const HostLists &in, const MergeOutputs &out, const std::string &logPath,
                             std::string &msg, Cause *why) {
    std::vector<FileId> inputs, outputs;
    for (const std::vector<std::string> *list : {&in.images, &in.patches, &in.cus, &in.e2pFiles})
        addAll(inputs, *list);
    addAll(outputs, {out[kCodeOutput].imagePath, out[kE2pOutput].imagePath, out[kRaiOutput].imagePath, logPath});
    for (size_t i = 0; i < outputs.size(); ++i) {
        for (const FileId &input : inputs) {
            if (same(outputs[i], input)) return refuse(msg, why, kErrOutputIsInput, outputs[i], "input", input);
        }
        for (size_t j = i + 1; j < outputs.size(); ++j) {
            if (same(outputs[i], outputs[j]))
                return refuse(msg, why, kErrOutputIsOutput, outputs[i], "output", outputs[j]);
        }
    }
    return 0;
}

} // namespace qv
