#include "rai/store.h"

#include "base/bytes.h"
#include "flash/geometry.h"
#include "rai/image_io.h"
#include "rai/hash.h"

#include <algorithm>

namespace qv {
namespace {

constexpr int32_t kReserveCap = 0x80000;

StoreCtx &ctx(RaiState &rai) { return rai.store; }
SectorDesc &sector(RaiState &rai, uint32_t s) { return ctx(rai).table[s]; }

// The byte counters wrap as 32-bit values do on the target.
void add(int32_t &counter, int64_t delta) { counter = int32_t(uint32_t(int64_t(counter) + delta)); }

int32_t sectorBytes(const StoreCtx &c) { return 4 * int32_t(c.wordsPerSector); }
int32_t sectorBytes(RaiState &rai) { return sectorBytes(ctx(rai)); }

void appendFree(RaiState &rai, uint32_t s) {
    StoreCtx &c = ctx(rai);
    sector(rai, s).next = kNoSector;
    if (c.freeTail == kNoSector) c.freeHead = s;
    else sector(rai, c.freeTail).next = s;
    c.freeTail = s;
}

uint32_t popFree(RaiState &rai) {
    StoreCtx &c = ctx(rai);
    uint32_t s = c.freeHead;
    c.freeHead = sector(rai, s).next;
    if (c.freeHead == kNoSector) c.freeTail = kNoSector;
    return s;
}

// Takes `words` from sector s; their address.
uint32_t takeFrom(RaiState &rai, SectorDesc &d, uint32_t words) {
    uint32_t address = d.data + 4 * uint32_t(d.used);
    d.used = uint16_t(d.used + words);
    d.free = uint16_t(d.free - words);
    add(ctx(rai).total_free, -4 * int64_t(words));
    return address;
}

// First active sector, newest first, with `words` free; its address. Free
// space only shrinks, so the bound on the sectors behind the newest one
// stays a bound; when it rules them all out, they are not walked, and a walk
// that finds none tightens it.
std::optional<uint32_t> takeFromActive(RaiState &rai, uint32_t words) {
    StoreCtx &c = ctx(rai);
    if (c.activeHead == kNoSector) return std::nullopt;
    if (SectorDesc &head = sector(rai, c.activeHead); head.free >= words) return takeFrom(rai, head, words);
    if (c.freeBehindHead < words) return std::nullopt;
    uint16_t most = 0;
    for (uint32_t s = sector(rai, c.activeHead).next; s != kNoSector; s = sector(rai, s).next) {
        SectorDesc &d = sector(rai, s);
        if (d.free >= words) return takeFrom(rai, d, words);
        most = std::max(most, d.free);
    }
    c.freeBehindHead = most;
    return std::nullopt;
}

uint32_t itemOffset(RaiState &rai, uint32_t address) { return (address - ctx(rai).base) / 4; }

} // namespace

uint16_t storeWordsPerSector(uint32_t sectorSize, bool interleaved) {
    const uint32_t usable = interleaved ? sectorSize / 2 : sectorSize;
    return uint16_t((usable - 8) / 4);
}

int32_t storeReserve(int32_t capacity) { return capacity / 4 > kReserveCap ? kReserveCap : capacity / 4; }

int32_t storeMemAvail(const StoreCtx &c) {
    int32_t avail = c.total_free;
    add(avail, -int64_t(sectorBytes(c)) - c.reserve + c.dirty);
    return avail < 0 ? 0 : avail;
}

void frai_sector_release(RaiState &rai, uint32_t s) {
    StoreCtx &c = ctx(rai);
    SectorDesc &d = sector(rai, s);
    add(c.dirty, -4 * int64_t(d.dirty));
    add(c.total_free, 4 * int64_t(d.dirty));
    d.dirty = 0;
    d.next = c.releaseHead;
    c.releaseHead = s;
}

void frai_sector_format(RaiState &rai, uint32_t s) {
    StoreCtx &c = ctx(rai);
    SectorDesc &d = sector(rai, s);
    ++c.formatCount;
    uint8_t header[8];
    putLe32(header, kSectorMagic);
    putLe32(header + 4, itemOffset(rai, d.data));
    fms_Write(rai, d.data - 8, sizeof header, header);
    d.free = c.wordsPerSector;
    d.dirty = d.used = d.reserved = 0;
}

std::optional<uint32_t> frai_get_free_sector(RaiState &rai) {
    StoreCtx &c = ctx(rai);
    if (c.freeHead == kNoSector) {
        if (c.releaseHead == kNoSector) return std::nullopt;
        uint32_t s = c.releaseHead;
        frai_sector_format(rai, s);
        c.releaseHead = sector(rai, s).next;
        appendFree(rai, s);
    }
    return popFree(rai);
}

void frai_store_init(RaiState &rai, uint32_t base, uint32_t sectorSize, uint32_t count, SectorDesc *table) {
    constexpr const char *kName = "frai_store_init";
    logf(rai.io.log, kName, "base_addr = %#x, sector_size = %#x, num_sectors = %#x", base, sectorSize, count);
    bool interleaved = fms_IsInterleaved(rai.flash);
    uint32_t usable = interleaved ? sectorSize / 2 : sectorSize;
    StoreCtx &c = ctx(rai);
    c = StoreCtx{};
    c.table = table;
    c.base = base;
    c.sectorCount = count;
    c.wordsPerSector = storeWordsPerSector(sectorSize, interleaved);
    for (uint32_t i = 0; i < count; ++i) {
        SectorDesc &d = sector(rai, i);
        d.next = kNoSector;
        d.data = base + i * (interleaved ? 2 * usable : usable) + 8;
        d.used = d.reserved = d.free = 0;
        d.dirty = c.wordsPerSector;
        add(c.dirty, sectorBytes(rai));
        add(c.capacity, sectorBytes(rai));
        logf(rai.io.log, kName, "storeCtx.total_free = %d", c.total_free);
        logf(rai.io.log, kName, "D");
        frai_sector_release(rai, i);
    }
    if (std::optional<uint32_t> spare = frai_get_free_sector(rai)) c.spare = *spare;
    else logf(rai.io.log, kName, "die!");
    add(c.capacity, -sectorBytes(rai));
    c.reserve = storeReserve(c.capacity);
    logf(rai.io.log, kName, "END OF INIT :");
}

StoreStatus frai_store_status(RaiState &rai) {
    const StoreCtx &c = ctx(rai);
    return StoreStatus{c.total_free, c.dirty, c.capacity, c.reserve, storeMemAvail(c)};
}

std::optional<uint32_t> frai_store_alloc(RaiState &rai, uint32_t words) {
    for (;;) {
        if (std::optional<uint32_t> address = takeFromActive(rai, words)) return address;
        std::optional<uint32_t> s = frai_get_free_sector(rai);
        if (!s) return std::nullopt;
        StoreCtx &c = ctx(rai);
        if (c.activeHead != kNoSector) c.freeBehindHead = std::max(c.freeBehindHead, sector(rai, c.activeHead).free);
        sector(rai, *s).next = c.activeHead;
        c.activeHead = *s;
    }
}

std::optional<uint32_t> object_alloc(RaiState &rai, uint32_t word0, uint32_t id, const void *data) {
    uint32_t length = word0 >> 16;
    std::optional<uint32_t> address = frai_store_alloc(rai, itemWords(length));
    if (!address) {
        logf(rai.io.log, "object_alloc", "RAI full\n");
        return std::nullopt;
    }
    uint32_t header = itemWord0(length, itemOffset(rai, *address));
    uint8_t words[8];
    putLe32(words, header);
    putLe32(words + 4, id);
    fms_Write(rai, *address, 4, words);
    fms_Write(rai, *address + 4, 4, words + 4);
    fms_Write(rai, *address + 8, uint16_t(length - 4), data);
    return address;
}

void frai_object_free(RaiState &rai, uint32_t address) {
    uint8_t b[4] = {};
    fms_Read(rai, address, 4, b);
    uint32_t word0 = le32(b);
    word0 &= ~kItemDeletedBits;
    putLe32(b, word0);
    fms_Write(rai, address, 4, b);
    uint32_t words = itemWords(word0 >> 16);
    StoreCtx &c = ctx(rai);
    for (uint32_t s = c.activeHead; s != kNoSector; s = sector(rai, s).next) {
        SectorDesc &d = sector(rai, s);
        if (address >= d.data && address - d.data < uint32_t(sectorBytes(rai))) {
            d.dirty = uint16_t(d.dirty + words);
            add(c.dirty, 4 * int64_t(words));
            return;
        }
    }
}

int fms_rai_write(RaiState &rai, uint32_t id, uint32_t size, const void *data) {
    constexpr const char *kName = "fms_rai_write";
    size &= 0xFFFF;
    if (size > kMaxItemSize) {
        logf(rai.io.log, kName, "RAI %#x size too larget %#x > %#x", id, size, kMaxItemSize);
        return kItemTooLarge;
    }
    if (frai_hash_get(rai, id) != kHashAbsent) return kItemExists;
    int32_t need = int32_t(uint16_t(size + 4));
    int32_t avail = frai_store_status(rai).mem_avail;
    if (avail < need) {
        logf(rai.io.log, kName, "status.mem_avail = %d < %d reject new item save", avail, need);
        return kItemNoRoom;
    }
    std::optional<uint32_t> address = object_alloc(rai, uint32_t(uint16_t(size + 4)) << 16, id, data);
    if (!address) {
        logf(rai.io.log, kName, "object_alloc() failed %d", 389);
        return kItemNoSector;
    }
    // The look-up above found no entry for `id`, and storing the item entered none.
    if (frai_hash_add(rai, id, itemOffset(rai, *address))) return 0;
    logf(rai.io.log, kName, "frai_hash_put() failed %d", 396);
    frai_object_free(rai, *address);
    return kItemHashFull;
}

} // namespace qv
