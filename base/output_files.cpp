#include "base/output_files.h"

#include "base/results.h"
#include "base/log.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

// Six characters that differ from call to call and from process to process:
// the time, the process, the calling object (one per call, so two calls on
// two threads differ) and how many names it asked for before.
std::string uniqueSuffix(const void *caller, uint64_t count) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    uint64_t x = uint64_t(now.tv_nsec) ^ uint64_t(now.tv_sec) << 30 ^ uint64_t(getpid()) << 20 ^ count << 48 ^
                 uint64_t(reinterpret_cast<uintptr_t>(caller));
    x = (x ^ x >> 30) * 0xBF58476D1CE4E5B9u; // splitmix64 finaliser
    x = (x ^ x >> 27) * 0x94D049BB133111EBu;
    x ^= x >> 31;
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s(6, '0');
    for (char &c : s) {
        c = kDigits[x % 36];
        x /= 36;
    }
    return s;
}

// Creates "<dirPrefix>.<name>.<suffix>", a name no file had, and stores it
// in `out` before the file exists, so that a registry holding `out` never
// loses it. When the folder takes no new file `out` keeps the name tried
// last, or is empty when every name was taken; the result is then errno of
// the failed creation (0 when it succeeded).
int createUnique(const std::string &dirPrefix, const std::string &name, const void *caller, uint64_t &count,
                 std::string &out) {
    for (int attempt = 0; attempt < 64; ++attempt) {
        out = dirPrefix + "." + name + "." + uniqueSuffix(caller, ++count);
        int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return 0;
        }
        // Opening it again fails the same way, and names the file.
        if (errno != EEXIST) return errno;
    }
    out.clear();
    return EEXIST;
}

// The file that replacing `path` replaces: a symbolic link's target, which
// writing through the link would have changed.
std::string replacedFile(const std::string &path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::error_code ec;
    std::filesystem::path target = std::filesystem::canonical(path, ec);
    return ec ? path : target.string();
}

// True when `path` is, or will be, a regular file that may be written; a
// device or a pipe is written where it is, and a folder or a file without
// write permission fails to open as it always did.
bool replaceable(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode) && ::access(path.c_str(), W_OK) == 0;
}

bool syncPath(const std::string &path, bool folder) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

int failed(std::string &msg, Cause *why, int code, const char *what, const std::string &path,
           const std::string &done) {
    const std::string reason = std::strerror(errno);
    msg = strprintf("%s %s failed: %s", what, path.c_str(), reason.c_str());
    if (why) {
        why->explain("%s: %s", done.c_str(), reason.c_str());
        why->name(path);
    }
    return code;
}

} // namespace

void OutputFiles::begin(bool safe, bool sync) {
    discard();
    opened_.reserve(3);
    safe_ = safe;
    sync_ = sync;
}

File OutputFiles::open(const std::string &path, const char *mode, FileSystem *fs) {
    if (!safe_ || path.empty() || !replaceable(path)) {
        File f(path, mode, fs);
        if (f) opened_.push_back({path, std::string()});
        return f;
    }
    opened_.push_back({replacedFile(path), std::string()});
    Output &o = opened_.back();
    std::string folder = get_dir_prefix(o.path);
    const int error = createUnique(folder, o.path.substr(folder.size()), this, names_, o.temp);
    // Messages name the path the host gave; an empty temporary fails to open.
    // The temporary was just created empty, so it is opened for update rather
    // than truncated: a truncated file is flushed whole when it is closed.
    File f(path, std::strchr(mode, 'b') ? "r+b" : "r+", o.temp, fs);
    if (!f && error) errno = error; // the reason is the creation's, not the open's
    return f;
}

bool OutputFiles::openLog(MergeLog &log, const std::string &path) {
    if (safe_ && !path.empty() && replaceable(path)) {
        const std::string target = replacedFile(path), folder = get_dir_prefix(target);
        std::string temp;
        createUnique(folder, target.substr(folder.size()), this, names_, temp);
        if (!temp.empty()) {
            if (log.open(temp, target)) return true;
            removeFile(temp);
        }
    }
    return log.open(path);
}

std::string OutputFiles::scratch(const std::string &dirPrefix, const char *name) {
    if (!safe_) return dirPrefix + name;
    scratch_.emplace_back();
    createUnique(dirPrefix, name, this, names_, scratch_.back());
    return scratch_.back();
}

int OutputFiles::sync(std::string &msg, Cause *why) const {
    for (const Output &o : opened_) {
        const std::string &written = o.temp.empty() ? o.path : o.temp;
        if (!syncPath(written, false))
            return failed(msg, why, kErrSyncOutput, "sync", o.path, "flushing " + written + " to the disk");
    }
    return 0;
}

int OutputFiles::replace(std::string &msg, Cause *why) {
    for (Output &o : opened_) {
        if (o.temp.empty()) continue;
        if (std::rename(o.temp.c_str(), o.path.c_str()) != 0)
            return failed(msg, why, kErrReplaceOutput, "replace", o.path,
                          "moving the finished image " + o.temp + " over it");
        o.temp.clear();
    }
    return 0;
}

int OutputFiles::commit(std::string &msg, Cause *why) {
    if (sync_)
        if (int r = sync(msg, why)) return r;
    if (int r = replace(msg, why)) return r;
    if (!sync_) return 0;
    for (const Output &o : opened_) {
        std::string folder = get_dir_prefix(o.path);
        if (!syncPath(folder.empty() ? "." : folder, true))
            return failed(msg, why, kErrSyncOutput, "sync", folder, "flushing the folder's entries to the disk");
    }
    return 0;
}

void OutputFiles::discard() noexcept {
    for (const Output &o : opened_)
        if (!o.temp.empty()) removeFile(o.temp);
    for (const std::string &s : scratch_) removeFile(s);
    opened_.clear();
    scratch_.clear();
    safe_ = sync_ = false;
}

} // namespace qv
