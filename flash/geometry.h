// The flash memory service: the registered FlashInfo record and the geometry
// questions the merges ask of it (which sector holds an address, where its
// neighbours start, how many sectors a range covers).
#pragma once

#include "flash/flash_state.h"

#include <quorvel/quorvel.h>

#include <cstdint>
#include <vector>

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

// A region as an address range [start, end).
struct RegionRange {
    uint64_t start = 0, end = 0;
    uint32_t sectorSize = 0;
    uint16_t count = 0;
};

// The bank (64 MB window) of `baseAddress`: its base, and that base plus the
// flash size, where the geometry's sectors end.
uint32_t flashBankBase(const FlashState &flash);
uint64_t flashBankEnd(const FlashState &flash);
// The regions stacked upward from the bank base; none when the region table
// cannot be walked.
std::vector<RegionRange> regionRanges(const FlashState &flash);

} // namespace qv
