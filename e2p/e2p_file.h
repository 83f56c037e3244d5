// The E2P object description file: a text of objects (NAME ADDRESS SIZE
// COUNT, then value lines that end in a type token), optionally behind an
// "MSTM" (16-byte) or "MSTE" (32-byte) container header. CE2pFile reads one
// file into a table of objects and encodes each object as an E2P record.
#pragma once

#include "base/file.h"

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
// Record kind byte and address bias of an E2P record.
inline constexpr uint8_t kE2pRecordKind = 0x0E;
inline constexpr uint32_t kE2pRecordAddressBias = 0x4000;

class CE2pFile {
public:
    // `fs` (none: the disk) takes the container's temporary file.
    explicit CE2pFile(FileSystem *fs = nullptr) : fs_(fs) {}

    // Reads the file at `path` (the flag has no effect). Returns 0; a file that
    // is missing or cannot be opened gives an empty table. A negative result
    // (with error() set) means the file could not be read to its end or a
    // container's text could not be moved into its temporary file.
    int Load(const std::string &path, int flag);

    int GetObjCount() const { return int(objects.size()); }

    // Encodes object `index` as an E2P record into `buffer` of `bufferSize`
    // bytes and stores its length. Returns 1; 0 for an index outside the
    // table (the buffer receives the text "Out of Range for index:%d, E2P
    // object number:%d"); -1 when the record or the value stream would not fit
    // the buffer, or the size is negative (buffer and length untouched).
    int GetObjRecord(int index, uint8_t *buffer, size_t bufferSize, int *length) const;

    static int32_t GetValueType(std::string_view token);
    static bool IsDummyObj(const E2pFileObjTag &obj);

    const std::vector<E2pFileObjTag> &Objects() const { return objects; }
    uint32_t Version() const { return version; }
    uint8_t Id() const { return id; }
    const std::string &TempFile() const { return tempFile; }
    // Code and message of the last failed Load; code 0 when none failed.
    int errorCode() const { return errorCode_; }
    const std::string &errorMessage() const { return errorMessage_; }

private:
    FileSystem *fs_ = nullptr;

    bool Unwrap(const std::string &path);
    int ParseFile(const std::string &path);
    void ParseDummyObj(const E2pFileObjTag &obj, std::string_view line);
    int fail(int code, std::string message);

    std::vector<E2pFileObjTag> objects;
    std::string tempFile;
    uint32_t version = 0;
    uint8_t id = 0;
    bool tempCreated = false;
    int errorCode_ = 0;
    std::string errorMessage_;
};

// Bytes that `value` takes in an E2P record.
size_t e2pValueLength(const E2pFileObjValueTag &value);

} // namespace qv
