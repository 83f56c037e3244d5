// Every value the library keeps between the steps of a call, in one place.
// The merges run one after the other on the caller's thread and hand results
// to each other through these fields; calls must not overlap. Each call starts
// from a clean state (resetForCall), so nothing of an earlier call leaks into
// a later one.
#pragma once

#include "driver/file.h"
#include "driver/log.h"
#include "driver/output_files.h"

#include <cstdint>
#include <forward_list>
#include <memory>
#include <vector>

namespace qv {

// One E2P parameter write queued by the code image for the E2P merge.
struct PendingParam {
    uint32_t paramAddr = 0;  // logical E2P address
    uint8_t paramLen = 0;    // 1, 2 or 4
    uint32_t paramValue = 0; // stored little-endian in paramLen bytes
};

// ---- RAI item store -------------------------------------------------------

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

struct RaiState {
    RaiImage image;
    std::unique_ptr<uint8_t[]> memory; // l__pu8_Memory: hash table, then sector descriptors
    uint32_t raiBase = 0;              // RAI base for item offsets
    HashTable hash;
    StoreCtx store;
};

// The write limit of the CUS records when no merge set one: 4 GiB, the most
// that the records' 32-bit offsets can name.
inline constexpr uint64_t kNoAdWriteLimit = uint64_t(1) << 32;

// ---- The call ---------------------------------------------------------------

// What the host asked of this call beyond the merge itself, and where the
// call stands. The request entry fills the first five from its fields; the
// other entries leave their defaults, which are the plain merge.
struct CallControl {
    uint32_t flags = 0;                   // QUORVEL_SAFE_OUTPUTS | QUORVEL_STRICT_INPUTS | QUORVEL_SYNC_OUTPUTS
    int64_t recordedTime = -1;            // size-and-date record: -1 the code file's last write, else UTC seconds
    const volatile int *cancel = nullptr; // set non-zero by the host to stop the merge
    void (*progress)(void *ctx, const char *step, uint64_t done, uint64_t total) = nullptr;
    void *progressCtx = nullptr;
    const char *step = "starting the merge"; // the step running now, for progress and failure messages
    bool cancelled = false;                  // the cancel flag was seen set
};

// ---- The whole process-wide state ----------------------------------------

struct State {
    MergeLog log;            // the current call's merge log
    IoFaultSeam io;          // counted seam of output writes (tests only)
    CallControl call;        // the host's options of the call and its current step
    OutputFiles outputFiles; // the output images as the merges open them

    // Driver
    uint32_t e2pAreaSize = 0;  // E2P area size of the call
    uint32_t versionAddr = 0;  // FMS_FLASH_VELMORINE_VERSION_ADDR
    uint32_t versionAddr1 = 0; // FMS_FLASH_VELMORINE_VERSION_ADDR1 (top byte: trace version)

    // Flash memory service
    const uint8_t *flashInfo = nullptr; // registered FlashInfo record
    uint32_t eepromBase = 0;            // l__u32_EEpromBase of the last partition map

    // Code image
    uint32_t adWriteAddr = 0;                // AD_write_addr
    uint64_t adWriteLimit = kNoAdWriteLimit; // output offset no record may pass (the flash size)
    std::forward_list<PendingParam> pending; // newest first
    uint32_t raiLowerbound = 0;              // RAI_lowerbound

    // E2P parameter access
    uint8_t *e2pImage = nullptr; // current E2P image (not owned)
    uint32_t e2pImageSize = 0;   // its size in bytes

    // RAI
    RaiState rai;
};

// The one State of the process. An inline variable rather than a function
// with a local static: the accessor is called dozens of times per stored RAI
// item, and a plain address costs neither a call nor a guard check. Any
// static object that reaches it is defined after this header is included, so
// it is constructed after it.
inline State g_state;
inline State &state() { return g_state; }

// Clears everything a call leaves behind except the test seam, and opens no
// log: the driver does that next.
void resetForCall();

} // namespace qv
