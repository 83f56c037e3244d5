// File helpers of the command: whole-file reads and writes through qv::File.
// Failures throw InputError with a message naming the path.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qvcli {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

Bytes readWholeFile(const std::string &path);
// Creates or truncates `path`; every write and the close are checked.
void writeWholeFile(const std::string &path, const Bytes &data);
std::string readTextFile(const std::string &path);

// A whole file mapped for reading, unmapped when it goes: a large image is
// read where the system caches it, without being copied into the heap.
class MappedFile {
public:
    // Throws InputError, as readWholeFile, when the file cannot be read.
    explicit MappedFile(const std::string &path);
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;
    ByteView bytes() const { return {data_, size_}; }

private:
    const uint8_t *data_ = nullptr;
    size_t size_ = 0;
};

// Directory part of a path ("" for a bare name), and `path` taken relative to
// `dir` unless it is absolute or `dir` is empty.
std::string directoryOf(const std::string &path);
std::string resolvePath(const std::string &dir, const std::string &path);

// Little-endian reads from a byte buffer; the caller checks the bounds.
inline uint16_t le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t le32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void putLe16(uint8_t *p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void putLe32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

} // namespace qvcli
