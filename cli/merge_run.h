// One merge through the library's request entry: outputs appear only when
// the merge succeeded (the merged E2P area included), every named input must
// be used unless --lenient, SIGINT and SIGTERM cancel it, and a long merge on
// a terminal shows its progress.
#pragma once

#include "cli/merge_args.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qvcli {

struct MergeSwitches {
    bool json = false, quiet = false;
    bool lenient = false; // inputs sorted by the literal rules; unused ones are skipped
    bool sync = false;    // outputs flushed to the disk before they replace earlier files
    std::string report;   // release report to write after the merge, failed or not
    std::string manifest; // the manifest the release came from, for the report
    std::string flashFormat; // --flash-format: the programmer file's format, else its name's
    std::optional<int64_t> recordedTime; // instead of SOURCE_DATE_EPOCH (a merge again from a record)
};

// The exit status: 0, 1 for a failed merge, 128 + the signal for a cancelled one.
int runMerge(const MergeArgs &a, const MergeSwitches &s);

} // namespace qvcli
