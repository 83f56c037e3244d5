#include "flash/image_buffer.h"

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

constexpr uint64_t kPage = RaiImage::kPageSize;

// What an untouched byte at `pos` holds: the fill, or the zeros of a gap.
uint8_t untouched(const RaiImage &img, uint64_t pos) { return pos < img.fillLength ? 0xFF : 0x00; }

// The page holding `pos`, created with what the file holds there.
uint8_t *pageFor(RaiImage &img, uint64_t pos) {
    uint64_t index = pos >> RaiImage::kPageShift;
    if (index >= img.pages.size()) img.pages.resize(index + 1);
    std::unique_ptr<uint8_t[]> &page = img.pages[index];
    if (!page) {
        page = std::make_unique<uint8_t[]>(kPage);
        uint64_t start = index * kPage;
        uint64_t filled = img.fillLength > start ? std::min(img.fillLength - start, kPage) : 0;
        std::memset(page.get(), 0xFF, filled);
        std::memset(page.get() + filled, 0x00, kPage - filled);
    }
    return page.get();
}

const uint8_t *pageAt(const RaiImage &img, uint64_t index) {
    return index < img.pages.size() ? img.pages[index].get() : nullptr;
}

// Writes the untouched bytes [from, to) to `out`.
bool saveUntouched(const RaiImage &img, File &out, uint64_t from, uint64_t to) {
    uint64_t split = std::clamp(img.fillLength, from, to);
    return out.fill(0xFF, split - from) == split - from && out.fill(0x00, to - split) == to - split;
}

} // namespace

void imageFill(RaiImage &img, uint64_t n) {
    for (uint64_t index = 0; index < img.pages.size() && index * kPage < n; ++index)
        if (img.pages[index]) std::memset(img.pages[index].get(), 0xFF, std::min(n - index * kPage, kPage));
    img.fillLength = std::max(img.fillLength, n);
    img.length = std::max(img.length, n);
}

void imageWriteAt(RaiImage &img, uint64_t pos, const void *src, uint64_t n) {
    if (n == 0) return;
    const uint8_t *s = static_cast<const uint8_t *>(src);
    img.length = std::max(img.length, pos + n);
    while (n > 0) {
        uint64_t within = pos & (kPage - 1);
        uint64_t chunk = std::min(n, kPage - within);
        std::memcpy(pageFor(img, pos) + within, s, chunk);
        s += chunk;
        pos += chunk;
        n -= chunk;
    }
}

uint64_t imageReadAt(const RaiImage &img, uint64_t pos, void *dst, uint64_t n) {
    if (pos >= img.length) return 0;
    n = std::min(n, img.length - pos);
    uint8_t *d = static_cast<uint8_t *>(dst);
    for (uint64_t left = n; left > 0;) {
        uint64_t within = pos & (kPage - 1);
        uint64_t chunk = std::min(left, kPage - within);
        if (const uint8_t *page = pageAt(img, pos >> RaiImage::kPageShift)) {
            std::memcpy(d, page + within, chunk);
        } else {
            for (uint64_t i = 0; i < chunk; ++i) d[i] = untouched(img, pos + i);
        }
        d += chunk;
        pos += chunk;
        left -= chunk;
    }
    return n;
}

bool imageSave(const RaiImage &img, File &out) {
    uint64_t pos = 0;
    while (pos < img.length) {
        uint64_t index = pos >> RaiImage::kPageShift;
        if (const uint8_t *page = pageAt(img, index)) {
            uint64_t chunk = std::min(kPage, img.length - pos);
            if (out.write(page, chunk) != chunk) return false;
            pos += chunk;
            continue;
        }
        uint64_t runEnd = pos;
        while (runEnd < img.length && !pageAt(img, runEnd >> RaiImage::kPageShift)) runEnd += kPage;
        runEnd = std::min(runEnd, img.length);
        if (!saveUntouched(img, out, pos, runEnd)) return false;
        pos = runEnd;
    }
    return !out.failed();
}

} // namespace qv
