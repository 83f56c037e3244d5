// The RAI merge's working state: the RAI image file as it is built, the
// hash table and the sector store of the item service.
#pragma once

#include "base/file.h"
#include "base/io.h"
#include "e2p/e2p_state.h"
#include "flash/flash_state.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace qv {

// One 64 KiB page of the RAI image file: in memory, written out to the file
// (and dropped from memory), or neither (untouched).
struct RaiPage {
    std::unique_ptr<uint8_t[]> data; // in memory
    uint64_t lastUse = 0;            // RaiImage::clock when another page was accessed after it
    bool onFile = false;             // written out at its place in RaiImage::file
};

// The RAI image file as the merge builds it, page by page: a page exists only
// once something was written into it, and an untouched page reads as the
// 0xFF fill below `fillLength` and as the zeros of a gap above it. While a
// file is attached, only the kResidentPages most recently used pages stay in
// memory: the least recently used full page is written out at its place and
// read back if it is needed again (the store fills its sectors one after the
// other, so the merge never needs one back). The rest is written when the
// merge ends. The file ends up byte-identical to seeking and writing field by
// field on the stream.
struct RaiImage {
    static constexpr unsigned kPageShift = 16;
    static constexpr uint64_t kPageSize = uint64_t(1) << kPageShift;
    static constexpr size_t kResidentPages = 4;
    std::vector<RaiPage> pages;       // by file position >> kPageShift
    std::vector<uint64_t> resident;   // indices of the pages in memory
    std::unique_ptr<uint8_t[]> spare; // buffer of the last page written out, for the next page
    File *file = nullptr;             // where pages are written out; none: all stay in memory
    uint64_t hotIndex = ~uint64_t(0); // the page accessed last, which never goes out...
    uint8_t *hot = nullptr;           // ...and its bytes
    uint64_t clock = 0;               // changes of the page accessed last so far
    bool spilled = false;             // some page was written out
    bool writeOutFailed = false;      // a page failed to go out: all stay in memory from then on
    bool readFailed = false;          // a written-out page could not be read back
    uint64_t length = 0;              // the file's length
    uint64_t fillLength = 0;          // [0, fillLength) was filled with 0xFF
    uint32_t base = 0;                // flash address of file position 0
    uint32_t end = 0;                 // first flash address past the 0xFF fill
};

// Hash table from item identifier to item offset (elements, then buckets, in
// the service's memory block). `keys` holds, outside the block, the
// identifier each element was entered with, so that a look-up compares in
// memory instead of reading every probed item back from the image; while
// `keysFromImage` is set (an entered item did not show its identifier in the
// image) every comparison reads the image instead.
struct HashTable {
    uint32_t *elements = nullptr;     // N pairs of words: offset, next index
    uint32_t *buckets = nullptr;      // B chain heads
    std::unique_ptr<uint32_t[]> keys; // N identifiers, by element index
    uint32_t count = 0;               // N
    uint32_t mask = 0;                // B - 1
    uint32_t freeHead = 0;
    uint32_t used = 0;
    bool keysFromImage = true;
};

// In-memory descriptor of one RAI sector (16 bytes; `next` is an index into
// the descriptor table, kNoSector at the end of a list).
struct SectorDesc {
    uint32_t next;
    uint32_t data; // flash address of the data area (sector start + 8)
    uint16_t used;
    uint16_t reserved;
    uint16_t free;
    uint16_t dirty;
};
static_assert(sizeof(SectorDesc) == 16);
inline constexpr uint32_t kNoSector = 0xFFFFFFFF;

// The store context `storeCtx`. The byte counters are 32-bit signed as on the
// target; they are updated with wrapping arithmetic.
struct StoreCtx {
    SectorDesc *table = nullptr;
    uint32_t base = 0;
    uint32_t sectorCount = 0;
    uint16_t wordsPerSector = 0;
    uint32_t activeHead = kNoSector;
    uint32_t freeHead = kNoSector;
    uint32_t freeTail = kNoSector;
    uint32_t releaseHead = kNoSector;
    uint32_t spare = kNoSector;
    int32_t total_free = 0;
    int32_t dirty = 0;
    int32_t capacity = 0;
    int32_t reserve = 0;
    uint32_t formatCount = 0;
    // At least the free words of every active sector behind the newest one:
    // an allocation larger than this and than the newest sector's free words
    // finds no active sector without walking the list.
    uint16_t freeBehindHead = 0;
};

// What the RAI merge keeps for a call: the image it builds, the service's
// memory block, hash table and store, and the E2P base its partition map found.
struct RaiState {
    RaiState(Io &io, const FlashState &flash, E2pState &e2p) : io(io), flash(flash), e2p(e2p) {}

    Io &io;
    const FlashState &flash;
    E2pState &e2p;
    RaiImage image;
    std::unique_ptr<uint8_t[]> memory; // l__pu8_Memory: hash table, then sector descriptors
    uint32_t raiBase = 0;              // RAI base for item offsets
    HashTable hash;
    StoreCtx store;
    uint32_t eepromBase = 0; // l__u32_EEpromBase of the last partition map

    // Forgets the image, the memory block, the table and the store of an
    // earlier RAI merge.
    void clear() {
        image = RaiImage{};
        memory.reset();
        raiBase = 0;
        hash = HashTable{};
        store = StoreCtx{};
    }
};

} // namespace qv
