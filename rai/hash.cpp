#include "rai/hash.h"

#include "base/bytes.h"
#include "rai/rai_state.h"
#include "rai/image_io.h"

#include <new>

namespace qv {
namespace {

constexpr uint32_t kOffsetMask = 0x7FFFFFFF;

HashTable &table(RaiState &rai) { return rai.hash; }

uint32_t bucketOf(RaiState &rai, uint32_t id) { return (id + (id >> 16)) & table(rai).mask; }

uint32_t offsetOf(RaiState &rai, uint32_t e) { return table(rai).elements[2 * e] & kOffsetMask; }
void setOffset(RaiState &rai, uint32_t e, uint32_t offset) {
    uint32_t &w = table(rai).elements[2 * e];
    w = (w & ~kOffsetMask) | (offset & kOffsetMask);
}
uint32_t nextOf(RaiState &rai, uint32_t e) { return table(rai).elements[2 * e + 1] & kHashEnd; }
void setNext(RaiState &rai, uint32_t e, uint32_t next) {
    uint32_t &w = table(rai).elements[2 * e + 1];
    w = (w & ~kHashEnd) | (next & kHashEnd);
}

uint32_t itemAddress(RaiState &rai, uint32_t e) { return rai.raiBase + 4 * offsetOf(rai, e); }

// The identifier of the item an element points to, as the image holds it: the
// second word of the 12 bytes read at its offset (header word 0, identifier,
// first data word).
uint32_t keyInImage(RaiState &rai, uint32_t e) {
    uint8_t b[12] = {};
    fms_Read(rai, itemAddress(rai, e), sizeof b, b);
    return le32(&b[4]);
}

// The identifier an element is compared by. A stored item's identifier is
// never written again and every stored item lies inside the image window, so
// the copy kept in memory gives the answer reading the image would give.
uint32_t keyOf(RaiState &rai, uint32_t e) {
    const HashTable &t = table(rai);
    return t.keysFromImage ? keyInImage(rai, e) : t.keys[e];
}

// The element holding `id` in its chain, or kHashEnd. (Consecutive
// identifiers walk neighbouring elements, which stay in the cache: a
// separate index scattered over memory would be slower.)
uint32_t find(RaiState &rai, uint32_t id) {
    for (uint32_t e = table(rai).buckets[bucketOf(rai, id)]; e != kHashEnd; e = nextOf(rai, e))
        if (keyOf(rai, e) == id) return e;
    return kHashEnd;
}

// Records that element e now stands for `id`. Its item must show `id` where
// a comparison would read it, inside the window (a read outside is logged);
// when it does not (a table used before its items were written, or an item
// outside the window), every later comparison reads the image as it would
// without the copies. `written`: the item carrying `id` was just written at
// the element's offset, so the image shows `id` wherever both its header
// words lie inside the window.
void enter(RaiState &rai, uint32_t e, uint32_t id, bool written) {
    HashTable &t = table(rai);
    if (t.keysFromImage) return;
    t.keys[e] = id;
    uint32_t address = itemAddress(rai, e);
    bool shown = imageWindowHolds(rai, address) &&
                 (written ? imageWindowHolds(rai, address + 4) : keyInImage(rai, e) == id);
    if (!shown) t.keysFromImage = true;
}

// Enters `id`, absent from the table, at `offset` in the first free element.
bool insert(RaiState &rai, uint32_t id, uint32_t offset, bool written) {
    HashTable &t = table(rai);
    if (t.freeHead == kHashEnd) {
        logf(rai.io.log, "frai_hash_put", "RAI hash table full");
        return false;
    }
    uint32_t h = bucketOf(rai, id);
    uint32_t c = t.freeHead;
    t.freeHead = nextOf(rai, c);
    setOffset(rai, c, offset);
    enter(rai, c, id, written);
    ++t.used;
    setNext(rai, c, t.buckets[h]);
    t.buckets[h] = c;
    return true;
}

} // namespace

uint32_t frai_hash_buckets(uint32_t n) {
    uint32_t a = uint32_t(uint64_t(n) * 71 / 1000);
    uint32_t b = 1;
    for (; a != 0; a >>= 1) b <<= 1;
    return b;
}

uint64_t frai_hash_memory(uint32_t n) { return uint64_t(n) * 8 + uint64_t(frai_hash_buckets(n)) * 4; }

void frai_hash_init(RaiState &rai, uint32_t n, uint8_t *block) {
    logf(rai.io.log, "frai_hash_init", "hash element number = %d", n);
    HashTable &t = table(rai);
    uint32_t buckets = frai_hash_buckets(n);
    t.count = n;
    t.mask = buckets - 1;
    t.elements = reinterpret_cast<uint32_t *>(block);
    t.keys.reset(new (std::nothrow) uint32_t[n]);
    t.keysFromImage = t.keys == nullptr;
    // A table without elements is always full.
    t.freeHead = n == 0 ? kHashEnd : 0;
    for (uint32_t i = 0; i + 1 < n; ++i) setNext(rai, i, i + 1);
    if (n > 0) setNext(rai, n - 1, kHashEnd);
    t.buckets = t.elements + 2 * uint64_t(n);
    for (uint32_t i = 0; i < buckets; ++i) t.buckets[i] = kHashEnd;
    t.used = 0;
}

uint32_t frai_hash_get(RaiState &rai, uint32_t id) {
    uint32_t e = find(rai, id);
    return e == kHashEnd ? kHashAbsent : offsetOf(rai, e);
}

bool frai_hash_put(RaiState &rai, uint32_t id, uint32_t offset) {
    if (uint32_t e = find(rai, id); e != kHashEnd) {
        setOffset(rai, e, offset);
        enter(rai, e, id, false);
        return true;
    }
    return insert(rai, id, offset, false);
}

bool frai_hash_add(RaiState &rai, uint32_t id, uint32_t offset) { return insert(rai, id, offset, true); }

} // namespace qv
