#include "base/cause.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <system_error>

namespace qv {

void Cause::explain(const char *fmt, ...) {
    if (!text_.empty()) return;
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n > 0) text_.assign(buf, std::min(size_t(n), sizeof buf - 1));
}

void Cause::name(const std::string &file) {
    if (!text_.empty() && file_.empty()) file_ = file;
}

std::string Cause::line() const {
    if (text_.empty()) return "";
    return file_.empty() ? text_ : file_ + ": " + text_;
}

std::string systemReason() { return std::error_code(errno, std::generic_category()).message(); }

} // namespace qv
