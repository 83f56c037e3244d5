#include "rai/store_read.h"

#include "base/bytes.h"
#include "base/text_format.h"
#include "e2p/image_reader.h"
#include "flash/flash_desc.h"
#include "flash/geometry.h"
#include "input/inputs.h"
#include "rai/download.h"
#include "rai/image_io.h"
#include "rai/store.h"

#include <algorithm>
#include <map>

namespace qv {
namespace {

constexpr uint32_t kNoItem = 0xFFFFFFFF;

// The file's bytes at offsets from the RAI base, placed as the merge places
// them. Bytes past the file's end read as erased.
class Reader {
public:
    Reader(std::span<const uint8_t> b, bool interleaved)
        : b_(b), layout_(layoutOnly(interleaved)), interleaved_(interleaved) {}
    bool pastEnd(uint64_t o) const { return position(o) >= b_.size(); }
    uint8_t byte(uint64_t o) const {
        const uint64_t p = position(o);
        return p < b_.size() ? b_[size_t(p)] : 0xFF;
    }
    uint32_t word(uint64_t o) const {
        const uint8_t w[4] = {byte(o), byte(o + 1), byte(o + 2), byte(o + 3)};
        return le32(w);
    }
    // Appends `n` bytes from `o` to `out`, a run at a time: the whole range in
    // the plain layout, what is left of a 16-byte slot in the interleaved one.
    void bytes(uint64_t o, uint32_t n, std::vector<uint8_t> &out) const {
        while (n > 0) {
            const uint32_t run = interleaved_ ? std::min<uint32_t>(n, 16 - uint32_t(o & 0xF)) : n;
            const uint64_t p = position(o);
            const uint64_t have = p < b_.size() ? std::min<uint64_t>(run, b_.size() - p) : 0;
            if (have) out.insert(out.end(), b_.data() + p, b_.data() + p + have);
            out.insert(out.end(), run - have, uint8_t(0xFF));
            o += run;
            n -= run;
        }
    }

private:
    uint64_t position(uint64_t o) const { return imagePosition(layout_, uint32_t(o)); }
    std::span<const uint8_t> b_;
    FlashState layout_;
    bool interleaved_;
};

uint32_t sectorCount(std::span<const uint8_t> b, const RaiAreaLayout &l, std::vector<std::string> &problems) {
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

// Reads the item at `p` of a sector's data area ending at `end`; false, with
// the sector's problem, when its header is damaged.
bool readItem(const Reader &r, uint64_t p, uint64_t end, RaiSector &s, RaiItem &it) {
    const uint32_t w0 = r.word(p);
    it.offset = uint32_t(p);
    it.word0 = w0;
    it.length = uint16_t(w0 >> 16);
    it.valid = w0 == itemWord0(it.length, (w0 >> 6) & 0x3F);
    const bool deleted = (w0 & 0xFFFF) == 0; // what deleting leaves of a header word: the length
    if ((!it.valid && !deleted) || it.length < 4 || p + 4ull * itemWords(it.length) > end) {
        s.problem = "damaged item header " + hex(w0, 8) + " at offset " + hex(p);
        return false;
    }
    if (it.valid && w0 != itemWord0(it.length, uint32_t(p / 4)))
        s.problem = "item at offset " + hex(p) + " carries offset bits of another place";
    it.id = r.word(p + 4);
    it.data.reserve(it.length - 4u);
    if (it.length > 4) r.bytes(p + 8, it.length - 4u, it.data);
    return true;
}

// Reads the items of a formatted sector; false when a header is damaged.
bool readItems(const Reader &r, uint64_t end, RaiSector &s) {
    const uint64_t data = uint64_t(s.offset) + 8;
    uint64_t p = data;
    while (p + 8 <= end) {
        const uint32_t w0 = r.word(p);
        if (w0 == kNoItem || w0 == 0) break;
        RaiItem it;
        if (!readItem(r, p, end, s, it)) break;
        p += 4ull * itemWords(it.length);
        s.items.push_back(std::move(it));
    }
    s.usedWords = uint32_t((p - data) / 4);
    return s.problem.empty();
}

RaiSector readSector(const Reader &r, const RaiAreaLayout &l, uint32_t i, uint32_t n) {
    RaiSector s;
    s.index = i;
    s.offset = i * l.sectorSize;
    const uint64_t usable = l.interleaved ? l.sectorSize / 2 : l.sectorSize;
    const uint64_t end = uint64_t(s.offset) + usable;
    if (r.word(s.offset) != kSectorMagic || uint64_t(r.word(s.offset + 4)) * 4 != uint64_t(s.offset) + 8) {
        s.kind = erased(r, s.offset, end) ? RaiSectorKind::Erased : RaiSectorKind::Damaged;
        if (s.kind == RaiSectorKind::Damaged) s.problem = "data but no sector header";
        return s;
    }
    if (!readItems(r, end, s)) {
        s.kind = RaiSectorKind::Damaged;
        return s;
    }
    s.kind = !s.items.empty() ? RaiSectorKind::Active : i + 1 == n ? RaiSectorKind::Spare : RaiSectorKind::Free;
    return s;
}

// The store's own account of what a new item may still use, from the words
// the sectors give out and the words of deleted items.
int64_t memAvail(const RaiStoreContents &img, uint64_t usedWords, uint64_t deletedWords) {
    StoreCtx c;
    c.wordsPerSector = uint16_t(img.wordsPerSector);
    const int64_t sectorBytes = 4 * int64_t(c.wordsPerSector), n = int64_t(img.sectors.size());
    c.total_free = int32_t(uint32_t(n * sectorBytes - 4 * int64_t(usedWords)));
    c.dirty = int32_t(uint32_t(4 * deletedWords));
    c.reserve = storeReserve(int32_t(uint32_t((n - 1) * sectorBytes)));
    return storeMemAvail(c);
}

void addTotals(RaiStoreContents &img) {
    const uint64_t sectorBytes = 4ull * img.wordsPerSector;
    uint64_t usedWords = 0, deletedWords = 0;
    std::map<uint32_t, int> seen;
    for (const RaiSector &s : img.sectors) {
        usedWords += s.usedWords;
        if (s.kind == RaiSectorKind::Erased) img.freeBytes += sectorBytes;
        if (s.kind == RaiSectorKind::Active || s.kind == RaiSectorKind::Free)
            img.freeBytes += sectorBytes - std::min<uint64_t>(sectorBytes, 4ull * s.usedWords);
        if (!s.problem.empty()) img.problems.push_back("sector " + std::to_string(s.index) + ": " + s.problem);
        for (const RaiItem &it : s.items) {
            if (!it.valid) {
                ++img.deletedItems;
                deletedWords += itemWords(it.length);
                continue;
            }
            ++img.validItems;
            img.validDataBytes += it.data.size();
            if (++seen[it.id] == 2) img.problems.push_back("identifier " + hex(it.id, 8) + " is stored twice");
        }
    }
    img.memAvail = memAvail(img, usedWords, deletedWords);
}

// Sectors the layout places past the file's end read as erased, but the
// image does not hold them.
void noteMissingSectors(const Reader &r, RaiStoreContents &img) {
    const auto first = std::find_if(img.sectors.begin(), img.sectors.end(),
                                    [&](const RaiSector &s) { return r.pastEnd(s.offset); });
    if (first == img.sectors.end()) return;
    const size_t n = img.sectors.size(), from = first->index;
    img.problems.push_back("sectors " + std::to_string(from) + " to " + std::to_string(n - 1) + " (" +
                           std::to_string(n - from) + " of " + std::to_string(n) +
                           ") lie past the end of the file at " + hex(img.fileSize) +
                           ": the area given is larger than the image");
}

using FsSectors = std::map<uint32_t, const std::vector<uint8_t> *>; // sector number to its contents

std::vector<uint8_t> fatInput(int kind, const FsSectors &sectors) {
    std::vector<uint8_t> out(kFatHeaderSize, 0);
    out[kKindByteOffset] = uint8_t(kind);
    for (const auto &[number, data] : sectors) {
        uint8_t n[4];
        putLe32(n, number);
        out.insert(out.end(), n, n + 4);
        out.insert(out.end(), data->begin(), data->end());
    }
    return out;
}

} // namespace

std::optional<std::string> partitionMapOf(const FlashRecord &flash, std::span<const uint8_t> area,
                                          uint32_t versionAddr1, PartitionMap &m) {
    E2pImageReader reader(area, flash.state());
    reader.flash.versionAddr1 = versionAddr1;
    const int r = placePartitionMap(reader.e2p, m);
    if (r == kMapTraceBelowBank) return "the trace area runs out of the bank below " + hex(m.stoppedAt);
    if (r != 0) return "the flash description's region table cannot be walked";
    return std::nullopt;
}

std::optional<std::string> raiAreaAt(const FlashState &flash, const PartitionMap &m, uint32_t base, RaiAreaLayout &l) {
    const int32_t size = fms_GetSectorSize(flash, base);
    if (size == kNoSectorStart) return "the RAI base " + hex(base) + " lies in no region of the flash";
    l.base = base;
    l.sectorSize = uint32_t(size);
    const int32_t count = fms_GetSectorCount(flash, m.raiBase, m.raiLength);
    l.sectors = count < 0 ? 0 : uint32_t(count);
    l.interleaved = fms_IsInterleaved(flash);
    return std::nullopt;
}

const char *raiSectorKindName(RaiSectorKind k) {
    switch (k) {
    case RaiSectorKind::Erased: return "erased";
    case RaiSectorKind::Spare: return "spare";
    case RaiSectorKind::Free: return "formatted, empty";
    case RaiSectorKind::Active: return "formatted";
    case RaiSectorKind::Damaged: return "damaged";
    }
    return "?";
}

int64_t fsSectorsThatFit(int64_t memAvail) {
    const int64_t need = kFsSectorSize + 4, takes = 4 * itemWords(kFsSectorSize + 4);
    return memAvail >= need ? (memAvail - need) / takes + 1 : 0;
}

bool validRaiSectorSize(uint32_t size) { return size >= 64 && (size & (size - 1)) == 0; }

std::optional<std::string> readRaiStore(std::span<const uint8_t> file, RaiAreaLayout layout, RaiStoreContents &img) {
    if (!validRaiSectorSize(layout.sectorSize))
        return "the sector size " + hex(layout.sectorSize) + " is not a power of two of at least 64";
    img = RaiStoreContents{};
    img.fileSize = file.size();
    layout.sectors = sectorCount(file, layout, img.problems);
    img.layout = layout;
    if (layout.sectors == 0) return "the RAI image is shorter than one sector";
    if (uint64_t(layout.sectors) * layout.sectorSize > UINT32_MAX)
        return std::to_string(layout.sectors) + " sectors of " + hex(layout.sectorSize) +
               " bytes pass the 4 GB address space";
    img.wordsPerSector = storeWordsPerSector(layout.sectorSize, layout.interleaved);
    const Reader r(file, layout.interleaved);
    for (uint32_t i = 0; i < layout.sectors; ++i) img.sectors.push_back(readSector(r, layout, i, layout.sectors));
    addTotals(img);
    noteMissingSectors(r, img);
    return std::nullopt;
}

bool looksLikeRaiImage(std::span<const uint8_t> b) {
    for (uint64_t p = 0; p + 8 <= b.size(); p += 16) {
        if (le32(&b[size_t(p)]) != kSectorMagic) continue;
        const uint64_t word = le32(&b[size_t(p + 4)]);
        if (word * 4 == p + 8) return true;                    // plain
        if (p % 32 == 0 && word * 4 == p / 2 + 8) return true; // interleaved
    }
    return false;
}

FatInputs fatInputsOf(const RaiStoreContents &store) {
    FsSectors user, hidden;
    FatInputs out;
    for (const RaiSector &s : store.sectors) {
        for (const RaiItem &it : s.items) {
            if (!it.valid) continue;
            const FsSectorRef f = fsSectorOf(it.id);
            if (it.data.size() != kFsSectorSize || f.image == FsImage::None) {
                ++out.otherItems;
                continue;
            }
            (f.image == FsImage::User ? user : hidden)[f.number] = &it.data;
        }
    }
    out.user = fatInput(kKindUserFat, user);
    out.hidden = fatInput(kKindHiddenFat, hidden);
    out.userSectors = uint32_t(user.size());
    out.hiddenSectors = uint32_t(hidden.size());
    return out;
}

} // namespace qv
