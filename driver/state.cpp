#include "driver/state.h"

namespace qv {

void resetForCall() {
    State &s = state();
    s.log.close();
    s.call = CallControl{};
    s.outputFiles.discard();
    s.e2pAreaSize = 0;
    s.versionAddr = 0;
    s.versionAddr1 = 0;
    s.flashInfo = nullptr;
    s.eepromBase = 0;
    s.adWriteAddr = 0;
    s.adWriteLimit = kNoAdWriteLimit;
    s.pending.clear();
    s.raiLowerbound = 0;
    s.e2pImage = nullptr;
    s.e2pImageSize = 0;
    s.rai = RaiState{};
}

} // namespace qv
