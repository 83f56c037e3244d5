// The RAI merge: places the RAI area, launches the item store over the RAI
// image file and stores every sector of the FAT inputs as an item.
#pragma once

#include <quorvel/quorvel.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

int mergeRAI(const std::vector<std::string> &raiFiles, OutputImage &out, uint8_t *e2pArea,
             const FlashInfo &flashInfo, std::string &msg);

} // namespace qv
