#include "base/call_control.h"

namespace qv {
namespace {

void report(const CallControl &c, uint64_t done, uint64_t total) {
    if (c.progress) c.progress(c.progressCtx, c.step, done, total);
}

} // namespace

bool cancelRequested(CallControl &c) {
    if (!c.cancelled && c.cancel && *c.cancel != 0) c.cancelled = true;
    return c.cancelled;
}

bool beginStep(CallControl &call, const char *step) {
    call.step = step;
    report(call, 0, 0);
    return !cancelRequested(call);
}

bool LongLoop::advance(uint64_t n) {
    done_ += n;
    if (done_ >= next_) {
        report(call_, done_, total_);
        next_ = done_ - done_ % kReportEvery + kReportEvery;
    }
    return !cancelRequested(call_);
}

} // namespace qv
