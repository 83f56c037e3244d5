#include "cli/rai_image.h"

#include "cli/errors.h"
#include "cli/format.h"

#include <algorithm>
#include <map>

namespace qvcli {
namespace {

constexpr uint32_t kSectorMagic = 0x00000F0B;
constexpr uint32_t kNoItem = 0xFFFFFFFF;

// The file's bytes at flash offsets: interleaved images keep every 16 data
// bytes in the first half of a 32-byte slot. Bytes past the file's end read
// as erased.
class Reader {
public:
    Reader(const Bytes &b, bool interleaved) : b_(b), interleaved_(interleaved) {}
    bool pastEnd(uint64_t o) const { return position(o) >= b_.size(); }
    uint64_t position(uint64_t o) const { return interleaved_ ? (o / 16) * 32 + o % 16 : o; }
    uint8_t byte(uint64_t o) const {
        uint64_t p = position(o);
        return p < b_.size() ? b_[size_t(p)] : 0xFF;
    }
    uint32_t word(uint64_t o) const {
        return uint32_t(byte(o)) | uint32_t(byte(o + 1)) << 8 | uint32_t(byte(o + 2)) << 16 |
               uint32_t(byte(o + 3)) << 24;
    }

private:
    const Bytes &b_;
    bool interleaved_;
};

uint32_t sectorCount(const Bytes &b, const RaiLayout &l, std::vector<std::string> &problems) {
    if (l.sectors) return l.sectors;
    const uint64_t size = b.size(), s = l.sectorSize;
    // Interleaved: the spare (the top sector) is formatted, and its header
    // lies at twice its flash offset, past the 0xFF fill.
    if (l.interleaved && size > s && (size - 8) % (2 * s) == 0) return uint32_t((size - 8) / (2 * s) + 1);
    if (size % s != 0) problems.push_back("the file's length is not a whole number of sectors");
    return uint32_t(size / s);
}

// A sector without a header is erased when its bytes are 0xFF (or 0x00 where
// the file has a hole past the fill).
bool erased(const Reader &r, uint64_t from, uint64_t to) {
    for (uint64_t o = from; o < to && !r.pastEnd(o); ++o)
        if (r.byte(o) != 0xFF && r.byte(o) != 0x00) return false;
    return true;
}

// Reads the items of a formatted sector; false when a header is damaged.
bool readItems(const Reader &r, uint64_t end, RaiSector &s) {
    const uint64_t data = uint64_t(s.offset) + 8;
    uint64_t p = data;
    for (; p + 8 <= end; ) {
        const uint32_t w0 = r.word(p);
        if (w0 == kNoItem || w0 == 0) break;
        RaiItem it;
        it.offset = uint32_t(p);
        it.word0 = w0;
        it.length = uint16_t(w0 >> 16);
        it.valid = (w0 & 3) == 2 && (w0 & 0xF03C) == 0;
        const bool deleted = (w0 & 0xFFFF) == 0;
        if ((!it.valid && !deleted) || it.length < 4 || p + 4ull * it.words() > end) {
            s.problem = "damaged item header " + hex(w0, 8) + " at offset " + hex(p);
            break;
        }
        if (it.valid && ((w0 >> 6) & 0x3F) != ((p / 4) & 0x3F))
            s.problem = "item at offset " + hex(p) + " carries offset bits of another place";
        it.id = r.word(p + 4);
        it.data.reserve(it.length - 4u);
        for (uint32_t i = 0; i + 4 < it.length; ++i) it.data.push_back(r.byte(p + 8 + i));
        s.items.push_back(std::move(it));
        p += 4ull * s.items.back().words();
    }
    s.usedWords = uint32_t((p - data) / 4);
    return s.problem.empty();
}

RaiSector readSector(const Reader &r, const RaiLayout &l, uint32_t i, uint32_t n) {
    RaiSector s;
    s.index = i;
    s.offset = i * l.sectorSize;
    const uint64_t usable = l.interleaved ? l.sectorSize / 2 : l.sectorSize;
    const uint64_t end = uint64_t(s.offset) + usable;
    if (r.word(s.offset) != kSectorMagic || uint64_t(r.word(s.offset + 4)) * 4 != uint64_t(s.offset) + 8) {
        s.kind = erased(r, s.offset, end) ? SectorKind::Erased : SectorKind::Damaged;
        if (s.kind == SectorKind::Damaged) s.problem = "data but no sector header";
        return s;
    }
    if (!readItems(r, end, s)) {
        s.kind = SectorKind::Damaged;
        return s;
    }
    s.kind = !s.items.empty() ? SectorKind::Active : i + 1 == n ? SectorKind::Spare : SectorKind::Free;
    return s;
}

void addTotals(RaiImage &img) {
    const uint64_t sectorBytes = 4ull * img.wordsPerSector;
    uint64_t usedWords = 0, deletedWords = 0;
    std::map<uint32_t, int> seen;
    for (const RaiSector &s : img.sectors) {
        usedWords += s.usedWords;
        if (s.kind == SectorKind::Erased) img.freeBytes += sectorBytes;
        if (s.kind == SectorKind::Active || s.kind == SectorKind::Free)
            img.freeBytes += sectorBytes - std::min<uint64_t>(sectorBytes, 4ull * s.usedWords);
        if (!s.problem.empty()) img.problems.push_back("sector " + std::to_string(s.index) + ": " + s.problem);
        for (const RaiItem &it : s.items) {
            if (!it.valid) {
                ++img.deletedItems;
                deletedWords += it.words();
                continue;
            }
            ++img.validItems;
            img.validDataBytes += it.data.size();
            if (++seen[it.id] == 2) img.problems.push_back("identifier " + hex(it.id, 8) + " is stored twice");
        }
    }
    // The store's own account: one sector's worth and a quarter of the
    // capacity (at most 512 KB) are never handed out.
    const int64_t n = int64_t(img.sectors.size());
    const int64_t capacity = (n - 1) * int64_t(sectorBytes);
    const int64_t reserve = std::min<int64_t>(capacity / 4, 0x80000);
    const int64_t totalFree = n * int64_t(sectorBytes) - 4 * int64_t(usedWords);
    img.memAvail = std::max<int64_t>(0, totalFree - int64_t(sectorBytes) - reserve + 4 * int64_t(deletedWords));
}

} // namespace

FatSector fatSectorOf(uint32_t id) {
    constexpr uint32_t kUserBase = 0xCAA00000, kHiddenBase = 0xCAB00000, kRangeEnd = 0xCAC00000;
    if (id >= kUserBase && id < kHiddenBase) return {FatImage::User, id - kUserBase};
    if (id >= kHiddenBase && id < kRangeEnd) return {FatImage::Hidden, id - kHiddenBase};
    return {};
}

bool validSectorSize(uint32_t size) { return size >= 64 && (size & (size - 1)) == 0; }

const char *sectorKindName(SectorKind k) {
    switch (k) {
    case SectorKind::Erased: return "erased";
    case SectorKind::Spare: return "spare";
    case SectorKind::Free: return "formatted, empty";
    case SectorKind::Active: return "formatted";
    case SectorKind::Damaged: return "damaged";
    }
    return "?";
}

RaiImage readRaiImage(const Bytes &file, RaiLayout layout) {
    if (!validSectorSize(layout.sectorSize))
        throw InputError("the sector size " + hex(layout.sectorSize) + " is not a power of two of at least 64");
    RaiImage img;
    img.fileSize = file.size();
    layout.sectors = sectorCount(file, layout, img.problems);
    img.layout = layout;
    if (layout.sectors == 0) throw InputError("the RAI image is shorter than one sector");
    if (uint64_t(layout.sectors) * layout.sectorSize > UINT32_MAX)
        throw InputError(std::to_string(layout.sectors) + " sectors of " + hex(layout.sectorSize) +
                         " bytes pass the 4 GB address space");
    img.wordsPerSector = uint16_t(((layout.interleaved ? layout.sectorSize / 2 : layout.sectorSize) - 8) / 4);
    Reader r(file, layout.interleaved);
    for (uint32_t i = 0; i < layout.sectors; ++i) img.sectors.push_back(readSector(r, layout, i, layout.sectors));
    addTotals(img);
    return img;
}

bool looksLikeRaiImage(const Bytes &b) {
    for (uint64_t p = 0; p + 8 <= b.size(); p += 16) {
        if (le32(&b[size_t(p)]) != kSectorMagic) continue;
        const uint64_t word = le32(&b[size_t(p + 4)]);
        if (word * 4 == p + 8) return true;                                            // plain
        if (p % 32 == 0 && word * 4 == p / 2 + 8) return true;                         // interleaved
    }
    return false;
}

} // namespace qvcli
