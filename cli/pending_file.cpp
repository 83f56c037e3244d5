#include "cli/pending_file.h"

#include "cli/errors.h"

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qvcli {
namespace {

bool writeAll(int fd, const Bytes &data) {
    size_t at = 0;
    while (at < data.size()) {
        const ssize_t n = ::write(fd, data.data() + at, data.size() - at);
        if (n <= 0) return false;
        at += size_t(n);
    }
    return true;
}

// Makes the rename itself durable.
bool syncFolder(const std::string &path) {
    std::string dir = std::filesystem::path(path).parent_path().string();
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

PendingFile::PendingFile(std::string path) : path_(std::move(path)) {
    const std::filesystem::path p(path_);
    temp_ = (p.parent_path() / ("." + p.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(temp_.begin(), temp_.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) throw InputError("cannot create " + path_);
    temp_ = name.data();
    // mkstemp gives 0600; the file gets the mode any new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
}

PendingFile::~PendingFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_.empty()) std::remove(temp_.c_str());
}

void PendingFile::commit(const Bytes &data, bool sync) {
    bool ok = writeAll(fd_, data) && (!sync || ::fsync(fd_) == 0);
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    if (!ok || std::rename(temp_.c_str(), path_.c_str()) != 0) throw InputError("cannot write " + path_);
    temp_.clear();
    if (sync && !syncFolder(path_)) throw InputError("cannot write " + path_);
}

} // namespace qvcli
