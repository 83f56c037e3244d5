// The flash description: every field of the binary FlashInfo record, by name.
// It is written from and to JSON (the form people read and review) and
// encoded to and decoded from the little-endian record the library reads.
#pragma once

#include "cli/io.h"
#include "cli/json_fields.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvcli {

struct FlashRegion {
    uint16_t shift = 0; // log2 of the sector size in bytes
    uint16_t count = 0; // sectors in the region
};

struct FlashMemPart {
    uint32_t id = 0;
    uint16_t didr = 0;
};

struct FlashDesc {
    uint16_t chipId = 0, chipSubId = 0, options = 0, sizeIn64KB = 0;
    uint8_t regionCount = 0; // as stored; the JSON form takes it from `regions`
    std::vector<FlashRegion> regions;
    uint32_t baseAddress = 0, cusOffset = 0, versionAddr = 0, versionAddr1 = 0;
    uint32_t memPartCount = 0; // as stored; the JSON form takes it from `memParts`
    std::vector<FlashMemPart> memParts;
    uint32_t flags = 0; // bit 0: interleaved layout

    bool interleaved() const { return (flags & 1) != 0; }
};

inline constexpr size_t kMaxRegions = 4;
inline constexpr size_t kMaxMemParts = 4096;
inline constexpr size_t kRecordMinSize = 120; // up to and including `flags`
inline constexpr size_t kMemPartsOffset = 48;
inline constexpr size_t kMemPartSize = 80;

// From the JSON description; `field` is the description's own name in
// messages ("" at the top of a file, "flashInfo" inside a manifest).
FlashDesc flashDescFromJson(const Json &j, const std::string &field);
// The JSON description, addresses, sizes, identifiers and flags as "0x..."
// strings; flashDescFromJson gives the same description back.
Json flashDescToJson(const FlashDesc &d);

// The binary record: at least 120 bytes, and room for every memory part.
Bytes encodeFlashDesc(const FlashDesc &d);
// What the record lacks: it is shorter than its fields (the memory parts
// included), or nothing.
std::optional<std::string> recordShortfall(const Bytes &record);
// Reads a record. Throws InputError naming `path` when the record is shorter
// than its fields.
FlashDesc decodeFlashDesc(const Bytes &record, const std::string &path);

// Loads a flash description from a file: a JSON description when the name
// ends in ".json", else a binary record.
FlashDesc loadFlashDesc(const std::string &path);

} // namespace qvcli
