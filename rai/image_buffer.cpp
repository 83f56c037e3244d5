#include "rai/image_buffer.h"

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

constexpr uint64_t kPage = RaiImage::kPageSize;

uint64_t pageStart(uint64_t index) { return index << RaiImage::kPageShift; }

// What an untouched byte at `pos` holds: the fill, or the zeros of a gap.
uint8_t untouched(const RaiImage &img, uint64_t pos) { return pos < img.fillLength ? 0xFF : 0x00; }

// Sets a page buffer to what an untouched page `index` holds.
void setUntouched(const RaiImage &img, uint8_t *page, uint64_t index) {
    uint64_t start = pageStart(index);
    uint64_t filled = img.fillLength > start ? std::min(img.fillLength - start, kPage) : 0;
    std::memset(page, 0xFF, filled);
    std::memset(page + filled, 0x00, kPage - filled);
}

bool known(const RaiImage &img, uint64_t index) {
    return index < img.pages.size() && (img.pages[index].data || img.pages[index].onFile);
}

// Writes the least recently used page that lies wholly inside the file out
// to the attached file and keeps its buffer as the spare. Only whole pages go
// out, so a later write that extends the file never meets a page whose tail
// the file lacks. When the page cannot be written, it stays in memory and no
// page goes out from then on.
void writeOutOne(RaiImage &img) {
    auto victim = img.resident.end();
    for (auto it = img.resident.begin(); it != img.resident.end(); ++it) {
        if (pageStart(*it + 1) > img.length || *it == img.hotIndex) continue;
        if (victim == img.resident.end() || img.pages[*it].lastUse < img.pages[*victim].lastUse) victim = it;
    }
    if (victim == img.resident.end()) return;
    RaiPage &page = img.pages[*victim];
    if (img.file->writeAt(page.data.get(), kPage, int64_t(pageStart(*victim))) != kPage) {
        img.writeOutFailed = true;
        return;
    }
    page.onFile = true;
    img.spilled = true;
    img.spare = std::move(page.data);
    img.resident.erase(victim);
}

// Reads page `index` back from the attached file into `page`.
void readBack(RaiImage &img, uint64_t index, uint8_t *page) {
    if (!img.file || img.file->readAt(page, kPage, int64_t(pageStart(index))) != kPage)
        img.readFailed = true;
}

// Brings page `index` into memory, created with what the file holds there.
void bringIn(RaiImage &img, uint64_t index) {
    if (img.file && !img.writeOutFailed && img.resident.size() >= RaiImage::kResidentPages) writeOutOne(img);
    RaiPage &page = img.pages[index];
    page.data = img.spare ? std::move(img.spare) : std::make_unique<uint8_t[]>(kPage);
    setUntouched(img, page.data.get(), index);
    if (page.onFile) readBack(img, index, page.data.get());
    page.onFile = false;
    img.resident.push_back(index);
}

// The page `index` in memory. Accesses to the page used last (most of them:
// the store fills one sector at a time) take the short way.
uint8_t *pageFor(RaiImage &img, uint64_t index) {
    if (index == img.hotIndex) return img.hot;
    if (index >= img.pages.size()) img.pages.resize(index + 1);
    if (img.hotIndex < img.pages.size()) img.pages[img.hotIndex].lastUse = img.clock;
    ++img.clock;
    if (!img.pages[index].data) bringIn(img, index);
    img.hotIndex = index;
    img.hot = img.pages[index].data.get();
    return img.hot;
}

// Writes the untouched bytes [from, to) to `out`.
bool saveUntouched(const RaiImage &img, File &out, uint64_t from, uint64_t to) {
    uint64_t split = std::clamp(img.fillLength, from, to);
    return out.fill(0xFF, split - from) == split - from && out.fill(0x00, to - split) == to - split;
}

} // namespace

void imageFill(RaiImage &img, uint64_t n) {
    for (uint64_t index = 0; index < img.pages.size() && pageStart(index) < n; ++index)
        if (known(img, index)) std::memset(pageFor(img, index), 0xFF, std::min(n - pageStart(index), kPage));
    img.fillLength = std::max(img.fillLength, n);
    img.length = std::max(img.length, n);
    if (img.file) img.file->reserveTo(n);
}

void imageWriteAt(RaiImage &img, uint64_t pos, const void *src, uint64_t n) {
    if (n == 0) return;
    const uint8_t *s = static_cast<const uint8_t *>(src);
    img.length = std::max(img.length, pos + n);
    while (n > 0) {
        uint64_t within = pos & (kPage - 1);
        uint64_t chunk = std::min(n, kPage - within);
        std::memcpy(pageFor(img, pos >> RaiImage::kPageShift) + within, s, chunk);
        s += chunk;
        pos += chunk;
        n -= chunk;
    }
}

uint64_t imageReadAt(RaiImage &img, uint64_t pos, void *dst, uint64_t n) {
    if (pos >= img.length) return 0;
    n = std::min(n, img.length - pos);
    uint8_t *d = static_cast<uint8_t *>(dst);
    for (uint64_t left = n; left > 0;) {
        uint64_t within = pos & (kPage - 1);
        uint64_t chunk = std::min(left, kPage - within);
        uint64_t index = pos >> RaiImage::kPageShift;
        if (known(img, index)) {
            std::memcpy(d, pageFor(img, index) + within, chunk);
        } else {
            for (uint64_t i = 0; i < chunk; ++i) d[i] = untouched(img, pos + i);
        }
        d += chunk;
        pos += chunk;
        left -= chunk;
    }
    return n;
}

void imageAttach(RaiImage &img, File &file) { img.file = &file; }

void imageDetach(RaiImage &img) { img = RaiImage{}; }

bool imageSave(RaiImage &img, File &out) {
    uint64_t pos = 0;
    while (pos < img.length) {
        uint64_t index = pos >> RaiImage::kPageShift;
        uint64_t chunk = std::min(kPage, img.length - pos);
        if (index < img.pages.size() && img.pages[index].onFile) {
            pos += chunk;
            continue;
        }
        if (index < img.pages.size() && img.pages[index].data) {
            if (out.writeAt(img.pages[index].data.get(), chunk, int64_t(pos)) != chunk) return false;
        } else {
            uint64_t runEnd = pos;
            while (runEnd < img.length && !known(img, runEnd >> RaiImage::kPageShift)) runEnd += kPage;
            chunk = std::min(runEnd, img.length) - pos;
            if (!out.seek(int64_t(pos)) || !saveUntouched(img, out, pos, pos + chunk)) return false;
        }
        pos += chunk;
    }
    return !out.failed() && !img.readFailed;
}

} // namespace qv
