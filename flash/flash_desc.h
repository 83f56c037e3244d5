// The FlashInfo record field by field, for reading a record outside a merge
// (inspection, the release report) and for writing one from a description:
// decoding reads through the FlashInfo view the merge reads with, encoding
// puts each field at the same offset.
#pragma once

#include "flash/flash_state.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv {

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
    uint8_t regionCount = 0; // as stored: up to 4 of them are in `regions`
    std::vector<FlashRegion> regions;
    uint32_t baseAddress = 0, cusOffset = 0, versionAddr = 0, versionAddr1 = 0;
    uint32_t memPartCount = 0; // as stored
    std::vector<FlashMemPart> memParts;
    uint32_t flags = 0; // bit 0: interleaved layout

    bool interleaved() const { return (flags & 1) != 0; }
};

inline constexpr size_t kMaxFlashRegions = 4;
inline constexpr size_t kMaxMemParts = 4096;

// The record of a description: at least 120 bytes, and room for every memory
// part; `regionCount` and `memPartCount` are the lengths of the lists.
std::vector<uint8_t> encodeFlashDesc(const FlashDesc &d);
// What a record lacks: it is shorter than its fields (the memory parts
// included), or nothing.
std::optional<std::string> flashRecordShortfall(std::span<const uint8_t> record);
// The bytes of a record that lacks nothing that its fields take (a host may
// hand a longer buffer).
std::span<const uint8_t> flashRecordFields(std::span<const uint8_t> record);
// The fields of a record that lacks nothing.
FlashDesc decodeFlashDesc(std::span<const uint8_t> record);
// A record of exactly the size encodeFlashDesc gives, with a region table
// that can be walked.
bool looksLikeFlashRecord(std::span<const uint8_t> record);

// A record held outside a merge: its bytes and its fields. state() registers
// the bytes, with the record's version words, for the geometry operations;
// it stays valid as long as the record does.
struct FlashRecord {
    std::vector<uint8_t> bytes;
    FlashDesc desc;

    FlashState state() const;
};

// A flash state whose record gives nothing but the layout, for images read
// without a flash description.
FlashState layoutOnly(bool interleaved);

// The record of a description (encoded), or of bytes that lack nothing.
FlashRecord flashRecordOf(const FlashDesc &d);
FlashRecord flashRecordFrom(std::vector<uint8_t> bytes);
// Faults of a record that its description cannot hold: a region table that
// cannot be walked, no flash size, regions that do not end where the flash does.
std::vector<std::string> flashRecordProblems(const FlashRecord &r);

} // namespace qv
