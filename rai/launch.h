// Launch of the RAI service over the RAI area: one memory block for the hash
// table and the sector descriptors, the image filled with 0xFF, the image
// window set, the table and the store initialised.
#pragma once

#include "base/results.h"
#include "rai/rai_state.h"

#include <cstdint>

namespace qv {

// E2P addresses of the cache size: a byte below trace version 3, a word from it on.
inline constexpr uint32_t kE2pCacheByte = 237;
inline constexpr uint32_t kE2pCacheWord = 502;
inline constexpr uint32_t kMaxCacheSize = 511;

// Starts the service over [base, base + length). Returns 0, -11, -12 or one
// of the codes above; nothing is set up on failure.
int fms_MapLaunchService(RaiState &rai, uint32_t base, uint32_t length);

} // namespace qv
