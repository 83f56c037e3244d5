#include "support/context.h"

namespace qvtest {

void resetContext(qv::MergeContext &ctx) {
    ctx.io.log.close();
    ctx.flash = qv::FlashState{};
    ctx.e2p.e2pAreaSize = 0;
    ctx.e2p.e2pImage = nullptr;
    ctx.e2p.e2pImageSize = 0;
    ctx.e2p.pending.clear();
    ctx.code.adWriteAddr = 0;
    ctx.code.raiLowerbound = 0;
    ctx.rai.clear();
    ctx.rai.eepromBase = 0;
}

} // namespace qvtest
