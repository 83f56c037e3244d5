// The command's and its release report's files: the bounds of what it reads
// whole (through base/whole_file.h), the one way it writes a file
// (SafeOutput) and files mapped for reading. Failures throw InputError with a
// message naming the path.
#pragma once

#include "base/bytes.h"
#include "base/output_files.h"
#include "base/mapped_file.h"
#include "base/whole_file.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qvcli {

using qv::InputError;
using qv::ReadBound;
using qv::readTextFile;
using qv::readWholeFile;

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

// The bytes of a text, to write it as it is.
inline ByteView asBytes(const std::string &text) {
    return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}

// Manifests and flash descriptions: a few kilobytes in practice, some 200 KB
// for a description of 4096 memory parts. Parsed JSON takes many times its text.
inline constexpr ReadBound kJsonBound{uint64_t(1) << 20, "a JSON file"};
// 48 + 80 bytes per memory part; more than 16 MB is refused as too large.
inline constexpr ReadBound kRecordBound{uint64_t(1) << 24, "a FlashInfo record"};
// The E2P base image and journal area. E2P addresses map one to one onto an
// image only below 256 KB (512 KB of an interleaved image); 4 MB leaves room
// eight times over and keeps the merge's four copies of them small.
inline constexpr ReadBound kE2pBound{uint64_t(4) << 20, "an E2P buffer"};
// An image to inspect: its sizes are 32-bit.
inline constexpr ReadBound kImageBound{0xFFFFFFFFu, "an image"};

// A file the command writes whole, the way the library writes its images:
// under a unique temporary name in its folder, created when the object is
// made, moved over `path` by commit() once every byte is written (with
// `sync` flushed to the disk first, and its folder after), removed when it
// goes uncommitted. A device or a pipe is written where it is.
class SafeOutput {
public:
    // Throws InputError "cannot create PATH".
    SafeOutput(const std::string &path, bool sync);
    SafeOutput(const SafeOutput &) = delete;
    SafeOutput &operator=(const SafeOutput &) = delete;
    // Appends `data`, for a file written in parts; a failed write is found by
    // commit().
    void write(ByteView data) { file_.write(data.data(), data.size()); }
    // Appends n bytes of `src` from `offset`, copied by the system from file
    // to file where it can; returns the bytes appended (short when `src` ends
    // first; a failed write is found by commit()).
    uint64_t copy(qv::File &src, int64_t offset, uint64_t n) { return file_.copyFrom(src, offset, n); }
    // True once a write has failed.
    bool failed() const { return file_.failed(); }
    // Puts the file in place; every write, the close, the flushes and the
    // move are checked. Throws InputError naming the path.
    void commit();
    // Writes `data` and puts the file in place, as write() and commit().
    void commit(ByteView data);

private:
    std::string path_;
    qv::OutputFiles files_;
    qv::File file_;
};

// `data` as the whole file `path`, through SafeOutput.
void writeWholeFile(const std::string &path, ByteView data, bool sync = false);

// A whole file mapped for reading, unmapped when it goes: a large image is
// read where the system caches it, without being copied into the heap.
class MappedFile {
public:
    // Throws InputError, as readWholeFile, when the file cannot be read.
    explicit MappedFile(const std::string &path);
    ByteView bytes() const { return {file_.data(), file_.size()}; }

private:
    qv::MappedFile file_;
};

using qv::le16;
using qv::le32;
using qv::putLe16;
using qv::putLe32;

} // namespace qvcli
