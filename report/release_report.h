// The release report: one HTML page that shows where every image of a
// release lands in the flash, how full each area is and which files went in.
#pragma once

#include "report/model.h"

#include <optional>
#include <string>

namespace qvcli {

// Reads the release that `args` describes (`manifest` names the manifest it
// came from, "" for flags; `flash` is its flash description) and writes its
// page to `path`; `run` is the merge that has just run, if any. Throws
// InputError when the page cannot be written.
void writeReleaseReport(const std::string &path, const MergeArgs &args, const std::string &manifest,
                        const FlashSource &flash, std::optional<MergeRun> run);

} // namespace qvcli
