// An E2P image read outside a merge (inspection, the release report): a
// state of its own over the image's bytes, with no log, in the layout of the
// flash given, the whole image being the E2P area.
#pragma once

#include "base/io.h"
#include "e2p/e2p_state.h"
#include "flash/flash_state.h"

#include <cstdint>
#include <span>

namespace qv {

struct E2pImageReader {
    // Reads are all the reader does: the bytes are never written through it.
    E2pImageReader(std::span<const uint8_t> image, const FlashState &layout);
    E2pImageReader(const E2pImageReader &) = delete;
    E2pImageReader &operator=(const E2pImageReader &) = delete;

    Io io;
    FlashState flash;
    E2pState e2p{io, flash};
};

} // namespace qv
