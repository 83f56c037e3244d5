// Little-endian byte builders for the generated release files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qvbench {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes &b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

inline void put32(Bytes &b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

inline void putStr(Bytes &b, const std::string &s) { b.insert(b.end(), s.begin(), s.end()); }

inline void set16(Bytes &b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

inline void set32(Bytes &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

} // namespace qvbench
