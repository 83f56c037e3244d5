// The partition map at the top of the flash: counting down from the top, the
// E2P partition, the trace area and the RAI area, placed from the FlashInfo
// record, the geometry and E2P parameters of the current E2P image.
#pragma once

#include "base/results.h"
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

// Places the three areas and logs every step. On success stores the RAI base
// and length and records the E2P base (State::eepromBase). Returns 0, -323,
// -407, -1300 or -1301; the outputs are written only on success.
int fms_MapOutMemoryExt(RaiState &rai, uint32_t &raiBase, uint32_t &raiLength);

} // namespace qv
