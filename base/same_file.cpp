#include "base/same_file.h"

#include "base/log.h"

#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace qv {

FileId::FileId(const std::string &path) : path_(path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        exists_ = true;
        device_ = S_ISCHR(st.st_mode);
        dev_ = st.st_dev;
        ino_ = st.st_ino;
        return;
    }
    std::error_code ec;
    std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    place_ = ec ? std::filesystem::absolute(path, ec).lexically_normal().string() : p.string();
}

bool FileId::sameAs(const FileId &other) const {
    if (exists_ != other.exists_) return false;
    if (exists_) return dev_ == other.dev_ && ino_ == other.ino_ && !device_;
    return place_ == other.place_;
}

std::string FileId::sameness() const {
    if (!exists_) return "both would be " + place_;
    return strprintf("both are inode %llu on device %u:%u", static_cast<unsigned long long>(ino_), major(dev_),
                     minor(dev_));
}

} // namespace qv
