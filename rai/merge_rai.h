// The RAI merge: places the RAI area, launches the item store over the RAI
// image file and stores every sector of the FAT inputs as an item.
#pragma once

#include "rai/rai_state.h"

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

// Builds the RAI image from `raiFiles` over the host's E2P area `e2pArea`;
// an area that starts below `raiLowerbound` (the end of the CUS area) is
// refused.
int mergeRAI(RaiState &rai, const std::vector<std::string> &raiFiles, uint32_t raiLowerbound, OutputImage &out,
             uint8_t *e2pArea, std::string &msg);

} // namespace qv
