#include "support/context.h"

namespace qvtest {

void resetContext(qv::MergeContext &ctx) {
    ctx.io.log.close();
    ctx.io.outputs.discard();
    ctx.io.call = qv::CallControl{};
    ctx.flash = qv::FlashState{};
    ctx.e2p.e2pAreaSize = 0;
    ctx.e2p.e2pImage = nullptr;
    ctx.e2p.e2pImageSize = 0;
    ctx.e2p.pending.clear();
    ctx.code.adWriteAddr = 0;
    ctx.code.adWriteLimit = qv::kNoAdWriteLimit;
    ctx.code.raiLowerbound = 0;
    ctx.code.codeImageEnd = 0;
    ctx.code.codeImagePath.clear();
    ctx.rai.clear();
    ctx.rai.eepromBase = 0;
}

} // namespace qvtest
