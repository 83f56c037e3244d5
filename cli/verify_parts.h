// The parts of a release's flash, for naming where a difference lies: the
// code section, the code image's closing records, the CUS area record by
// record, free space, each RAI sector, the trace area, and the E2P partition
// journal record by journal record. Found with the library's own readers of
// the images (the CUS record chain, the journal walk, the sector geometry).
#pragma once

#include "cli/flash_layout.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qvcli {

struct ReleasePart {
    uint64_t from = 0, to = 0;
    std::string name;
};

class ReleaseParts {
public:
    ReleaseParts(const ReleaseRecord &r, const FlashLayout &l);
    // The part that holds `address` (one of the flash).
    const ReleasePart &at(uint64_t address) const;

private:
    std::vector<ReleasePart> parts_; // in address order, covering the flash
};

} // namespace qvcli
