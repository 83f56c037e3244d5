#include "cli/geometry.h"

namespace qvcli {
namespace {
constexpr uint32_t kBankMask = 0xFC000000u;
}

bool Geometry::valid() const {
    if (d_.regionCount < 1 || d_.regionCount > kMaxRegions || d_.regions.size() != d_.regionCount) return false;
    for (const FlashRegion &r : d_.regions)
        if (r.shift >= 32) return false;
    return true;
}

std::vector<RegionRange> Geometry::regions() const {
    std::vector<RegionRange> out;
    if (!valid()) return out;
    uint64_t at = bankBase();
    for (const FlashRegion &r : d_.regions) {
        RegionRange rr;
        rr.start = at;
        rr.sectorSize = uint32_t(1) << r.shift;
        rr.count = r.count;
        at += uint64_t(r.count) << r.shift;
        rr.end = at;
        out.push_back(rr);
    }
    return out;
}

std::optional<unsigned> Geometry::shiftAt(uint32_t a) const {
    if (!valid()) return std::nullopt;
    uint64_t end = a & kBankMask;
    for (const FlashRegion &r : d_.regions) {
        end += uint64_t(r.count) << r.shift;
        if (a < end) return r.shift;
    }
    return std::nullopt;
}

std::optional<uint32_t> Geometry::sectorStart(uint32_t a) const {
    auto s = shiftAt(a);
    if (!s) return std::nullopt;
    return uint32_t(uint64_t(a) >> *s << *s);
}

std::optional<uint32_t> Geometry::prevSectorStart(uint32_t a) const {
    auto s = shiftAt(a);
    if (!s) return std::nullopt;
    const uint64_t q = uint64_t(a) >> *s;
    if (q == 0) return std::nullopt;
    const uint64_t r = (q - 1) << *s;
    const uint64_t end = uint64_t(a & kBankMask) + uint64_t(d_.sizeIn64KB) * 0x10000;
    // The lowest sector of a bank has none below it.
    if (r >= end || (r & kBankMask) != (a & kBankMask)) return std::nullopt;
    return uint32_t(r);
}

std::optional<uint32_t> Geometry::nextSectorStart(uint32_t a) const {
    auto s = shiftAt(a);
    if (!s) return std::nullopt;
    const uint64_t r = ((uint64_t(a) >> *s) + 1) << *s;
    const uint64_t end = uint64_t(a & kBankMask) + uint64_t(d_.sizeIn64KB) * 0x10000;
    if (r >= end || r > UINT32_MAX) return std::nullopt;
    return uint32_t(r);
}

std::optional<uint32_t> Geometry::goBackSectors(uint32_t a, uint32_t n) const {
    for (uint32_t i = 0; i < n; ++i) {
        auto r = sectorStart(a - 1);
        if (!r) return std::nullopt;
        a = *r;
    }
    return a;
}

std::optional<uint32_t> Geometry::sectorCount(uint32_t a, uint32_t length) const {
    uint64_t c = a;
    const uint64_t end = uint64_t(a) + length;
    uint32_t n = 0;
    while (c < end) {
        auto next = nextSectorStart(uint32_t(c));
        if (!next) return std::nullopt;
        c = *next;
        ++n;
    }
    return n;
}

} // namespace qvcli
