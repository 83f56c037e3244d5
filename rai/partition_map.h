// The partition map at the top of the flash: counting down from the top, the
// E2P partition, the trace area and the RAI area, placed from the FlashInfo
// record, the geometry and E2P parameters of the current E2P image.
#pragma once

#include "base/results.h"
#include "e2p/e2p_state.h"
#include "rai/rai_state.h"

#include <cstdint>

namespace qv {

// E2P parameter addresses read by the map.
inline constexpr uint32_t kE2pObjNumber = 235;
inline constexpr uint32_t kE2pObjChecksum = 236;
inline constexpr uint32_t kE2pTrcNumber = 253;
inline constexpr uint32_t kE2pTrcChecksum = 254;
inline constexpr uint32_t kE2pRaiSize = 296;
inline constexpr uint32_t kE2pRaiChecksum = 298;

// The map as placed, every figure the placement works out.
struct PartitionMap {
    uint32_t top = 0;          // baseAddress + flash size
    uint32_t e2pSectors = 0;   // a third of the E2P partition's sectors
    uint32_t eepromBase = 0;   // l__u32_EEpromBase
    uint32_t traceSize = 0;    // TraceSize
    uint32_t traceSectors = 0;
    uint32_t trcBase = 0;      // l__u32_TrcBase
    uint32_t raiUnits = 0;     // RAI size asked for, in 32 KB
    uint32_t raiSectors = 0;
    uint32_t raiBase = 0;
    uint32_t raiLength = 0;
    uint32_t stoppedAt = 0;    // -407: the address with no sector below it
};

// Places the three areas on the flash of `e2p` from the parameters of its
// current image, the trace version being the top byte of the flash state's
// versionAddr1, and logs every step to e2p.io. Returns 0, -323, -407, -1300
// or -1301; `m` is complete only on success.
int placePartitionMap(E2pState &e2p, PartitionMap &m);

// Places the three areas and logs every step. On success stores the RAI base
// and length and records the E2P base (State::eepromBase). Returns 0, -323,
// -407, -1300 or -1301; the outputs are written only on success.
int fms_MapOutMemoryExt(RaiState &rai, uint32_t &raiBase, uint32_t &raiLength);

} // namespace qv
