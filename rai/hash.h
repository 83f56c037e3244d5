// The RAI hash table: an in-memory index from item identifier to item offset
// (32-bit words from the RAI base). The memory block holds only offsets and
// links; the identifiers are those in each item's header, of which the table
// keeps a copy beside the block to compare keys without reading the image.
#pragma once

#include "rai/rai_state.h"

#include <cstdint>

namespace qv {

inline constexpr uint32_t kHashEnd = 0x1FFFF;        // end of a chain, 17-bit links
inline constexpr uint32_t kHashMaxElements = 0x1FFFF; // largest count the links can hold
inline constexpr uint32_t kHashAbsent = 0x7FFFFFFF;  // frai_hash_get: identifier not stored

// Number of buckets for n elements: the smallest power of two above n * 71 / 1000.
uint32_t frai_hash_buckets(uint32_t n);
// Bytes of the block the table needs for n elements (elements, then buckets).
uint64_t frai_hash_memory(uint32_t n);

// Builds an empty table of n elements (1 to 0x1FFFF) in `block`.
void frai_hash_init(RaiState &rai, uint32_t n, uint8_t *block);
// The item offset stored for `id`, or 0x7FFFFFFF.
uint32_t frai_hash_get(RaiState &rai, uint32_t id);
// Enters `id` at `offset` (bit 31 dropped), or replaces the offset of an `id`
// already present. False when a new entry finds no free element.
bool frai_hash_put(RaiState &rai, uint32_t id, uint32_t offset);
// frai_hash_put for an `id` known to be absent (a look-up just said so and
// nothing was entered since) whose item was just written at `offset`: enters
// it without walking its chain again or reading the item back.
bool frai_hash_add(RaiState &rai, uint32_t id, uint32_t offset);

} // namespace qv
