// Reading a merge's arguments from a release manifest and the flags, and
// checking them before anything is written.
#pragma once

#include "cli/paths.h"
#include "report/release_args.h"

#include <optional>
#include <string>
#include <vector>

namespace qvcli {

// Reads a release manifest. Input paths are taken relative to the manifest's
// folder; output paths (outputs, log, e2pAreaOut) relative to `outDir` when
// it is given, else to the manifest's folder. Throws UsageError naming the
// field for a bad manifest.
MergeArgs loadManifest(const std::string &path, const std::string &outDir);

// The manifest's values with every value the flags gave put over them.
MergeArgs overrideWith(MergeArgs manifest, const MergeArgs &flags, bool eraseAllGiven);

// Refuses a merge before anything is written when an input it requires or an
// image it writes is missing (naming the flag), or when an output, the
// release report at `report` included, may not be written (checkOutputPaths:
// the merged E2P area may replace the E2P area it updates). `manifest` is
// read too. Throws UsageError.
void checkMergeArgs(const MergeArgs &a, const std::string &manifest, const std::string &report);

// The flash description of the release report: the record as the merge
// reads it, or why it cannot be read.
FlashSource flashSourceOf(const MergeArgs &a);

// The FlashInfo record the library reads: the record file as it is (refused,
// naming --flash-info, when it is shorter than its fields), or encoded from a
// flash description.
Bytes flashRecord(const MergeArgs &a);

} // namespace qvcli
