// Input classification: which of the host's files are code files, RAI inputs
// (FAT images), DSP patch files and the MCP file, by extension, the
// compressed-input header and the kind byte at offset 9.
#pragma once

#include "base/file.h"
#include "base/log.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

inline constexpr uint32_t kWpbTypeRai = 0x1000003; // compressed input holding an RAI stream
inline constexpr uint16_t kWpbMagic = 0x5A57;      // "WZ" at offset 16
inline constexpr int64_t kWpbHeaderSize = 144;
inline constexpr int kKindDspPatch = 6;
inline constexpr int kKindMcp = 25;
inline constexpr int kKindUserFat = 22;
inline constexpr int kKindHiddenFat = 23;
inline constexpr int64_t kKindByteOffset = 9;

// Text after the last '.' of the path; the whole path when it has none.
std::string get_file_ext(const std::string &path);
// Byte at offset 9, or -1 when the file is shorter. Moves the position.
int file_kind_byte(File &f);
// True when the compressed-input magic is at offset 16; stores the type code
// (offset 44) when `typeCode` is given. Leaves the stream at offset 144.
bool wpb_read_header(File &f, uint32_t *typeCode = nullptr);
bool is_wpb_file(const std::string &path, uint32_t *typeCode = nullptr);
bool is_fat_file(const std::string &path);
bool is_dsp_patch_file(const std::string &path);
bool is_mcp_file(const std::string &path);

// The sorted inputs of one call.
struct SortedInputs {
    std::vector<std::string> codeFiles;
    std::vector<std::string> raiFiles;
    std::vector<std::string> dspFiles;
    std::string mcpPath;
};

// Sorts `imageFiles` and then `patchFiles`, logging one entry per sorted file to `log`.
void sortInputs(MergeLog &log, const std::vector<std::string> &imageFiles, const std::vector<std::string> &patchFiles,
                SortedInputs &out);

} // namespace qv
