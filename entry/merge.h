// The merge sequence on a context the caller provides: what the entries run,
// and what a test runs to hand the call its own file system.
#pragma once

#include "entry/context.h"

#include <quorvel/quorvel.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// The host's inputs of one merge (the entry's arguments, by reference).
struct MergeInputs {
    const std::vector<std::string> *imageFiles;
    const std::vector<std::string> *patchFiles;
    const std::vector<std::string> *cusFiles;
    uint8_t *e2pBase;
    uint32_t e2pBaseSize;
    uint8_t *e2pArea;
    uint32_t e2pAreaSize;
    const std::vector<std::string> *e2pFiles;
    int32_t eraseAll;
    const std::string *logPath;
};

// Runs the code, E2P and RAI merges on `ctx` (a fresh one per call). Returns
// 0 or the first failure's code with its message.
int32_t runMerge(MergeContext &ctx, const void *flashInfo, MergeOutputs &out, const MergeInputs &in,
                 std::string &message);

} // namespace qv
