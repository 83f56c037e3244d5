// Small text helpers for the command's reports.
#pragma once

#include <cstdint>
#include <string>

namespace qvcli {

// "0x" and lower-case hexadecimal digits, zero-padded to `width` digits.
std::string hex(uint64_t v, int width = 0);
// printf into a std::string.
std::string sformat(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
// The four bytes as text when all are printable ASCII, else as hex bytes
// ("FF FF FF FF").
std::string identText(const uint8_t *p);
// One line of a hex dump: 16 bytes (or fewer) as "xx xx ...".
std::string hexBytes(const uint8_t *p, size_t n);

} // namespace qvcli
