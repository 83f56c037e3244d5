#include "entry/merge_call.h"

#include "base/results.h"
#include "codeimage/merge_code_cus.h"
#include "e2p/merge_e2p.h"
#include "entry/images_written.h"
#include "entry/outputs_not_inputs.h"
#include "entry/strict_inputs.h"
#include "flash/geometry.h"
#include "input/inputs.h"
#include "rai/merge_rai.h"

#include <exception>
#include <memory>
#include <new>

namespace qv {
namespace {

constexpr const char *kName = "quorvel";

// Ends a call: closes the log and removes what safe outputs left, on every
// way out. The context, and with it every reference to the host's record,
// buffers and callbacks, goes with the call.
struct CallScope {
    explicit CallScope(Io &io) : io(io) {}
    CallScope(const CallScope &) = delete;
    CallScope &operator=(const CallScope &) = delete;
    ~CallScope() {
        io.log.close();
        io.outputs.discard();
    }
    Io &io;
};

int cancelled(Io &io, std::string &message) {
    io.cause.clear(); // what a stopped step left half-read is no fault of an input
    message = strprintf("cancelled while %s", io.call.step);
    logf(io.log, kName, "%s", message.c_str());
    return kErrCancelled;
}

// Runs one merge as step `what`. A failure gets the merge's name in front of
// its message; a failure after the host cancelled is the cancellation.
template <class Merge>
int mergeStep(Io &io, const char *what, const char *name, std::string &message, Merge &&merge) {
    if (!beginStep(io.call, what)) return cancelled(io, message);
    std::string inner;
    int r = merge(inner);
    if (r == 0) return 0;
    if (cancelRequested(io.call)) return cancelled(io, message);
    message = strprintf("%s: %s", name, inner.c_str());
    return r;
}

// Everything before the first file is created: the host's options, outputs
// that are inputs, with safe outputs an image without a path, and with strict
// inputs every input.
int checkCall(Io &io, const MergeRequest &rq, const HostLists &in, const MergeOutputs &out, std::string &message) {
    if (!beginStep(io.call, "checking the outputs")) return cancelled(io, message);
    if (int r = checkOutputsAreNotInputs(in, out, std::string(rq.logPath), message, &io.cause)) return r;
    if (rq.control.flags & QUORVEL_SAFE_OUTPUTS)
        if (int r = checkOutputsGiven(in, out, message)) return r;
    if (!(rq.control.flags & QUORVEL_STRICT_INPUTS)) return 0;
    if (!beginStep(io.call, "checking the inputs")) return cancelled(io, message);
    const std::span<const uint8_t> flashInfo(static_cast<const uint8_t *>(rq.flashInfo), rq.flashInfoSize);
    const StrictBuffers buffers{.flashInfo = flashInfo,
                                .e2pBase = {rq.e2pBase, rq.e2pBaseSize},
                                .e2pArea = {rq.e2pArea, rq.e2pAreaSize},
                                .eraseAll = rq.eraseAll != 0};
    if (int r = checkStrictBuffers(buffers, message)) return r;
    return checkStrictInputs(in, flashInfo, message, &io.cause);
}

// The log, the FlashInfo record and the version words, then the inputs.
int openCall(MergeContext &ctx, const MergeRequest &rq, const HostLists &in, SortedInputs &sorted,
             std::string &message) {
    Io &io = ctx.io;
    io.outputs.begin(rq.control.flags & QUORVEL_SAFE_OUTPUTS, rq.control.flags & QUORVEL_SYNC_OUTPUTS);
    ctx.e2p.e2pAreaSize = rq.e2pAreaSize;
    io.outputs.openLog(io.log, std::string(rq.logPath));
    if (!fms_SetFlashInfo(ctx.flash, rq.flashInfo)) {
        io.cause.explain("no FlashInfo record given (NULL)");
        io.cause.name(kFlashInfoName);
        message = "Cannot get flash information";
        return kErrNoFlashInfo;
    }
    FlashInfo fi(rq.flashInfo);
    ctx.flash.versionAddr = fi.versionAddr();
    ctx.flash.versionAddr1 = fi.versionAddr1();
    logValue(io.log, kName, "FMS_FLASH_VELMORINE_VERSION_ADDR", ctx.flash.versionAddr);
    logValue(io.log, kName, "FMS_FLASH_VELMORINE_VERSION_ADDR1", ctx.flash.versionAddr1);
    if (!beginStep(io.call, "sorting the inputs")) return cancelled(io, message);
    sortInputs(io.log, in.images, in.patches, sorted);
    return 0;
}

// What the RAI merge needs to know of the code image.
CodeExtent codeExtent(const CodeState &code) {
    return CodeExtent{code.raiLowerbound, code.codeImageEnd, code.codeImagePath};
}

// The three merges in their fixed order; the first failure ends the call.
int runMerges(MergeContext &ctx, const MergeRequest &rq, const HostLists &in, MergeOutputs &out,
              std::string &message) {
    Io &io = ctx.io;
    SortedInputs sorted;
    if (int r = openCall(ctx, rq, in, sorted, message)) return r;
    FlashInfo fi(rq.flashInfo);
    if (int r = mergeStep(io, "building the code image", "merge_code_cus", message, [&](std::string &inner) {
            return merge_code_cus(ctx.code, sorted.codeFiles, sorted.dspFiles, sorted.mcpPath, in.cus,
                                  out[kCodeOutput], fi, inner);
        }))
        return r;
    if (int r = mergeStep(io, "building the E2P image", "mergeE2P", message, [&](std::string &inner) {
            return mergeE2P(ctx.e2p, rq.e2pBase, rq.e2pBaseSize, rq.e2pArea, rq.e2pAreaSize, in.e2pFiles,
                            out[kE2pOutput], uint32_t(in.cus.size()), rq.eraseAll, inner);
        }))
        return r;
    if (int r = mergeStep(io, "building the RAI image", "mergeRAI", message, [&](std::string &inner) {
            return mergeRAI(ctx.rai, sorted.raiFiles, codeExtent(ctx.code), out[kRaiOutput], rq.e2pArea, inner);
        }))
        return r;
    out[kE2pOutput].imageAddress = ctx.rai.eepromBase;
    if (!beginStep(io.call, "replacing the outputs")) return cancelled(io, message);
    return io.outputs.commit(message, &io.cause);
}

int32_t run(MergeContext &ctx, const MergeRequest &rq, MergeOutputs &out, std::string &message) {
    HostLists in{rq.images.toVector(), rq.patches.toVector(), rq.cus.toVector(), rq.e2pFiles.toVector()};
    if (int r = checkCall(ctx.io, rq, in, out, message)) return r;
    return runMerges(ctx, rq, in, out, message);
}

// The failure no merge reported: logged when the log is open, and returned.
int32_t unexpected(Io &io, const MessageSlot &message, int32_t code, const char *what) noexcept {
    const char *step = io.call.step;
    if (code == kErrOutOfMemory) message.format("out of memory while %s", step);
    else message.format("unexpected failure while %s: %s", step, what);
    logf(io.log, kName, code == kErrOutOfMemory ? "out of memory while %s" : "unexpected failure while %s", step);
    return code;
}

} // namespace

int32_t runMerge(const MergeRequest &rq, const OutputSlots &outputs, const MessageSlot &message) noexcept {
    // The context is a few hundred bytes; its buffers are allocated as the
    // merges need them. Making it can only fail for lack of memory.
    std::unique_ptr<MergeContext> ctx;
    try {
        ctx = std::make_unique<MergeContext>();
    } catch (const std::bad_alloc &) {
        message.set("out of memory while starting the merge");
        return kErrOutOfMemory;
    }
    return runMerge(*ctx, rq, outputs, message);
}

int32_t runMerge(MergeContext &ctx, const MergeRequest &rq, const OutputSlots &outputs,
                 const MessageSlot &message) noexcept {
    Io &io = ctx.io;
    CallScope scope(io);
    io.call = rq.control;
    io.cause.clear();
    MergeOutputs out;
    bool loaded = false;
    int32_t r = 0;
    try {
        out = outputs.load();
        loaded = true;
        std::string text;
        r = run(ctx, rq, out, text);
        if (r != 0) message.set(text);
        if (r != 0 && rq.cause) rq.cause->set(io.cause.line());
    } catch (const std::bad_alloc &) {
        r = unexpected(io, message, kErrOutOfMemory, "");
    } catch (const std::exception &e) {
        r = unexpected(io, message, kErrUnexpected, e.what());
    } catch (...) {
        r = unexpected(io, message, kErrUnexpected, "unknown exception");
    }
    if (loaded && (r == 0 || !(rq.control.flags & QUORVEL_SAFE_OUTPUTS))) outputs.store(out);
    return r;
}

} // namespace qv
