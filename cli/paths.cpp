#include "cli/paths.h"

#include "cli/errors.h"

#include "base/same_file.h"
#include "base/system.h"

#include <filesystem>

namespace qvcli {
namespace {

namespace fs = std::filesystem;

// A file can be created at `out.path`: it is no folder, and its folder is one.
void checkPlace(const NamedPath &out) {
    std::error_code ec;
    const fs::path path = qv::sys::fsPath(out.path);
    if (fs::is_directory(path, ec)) throw UsageError(out.by + ": " + out.path + " is a folder, not a file");
    const fs::path dir = path.parent_path();
    if (!dir.empty() && !fs::is_directory(dir, ec))
        throw UsageError(out.by + ": the folder " + qv::sys::utf8Path(dir) + " of " + out.path + " does not exist");
}

[[noreturn]] void refuse(const NamedPath &out, const char *kind, const NamedPath &other) {
    throw UsageError(out.by + ": " + out.path + " is the same file as the " + kind + " " + other.path + " (" +
                     other.by + ")");
}

} // namespace

std::string directoryOf(const std::string &path) {
    return qv::sys::utf8Path(qv::sys::fsPath(path).parent_path());
}

std::string resolvePath(const std::string &dir, const std::string &path) {
    if (dir.empty() || path.empty() || qv::sys::fsPath(path).is_absolute()) return path;
    return qv::sys::utf8Path((qv::sys::fsPath(dir) / qv::sys::fsPath(path)).lexically_normal());
}

void checkOutputPaths(const std::vector<NamedPath> &inputs, const std::vector<NamedPath> &outputs) {
    std::vector<qv::FileId> in, out;
    for (const NamedPath &p : inputs) in.emplace_back(p.path);
    for (const NamedPath &p : outputs) out.emplace_back(p.path);
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i].path.empty()) continue;
        checkPlace(outputs[i]);
        for (size_t k = 0; k < inputs.size(); ++k)
            if (!inputs[k].path.empty() && inputs[k].by != outputs[i].mayReplace && out[i].sameAs(in[k]))
                refuse(outputs[i], "input", inputs[k]);
        for (size_t j = i + 1; j < outputs.size(); ++j)
            if (!outputs[j].path.empty() && out[i].sameAs(out[j])) refuse(outputs[j], "output", outputs[i]);
    }
}

} // namespace qvcli
