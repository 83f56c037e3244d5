// The host's hold on a running call: the step it is in, progress reports
// and the cancel flag, as the driver and the long loops of the merges see
// them (CallControl in driver/state.h).
#pragma once

#include <cstdint>

namespace qv {

// Enters a merge step: reports it to the progress callback (done and total
// 0). False when the host has cancelled the call.
bool beginStep(const char *step);
// True once the host has set the cancel flag; the call remembers it.
bool cancelRequested();

// Progress and cancellation of one long copy or expansion: advance() after
// every block reports progress each 16 MB and answers whether to go on.
class LongLoop {
public:
    static constexpr uint64_t kReportEvery = uint64_t(16) << 20;
    // `total`: the bytes the loop will move, 0 when not known.
    explicit LongLoop(uint64_t total = 0) : total_(total) {}
    // Counts n more bytes; false when the host has cancelled the call.
    bool advance(uint64_t n);

private:
    uint64_t total_, done_ = 0, next_ = kReportEvery;
};

} // namespace qv
