// Flash reads and writes on the RAI image: the item store works in target
// flash addresses; these place each access at the file position that belongs
// to the address (plain, or interleaved: every 16 data bytes in the first half
// of a 32-byte slot).
#pragma once

#include "base/results.h"
#include "rai/rai_state.h"

#include <cstdint>

namespace qv {

// Sets the flash addresses that the image holds: `base` is file position 0,
// legal addresses run up to but not including `end`.
void fms_SetImageWindow(RaiState &rai, uint32_t base, uint32_t end);

// True when `address` lies inside the window, where fms_Read and fms_Write
// act without a log entry.
bool imageWindowHolds(RaiState &rai, uint32_t address);

// File position of the byte at offset o from the image base. Interleaved
// offsets all follow one rule, (o / 16) * 32 + o % 16, so no two share a
// position.
uint64_t imagePosition(const FlashState &flash, uint32_t offset);

// 0, or -260 when `address` lies outside the window (only the first address
// is checked; an access that runs past the end is carried out).
int fms_Write(RaiState &rai, uint32_t address, uint32_t n, const void *src);
// 0, or -281 when `address` lies outside the window. Bytes past the file's
// end are not read: `dst` keeps its contents there.
int fms_Read(RaiState &rai, uint32_t address, uint32_t n, void *dst);

} // namespace qv
