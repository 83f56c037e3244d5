#include "base/text_format.h"

#include "base/log.h"

namespace qv {

std::string hex(uint64_t v, int width) { return strprintf("0x%0*llx", width, static_cast<unsigned long long>(v)); }

std::string identText(const uint8_t *p) {
    bool printable = true;
    for (int i = 0; i < 4; ++i) printable = printable && p[i] >= 0x20 && p[i] < 0x7F;
    if (printable) return std::string(reinterpret_cast<const char *>(p), 4);
    return strprintf("%02X %02X %02X %02X", p[0], p[1], p[2], p[3]);
}

std::string hexBytes(const uint8_t *p, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += strprintf(i ? " %02x" : "%02x", p[i]);
    return out;
}

} // namespace qv
