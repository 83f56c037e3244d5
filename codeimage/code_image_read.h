// Reading a code image back: the code section, the size-and-date record and
// its checksum, the code end marker, and the CUS area as the chain of
// address/data records the merge appended ("CUSF", the records, the closing
// fill and "MCUS"). Reads only the file's bytes, held in memory or mapped.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv {

using CusIdent = std::array<uint8_t, 4>;

// A chunk header inside the data of a multi-chunk CUS record.
struct CusChunk {
    uint64_t offset = 0; // file offset of the 16-byte chunk header
    uint32_t linkWord = 0;
    uint32_t length = 0;
    CusIdent ident{};
};

struct CusRecord {
    uint64_t offset = 0; // file offset of the 16-byte record header
    uint32_t linkWord = 0;
    uint32_t length = 0;
    CusIdent ident{};
    uint32_t firstChunk = 0;      // data bytes before the first chunk header
    std::vector<CusChunk> chunks; // empty for a record of one piece
    uint64_t next = 0;            // file offset where the next record starts
};

struct CodeImageContents {
    uint64_t fileSize = 0;
    uint64_t codeLength = 0; // the code section, from offset 0
    uint32_t codeXor = 0;    // XOR of the section's whole words
    std::optional<uint32_t> versionAddr, versionAddr1; // as the section holds them

    bool hasCusArea = false;
    bool cusOnly = false; // the file starts with "CUSF": no code section

    // Closing the code section (images with a code file and a CUS area).
    std::optional<std::string> sizeDate; // the 28-byte record's text
    uint64_t sizeDateOffset = 0;
    std::optional<uint32_t> storedChecksum;
    uint32_t computedChecksum = 0;
    std::optional<uint32_t> endMarker;
    uint64_t endMarkerOffset = 0;
    uint64_t alignFill = 0; // 0xFF bytes between the marker and "CUSF"

    uint64_t cusfOffset = 0; // file offset of "CUSF"
    uint32_t cusPos = 0;     // the CUS position the word after "CUSF" gives (word - 4)
    std::vector<CusRecord> records;
    uint64_t recordsEnd = 0; // file offset just past the last record
    uint64_t closingFill = 0;
    bool hasMcus = false;

    std::optional<uint64_t> brokenAt; // where the record chain breaks
    std::vector<std::string> problems;

    // Bytes of the CUS area as the merge counts them ("CUSF" to the last record).
    uint64_t cusLength() const { return recordsEnd - cusfOffset; }
    bool checksumMatches() const { return storedChecksum && *storedChecksum == computedChecksum; }
};

CodeImageContents readCodeImage(std::span<const uint8_t> file);
// True when the bytes hold a CUS area that readCodeImage can find, or a code
// section closed for one that does not follow.
bool looksLikeCodeImage(std::span<const uint8_t> file);
// What the ident names: "DSP patch", "MCP tables" or "CUS file".
const char *cusRecordKind(const CusIdent &ident);

} // namespace qv
