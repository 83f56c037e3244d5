// The flash memory service: the registered FlashInfo record and the geometry
// questions the merges ask of it (which sector holds an address, where its
// neighbours start, how many sectors a range covers).
#pragma once

#include "flash/flash_state.h"

#include <quorvel/quorvel.h>

#include <cstdint>

namespace qv {

// Result of the sector operations when no sector answers.
inline constexpr int32_t kNoSectorStart = -7;

// Registers the record for the rest of the call; false (nothing kept) for null.
bool fms_SetFlashInfo(FlashState &flash, const void *flashInfo);
// True when a FlashInfo record is registered.
bool fms_HasFlashInfo(const FlashState &flash);
// View of the registered record; only valid when one is registered.
FlashInfo fms_FlashInfo(const FlashState &flash);
// Bit 0 of `flags`: every 16 data bytes take the first half of a 32-byte slot.
bool fms_IsInterleaved(const FlashState &flash);

// True when the region table can be walked: `regionCount` 1 to 4 and every
// used region's shift below 32. Otherwise no address lies in any region.
bool fms_GeometryValid(const FlashState &flash);

uint32_t fms_GetRegionCount(const FlashState &flash);
uint32_t fms_GetRegionSectorSize(const FlashState &flash, uint32_t k);
uint32_t fms_GetRegionSectorCount(const FlashState &flash, uint32_t k);
// Index of the region that holds `address`, or -1. Stores the flash size in
// bytes when `flashSize` is given and a record is registered.
int fms_FindRegion(const FlashState &flash, uint32_t address, uint32_t *flashSize = nullptr);

int32_t fms_GetSectorStart(const FlashState &flash, uint32_t address);
int32_t fms_GetPrevSectorStart(const FlashState &flash, uint32_t address);
int32_t fms_GetNextSectorStart(const FlashState &flash, uint32_t address);
int32_t fms_GetSectorSize(const FlashState &flash, uint32_t address);
int32_t fms_GetSectorCount(const FlashState &flash, uint32_t address, uint32_t length);
int32_t fms_GoBackSectors(const FlashState &flash, uint32_t address, uint32_t n);

} // namespace qv
