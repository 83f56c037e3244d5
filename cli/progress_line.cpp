#include "cli/progress_line.h"

#include <cstdio>
#include <unistd.h>

namespace qvcli {
namespace {

constexpr auto kDelay = std::chrono::seconds(1);            // quiet merges stay quiet
constexpr auto kInterval = std::chrono::milliseconds(100);  // at most ten updates a second
constexpr double kMiB = 1024.0 * 1024.0;

} // namespace

ProgressLine::ProgressLine(bool enabled) : enabled_(enabled && isatty(fileno(stderr)) == 1) {
    start_ = stepStart_ = Clock::now();
}

ProgressLine::~ProgressLine() {
    if (shown_) std::fprintf(stderr, "\r\033[K");
}

void ProgressLine::report(void *ctx, const char *step, uint64_t done, uint64_t total) {
    static_cast<ProgressLine *>(ctx)->update(step ? step : "", done, total);
}

void ProgressLine::update(const char *step, uint64_t done, uint64_t total) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (step_ != step) {
        step_ = step;
        stepStart_ = now;
    }
    if (now - start_ < kDelay || (shown_ && now - lastShown_ < kInterval)) return;
    show(done, total, now);
}

void ProgressLine::show(uint64_t done, uint64_t total, Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - stepStart_).count();
    const double rate = seconds > 0 ? double(done) / kMiB / seconds : 0;
    if (total > 0)
        std::fprintf(stderr, "\r\033[K%s: %.1f of %.1f MiB, %.1f MiB/s", step_.c_str(), double(done) / kMiB,
                     double(total) / kMiB, rate);
    else if (done > 0)
        std::fprintf(stderr, "\r\033[K%s: %.1f MiB, %.1f MiB/s", step_.c_str(), double(done) / kMiB, rate);
    else
        std::fprintf(stderr, "\r\033[K%s", step_.c_str());
    std::fflush(stderr);
    shown_ = true;
    lastShown_ = now;
}

} // namespace qvcli
