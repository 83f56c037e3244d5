// The CUS area of the code image: the close of the code section (size-and-
// date record, checksum, end marker), "CUSF", the DSP patch, MCP and CUS file
// records, the interleaved fills and "MCUS", and what the area publishes for
// the later merges (four queued E2P parameters and RAI_lowerbound).
#pragma once

#include "base/bytes.h"
#include "base/file.h"
#include "codeimage/code_state.h"

#include <quorvel/quorvel.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

inline constexpr uint32_t kCodeEndMarkerNew = 0x11223355;
inline constexpr uint32_t kCodeEndMarker = 0x11223344;
inline constexpr uint32_t kInterleavedAlign = 1024;
inline constexpr uint32_t kCusBlock = 4096;
// "CUSF" opens the area (followed by the CUS position + 4), "MCUS" closes an
// interleaved one after its fill.
inline constexpr uint32_t kCusfTag = fourcc("CUSF");
inline constexpr uint32_t kMcusTag = fourcc("MCUS");

// The CUS size the area publishes: its length in 4 KB blocks, rounded up.
inline constexpr uint64_t cusSizeIn4K(uint64_t cusLength) { return (cusLength + kCusBlock - 1) / kCusBlock; }

// What the code section step leaves for the CUS area.
struct CodeSection {
    bool present = false;    // a code file was given
    bool compressed = false; // it was a compressed input
    std::string path;        // its path as given
    uint32_t checksum = 0;   // XOR of the section's words
};

// The marker that ends the code section: 0x11223355 when the trace version
// (top byte of versionAddr1) is at least 4 and `options` bit 0 is set.
uint32_t codeEndMarker(uint32_t versionAddr1, uint16_t options);

// Builds the CUS area on `image` (positioned at its end), closes it and
// fills `entry` on success. Returns 0 or the code of the first failure, with
// its text in `msg`.
int buildCusArea(CodeState &ci, File &image, const CodeSection &code, const std::vector<std::string> &dspFiles,
                   const std::string &mcpPath, const std::vector<std::string> &cusFiles, OutputImage &entry,
                   const FlashInfo &flashInfo, std::string &msg);

} // namespace qv
