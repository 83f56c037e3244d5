// The entry: runs the three merges in their fixed order and reports the
// first failure with the failing merge's name in front of its message.
#include <quorvel/quorvel.h>

#include "codeimage/merge_code_cus.h"
#include "e2p/merge_e2p.h"
#include "entry/context.h"
#include "entry/merge.h"
#include "flash/geometry.h"
#include "input/inputs.h"
#include "rai/merge_rai.h"

namespace qv {
namespace {

constexpr const char *kName = "quorvel";

// The log is complete when the call returns, on every way out.
struct LogScope {
    MergeLog &log;
    ~LogScope() { log.close(); }
};

} // namespace

int32_t runMerge(MergeContext &ctx, const void *flashInfo, MergeOutputs &out, const MergeInputs &in,
                 std::string &message) {
    SortedInputs inputs;
    std::string inner;

    ctx.e2p.e2pAreaSize = in.e2pAreaSize;
    ctx.io.log.open(*in.logPath);
    LogScope closeLog{ctx.io.log};
    if (!fms_SetFlashInfo(ctx.flash, flashInfo)) {
        message = "Cannot get flash information";
        return -57;
    }
    FlashInfo fi(flashInfo);
    ctx.flash.versionAddr = fi.versionAddr();
    ctx.flash.versionAddr1 = fi.versionAddr1();
    logValue(ctx.io.log, kName, "FMS_FLASH_VELMORINE_VERSION_ADDR", ctx.flash.versionAddr);
    logValue(ctx.io.log, kName, "FMS_FLASH_VELMORINE_VERSION_ADDR1", ctx.flash.versionAddr1);
    sortInputs(ctx.io.log, *in.imageFiles, *in.patchFiles, inputs);

    if (int r = merge_code_cus(ctx.code, inputs.codeFiles, inputs.dspFiles, inputs.mcpPath, *in.cusFiles,
                               out[kCodeOutput], fi, inner)) {
        message = strprintf("merge_code_cus: %s", inner.c_str());
        return r;
    }
    if (int r = mergeE2P(ctx.e2p, in.e2pBase, in.e2pBaseSize, in.e2pArea, in.e2pAreaSize, *in.e2pFiles,
                         out[kE2pOutput], uint32_t(in.cusFiles->size()), in.eraseAll, inner)) {
        message = strprintf("mergeE2P: %s", inner.c_str());
        return r;
    }
    if (int r = mergeRAI(ctx.rai, inputs.raiFiles, ctx.code.raiLowerbound, out[kRaiOutput], in.e2pArea, inner)) {
        message = strprintf("mergeRAI: %s", inner.c_str());
        return r;
    }
    out[kE2pOutput].imageAddress = ctx.rai.eepromBase;
    return 0;
}

} // namespace qv

int32_t quorvel(const void *flashInfo, qv::MergeOutputs *outputs, const std::vector<std::string> &imageFiles,
                const std::vector<std::string> &patchFiles, const std::vector<std::string> &cusFiles,
                uint8_t *e2pBase, uint32_t e2pBaseSize, uint8_t *e2pArea, uint32_t e2pAreaSize,
                const std::vector<std::string> &e2pFiles, int32_t /*reserved1*/, int32_t eraseAll,
                std::string &message, const std::string &logPath, int32_t /*reserved2*/) {
    qv::MergeContext ctx;
    const qv::MergeInputs in{&imageFiles, &patchFiles, &cusFiles, e2pBase,  e2pBaseSize, e2pArea,
                             e2pAreaSize, &e2pFiles,   eraseAll,  &logPath};
    return qv::runMerge(ctx, flashInfo, *outputs, in, message);
}
