#include "driver/call_control.h"

#include "driver/state.h"

namespace qv {
namespace {

void report(uint64_t done, uint64_t total) {
    const CallControl &c = state().call;
    if (c.progress) c.progress(c.progressCtx, c.step, done, total);
}

} // namespace

bool cancelRequested() {
    CallControl &c = state().call;
    if (!c.cancelled && c.cancel && *c.cancel != 0) c.cancelled = true;
    return c.cancelled;
}

bool beginStep(const char *step) {
    state().call.step = step;
    report(0, 0);
    return !cancelRequested();
}

bool LongLoop::advance(uint64_t n) {
    done_ += n;
    if (done_ >= next_) {
        report(done_, total_);
        next_ = done_ - done_ % kReportEvery + kReportEvery;
    }
    return !cancelRequested();
}

} // namespace qv
