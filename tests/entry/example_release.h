// The bundled example release as a ready-to-run merge, for tests that need a
// whole, realistic call.
#pragma once

#include "support/support.h"

#include "base/file.h"

#include <quorvel/quorvel.h>

#include <string>
#include <vector>

namespace qvtest {

struct ExampleMerge {
    std::vector<std::string> images, patches, cus, e2pFiles;
    Bytes flash, base, area;
    qv::MergeOutputs outs;
    std::string message, log;
    bool eraseAll = false;
    uint32_t flags = 0; // the request's flags, for run(fs)

    // Loads examples/release; outputs and the log go to `outDir`.
    explicit ExampleMerge(const std::string &outDir);
    int run();
    // The same merge with its outputs written on `fs`.
    int run(qv::FileSystem &fs);
    // The three output files' contents, in entry order.
    std::vector<Bytes> images_() const;
};

} // namespace qvtest
