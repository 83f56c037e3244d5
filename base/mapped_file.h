// A whole file mapped for reading, unmapped when it goes: a large image is
// read where the system caches it, without being copied into the heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile() { unmap(); }
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    // Maps the file at `path`; false when it cannot be opened or mapped. An
    // empty file maps to no bytes.
    bool map(const std::string &path);
    const uint8_t *data() const { return data_; }
    size_t size() const { return size_; }

private:
    void unmap();

    const uint8_t *data_ = nullptr;
    size_t size_ = 0;
};

} // namespace qv
