// Sector geometry of a flash description, worked out here from the record's
// fields: regions stacked upward from the bank base (the 64 MB window that
// holds `baseAddress`), the flash ending at bank base + sizeIn64KB × 64 KB.
// The sector steps follow the rules the merge uses, so that the partition map
// computed for inspection lands where the merge put the images.
#pragma once

#include "cli/flash_desc.h"

#include <cstdint>
#include <optional>

namespace qvcli {

struct RegionRange {
    uint64_t start = 0, end = 0; // [start, end)
    uint32_t sectorSize = 0;
    uint16_t count = 0;
};

class Geometry {
public:
    explicit Geometry(const FlashDesc &d) : d_(d) {}

    // False when the region table cannot be walked (count 0 or above 4, or a
    // shift of 32 or more).
    bool valid() const;
    uint32_t bankBase() const { return d_.baseAddress & 0xFC000000u; }
    uint64_t flashEnd() const { return uint64_t(bankBase()) + uint64_t(d_.sizeIn64KB) * 0x10000; }
    std::vector<RegionRange> regions() const;

    // Shift of the sector that holds `a`, if any region holds it.
    std::optional<unsigned> shiftAt(uint32_t a) const;
    std::optional<uint32_t> sectorStart(uint32_t a) const;
    std::optional<uint32_t> prevSectorStart(uint32_t a) const;
    std::optional<uint32_t> nextSectorStart(uint32_t a) const;
    // Start of the n-th whole sector below `a`.
    std::optional<uint32_t> goBackSectors(uint32_t a, uint32_t n) const;
    // Sectors stepped over from `a` to past a + length.
    std::optional<uint32_t> sectorCount(uint32_t a, uint32_t length) const;

private:
    const FlashDesc &d_;
};

} // namespace qvcli
