#include "cli/io.h"

#include <filesystem>

namespace qvcli {

std::string directoryOf(const std::string &path) {
    return std::filesystem::path(path).parent_path().string();
}

std::string resolvePath(const std::string &dir, const std::string &path) {
    if (dir.empty() || path.empty() || std::filesystem::path(path).is_absolute()) return path;
    return (std::filesystem::path(dir) / path).lexically_normal().string();
}

} // namespace qvcli
