// Input files and expected records of the code image tests, built field by
// field from the record layouts (independently of the library's writers).
#pragma once

#include "support/support.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace cvtest {

using qvtest::Bytes;
using qvtest::concat;
using qvtest::filled;
using qvtest::get32;
using qvtest::put16;
using qvtest::put32;
using qvtest::putStr;
using qvtest::randomBytes;

// ---- DSP patch files ------------------------------------------------------
struct DspPatch {
    uint8_t chipVer;
    Bytes data;
};
struct IdMapEntry {
    uint16_t chipKey, subKey, version;
};
// Kind byte 6, "PATC", L, header version 1, 0x44, the descriptor area
// (entries, id map, 16 trailing bytes) and then the patch data in order.
Bytes makeDspFile(const std::vector<DspPatch> &patches, uint8_t flags = 0, const std::vector<IdMapEntry> &map = {});
// Descriptor length L of such a file.
uint32_t dspDescriptorLength(size_t patchCount, size_t mapCount);

// ---- MCP files ------------------------------------------------------------
struct McpTable {
    uint32_t id;
    uint16_t didrValue = 0;
    uint16_t didrMask = 0xFFFF;
    uint32_t magic = 0xBABE;
    uint8_t fill = 0; // seed of the other bytes
};
// Kind byte 25, S, D, 8 bytes, then the tables.
Bytes makeMcpTable(uint32_t tableSize, uint32_t didrAt, const McpTable &t);
Bytes makeMcpFile(uint32_t tableSize, uint32_t didrAt, const std::vector<McpTable> &tables);

// ---- CUS files ------------------------------------------------------------
// "WCUS", the type tag and one "FRED" chunk per element; `container` (empty,
// "MSTM" or "MSTE") puts a 16-byte header in front.
Bytes makeCusFile(const std::string &typeTag, const std::vector<Bytes> &chunks, const std::string &container = "");
Bytes chunkHeader(uint32_t length, const std::string &ident); // 16 bytes in the record data

// ---- Expected records -----------------------------------------------------
// Header (link, len, ident, F0 FF FF FF), data, 0xFF to a 4-byte boundary.
// `ident` is four characters, or empty for FF FF FF FF.
Bytes adRecord(uint32_t link, const Bytes &data, const std::string &ident);
// A one-piece record: link = padded length + 16.
Bytes adRecord(const Bytes &data, const std::string &ident);

Bytes le32Bytes(uint32_t v);
Bytes ascii(const std::string &s);

// XOR of the whole little-endian words of `b`.
uint32_t xorWords(const Bytes &b, uint32_t seed = 0);

// The 28-byte size-and-date text.
Bytes sizeDate(const std::string &text);

// Sets a file's last-write time (seconds since the epoch).
void setMtime(const std::string &path, std::time_t t);

// Sets TZ for the life of the object and restores it after.
class ScopedTz {
public:
    explicit ScopedTz(const char *tz);
    ~ScopedTz();
    ScopedTz(const ScopedTz &) = delete;
    ScopedTz &operator=(const ScopedTz &) = delete;

private:
    bool had_ = false;
    std::string old_;
};

// A code file: 16-byte header, `section`, with the version words written at
// file offsets 0x1094 (versionAddr1) and 0x10A0 (versionAddr) when the
// section reaches them.
Bytes makeCodeFile(Bytes section, uint32_t versionAddr, uint32_t versionAddr1);

} // namespace cvtest
