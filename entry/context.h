// Everything one call of the library works on, in one object the entry
// creates for the call and hands down explicitly: each layer's state and the
// call's log and file system. Nothing of a call lives anywhere else, so calls
// on different threads, each with its own context, never meet.
#pragma once

#include "base/io.h"
#include "codeimage/code_state.h"
#include "e2p/e2p_state.h"
#include "flash/flash_state.h"
#include "rai/rai_state.h"

namespace qv {

struct MergeContext {
    Io io;
    FlashState flash;
    E2pState e2p{io, flash};
    CodeState code{io, flash, e2p};
    RaiState rai{io, flash, e2p};

    MergeContext() = default;
    MergeContext(const MergeContext &) = delete;
    MergeContext &operator=(const MergeContext &) = delete;
};

} // namespace qv
