// The merge log: one text file per call. Every entry is "<name>: ", the
// message, and "\n". When the log cannot be created its entries are dropped.
// A log may be written under another name and moved to its own when it is
// closed (see OutputFiles::openLog).
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

namespace qv {

class MergeLog {
public:
    MergeLog() = default;
    MergeLog(const MergeLog &) = delete;
    MergeLog &operator=(const MergeLog &) = delete;
    ~MergeLog() { close(); }

    // Creates or truncates the log at `path` (mode "wt"). False when it
    // cannot be created; entries are then discarded. With `moveTo`, closing
    // moves the file over `moveTo` (or removes it when that fails).
    bool open(const std::string &path, const std::string &moveTo = {});
    void close();
    bool isOpen() const { return f_ != nullptr; }
    void vwrite(const char *name, const char *fmt, va_list args);

private:
    FILE *f_ = nullptr;
    std::string path_, moveTo_;
};

// Writes one entry to `log`: "<name>: " + fmt + "\n".
void logf(MergeLog &log, const char *name, const char *fmt, ...) __attribute__((format(printf, 3, 4)));

// Writes the value line "<label> = 0x%x(%d)" used throughout the log.
void logValue(MergeLog &log, const char *name, const char *label, uint32_t value);

// printf into a std::string (the inner message and the caller's message).
std::string strprintf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

} // namespace qv
