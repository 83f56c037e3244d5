#include "cli/io.h"

#include "base/system.h"

namespace qvcli {

std::string directoryOf(const std::string &path) {
    return qv::sys::utf8Path(qv::sys::fsPath(path).parent_path());
}

std::string resolvePath(const std::string &dir, const std::string &path) {
    if (dir.empty() || path.empty() || qv::sys::fsPath(path).is_absolute()) return path;
    return qv::sys::utf8Path((qv::sys::fsPath(dir) / qv::sys::fsPath(path)).lexically_normal());
}

} // namespace qvcli
