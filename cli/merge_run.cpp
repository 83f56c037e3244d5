#include "cli/merge_run.h"

#include "cli/cancel_signals.h"
#include "cli/errors.h"
#include "cli/merge_output.h"
#include "cli/library_request.h"
#include "cli/record_merge.h"
#include "report/release_report.h"
#include "cli/progress_line.h"
#include "base/cause.h"
#include "entry/strict_inputs.h"

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
    std::string message, cause;
    double seconds = 0;
};

// The library call with the progress line shown while it runs (and cleared
// before anything else is printed).
CallResult callLibrary(LibraryRequest &req, const CancelOnSignals &cancel, const MergeSwitches &s) {
    ProgressLine progress(!s.json && !s.quiet);
    req.request().cancel = cancel.flag();
    req.request().progress = &ProgressLine::report;
    req.request().progress_ctx = &progress;
    char message[16384] = "", cause[4096] = "";
    req.request().cause = cause;
    req.request().cause_size = sizeof cause;
    const auto start = std::chrono::steady_clock::now();
    CallResult r;
    r.code = quorvel_merge_request(&req.request(), req.outputs(), message, sizeof message);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.message = message;
    r.cause = cause;
    return r;
}

// Reads the input given with `flag`; a file that cannot be read is named
// with the flag that gave it.
template <class Read> auto readInput(const char *flag, Read &&read) {
    try {
        return read();
    } catch (const InputError &e) {
        const std::string what = e.what();
        if (what.starts_with("--")) throw;
        throw InputError(std::string(flag) + ": " + what, e.cause);
    }
}

// The library names the host's buffers by their request fields; the user
// named files.
std::string userCause(const std::string &cause, const MergeArgs &a) {
    const struct {
        const char *field;
        std::string file;
    } buffers[] = {{qv::kFlashInfoName, a.flashInfoRecord ? "the manifest's flashInfo" : a.flashInfoPath},
                   {qv::kE2pBaseName, a.e2pBase},
                   {qv::kE2pAreaName, a.e2pArea}};
    for (const auto &b : buffers) {
        const std::string prefix = std::string(b.field) + ": ";
        if (cause.starts_with(prefix)) return b.file + cause.substr(prefix.size() - 2);
    }
    return cause;
}

// The library's check of its buffers, named by the files they were read
// from: the library would refuse them under their field names.
int checkBuffers(const MergeArgs &a, const Bytes &flash, const Bytes &base, const Bytes &area, std::string &msg) {
    return qv::checkStrictBuffers({.flashInfo = flash,
                                   .e2pBase = base,
                                   .e2pArea = area,
                                   .eraseAll = a.eraseAll,
                                   .flashName = a.flashInfoRecord ? "flashInfo" : a.flashInfoPath,
                                   .baseName = a.e2pBase,
                                   .areaName = a.e2pArea},
                                  msg);
}

} // namespace

int runMerge(const MergeArgs &a, const MergeSwitches &s) {
    Bytes flash = readInput("--flash-info", [&] { return flashRecord(a); });
    Bytes base = readInput("--e2p-base", [&] { return readWholeFile(a.e2pBase, kE2pBound); });
    Bytes area = readInput("--e2p-area", [&] { return readWholeFile(a.e2pArea, kE2pBound); });
    const int64_t time = s.recordedTime.value_or(recordedTimeFromEnvironment());
    LibraryRequest req(a, flash, base, area, requestFlags(s), time);
    std::string refusal;
    if (const int refused = s.lenient ? 0 : checkBuffers(a, flash, base, area, refusal)) {
        reportMergeFailure(refused, refusal, "", s.json);
        return kExitFailed;
    }
    // From here on a signal cancels the merge instead of ending the command,
    // so no temporary file is left behind.
    const CancelOnSignals cancel;
    // The merged E2P area is created before the merge, so that a folder that
    // takes no file stops the merge before it starts.
    std::optional<SafeOutput> areaOut;
    if (!a.e2pAreaOut.empty()) areaOut.emplace(a.e2pAreaOut, s.sync);
    CallResult r = callLibrary(req, cancel, s);
    r.cause = userCause(r.cause, a);
    if (r.code != 0) reportMergeFailure(r.code, r.message, r.cause, s.json);
    const bool safe = (req.request().flags & QUORVEL_SAFE_OUTPUTS) != 0;
    const MergeRun run{r.code, r.message, req.results(), area, safe, r.cause};
    if (!s.report.empty()) writeReleaseReport(s.report, a, s.manifest, flashSourceOf(a), run);
    if (r.code != 0) {
        recordMerge(a, s, flash, run, time);
        return cancel.signal() ? 128 + cancel.signal() : kExitFailed;
    }
    if (areaOut) areaOut->commit(area);
    recordMerge(a, s, flash, run, time);
    if (s.json || !s.quiet) printMergeOutputs(req.results(), qv::FlashInfo(flash.data()).baseAddress(), r.seconds, s.json);
    return kExitOk;
}

} // namespace qvcli
