// The system services of base/system.h on Linux and other POSIX systems.
#include "base/system.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace qv::sys {
namespace {

// Repeats a system call that a signal interrupted.
template <class Call> auto retried(Call call) {
    for (;;) {
        auto r = call();
        if (r >= 0 || errno != EINTR) return r;
    }
}

FileKind kindOf(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::regular;
    if (S_ISDIR(mode)) return FileKind::folder;
    if (S_ISCHR(mode)) return FileKind::device;
    return FileKind::other;
}

const char *kindName(mode_t mode) {
    if (S_ISREG(mode)) return "a regular file";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISSOCK(mode)) return "a socket";
    return "no regular file";
}

bool syncPath(const std::string &path, int flags) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace

std::FILE *openStream(const std::string &path, const char *mode) { return std::fopen(path.c_str(), mode); }

int64_t readAt(std::FILE *f, void *dst, size_t n, int64_t offset) {
    return retried([&] { return ::pread(fileno(f), dst, n, off_t(offset)); });
}

int64_t writeAt(std::FILE *f, const void *src, size_t n, int64_t offset) {
    return retried([&] { return ::pwrite(fileno(f), src, n, off_t(offset)); });
}

int64_t copyAt(std::FILE *from, int64_t fromOffset, std::FILE *to, int64_t toOffset, size_t n) {
#ifdef __linux__
    loff_t in = fromOffset, out = toOffset;
    return retried([&] { return ::copy_file_range(fileno(from), &in, fileno(to), &out, n, 0); });
#else
    (void)from, (void)fromOffset, (void)to, (void)toOffset, (void)n;
    errno = ENOSYS;
    return -1;
#endif
}

bool seek(std::FILE *f, int64_t offset, int whence) { return fseeko(f, off_t(offset), whence) == 0; }

int64_t tell(std::FILE *f) { return int64_t(ftello(f)); }

bool truncate(std::FILE *f, int64_t length) { return ::ftruncate(fileno(f), off_t(length)) == 0; }

void reserve(std::FILE *f, uint64_t length) { ::fallocate(fileno(f), FALLOC_FL_KEEP_SIZE, 0, off_t(length)); }

bool isTerminal(std::FILE *f) { return isatty(fileno(f)) == 1; }

FileStatus fileStatus(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return {FileKind::none};
        return {errno == ENOTDIR ? FileKind::noFolder : FileKind::error};
    }
    return {kindOf(st.st_mode), uint64_t(st.st_size), uint64_t(st.st_dev), uint64_t(st.st_ino), kindName(st.st_mode)};
}

std::string identity(const FileStatus &st) {
    const dev_t dev = dev_t(st.volume);
    return "inode " + std::to_string(st.index) + " on device " + std::to_string(major(dev)) + ":" +
           std::to_string(minor(dev));
}

std::string readPermission(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return "";
    char text[128];
    std::snprintf(text, sizeof text, "mode %04o, owner %u, group %u; the merge runs as user %u",
                  unsigned(st.st_mode & 07777), unsigned(st.st_uid), unsigned(st.st_gid), unsigned(::geteuid()));
    return text;
}

bool writable(const std::string &path) { return ::access(path.c_str(), W_OK) == 0; }

void removeFile(const std::string &path) { std::remove(path.c_str()); }

Created createNew(const std::string &path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? Created::exists : Created::failed;
    ::close(fd);
    return Created::yes;
}

std::string linkTarget(const std::string &path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::error_code ec;
    std::filesystem::path target = std::filesystem::canonical(path, ec);
    return ec ? path : target.string();
}

bool replaceFile(const std::string &from, const std::string &to) { return std::rename(from.c_str(), to.c_str()) == 0; }

bool syncFile(const std::string &path) { return syncPath(path, 0); }

bool syncFolder(const std::string &path) { return syncPath(path, O_DIRECTORY); }

std::string lastError() { return std::strerror(errno); }

void keepSystemError() {}

bool openedSizeAndWriteTime(const std::string &path, uint64_t &size, int64_t &writeTime) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    ::close(fd);
    size = uint64_t(st.st_size);
    writeTime = int64_t(st.st_mtime);
    return ok;
}

std::string tempDir() {
    const char *dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

std::string tempFileName(const std::string &prefix) {
    std::string dir = tempDir();
    if (dir.back() != '/') dir += '/';
    std::string name = dir + prefix + "XXXXXX";
    int fd = ::mkstemp(name.data());
    if (fd < 0) return std::string();
    ::close(fd);
    return name;
}

std::string tempFolder(const std::string &prefix) {
    std::string pattern = tempDir() + "/" + prefix + "XXXXXX";
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

bool localTime(int64_t seconds, std::tm &out) {
    std::time_t t = std::time_t(seconds);
    tzset(); // follow the current time zone, also when it changed since the last call
    return localtime_r(&t, &out) != nullptr;
}

bool utcTime(int64_t seconds, std::tm &out) {
    std::time_t t = std::time_t(seconds);
    return gmtime_r(&t, &out) != nullptr;
}

uint64_t processId() { return uint64_t(getpid()); }

void adviseHugePages(void *p, size_t n) { madvise(p, n, MADV_HUGEPAGE); }

std::vector<std::string> arguments(int argc, char **argv) { return std::vector<std::string>(argv, argv + argc); }

} // namespace qv::sys
