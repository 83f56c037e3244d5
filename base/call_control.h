// The host's hold on a running call: the step it is in, progress reports
// and the cancel flag, as the entry and the long loops of the merges see
// them.
#pragma once

#include <cstdint>

namespace qv {

// What the host asked of the call beyond the merge itself, and where the
// call stands. The request entry fills the first five from its fields; the
// other entries leave their defaults, which are the plain merge.
struct CallControl {
    uint32_t flags = 0;                   // QUORVEL_SAFE_OUTPUTS | QUORVEL_STRICT_INPUTS | QUORVEL_SYNC_OUTPUTS
    int64_t recordedTime = -1;            // size-and-date record: -1 the code file's last write, else UTC seconds
    const volatile int *cancel = nullptr; // set non-zero by the host to stop the merge
    void (*progress)(void *ctx, const char *step, uint64_t done, uint64_t total) = nullptr;
    void *progressCtx = nullptr;
    const char *step = "starting the merge"; // the step running now, for progress and failure messages
    bool cancelled = false;                  // the cancel flag was seen set
};

// Enters a merge step: reports it to the progress callback (done and total
// 0). False when the host has cancelled the call.
bool beginStep(CallControl &call, const char *step);
// True once the host has set the cancel flag; the call remembers it.
bool cancelRequested(CallControl &call);

// Progress and cancellation of one long copy or expansion: advance() after
// every block reports progress each 16 MB and answers whether to go on.
class LongLoop {
public:
    static constexpr uint64_t kReportEvery = uint64_t(16) << 20;
    // `total`: the bytes the loop will move, 0 when not known.
    explicit LongLoop(CallControl &call, uint64_t total = 0) : call_(call), total_(total) {}
    // Counts n more bytes; false when the host has cancelled the call.
    bool advance(uint64_t n);

private:
    CallControl &call_;
    uint64_t total_, done_ = 0, next_ = kReportEvery;
};

} // namespace qv
