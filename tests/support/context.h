// A test's own merge context and the file system it writes outputs on: the
// disk, except that the operation numbered `failAt` (1-based, 0 = none) of
// the writes, flushes and closes of outputs fails as a full disk would.
#pragma once

#include "base/file.h"
#include "entry/context.h"

#include <cstdint>

namespace qvtest {

struct IoFaultSeam : qv::FileSystem {
    uint64_t failAt = 0;
    uint64_t count = 0;
    explicit IoFaultSeam(uint64_t failAt = 0, uint64_t count = 0) : failAt(failAt), count(count) {}
    bool outputAllowed() override {
        ++count;
        return failAt == 0 || count != failAt;
    }
};

// A context whose outputs go through `seam`.
struct TestContext {
    IoFaultSeam seam;
    qv::MergeContext ctx;
    TestContext() { ctx.io.fs = &seam; }
};

// Brings `ctx` back to the state of a fresh context (the log closed), as a
// new call would find it; the file system stays.
void resetContext(qv::MergeContext &ctx);

} // namespace qvtest
