// Text of numbers and bytes for reports: hexadecimal values, four-byte
// identifiers, hex dumps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv {

// "0x" and lower-case hexadecimal digits, zero-padded to `width` digits.
std::string hex(uint64_t v, int width = 0);
// The four bytes as text when all are printable ASCII, else as hex bytes
// ("FF FF FF FF").
std::string identText(const uint8_t *p);
// One line of a hex dump: the bytes as "xx xx ...".
std::string hexBytes(const uint8_t *p, size_t n);

} // namespace qv
