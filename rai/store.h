// The RAI sector store: sectors with an 8-byte header and items packed upward
// behind it, the sector lists and the space accounting, and fms_rai_write,
// the one way items enter the store.
#pragma once

#include "rai/rai_state.h"

#include <cstdint>
#include <optional>

namespace qv {

inline constexpr uint32_t kSectorMagic = 0x00000F0B; // first word of a formatted sector
inline constexpr uint32_t kMaxItemSize = 0xB000;     // largest data size fms_rai_write takes
inline constexpr uint32_t kItemValid = 2;            // state bits of a stored item

// Space figures of the store.
struct StoreStatus {
    int32_t total_free = 0;
    int32_t dirty = 0;
    int32_t capacity = 0;
    int32_t reserve = 0;
    int32_t mem_avail = 0; // what a new item may still use
};

// Sets the store up over `count` sectors of `sectorSize` bytes from `base`,
// with its descriptors in `table`; every sector starts released, the top one
// is formatted and held back as the spare.
void frai_store_init(RaiState &rai, uint32_t base, uint32_t sectorSize, uint32_t count, SectorDesc *table);
StoreStatus frai_store_status(RaiState &rai);

// 0 when the item is stored, else why it is not: kItemTooLarge, kItemExists,
// kItemNoRoom, kItemNoSector or kItemHashFull (each but kItemExists logged).
int fms_rai_write(RaiState &rai, uint32_t id, uint32_t size, const void *data);

// Store internals, exposed for the item write and its tests.
std::optional<uint32_t> object_alloc(RaiState &rai, uint32_t word0, uint32_t id, const void *data);
std::optional<uint32_t> frai_store_alloc(RaiState &rai, uint32_t words);
std::optional<uint32_t> frai_get_free_sector(RaiState &rai);
void frai_sector_format(RaiState &rai, uint32_t sector);
void frai_sector_release(RaiState &rai, uint32_t sector);
void frai_object_free(RaiState &rai, uint32_t address);

} // namespace qv
