// The areas of the flash a release fills, from the bottom up: the code
// section, the CUS area, the free space up to the RAI area, the RAI area, the
// trace area and the E2P partition; and the figures the page weighs them by.
#pragma once

#include "report/model.h"

#include <optional>
#include <string>
#include <vector>

namespace qvcli {

struct FlashArea {
    std::string name; // "code", "CUS", "free", "RAI", "trace", "E2P"
    std::string cls;  // the drawing's class for it
    uint64_t start = 0, end = 0;
    std::string title; // the hover title's first line
};

std::vector<FlashArea> flashAreas(const ReleaseModel &m);
// The bytes of a code image the merge reports, up to the last CUS record: a
// closing fill and "MCUS" after it are not counted.
uint64_t codeImageBytes(const CodeImageContents &c);
std::optional<FlashArea> findArea(const std::vector<FlashArea> &areas, const std::string &name);

// The drawing's class of a sector state: formatted, erased, spare, damaged.
const char *sectorClass(RaiSectorKind k);
// Bytes in the sector's items and the bytes a sector holds for them.
uint64_t sectorUsedBytes(const RaiSector &s);
uint64_t sectorCapacity(const RaiStoreContents &img);
// Used bytes over the capacity of every sector but the spare, in percent.
double raiUsePercent(const RaiStoreContents &img);

} // namespace qvcli
