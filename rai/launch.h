// Launch of the RAI service over the RAI area: one memory block for the hash
// table and the sector descriptors, the image filled with 0xFF, the image
// window set, the table and the store initialised.
#pragma once

#include "rai/rai_state.h"

#include <cstdint>

namespace qv {

inline constexpr int kLaunchNoLength = -11;
inline constexpr int kLaunchNoMemory = -12;
// fms_GetSectorCount cannot step over [base, base + length).
inline constexpr int kLaunchBadRange = -1302;
// A sector of the range differs in size from the one at the base.
inline constexpr int kLaunchMixedSectors = -1303;
// The cache size parameter lies beyond the E2P area.
inline constexpr int kLaunchCacheUnreadable = -1304;
// l__u16_CacheSize of 0 or above 511: no table its 17-bit links can hold.
inline constexpr int kLaunchBadCacheSize = -1305;
// A sector (halved when interleaved) too small for its 8-byte header.
inline constexpr int kLaunchSectorTooSmall = -1306;

// E2P addresses of the cache size: a byte below trace version 3, a word from it on.
inline constexpr uint32_t kE2pCacheByte = 237;
inline constexpr uint32_t kE2pCacheWord = 502;
inline constexpr uint32_t kMaxCacheSize = 511;

// Starts the service over [base, base + length). Returns 0, -11, -12 or one
// of the codes above; nothing is set up on failure.
int fms_MapLaunchService(RaiState &rai, uint32_t base, uint32_t length);

} // namespace qv
