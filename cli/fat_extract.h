// Writing the file-system sectors stored in an RAI image back out as FAT
// input files: a 16-byte header whose byte 9 is the kind (22 user FAT, 23
// hidden FAT), then one 516-byte record per sector (sector number, 512 bytes)
// in ascending sector order. Merging those files again stores the same items.
#pragma once

#include "cli/rai_image.h"

#include <string>

namespace qvcli {

struct FatExtract {
    std::string userPath, hiddenPath;
    uint32_t userSectors = 0, hiddenSectors = 0;
    uint32_t otherItems = 0; // valid items that are no 512-byte file-system sector
};

// Creates `dir` when missing and writes user.fat and hidden.fat into it.
FatExtract extractFat(const RaiImage &img, const std::string &dir);

} // namespace qvcli
