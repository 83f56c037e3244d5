#include "codeimage/size_date.h"

#include "base/results.h"
#include "base/system.h"

#include <cstdio>
#include <ctime>

namespace qv {
namespace {

// The time the record shows: the file's last write in local time, or the
// host's fixed time of the call (seconds since 1970) in UTC, which makes a
// build reproducible.
bool recordedTime(int64_t writeTime, int64_t fixed, std::tm &shown) {
    return fixed != -1 ? sys::utcTime(fixed, shown) : sys::localTime(writeTime, shown);
}

} // namespace

int SendBinaryFileSizeAndDate(const std::string &path, std::vector<uint8_t> &record, uint32_t &length,
                              int64_t fixedTime, Cause *why) {
    // The size and time of the very file opened, with other writers denied.
    uint64_t size = 0;
    int64_t writeTime = 0;
    if (!sys::openedSizeAndWriteTime(path, size, writeTime)) {
        if (why) why->explain("cannot be opened for its size and last-write time: %s", systemReason().c_str());
        return kErrSizeDate;
    }
    std::tm local{};
    if (!recordedTime(writeTime, fixedTime, local)) {
        if (why) why->explain("its last-write time %lld has no calendar date", static_cast<long long>(writeTime));
        return kErrSizeDate;
    }

    char text[64];
    int n = std::snprintf(text, sizeof text, "%d %02i%02i%02i %02i:%02i", int32_t(uint32_t(size)),
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
