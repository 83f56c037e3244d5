// Helpers of the fuzz targets: a private folder for the files a target
// writes, and the splitting of one fuzz input into several files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qvfuzz {

using Bytes = std::vector<uint8_t>;

// A folder under TMPDIR, else /dev/shm or /tmp, emptied and removed on exit.
class FuzzDir {
public:
    FuzzDir();
    ~FuzzDir();
    std::string file(const std::string &name) const { return path_ + "/" + name; }
    std::string write(const std::string &name, const Bytes &data) const;

private:
    std::string path_;
};

// Splits the input at every "QVFZ" marker (the dictionaries name it).
std::vector<Bytes> splitPieces(const uint8_t *data, size_t size);

// A FlashInfo record of at least 120 bytes taken from `piece`, padded with zeros;
// memory-part entries beyond the piece read as zeros too. memPartCount is
// bounded so the record stays small.
Bytes flashRecord(const Bytes &piece);

} // namespace qvfuzz
