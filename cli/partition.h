// The partition map at the top of the flash, worked out for inspection from
// the flash description and the merged E2P area: from the top down the E2P
// partition, the trace area and the RAI area. It follows the merge's rules
// step by step, so the RAI base found here is where the merge put the image.
#pragma once

#include "cli/e2p_view.h"
#include "cli/flash_desc.h"
#include "cli/rai_image.h"

#include <cstdint>
#include <string>

namespace qvcli {

struct PartitionMap {
    uint32_t top = 0;
    uint32_t e2pSectors = 0;
    uint32_t eepromBase = 0;
    uint32_t traceSize = 0;
    uint32_t traceSectors = 0;
    uint32_t trcBase = 0;
    uint32_t raiUnits = 0; // RAI size asked for, in 32 KB
    uint32_t raiSectors = 0;
    uint32_t raiBase = 0;
    uint32_t raiLength = 0;
};

// Throws InputError when the map cannot be placed (a region table that cannot
// be walked, or a trace area that runs out of the bank). `traceVersion` is
// the top byte of the version word the merge used.
PartitionMap computePartitionMap(const FlashDesc &d, const E2pView &e2p, uint32_t traceVersion);

// The RAI area of the map read from `base` (the map's RAI base, unless told
// otherwise): sectors of the size found there, as many as the map gives, in
// the flash's layout. Throws InputError when `base` lies in no region.
RaiLayout raiLayoutAt(const FlashDesc &d, const PartitionMap &m, uint32_t base);

} // namespace qvcli
