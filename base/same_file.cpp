#include "base/same_file.h"

#include <filesystem>

namespace qv {

FileId::FileId(const std::string &path) : path_(path), status_(sys::fileStatus(path)) {
    const sys::FileKind kind = status_.kind;
    exists_ = kind != sys::FileKind::none && kind != sys::FileKind::noFolder && kind != sys::FileKind::error;
    if (exists_) return;
    std::error_code ec;
    const std::filesystem::path given = sys::fsPath(path);
    std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(given, ec), ec);
    place_ = sys::utf8Path(ec ? std::filesystem::absolute(given, ec).lexically_normal() : p);
}

bool FileId::sameAs(const FileId &other) const {
    if (exists_ != other.exists_) return false;
    if (exists_)
        return status_.volume == other.status_.volume && status_.index == other.status_.index &&
               status_.kind != sys::FileKind::device;
    return place_ == other.place_;
}

std::string FileId::sameness() const {
    if (!exists_) return "both would be " + place_;
    return "both are " + sys::identity(status_);
}

} // namespace qv
