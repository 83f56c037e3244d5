#include "cli/record_merge.h"

#include "cli/errors.h"
#include "cli/flash_file.h"
#include "cli/merge_args.h"
#include "cli/record.h"

namespace qvcli {

void recordMerge(const MergeArgs &a, const MergeSwitches &s, ByteView flashRecord, const MergeRun &run, int64_t time) {
    const bool flashFile = run.result == 0 && !a.outFlash.empty();
    if (a.record.empty() && !flashFile) return;
    const ReleaseModel m = gatherRelease(a, s.manifest, flashSourceOf(a), run);
    const std::optional<int64_t> recorded = time < 0 ? std::nullopt : std::optional<int64_t>(time);
    const ReleaseRecord r = recordOf(m, a, flashRecord, recorded, a.record.empty() ? a.outFlash : a.record);
    if (!a.record.empty()) writeRecord(a.record, r, s.sync);
    if (!flashFile) return;
    FlashContent content(flashLayoutOf(r));
    writeFlashFile(a.outFlash, flashFormatFor(a.outFlash, s.flashFormat, "--out-flash"), content, s.sync);
}

} // namespace qvcli
