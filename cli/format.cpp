#include "cli/format.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace qvcli {

std::string hex(uint64_t v, int width) {
    return sformat("0x%0*llx", width, static_cast<unsigned long long>(v));
}

std::string sformat(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::vector<char> buf(size_t(n > 0 ? n : 0) + 1);
    std::vsnprintf(buf.data(), buf.size(), fmt, ap);
    va_end(ap);
    return std::string(buf.data(), size_t(n > 0 ? n : 0));
}

std::string identText(const uint8_t *p) {
    bool printable = true;
    for (int i = 0; i < 4; ++i) printable = printable && p[i] >= 0x20 && p[i] < 0x7F;
    if (printable) return std::string(reinterpret_cast<const char *>(p), 4);
    return sformat("%02X %02X %02X %02X", p[0], p[1], p[2], p[3]);
}

std::string hexBytes(const uint8_t *p, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += sformat(i ? " %02x" : "%02x", p[i]);
    return out;
}

} // namespace qvcli
