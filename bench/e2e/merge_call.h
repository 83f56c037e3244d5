// One call of the library over (part of) a generated release, run inside a
// measurement's child process.
#pragma once

#include "e2e/child.h"
#include "gen/release.h"

#include <string>
#include <vector>

namespace qvbench {

struct MergeInputs {
    std::vector<std::string> images, patches, cus, e2pFiles;
    uint32_t flags = 0; // request flags; 0: the plain entry
};

// Calls quorvel() with the release's FlashInfo and copies of its E2P
// buffers, or quorvel_merge_request() when the inputs ask for flags; the
// three outputs and the log go to `outDir`.
ChildReport callMerge(const Release &release, const MergeInputs &in, const std::string &outDir);

// The output and log paths callMerge uses in `outDir`.
std::vector<std::string> mergeOutputPaths(const std::string &outDir);

} // namespace qvbench
