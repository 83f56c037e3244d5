// Shared set-up of the micro-benchmarks: a scratch folder for generated
// inputs, and the merge context a merge step expects (FlashInfo
// registered, E2P area size and current image, version words).
#pragma once

#include "entry/context.h"
#include "gen/release.h"

#include <string>

namespace qvbench {

// A folder under the system temporary directory, removed at exit.
const std::string &scratchDir();
std::string scratchFile(const std::string &name);

// Registers a uniform 512 MB flash, makes `e2pBase` (a base image with the
// RAI parameters of `raiUnits` and cache size 255) the current E2P image of a
// 64 KB area, and sets the version words. The buffers stay alive for the run.
void setUpFlashState(bool interleaved, uint16_t raiUnits = 1024);
// The context of the micro-benchmarks: the one setUpFlashState made last, or
// a fresh one.
qv::MergeContext &benchContext();

} // namespace qvbench
