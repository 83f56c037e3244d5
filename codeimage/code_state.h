// What the code image keeps for a call: the record offset AD_write_addr and
// the RAI_lowerbound it hands to the RAI merge. It writes the version words
// of the flash layer and queues parameter writes for the E2P merge.
#pragma once

#include "base/io.h"
#include "e2p/e2p_state.h"
#include "flash/flash_state.h"

#include <cstdint>

namespace qv {

struct CodeState {
    CodeState(Io &io, FlashState &flash, E2pState &e2p) : io(io), flash(flash), e2p(e2p) {}

    Io &io;
    FlashState &flash;
    E2pState &e2p;
    uint32_t adWriteAddr = 0;   // AD_write_addr
    uint32_t raiLowerbound = 0; // RAI_lowerbound
};

} // namespace qv
