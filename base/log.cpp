#include "base/log.h"

#include <vector>

namespace qv {

bool MergeLog::open(const std::string &path, const std::string &moveTo) {
    close();
    f_ = std::fopen(path.c_str(), "wt");
    if (f_ && !moveTo.empty()) path_ = path, moveTo_ = moveTo;
    return f_ != nullptr;
}

void MergeLog::close() {
    if (!f_) return;
    const bool written = std::fclose(f_) == 0;
    f_ = nullptr;
    if (!moveTo_.empty() && (!written || std::rename(path_.c_str(), moveTo_.c_str()) != 0))
        std::remove(path_.c_str());
    path_.clear();
    moveTo_.clear();
}

void MergeLog::vwrite(const char *name, const char *fmt, va_list args) {
    if (!f_) return;
    std::fprintf(f_, "%s: ", name);
    std::vfprintf(f_, fmt, args);
    std::fputs("\n", f_);
}

void logf(MergeLog &log, const char *name, const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    log.vwrite(name, fmt, args);
    va_end(args);
}

void logValue(MergeLog &log, const char *name, const char *label, uint32_t value) {
    logf(log, name, "%s = 0x%x(%d)", label, value, int32_t(value));
}

std::string strprintf(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        std::vector<char> buf(size_t(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), fmt, args);
        out.assign(buf.data(), size_t(n));
    }
    va_end(args);
    return out;
}

} // namespace qv
