// Intel HEX and Motorola S-record text, the two formats flash programmers
// read besides raw binary: lines written from flash bytes, and lines read
// back into addressed data (docs/formats.md, "Programmer file").
#pragma once

#include "base/file.h"
#include "base/page_block.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvcli {

enum class FlashFormat { Raw, IntelHex, SRecord };

// Writes the lines of one format into a text buffer: data records of at most
// 255 bytes that never cross a 64 KB boundary, Intel HEX extended linear
// address records where the upper 16 address bits change, and the end record.
// Each call writes at `out`, which has room for kMaxChars, and returns the
// end of what it wrote.
class RecordLines {
public:
    static constexpr size_t kMaxChars = 1100; // an extended address record and a data record of 255 bytes
    explicit RecordLines(FlashFormat f) : format_(f) {}
    char *data(uint32_t address, const uint8_t *bytes, size_t n, char *out);
    char *end(char *out);

private:
    FlashFormat format_;
    int64_t upper_ = -1; // the upper 16 address bits the last extended address record set
};

// One data record read back: its absolute address, its bytes and its line.
struct DataRecord {
    uint64_t address = 0;
    std::vector<uint8_t> bytes;
    uint64_t line = 0;
};

// Reads an Intel HEX or S-record file line by line (LF or CRLF). Intel HEX:
// data (00), end (01), extended segment (02) and extended linear (04)
// address records; start addresses (03, 05) are read and ignored. S-records:
// S1, S2, S3 data; S0 headers, S5/S6 counts and S7/S8/S9 ends are read and
// ignored. Throws InputError "PATH: line N: WHAT" for a malformed line, a
// bad checksum, an unknown record type, or data after the end record.
class RecordReader {
public:
    RecordReader(const std::string &path, FlashFormat f);
    // The next data record; false at the end of the file.
    bool next(DataRecord &r);

private:
    bool nextLine(std::string_view &line);
    [[noreturn]] void fail(const std::string &what) const;
    bool intelLine(const uint8_t *b, size_t n, DataRecord &r);
    bool srecLine(char type, const uint8_t *b, size_t n, DataRecord &r);

    std::string path_;
    FlashFormat format_;
    qv::File file_;
    qv::PageBlock buf_;
    std::string carry_; // a line that runs over the end of the buffer
    size_t pos_ = 0, len_ = 0;
    int64_t at_ = 0;
    uint64_t line_ = 0;
    uint64_t upper_ = 0; // Intel HEX: the base the last extended address record set
    bool ended_ = false;
};

// The format `given` names (raw, ihex, srec), or without it the one the
// extension of `path` names (.bin and .raw; .hex and .ihex; .srec, .s37,
// .mot, .s19, .s28). Throws UsageError naming `option` for neither.
FlashFormat flashFormatFor(const std::string &path, const std::string &given, const std::string &option);

} // namespace qvcli
