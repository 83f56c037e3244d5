#include "cli/merge_run.h"

#include "cli/cancel_signals.h"
#include "cli/errors.h"
#include "cli/merge_output.h"
#include "cli/merge_request.h"
#include "cli/record_merge.h"
#include "report/release_report.h"
#include "cli/progress_line.h"
#include "base/output_files.h"

#include <chrono>

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

// The merged E2P area, written the way the library writes its images: under
// a unique temporary name in its folder, created before the merge, and moved
// over the final name only when the merge succeeded (else removed).
class AreaOutput {
public:
    AreaOutput(const std::string &path, bool sync) : path_(path) {
        files_.begin(true, sync);
        if (path_.empty()) return;
        file_ = files_.open(path_, "wb", nullptr);
        if (!file_) throw InputError("cannot create " + path_);
    }
    void commit(const Bytes &area) {
        if (path_.empty()) return;
        file_.write(area.data(), area.size());
        std::string msg;
        if (!file_.close()) throw InputError("cannot write " + path_);
        if (files_.commit(msg) != 0) throw InputError(msg);
    }

private:
    std::string path_;
    qv::OutputFiles files_;
    qv::File file_;
};

} // namespace

int runMerge(const MergeArgs &a, const MergeSwitches &s) {
    Bytes flash = flashRecord(a);
    Bytes base = readWholeFile(a.e2pBase, kE2pBound), area = readWholeFile(a.e2pArea, kE2pBound);
    const int64_t time = s.recordedTime.value_or(recordedTimeFromEnvironment());
    MergeRequest req(a, flash, base, area, requestFlags(s), time);
    std::string aliasMessage;
    if (const int r = checkCommandFiles(a, aliasMessage)) {
        reportMergeFailure(r, aliasMessage, s.json);
        return kExitFailed;
    }
    // From here on a signal cancels the merge instead of ending the command,
    // so no temporary file is left behind.
    const CancelOnSignals cancel;
    AreaOutput areaOut(a.e2pAreaOut, s.sync);
    const CallResult r = callLibrary(req, cancel, s);
    if (r.code != 0) reportMergeFailure(r.code, r.message, s.json);
    const MergeRun run{r.code, r.message, req.results(), area};
    if (!s.report.empty()) writeReleaseReport(s.report, a, s.manifest, flashSourceOf(a), run);
    if (r.code != 0) {
        recordMerge(a, s, flash, run, time);
        return cancel.signal() ? 128 + cancel.signal() : kExitFailed;
    }
    areaOut.commit(area);
    recordMerge(a, s, flash, run, time);
    if (s.json || !s.quiet) printMergeOutputs(req.results(), le32(&flash[28]), r.seconds, s.json);
    return kExitOk;
}

} // namespace qvcli
