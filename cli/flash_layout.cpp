#include "cli/flash_layout.h"

#include "cli/errors.h"
#include "flash/geometry.h"
#include "rai/image_io.h"
#include "report/files.h"
#include "report/format.h"

#include "base/cause.h"
#include "base/system.h"

#include <quorvel/quorvel.h>

#include <algorithm>
#include <cstring>

namespace qvcli {
namespace {

std::string rangeText(uint64_t from, uint64_t to) {
    return strprintf("0x%08llX-0x%08llX", (unsigned long long)from, (unsigned long long)(to - 1));
}

// The flash bytes an image file covers: the whole file, or in the
// interleaved layout the data halves of its slots (a tail shorter than a
// slot's data half counts whole).
uint64_t flashLength(uint64_t fileSize, bool interleaved) {
    if (!interleaved) return fileSize;
    return fileSize / 32 * 16 + std::min<uint64_t>(fileSize % 32, 16);
}

} // namespace

InputError imageUnreadable(const PlacedImage &p) {
    const int error = errno;
    const qv::sys::FileStatus st = qv::sys::fileStatus(p.path);
    if (st.kind == qv::sys::FileKind::regular && st.size < p.fileSize)
        return InputError("cannot read " + p.path, p.path + ": " + std::to_string(st.size) + " bytes, its record says " +
                                                       std::to_string(p.fileSize) + ": changed since the merge");
    errno = error;
    return InputError("cannot read " + p.path, p.path + ": " + qv::systemReason());
}

FlashLayout flashLayoutOf(const ReleaseRecord &r) {
    if (r.result != 0)
        throw InputError("the merge of this release failed (error " + std::to_string(r.result) + ": " + r.message +
                         "): it has no flash to write or verify");
    FlashLayout l;
    l.base = r.flash.baseAddress;
    l.end = uint64_t(l.base) + qv::flashBytes(r.flash.sizeIn64KB);
    l.interleaved = r.flash.interleaved();
    for (const RecordOutput &o : r.outputs) {
        if (!o.produced || o.file.path.empty()) continue;
        PlacedImage p;
        p.image = o.image;
        p.path = r.pathOf(o.file);
        p.address = o.address;
        p.fileSize = o.file.size;
        p.interleaved = l.interleaved && o.image != "code";
        p.length = flashLength(o.file.size, p.interleaved);
        // The RAI area is as long as its entry; item writes of the interleaved
        // layout lie past the fill but inside the area.
        if (o.image == "rai" && p.interleaved) {
            p.length = std::min<uint64_t>(p.length, o.size);
            const int32_t sector = qv::fms_GetSectorSize(qv::flashRecordOf(r.flash).state(), o.address);
            p.storeSector = sector > 0 ? uint32_t(sector) : 0;
        }
        if (p.length == 0) continue;
        if (p.address < l.base || p.end() > l.end)
            throw InputError("the " + o.image + " image " + rangeText(p.address, p.end()) + " lies outside the flash " +
                             rangeText(l.base, l.end));
        l.images.push_back(p);
    }
    std::sort(l.images.begin(), l.images.end(), [](const auto &a, const auto &b) { return a.address < b.address; });
    for (size_t i = 1; i < l.images.size(); ++i)
        if (l.images[i].address < l.images[i - 1].end())
            throw InputError("the " + l.images[i - 1].image + " image " +
                             rangeText(l.images[i - 1].address, l.images[i - 1].end()) + " and the " +
                             l.images[i].image + " image " + rangeText(l.images[i].address, l.images[i].end()) +
                             " overlap");
    return l;
}

FlashContent::FlashContent(const FlashLayout &layout) : layout_(layout) {
    for (const PlacedImage &p : layout_.images) {
        qv::File &f = files_.emplace_back(p.path, "rb");
        if (!f) throw imageUnreadable(p);
    }
}

ImageFacts::ImageFacts(const FlashLayout &layout) {
    for (const PlacedImage &p : layout.images)
        pending_.emplace_back(p.path, std::async(std::launch::async, [path = p.path] { return fileFacts(path); }).share());
}

FileFacts ImageFacts::operator()(const std::string &path) {
    for (auto &[image, facts] : pending_)
        if (image == path) return facts.get();
    return fileFacts(path);
}

void FlashContent::readImage(size_t i, uint64_t offset, uint8_t *dst, size_t n) {
    const PlacedImage &p = layout_.images[i];
    if (!p.interleaved) {
        const size_t got = files_[i].readAt(dst, n, int64_t(offset));
        if (got < n && offset + got < p.fileSize) throw imageUnreadable(p);
        std::memset(dst + got, 0xFF, n - got);
        return;
    }
    // Whole slots from the one holding `offset` to the one holding its last byte.
    const uint64_t first = offset / 16, last = (offset + n - 1) / 16;
    const size_t size = size_t(last - first + 1) * 32;
    if (!slots_ || slots_->size() < size) slots_.emplace(size);
    uint8_t *slots = slots_->data();
    const size_t got = files_[i].readAt(slots, size, int64_t(first * 32));
    if (got < size && first * 32 + got < p.fileSize) throw imageUnreadable(p);
    std::memset(slots + got, 0xFF, size - got);
    static const qv::FlashState kInterleaved = qv::layoutOnly(true);
    for (uint64_t o = offset; o < offset + n;) {
        const size_t take = size_t(std::min<uint64_t>(16 - o % 16, offset + n - o));
        std::memcpy(dst + (o - offset), slots + (qv::imagePosition(kInterleaved, uint32_t(o)) - first * 32), take);
        o += take;
    }
    if (!p.storeSector) return;
    const uint64_t half = p.storeSector / 2;
    for (uint64_t o = offset; o < offset + n;) {
        const uint64_t in = o % p.storeSector, take = std::min<uint64_t>(offset + n - o, in < half ? half - in : p.storeSector - in);
        if (in >= half) std::memset(dst + (o - offset), 0xFF, size_t(take));
        o += take;
    }
}

void FlashContent::read(uint64_t address, uint8_t *dst, size_t n) {
    const uint64_t to = address + n;
    uint64_t at = address; // the images lie in address order: erased up to the next one
    for (size_t i = 0; i < layout_.images.size(); ++i) {
        const PlacedImage &p = layout_.images[i];
        const uint64_t from = std::max<uint64_t>(address, p.address), until = std::min(to, p.end());
        if (from >= until) continue;
        std::memset(dst + (at - address), 0xFF, size_t(from - at));
        readImage(i, from - p.address, dst + (from - address), size_t(until - from));
        at = until;
    }
    std::memset(dst + (at - address), 0xFF, size_t(to - at));
}

} // namespace qvcli
