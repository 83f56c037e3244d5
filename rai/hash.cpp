#include "rai/hash.h"

#include "entry/context.h"
#include "rai/image_io.h"

#include <new>

namespace qv {
namespace {

constexpr uint32_t kOffsetMask = 0x7FFFFFFF;

HashTable &table() { return state().rai.hash; }

uint32_t bucketOf(uint32_t id) { return (id + (id >> 16)) & table().mask; }

uint32_t offsetOf(uint32_t e) { return table().elements[2 * e] & kOffsetMask; }
void setOffset(uint32_t e, uint32_t offset) {
    uint32_t &w = table().elements[2 * e];
    w = (w & ~kOffsetMask) | (offset & kOffsetMask);
}
uint32_t nextOf(uint32_t e) { return table().elements[2 * e + 1] & kHashEnd; }
void setNext(uint32_t e, uint32_t next) {
    uint32_t &w = table().elements[2 * e + 1];
    w = (w & ~kHashEnd) | (next & kHashEnd);
}

uint32_t itemAddress(uint32_t e) { return state().rai.raiBase + 4 * offsetOf(e); }

// The identifier of the item an element points to, as the image holds it: the
// second word of the 12 bytes read at its offset (header word 0, identifier,
// first data word).
uint32_t keyInImage(uint32_t e) {
    uint8_t b[12] = {};
    fms_Read(itemAddress(e), sizeof b, b);
    return uint32_t(b[4]) | uint32_t(b[5]) << 8 | uint32_t(b[6]) << 16 | uint32_t(b[7]) << 24;
}

// The identifier an element is compared by. A stored item's identifier is
// never written again and every stored item lies inside the image window, so
// the copy kept in memory gives the answer reading the image would give.
uint32_t keyOf(uint32_t e) {
    const HashTable &t = table();
    return t.keysFromImage ? keyInImage(e) : t.keys[e];
}

// The element holding `id` in its chain, or kHashEnd. (Consecutive
// identifiers walk neighbouring elements, which stay in the cache: a
// separate index scattered over memory would be slower.)
uint32_t find(uint32_t id) {
    for (uint32_t e = table().buckets[bucketOf(id)]; e != kHashEnd; e = nextOf(e))
        if (keyOf(e) == id) return e;
    return kHashEnd;
}

// Records that element e now stands for `id`. Its item must show `id` where
// a comparison would read it, inside the window (a read outside is logged);
// when it does not (a table used before its items were written, or an item
// outside the window), every later comparison reads the image as it would
// without the copies. `written`: the item carrying `id` was just written at
// the element's offset, so the image shows `id` wherever both its header
// words lie inside the window.
void enter(uint32_t e, uint32_t id, bool written) {
    HashTable &t = table();
    if (t.keysFromImage) return;
    t.keys[e] = id;
    uint32_t address = itemAddress(e);
    bool shown = imageWindowHolds(address) &&
                 (written ? imageWindowHolds(address + 4) : keyInImage(e) == id);
    if (!shown) t.keysFromImage = true;
}

// Enters `id`, absent from the table, at `offset` in the first free element.
bool insert(uint32_t id, uint32_t offset, bool written) {
    HashTable &t = table();
    if (t.freeHead == kHashEnd) {
        logf("frai_hash_put", "RAI hash table full");
        return false;
    }
    uint32_t h = bucketOf(id);
    uint32_t c = t.freeHead;
    t.freeHead = nextOf(c);
    setOffset(c, offset);
    enter(c, id, written);
    ++t.used;
    setNext(c, t.buckets[h]);
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

void frai_hash_init(uint32_t n, uint8_t *block) {
    logf("frai_hash_init", "hash element number = %d", n);
    HashTable &t = table();
    uint32_t buckets = frai_hash_buckets(n);
    t.count = n;
    t.mask = buckets - 1;
    t.elements = reinterpret_cast<uint32_t *>(block);
    t.keys.reset(new (std::nothrow) uint32_t[n]);
    t.keysFromImage = t.keys == nullptr;
    // A table without elements is always full.
    t.freeHead = n == 0 ? kHashEnd : 0;
    for (uint32_t i = 0; i + 1 < n; ++i) setNext(i, i + 1);
    if (n > 0) setNext(n - 1, kHashEnd);
    t.buckets = t.elements + 2 * uint64_t(n);
    for (uint32_t i = 0; i < buckets; ++i) t.buckets[i] = kHashEnd;
    t.used = 0;
}

uint32_t frai_hash_get(uint32_t id) {
    uint32_t e = find(id);
    return e == kHashEnd ? kHashAbsent : offsetOf(e);
}

bool frai_hash_put(uint32_t id, uint32_t offset) {
    if (uint32_t e = find(id); e != kHashEnd) {
        setOffset(e, offset);
        enter(e, id, false);
        return true;
    }
    return insert(id, offset, false);
}

bool frai_hash_add(uint32_t id, uint32_t offset) { return insert(id, offset, true); }

} // namespace qv
