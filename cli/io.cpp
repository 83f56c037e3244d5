#include "cli/io.h"

#include "cli/errors.h"
#include "base/file.h"

#include <filesystem>

namespace qvcli {

Bytes readWholeFile(const std::string &path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw InputError(path + " is a folder, not a file");
    qv::File f(path, "rb");
    if (!f) throw InputError("cannot read " + path);
    int64_t len = f.length();
    if (len < 0) throw InputError("cannot read " + path);
    Bytes out(static_cast<size_t>(len));
    if (f.read(out.data(), out.size()) != out.size()) throw InputError("cannot read " + path);
    return out;
}

void writeWholeFile(const std::string &path, const Bytes &data) {
    qv::File f(path, "wb");
    if (!f) throw InputError("cannot create " + path);
    f.write(data.data(), data.size());
    if (!f.close()) throw InputError("cannot write " + path);
}

std::string readTextFile(const std::string &path) {
    Bytes b = readWholeFile(path);
    return std::string(b.begin(), b.end());
}

std::string directoryOf(const std::string &path) {
    return std::filesystem::path(path).parent_path().string();
}

std::string resolvePath(const std::string &dir, const std::string &path) {
    if (dir.empty() || path.empty() || std::filesystem::path(path).is_absolute()) return path;
    return (std::filesystem::path(dir) / path).lexically_normal().string();
}

} // namespace qvcli
