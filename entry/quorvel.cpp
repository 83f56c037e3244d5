// The entry: runs the three merges in their fixed order and reports the
// first failure with the failing merge's name in front of its message.
#include <quorvel/quorvel.h>

#include "codeimage/merge_code_cus.h"
#include "input/inputs.h"
#include "entry/context.h"
#include "e2p/merge_e2p.h"
#include "flash/geometry.h"
#include "rai/merge_rai.h"

namespace qv {
namespace {

constexpr const char *kName = "quorvel";

// Ends a call: closes the log and forgets every reference to the host's
// record and buffers, on every way out.
struct CallScope {
    ~CallScope() {
        State &s = state();
        s.log.close();
        s.flashInfo = nullptr;
        s.e2pImage = nullptr;
        s.e2pImageSize = 0;
        s.rai = RaiState{};
    }
};

} // namespace
} // namespace qv

int32_t quorvel(const void *flashInfo, qv::MergeOutputs *outputs, const std::vector<std::string> &imageFiles,
                const std::vector<std::string> &patchFiles, const std::vector<std::string> &cusFiles,
                uint8_t *e2pBase, uint32_t e2pBaseSize, uint8_t *e2pArea, uint32_t e2pAreaSize,
                const std::vector<std::string> &e2pFiles, int32_t /*reserved1*/, int32_t eraseAll,
                std::string &message, const std::string &logPath, int32_t /*reserved2*/) {
    using namespace qv;
    resetForCall();
    CallScope scope;
    State &s = state();
    SortedInputs inputs;
    std::string inner;

    s.e2pAreaSize = e2pAreaSize;
    s.log.open(logPath);
    if (!fms_SetFlashInfo(flashInfo)) {
        message = "Cannot get flash information";
        return -57;
    }
    FlashInfo fi(flashInfo);
    s.versionAddr = fi.versionAddr();
    s.versionAddr1 = fi.versionAddr1();
    logValue(kName, "FMS_FLASH_VELMORINE_VERSION_ADDR", s.versionAddr);
    logValue(kName, "FMS_FLASH_VELMORINE_VERSION_ADDR1", s.versionAddr1);
    sortInputs(imageFiles, patchFiles, inputs);

    MergeOutputs &out = *outputs;
    if (int r = merge_code_cus(inputs.codeFiles, inputs.dspFiles, inputs.mcpPath, cusFiles, out[kCodeOutput], fi,
                               inner)) {
        message = strprintf("merge_code_cus: %s", inner.c_str());
        return r;
    }
    if (int r = mergeE2P(e2pBase, e2pBaseSize, e2pArea, e2pAreaSize, e2pFiles, out[kE2pOutput],
                         uint32_t(cusFiles.size()), eraseAll, inner)) {
        message = strprintf("mergeE2P: %s", inner.c_str());
        return r;
    }
    if (int r = mergeRAI(inputs.raiFiles, out[kRaiOutput], e2pArea, fi, inner)) {
        message = strprintf("mergeRAI: %s", inner.c_str());
        return r;
    }
    out[kE2pOutput].imageAddress = s.eepromBase;
    return 0;
}
