#include "rai/launch.h"

#include "base/bytes.h"
#include "rai/rai_state.h"
#include "e2p/access.h"
#include "flash/geometry.h"
#include "rai/image_buffer.h"
#include "rai/image_io.h"
#include "rai/hash.h"
#include "rai/store.h"

#include <new>

namespace qv {
namespace {

constexpr const char *kName = "fms_MapLaunchService";
constexpr uint32_t kDescriptorSize = sizeof(SectorDesc);

uint64_t roundUp4(uint64_t n) { return (n + 3) & ~uint64_t(3); }

// The store takes every sector of the range to have the size of the one at
// the base, and needs room for the 8-byte sector header in it.
int checkSectors(RaiState &rai, uint32_t base, uint32_t count, uint32_t size) {
    uint32_t address = base;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t here = uint32_t(fms_GetSectorSize(rai.flash, address));
        if (here != size) {
            logf(rai.io.log, kName, "sector at %#x is %#x bytes, the sector at the RAI base %#x", address, here, size);
            rai.io.cause.explain("the RAI area from 0x%08x holds a sector of %u bytes at 0x%08x, its first sector has "
                                 "%u; its sectors must be of one size",
                                 base, here, address, size);
            rai.io.cause.name(kFlashInfoName);
            return kLaunchMixedSectors;
        }
        address = uint32_t(fms_GetNextSectorStart(rai.flash, address));
    }
    uint32_t usable = fms_IsInterleaved(rai.flash) ? size / 2 : size;
    if (usable < 8) {
        logf(rai.io.log, kName, "l__s32_SectorSize = %#x leaves %u bytes, no room for a sector header", size, usable);
        rai.io.cause.explain("the sector at the RAI base 0x%08x holds %u bytes of data, fewer than its 8-byte header",
                             base, usable);
        rai.io.cause.name(kFlashInfoName);
        return kLaunchSectorTooSmall;
    }
    return 0;
}

// l__u16_CacheSize: the byte at 237 below trace version 3, else the word at 502.
int readCacheSize(RaiState &rai, uint16_t &cache) {
    uint32_t version = traceVersion(rai.flash.versionAddr1);
    uint32_t address = version < 3 ? kE2pCacheByte : kE2pCacheWord;
    uint8_t b[2] = {0, 0};
    if (fms_E2pRead(rai.e2p, address, version < 3 ? 1 : 2, b) != 0) {
        logf(rai.io.log, kName, "l__u16_CacheSize unreadable: E2P address %u lies beyond the E2P area of %u bytes",
             address, rai.e2p.e2pAreaSize);
        rai.io.cause.explain("%u bytes; the RAI cache size is read at E2P address %u", rai.e2p.e2pAreaSize, address);
        rai.io.cause.name(kE2pAreaName);
        return kLaunchCacheUnreadable;
    }
    cache = le16(b);
    logf(rai.io.log, kName, "l__u16_CacheSize = 0x%x", cache);
    if (cache == 0 || cache > kMaxCacheSize) {
        logf(rai.io.log, kName, "l__u16_CacheSize = %u is outside 1..%u: %u hash elements do not fit 17-bit links",
             cache, kMaxCacheSize, uint32_t(cache) * 256);
        rai.io.cause.explain("the RAI cache size at E2P address %u is %u, expected 1 to %u", address, cache,
                             kMaxCacheSize);
        rai.io.cause.name(kE2pAreaName);
        return kLaunchBadCacheSize;
    }
    return 0;
}

} // namespace

int fms_MapLaunchService(RaiState &rai, uint32_t base, uint32_t length) {
    if (length == 0) {
        logf(rai.io.log, kName, "Service not available");
        return kLaunchNoLength;
    }
    int32_t count = fms_GetSectorCount(rai.flash, base, length);
    if (count < 0) {
        logf(rai.io.log, kName, "the sectors of %#x length %#x cannot be counted", base, length);
        rai.io.cause.explain("the RAI area 0x%08x–0x%08llx runs past the sectors of the flash", base,
                             static_cast<unsigned long long>(uint64_t(base) + length));
        rai.io.cause.name(kFlashInfoName);
        return kLaunchBadRange;
    }
    uint32_t sectorSize = uint32_t(fms_GetSectorSize(rai.flash, base));
    if (int r = checkSectors(rai, base, uint32_t(count), sectorSize)) return r;
    uint16_t cache = 0;
    if (int r = readCacheSize(rai, cache)) return r;

    uint32_t elements = uint32_t(cache) * 256;
    uint64_t hashSize = roundUp4(frai_hash_memory(elements));
    uint64_t itemSize = roundUp4(uint64_t(uint32_t(count)) * kDescriptorSize);
    logf(rai.io.log, kName, "hash size = 0x%x", uint32_t(hashSize));
    logf(rai.io.log, kName, "item size = 0x%x", uint32_t(itemSize));
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[hashSize + itemSize]());
    if (!block) {
        logf(rai.io.log, kName, "l__pu8_Memory malloc fail");
        return kLaunchNoMemory;
    }
    rai.memory = std::move(block);
    frai_hash_init(rai, elements, rai.memory.get());
    rai.raiBase = base;
    logf(rai.io.log, kName, "l__u32_NumberOfSectors = %x", uint32_t(count));
    logf(rai.io.log, kName, "l__s32_SectorSize = %x", sectorSize);
    uint64_t fill = uint64_t(uint32_t(count)) * sectorSize;
    imageFill(rai.image, fill);
    fms_SetImageWindow(rai, base, base + uint32_t(fill));
    frai_store_init(rai, base, sectorSize, uint32_t(count),
                    reinterpret_cast<SectorDesc *>(rai.memory.get() + hashSize));
    return 0;
}

} // namespace qv
