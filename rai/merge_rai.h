// The RAI merge: places the RAI area, launches the item store over the RAI
// image file and stores every sector of the FAT inputs as an item.
#pragma once

#include <quorvel/quorvel.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// The RAI image file cannot be created.
inline constexpr int kRaiImageOpenFailed = -44;
// Writing the RAI image file out (a write or its close) failed.
inline constexpr int kRaiImageWriteFailed = -1310;
// Closing the expanded temporary file failed.
inline constexpr int kRaiTempCloseFailed = -1311;
// A code image without CUS area reaches into the RAI area.
inline constexpr int kRaiCodeOverflow = -1420;

int mergeRAI(const std::vector<std::string> &raiFiles, OutputImage &out, uint8_t *e2pArea,
             const FlashInfo &flashInfo, std::string &msg);

} // namespace qv
