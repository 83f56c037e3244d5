// The RAI merge: places the RAI area, launches the item store over the RAI
// image file and stores every sector of the FAT inputs as an item.
#pragma once

#include "base/results.h"
#include "rai/rai_state.h"

#include <quorvel/quorvel.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// How far up the flash the code image reaches, as the code merge found it.
struct CodeExtent {
    uint32_t raiLowerbound = 0;    // RAI_lowerbound: the end of the CUS area
    uint64_t codeImageEnd = 0;     // flash address past a code image without CUS area; 0: none
    std::string codeImagePath;     // that image, for the refusal's message
};

// Builds the RAI image from `raiFiles` over the host's E2P area `e2pArea`;
// an area that starts below the code image (`code`) is refused.
int mergeRAI(RaiState &rai, const std::vector<std::string> &raiFiles, const CodeExtent &code, OutputImage &out,
             uint8_t *e2pArea, std::string &msg);

} // namespace qv
