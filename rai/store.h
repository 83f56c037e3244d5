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
// Header word 0 bits that deleting an item clears: the state and the low bits
// of its own item offset. The length stays.
inline constexpr uint32_t kItemDeletedBits = 0xFFC3;

// Words an item of `length` bytes (identifier and data) takes, header word 0
// included.
inline constexpr uint32_t itemWords(uint32_t length) { return (length + 7) / 4; }
// Header word 0 of a stored item: its length, the low 6 bits of its own item
// offset, and the valid state.
inline constexpr uint32_t itemWord0(uint32_t length, uint32_t itemOffset) {
    return length << 16 | (itemOffset & 0x3F) << 6 | kItemValid;
}
// Words of a sector's data area: its usable bytes (half the sector when
// interleaved) after the 8-byte header.
uint16_t storeWordsPerSector(uint32_t sectorSize, bool interleaved);
// What the store keeps back of `capacity` bytes: a quarter, at most 512 KB.
int32_t storeReserve(int32_t capacity);
// What a new item may still use: the free bytes less one sector and the
// reserve, with the bytes of deleted items; 0 when that is negative.
int32_t storeMemAvail(const StoreCtx &c);

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
