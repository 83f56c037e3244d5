// What the E2P layer keeps for a call: the E2P area size, the current E2P
// image that parameter reads and writes act on, and the parameter writes
// the code image queued for the E2P merge.
#pragma once

#include "base/io.h"
#include "flash/flash_state.h"

#include <cstdint>
#include <forward_list>

namespace qv {

// One E2P parameter write queued by the code image for the E2P merge.
struct PendingParam {
    uint32_t paramAddr = 0;  // logical E2P address
    uint8_t paramLen = 0;    // 1, 2 or 4
    uint32_t paramValue = 0; // stored little-endian in paramLen bytes
};

struct E2pState {
    E2pState(Io &io, const FlashState &flash) : io(io), flash(flash) {}

    Io &io;
    const FlashState &flash;
    uint32_t e2pAreaSize = 0;                // E2P area size of the call
    uint8_t *e2pImage = nullptr;             // current E2P image (not owned)
    uint32_t e2pImageSize = 0;               // its size in bytes
    std::forward_list<PendingParam> pending; // newest first
};

} // namespace qv
