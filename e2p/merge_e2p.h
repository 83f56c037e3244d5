// The E2P merge: replays the host's journal onto the base, applies the
// description files and the queued CUS parameters, writes a new journal.
#pragma once

#include "e2p/e2p_state.h"

#include <quorvel/quorvel.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

int mergeE2P(E2pState &e2p, uint8_t *e2pBase, uint32_t e2pBaseSize, uint8_t *e2pArea, uint32_t e2pAreaSize,
             const std::vector<std::string> &e2pFiles, OutputImage &out, uint32_t cusFileCount,
             int32_t eraseAll, std::string &msg);

} // namespace qv
