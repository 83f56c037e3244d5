// Reading a merge's arguments from a release manifest and the flags, and
// checking them before anything is written.
#pragma once

#include "cli/io.h"
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

// Refuses a merge before anything is written when an input it requires or
// every output is missing, or when the log's folder does not exist. Throws
// UsageError naming the flag.
void checkMergeArgs(const MergeArgs &a);

// 0 when no output (the three images, the log, the merged E2P area) is one
// of the files the command reads itself, and the merged E2P area is no input
// (but the E2P area it updates) and no other output; else the library's code
// for an output that is an input or another output, with `msg` naming both.
int checkCommandFiles(const MergeArgs &a, std::string &msg);

// The flash description of the release report: the record as the merge
// reads it, or why it cannot be read.
FlashSource flashSourceOf(const MergeArgs &a);

// The FlashInfo record the library reads: the record file as it is (refused,
// naming --flash-info, when it is shorter than its fields), or encoded from a
// flash description.
Bytes flashRecord(const MergeArgs &a);

} // namespace qvcli
