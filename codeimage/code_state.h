// What the code image keeps for a call: the record offset AD_write_addr and
// the RAI_lowerbound it hands to the RAI merge. It writes the version words
// of the flash layer and queues parameter writes for the E2P merge.
#pragma once

#include "base/io.h"
#include "e2p/e2p_state.h"
#include "flash/flash_state.h"

#include <cstdint>
#include <string>

namespace qv {

// The write limit of the CUS records when no merge set one: 4 GiB, the most
// that the records' 32-bit offsets can name.
inline constexpr uint64_t kNoAdWriteLimit = uint64_t(1) << 32;

struct CodeState {
    CodeState(Io &io, FlashState &flash, E2pState &e2p) : io(io), flash(flash), e2p(e2p) {}

    Io &io;
    FlashState &flash;
    E2pState &e2p;
    uint32_t adWriteAddr = 0;   // AD_write_addr
    uint64_t adWriteLimit = kNoAdWriteLimit; // output offset no record may pass (the flash size)
    uint32_t raiLowerbound = 0;              // RAI_lowerbound
    uint64_t codeImageEnd = 0;               // flash address past a code image without CUS area; 0: none
    std::string codeImagePath;               // that image, for the RAI merge's refusal
};

} // namespace qv
