#include "codeimage/size_date.h"

#include "base/results.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

// A read-only descriptor, closed on every way out. The record needs the size
// and the last-write time of the very file that was opened, which only the
// descriptor gives.
class ReadOnlyFd {
public:
    explicit ReadOnlyFd(const std::string &path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadOnlyFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    ReadOnlyFd(const ReadOnlyFd &) = delete;
    ReadOnlyFd &operator=(const ReadOnlyFd &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool statOpenFile(const std::string &path, struct stat &st, Cause *why) {
    ReadOnlyFd fd(path);
    if (fd.get() >= 0 && ::fstat(fd.get(), &st) == 0) return true;
    if (why) why->explain("cannot be opened for its size and last-write time: %s", systemReason().c_str());
    return false;
}

// The time the record shows: the file's last write in local time, or the
// host's fixed time of the call (seconds since 1970) in UTC, which makes a
// build reproducible.
bool recordedTime(const struct stat &st, int64_t fixed, std::tm &shown) {
    if (fixed != -1) {
        std::time_t t = std::time_t(fixed);
        return gmtime_r(&t, &shown) != nullptr;
    }
    std::time_t mtime = st.st_mtime;
    tzset(); // follow the current time zone, also when it changed since the last call
    return localtime_r(&mtime, &shown) != nullptr;
}

} // namespace

int SendBinaryFileSizeAndDate(const std::string &path, std::vector<uint8_t> &record, uint32_t &length,
                              int64_t fixedTime, Cause *why) {
    struct stat st {};
    if (!statOpenFile(path, st, why)) return kErrSizeDate;
    std::tm local{};
    if (!recordedTime(st, fixedTime, local)) {
        if (why) why->explain("its last-write time %lld has no calendar date", static_cast<long long>(st.st_mtime));
        return kErrSizeDate;
    }

    char text[64];
    int n = std::snprintf(text, sizeof text, "%d %02i%02i%02i %02i:%02i", int32_t(uint32_t(st.st_size)),
                          local.tm_mon + 1, local.tm_mday, (local.tm_year + 1900) % 100, local.tm_hour,
                          local.tm_min);
    if (n < 0) return kErrSizeDate;
    std::vector<uint8_t> out(kSizeDateLength, ' ');
    for (int i = 0; i < n && i < int(kSizeDateLength) - 1; ++i) out[size_t(i)] = uint8_t(text[i]);
    out[kSizeDateLength - 1] = 0;
    record = std::move(out);
    length = kSizeDateLength;
    return 0;
}

} // namespace qv
