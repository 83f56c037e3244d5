#include "cli/io.h"

#include "cli/errors.h"
#include "driver/file.h"

#include <filesystem>

namespace qvcli {

namespace {

// The size of a regular file, checked against the bound.
uint64_t boundedSize(const std::string &path, const ReadBound &bound) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (fs::is_directory(st)) throw InputError(path + " is a folder, not a file");
    if (ec || !fs::exists(st)) throw InputError("cannot read " + path);
    if (!fs::is_regular_file(st)) throw InputError(path + " is not a regular file");
    const uintmax_t size = fs::file_size(path, ec);
    if (ec) throw InputError("cannot read " + path);
    if (size > bound.maxBytes)
        throw InputError(path + " holds " + std::to_string(size) + " bytes, more than " + bound.what + " may (at most " +
                         std::to_string(bound.maxBytes) + ")");
    return size;
}

} // namespace

Bytes readWholeFile(const std::string &path, const ReadBound &bound) {
    const uint64_t size = boundedSize(path, bound);
    qv::File f(path, "rb");
    if (!f) throw InputError("cannot read " + path);
    Bytes out(static_cast<size_t>(size));
    if (f.read(out.data(), out.size()) != out.size()) throw InputError("cannot read " + path);
    return out;
}

void writeWholeFile(const std::string &path, const Bytes &data) {
    qv::File f(path, "wb");
    if (!f) throw InputError("cannot create " + path);
    f.write(data.data(), data.size());
    if (!f.close()) throw InputError("cannot write " + path);
}

std::string readTextFile(const std::string &path, const ReadBound &bound) {
    Bytes b = readWholeFile(path, bound);
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
