// What a merge writes besides its images, its log and its merged E2P area:
// the release record (--record) and the programmer file (--out-flash).
#pragma once

#include "cli/merge_run.h"
#include "report/model.h"

#include <cstdint>

namespace qvcli {

// The record a manifest merge into --out-dir writes there unless told otherwise.
inline constexpr const char *kDefaultRecordName = "release.record.json";

// After the merge `run` (failed or not) of `a`: writes the record when one
// is asked for, and the programmer file when one is asked for and the merge
// succeeded. `flashRecord` is the FlashInfo record as passed, `time` the
// recorded time the merge was given (-1: none). Throws InputError.
void recordMerge(const MergeArgs &a, const MergeSwitches &s, ByteView flashRecord, const MergeRun &run, int64_t time);

} // namespace qvcli
