#include "rai/download.h"

#include "base/bytes.h"
#include "base/results.h"
#include "base/log.h"
#include "base/page_block.h"
#include "rai/hash.h"
#include "rai/launch.h"
#include "rai/store.h"

#include <algorithm>
#include <cstring>

namespace qv {

FsSectorRef fsSectorOf(uint32_t id) {
    constexpr uint32_t kIdsEnd = kHiddenFatIdBase + (kHiddenFatIdBase - kUserFatIdBase);
    if (id >= kUserFatIdBase && id < kHiddenFatIdBase) return {FsImage::User, id - kUserFatIdBase};
    if (id >= kHiddenFatIdBase && id < kIdsEnd) return {FsImage::Hidden, id - kHiddenFatIdBase};
    return {};
}

int dwl_NorFsProcessInit(RaiState &rai, uint32_t base, uint32_t length) {
    constexpr const char *kName = "dwl_NorFsProcessInit";
    logf(rai.io.log, kName, "Try to launch RAI");
    int r = fms_MapLaunchService(rai, base, length);
    if (r != 0) {
        logf(rai.io.log, kName, "Launch RAI err %#x", uint32_t(r));
        return kDwlLaunchFailed;
    }
    logf(rai.io.log, kName, "RAI launched");
    return 0;
}

namespace {

// Records are read in blocks of 256 KiB, at their offsets straight from the
// file into a page-aligned block, and each record is stored from where it
// lies there. The part of a record a block ended in moves to just in front of
// the next block.
constexpr size_t kReadBlock = size_t(1) << 18;
constexpr size_t kFront = PageBlock::kAlign;
static_assert(kFsRecordSize <= kFront);

// Why record `index` (sector `number`) of a stream of `records` records,
// at `offset`, could not be stored: its sector is stored already, the hash
// table is full, or the area is.
void explainRefusal(RaiState &rai, uint64_t index, int64_t offset, uint64_t records, uint32_t number,
                    uint32_t idBase) {
    const unsigned long long i = index, at = static_cast<unsigned long long>(offset);
    if (frai_hash_get(rai, idBase + number) != kHashAbsent)
        rai.io.cause.explain("record %llu at offset 0x%llx: sector %u of the %s FAT is stored already", i, at, number,
                             idBase == kHiddenFatIdBase ? "hidden" : "user");
    else if (rai.hash.used >= rai.hash.count)
        rai.io.cause.explain("record %llu at offset 0x%llx: the RAI hash table is full after %u sectors (RAI cache "
                             "size %u in the E2P area, %u entries)",
                             i, at, rai.hash.used, rai.hash.count / 256, rai.hash.count);
    else
        rai.io.cause.explain("record %llu at offset 0x%llx: the RAI area of %llu bytes is full after %u sectors, this "
                             "stream holds %llu",
                             i, at, static_cast<unsigned long long>(rai.image.fillLength), rai.hash.used,
                             static_cast<unsigned long long>(records));
}

} // namespace

int dwl_NorFsProcessData(RaiState &rai, File &stream, uint32_t hidden) {
    uint32_t idBase = (hidden & 0xFF) != 0 ? kHiddenFatIdBase : kUserFatIdBase;
    PageBlock buffer(kFront + kReadBlock);
    uint8_t *const block = buffer.data() + kFront;
    int64_t at = stream.tell();
    const int64_t start = at;
    const uint64_t length = uint64_t(std::max<int64_t>(stream.length() - at, 0));
    LongLoop loop(rai.io.call, length);
    size_t held = 0;
    uint64_t index = 0; // of the next record
    for (bool more = true; more;) {
        size_t got = at < 0 ? 0 : stream.readAt(block, kReadBlock, at);
        at += int64_t(got);
        more = got == kReadBlock; // a short read is the end of the stream, as for a single record
        const uint8_t *record = block - held;
        for (held += got; held >= kFsRecordSize; held -= kFsRecordSize, record += kFsRecordSize, ++index) {
            uint32_t number = le32(record);
            int r = dev_nor_write_sectors(rai, number, 1, record + 4, idBase);
            if (r != 0) {
                logf(rai.io.log, "dwl_NorFsProcessData", "write nor %#x err %d", number, r);
                explainRefusal(rai, index, start + int64_t(index * kFsRecordSize), length / kFsRecordSize, number,
                               idBase);
                return kDwlWriteFailed;
            }
        }
        std::memmove(block - held, record, held);
        if (!loop.advance(got)) return kErrCancelled;
    }
    return 0;
}

int dev_nor_write_sectors(RaiState &rai, uint32_t first, uint32_t count, const uint8_t *data, uint32_t idBase) {
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = idBase + first + i;
        if (fms_rai_write(rai, id, kFsSectorSize, data + uint64_t(kFsSectorSize) * i) != 0) {
            logf(rai.io.log, "dev_nor_write_sectors", "write %#x failed", id);
            return kDevWriteFailed;
        }
    }
    return 0;
}

} // namespace qv
