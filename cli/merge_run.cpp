#include "cli/merge_run.h"

#include "cli/cancel_signals.h"
#include "cli/errors.h"
#include "cli/merge_output.h"
#include "cli/merge_request.h"
#include "report/release_report.h"
#include "cli/progress_line.h"

#include <chrono>
#include <optional>

namespace qvcli {
namespace {

uint32_t requestFlags(const MergeSwitches &s) {
    uint32_t flags = QUORVEL_SAFE_OUTPUTS;
    if (!s.lenient) flags |= QUORVEL_STRICT_INPUTS;
    if (s.sync) flags |= QUORVEL_SYNC_OUTPUTS;
    return flags;
}

struct CallResult {
    int32_t code = 0;
    std::string message;
    double seconds = 0;
};

// The library call with the progress line shown while it runs (and cleared
// before anything else is printed).
CallResult callLibrary(MergeRequest &req, const CancelOnSignals &cancel, const MergeSwitches &s) {
    ProgressLine progress(!s.json && !s.quiet);
    req.request().cancel = cancel.flag();
    req.request().progress = &ProgressLine::report;
    req.request().progress_ctx = &progress;
    char message[16384] = "";
    const auto start = std::chrono::steady_clock::now();
    CallResult r;
    r.code = quorvel_merge_request(&req.request(), req.outputs(), message, sizeof message);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.message = message;
    return r;
}

} // namespace

int runMerge(const MergeArgs &a, const MergeSwitches &s) {
    Bytes flash = flashRecord(a);
    Bytes base = readWholeFile(a.e2pBase, kE2pBound), area = readWholeFile(a.e2pArea, kE2pBound);
    MergeRequest req(a, flash, base, area, requestFlags(s), recordedTimeFromEnvironment());
    // From here on a signal cancels the merge instead of ending the command,
    // so no temporary file is left behind.
    const CancelOnSignals cancel;
    // The merged E2P area is created before the merge, so that a folder that
    // takes no file stops the merge before it starts.
    std::optional<SafeOutput> areaOut;
    if (!a.e2pAreaOut.empty()) areaOut.emplace(a.e2pAreaOut, s.sync);
    const CallResult r = callLibrary(req, cancel, s);
    if (r.code != 0) reportMergeFailure(r.code, r.message, s.json);
    if (!s.report.empty()) writeReleaseReport(s.report, a, s.manifest, flashSourceOf(a), MergeRun{r.code, r.message, req.results(), area});
    if (r.code != 0) return cancel.signal() ? 128 + cancel.signal() : kExitFailed;
    if (areaOut) areaOut->commit(area);
    if (s.json || !s.quiet) printMergeOutputs(req.results(), le32(&flash[28]), r.seconds, s.json);
    return kExitOk;
}

} // namespace qvcli
