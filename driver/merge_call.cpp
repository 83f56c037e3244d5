#include "driver/merge_call.h"

#include "codeimage/merge_code_cus.h"
#include "driver/call_codes.h"
#include "driver/call_control.h"
#include "driver/inputs.h"
#include "driver/same_file.h"
#include "driver/strict_inputs.h"
#include "e2p/merge_e2p.h"
#include "flash/geometry.h"
#include "rai/merge_rai.h"

#include <exception>
#include <new>

namespace qv {
namespace {

constexpr const char *kName = "quorvel";

// Ends a call: closes the log, removes what safe outputs left, and forgets
// every reference to the host's record, buffers and callbacks, on every way
// out.
struct CallScope {
    CallScope() { resetForCall(); }
    CallScope(const CallScope &) = delete;
    CallScope &operator=(const CallScope &) = delete;
    ~CallScope() {
        State &s = state();
        s.log.close();
        s.outputFiles.discard();
        s.call = CallControl{};
        s.flashInfo = nullptr;
        s.e2pImage = nullptr;
        s.e2pImageSize = 0;
        s.rai = RaiState{};
    }
};

int cancelled(std::string &message) {
    message = strprintf("cancelled while %s", state().call.step);
    logf(kName, "%s", message.c_str());
    return kErrCancelled;
}

// Runs one merge as step `what`. A failure gets the merge's name in front of
// its message; a failure after the host cancelled is the cancellation.
template <class Merge> int mergeStep(const char *what, const char *name, std::string &message, Merge &&merge) {
    if (!beginStep(what)) return cancelled(message);
    std::string inner;
    int r = merge(inner);
    if (r == 0) return 0;
    if (cancelRequested()) return cancelled(message);
    message = strprintf("%s: %s", name, inner.c_str());
    return r;
}

// Everything before the first file is created: the host's options, outputs
// that are inputs, and with strict inputs every input.
int checkCall(const MergeRequest &rq, const HostLists &in, const MergeOutputs &out, std::string &message) {
    if (!beginStep("checking the outputs")) return cancelled(message);
    if (int r = checkOutputsAreNotInputs(in, out, std::string(rq.logPath), message)) return r;
    if (!(rq.control.flags & QUORVEL_STRICT_INPUTS)) return 0;
    if (!beginStep("checking the inputs")) return cancelled(message);
    return checkStrictInputs(in, message);
}

// The log, the FlashInfo record and the version words, then the inputs.
int openCall(const MergeRequest &rq, const HostLists &in, SortedInputs &sorted, std::string &message) {
    State &s = state();
    s.outputFiles.begin(rq.control.flags & QUORVEL_SAFE_OUTPUTS, rq.control.flags & QUORVEL_SYNC_OUTPUTS);
    s.e2pAreaSize = rq.e2pAreaSize;
    s.log.open(std::string(rq.logPath));
    if (!fms_SetFlashInfo(rq.flashInfo)) {
        message = "Cannot get flash information";
        return -57;
    }
    FlashInfo fi(rq.flashInfo);
    s.versionAddr = fi.versionAddr();
    s.versionAddr1 = fi.versionAddr1();
    logValue(kName, "FMS_FLASH_VELMORINE_VERSION_ADDR", s.versionAddr);
    logValue(kName, "FMS_FLASH_VELMORINE_VERSION_ADDR1", s.versionAddr1);
    if (!beginStep("sorting the inputs")) return cancelled(message);
    sortInputs(in.images, in.patches, sorted);
    return 0;
}

// The three merges in their fixed order; the first failure ends the call.
int runMerges(const MergeRequest &rq, const HostLists &in, MergeOutputs &out, std::string &message) {
    SortedInputs sorted;
    if (int r = openCall(rq, in, sorted, message)) return r;
    FlashInfo fi(rq.flashInfo);
    if (int r = mergeStep("building the code image", "merge_code_cus", message, [&](std::string &inner) {
            return merge_code_cus(sorted.codeFiles, sorted.dspFiles, sorted.mcpPath, in.cus, out[kCodeOutput], fi,
                                  inner);
        }))
        return r;
    if (int r = mergeStep("building the E2P image", "mergeE2P", message, [&](std::string &inner) {
            return mergeE2P(rq.e2pBase, rq.e2pBaseSize, rq.e2pArea, rq.e2pAreaSize, in.e2pFiles, out[kE2pOutput],
                            uint32_t(in.cus.size()), rq.eraseAll, inner);
        }))
        return r;
    if (int r = mergeStep("building the RAI image", "mergeRAI", message, [&](std::string &inner) {
            return mergeRAI(sorted.raiFiles, out[kRaiOutput], rq.e2pArea, fi, inner);
        }))
        return r;
    out[kE2pOutput].imageAddress = state().eepromBase;
    if (!beginStep("replacing the outputs")) return cancelled(message);
    return state().outputFiles.commit(message);
}

int32_t run(const MergeRequest &rq, MergeOutputs &out, std::string &message) {
    HostLists in{rq.images.toVector(), rq.patches.toVector(), rq.cus.toVector(), rq.e2pFiles.toVector()};
    if (int r = checkCall(rq, in, out, message)) return r;
    return runMerges(rq, in, out, message);
}

// The failure no merge reported: logged when the log is open, and returned.
int32_t unexpected(const MessageSlot &message, int32_t code, const char *what) noexcept {
    const char *step = state().call.step;
    if (code == kErrOutOfMemory) message.format("out of memory while %s", step);
    else message.format("unexpected failure while %s: %s", step, what);
    logf(kName, code == kErrOutOfMemory ? "out of memory while %s" : "unexpected failure while %s", step);
    return code;
}

} // namespace

int32_t runMerge(const MergeRequest &rq, const OutputSlots &outputs, const MessageSlot &message) noexcept {
    CallScope scope;
    state().call = rq.control;
    MergeOutputs out;
    bool loaded = false;
    int32_t r = 0;
    try {
        out = outputs.load();
        loaded = true;
        std::string text;
        r = run(rq, out, text);
        if (r != 0) message.set(text);
    } catch (const std::bad_alloc &) {
        r = unexpected(message, kErrOutOfMemory, "");
    } catch (const std::exception &e) {
        r = unexpected(message, kErrUnexpected, e.what());
    } catch (...) {
        r = unexpected(message, kErrUnexpected, "unknown exception");
    }
    if (loaded && (r == 0 || !(rq.control.flags & QUORVEL_SAFE_OUTPUTS))) outputs.store(out);
    return r;
}

} // namespace qv
