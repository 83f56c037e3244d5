// One updating line on stderr while a long merge runs: the step, the
// mebibytes (MiB) done of the step's total and the rate. It appears only once the
// merge has run for about a second, only when stderr is a terminal, and is
// cleared when the merge ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace qvcli {

class ProgressLine {
public:
    // `enabled`: the caller wants it (no --quiet, no --json); stderr must
    // also be a terminal.
    explicit ProgressLine(bool enabled);
    ~ProgressLine(); // clears the line if one was shown
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    // The merge request's progress callback; `ctx` is the ProgressLine.
    static void report(void *ctx, const char *step, uint64_t done, uint64_t total);

private:
    using Clock = std::chrono::steady_clock;
    void update(const char *step, uint64_t done, uint64_t total);
    void show(uint64_t done, uint64_t total, Clock::time_point now);

    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_, stepStart_, lastShown_;
    std::string step_;
};

} // namespace qvcli
