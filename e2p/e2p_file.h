// The E2P object description file: a text of objects (NAME ADDRESS SIZE
// COUNT, then value lines that end in a type token), optionally behind an
// "MSTM" (16-byte) or "MSTE" (32-byte) container header. CE2pFile reads one
// file into a table of objects and encodes each object as an E2P record.
#pragma once

#include "base/io.h"
#include "base/results.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Type codes of the value type tokens.
enum E2pValueType : int32_t {
    kE2pU8 = 0,
    kE2pS8 = 1,
    kE2pU16 = 2,
    kE2pS16 = 3,
    kE2pU32 = 4,
    kE2pS32 = 5,
    kE2pAscii = 6,
};

// One value of an object.
struct E2pFileObjValueTag {
    int32_t value = 0;    // the number; 0 for a text value
    std::string text;     // the text of an "%ascii" value
    std::string typeName; // the type token as written
    int32_t type = 0;     // E2pValueType
    bool placeholder = false; // written as "%p" (value -1)
};

// One object: its header line and its values in reading order.
struct E2pFileObjTag {
    std::string name;
    int32_t address = 0;
    int32_t size = 0;
    int32_t count = 0;
    std::vector<E2pFileObjValueTag> values;
};

// Size of the record buffer the loader passes to GetObjRecord.
inline constexpr size_t kE2pRecordBuffer = 2048;
// The most bytes a description file may hold (text and container header):
// see docs/formats.md for how the bound follows from the format.
inline constexpr uint64_t kE2pMaxFileSize = uint64_t(8) << 20;
// Record kind byte and address bias of an E2P record.
inline constexpr uint8_t kE2pRecordKind = 0x0E;
inline constexpr uint32_t kE2pRecordAddressBias = 0x4000;

// Receives the objects of a description file in file order, value by value,
// so that a reader need not hold the whole table.
class E2pObjectSink {
public:
    virtual ~E2pObjectSink() = default;
    // The header line numbered `line` (from 1) opened `obj` (its values
    // follow, it holds none yet).
    virtual void begin(const E2pFileObjTag &obj, size_t line) = 0;
    virtual void value(E2pFileObjValueTag &&value) = 0;
    // The object has all its values. False ends the reading there.
    virtual bool end() = 0;
};

// Builds the E2P record of one object in a caller's buffer as its values
// arrive: values that would pass the buffer are counted, not written.
class E2pRecordBuilder {
public:
    E2pRecordBuilder(uint8_t *buffer, size_t bufferSize) : buffer_(buffer), bufferSize_(bufferSize) {}
    void begin(const E2pFileObjTag &obj);
    void add(const E2pFileObjValueTag &value);
    // Writes the header and the checksum and stores the record's length;
    // 0, or kE2pDownloadFailed (the object is refused) when the record or its
    // value stream did not fit the buffer, or the size is negative.
    int finish(int *length);
    // Whether a record of `size` bytes with a value stream of `stream` bytes
    // fits a buffer of `bufferSize` bytes.
    static bool fits(int32_t size, uint64_t stream, size_t bufferSize);
    // Bytes of the value stream so far.
    uint64_t stream() const { return stream_; }

private:
    uint8_t *buffer_;
    size_t bufferSize_;
    int32_t address_ = 0, size_ = 0;
    uint64_t stream_ = 0; // bytes of the value stream so far
};

class CE2pFile {
public:
    // `io` (none: the disk, and no host to cancel the reading) takes the
    // container's temporary file and is asked whether the host cancelled.
    explicit CE2pFile(Io *io = nullptr) : io_(io) {}

    // Reads the file at `path` into the table (the flag has no effect).
    // Returns 0; a file that is missing or cannot be opened gives an empty
    // table. A negative result means the file is larger than a description
    // file may be, could not be read to its end, or a container's text could
    // not be moved into its temporary file; `error`, when given, receives
    // its message, and the Io's cause says what about the file went wrong
    // (the caller names the file).
    int Load(const std::string &path, int flag, std::string *error = nullptr);
    // Reads the file at `path` like Load, handing its objects to `sink`
    // instead of the table, which stays empty.
    int Read(const std::string &path, E2pObjectSink &sink, std::string *error = nullptr);

    int GetObjCount() const { return int(objects.size()); }

    // Encodes object `index` as an E2P record into `buffer` of `bufferSize`
    // bytes and stores its length. Returns 0; kE2pIndexOutside for an index
    // outside the table (the buffer receives the text "Out of Range for
    // index:%d, E2P object number:%d"); kE2pDownloadFailed when the record or
    // the value stream would not fit the buffer, or the size is negative
    // (buffer and length untouched).
    int GetObjRecord(int index, uint8_t *buffer, size_t bufferSize, int *length) const;

    static int32_t GetValueType(std::string_view token);
    static bool IsDummyObj(const E2pFileObjTag &obj);

    const std::vector<E2pFileObjTag> &Objects() const { return objects; }
    uint32_t Version() const { return version; }
    uint8_t Id() const { return id; }
    const std::string &TempFile() const { return tempFile; }

private:
    Io *io_ = nullptr;

    // Where a failure to read the file is explained; none without an Io.
    Cause *why() const { return io_ ? &io_->cause : nullptr; }

    int ReadText(const std::string &path, E2pObjectSink &sink, std::string &error);
    // Moves the text of an "MSTM"/"MSTE" container into a temporary file
    // (`wrapped` set); 0, or a negative code with `error`.
    int Unwrap(const std::string &path, bool &wrapped, std::string &error);
    int ParseFile(const std::string &path, E2pObjectSink &sink, std::string &error);
    // A container that gave `got` of its `length` bytes: kE2pContainerReadFailed.
    int readFailed(const std::string &path, uint64_t got, uint64_t length, std::string &error);
    void ParseDummyObj(const E2pFileObjTag &obj, std::string_view line);

    std::vector<E2pFileObjTag> objects;
    std::string tempFile;
    uint32_t version = 0;
    uint8_t id = 0;
    bool tempCreated = false;
};

// Bytes that `value` takes in an E2P record.
size_t e2pValueLength(const E2pFileObjValueTag &value);

} // namespace qv
