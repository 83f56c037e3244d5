// Progress lines and the closing summary of the end-to-end benchmark: each
// merge beside its baseline, MiB/s, ratios checked against the targets, peak
// resident memory and the merges' result codes.
#pragma once

#include "e2e/child.h"
#include "e2e/merge_call.h"
#include "e2e/options.h"

#include <functional>
#include <string>
#include <vector>

namespace qvbench {

struct Measurement {
    std::string key, name, baseName;
    std::function<Run()> baseline; // empty: the merge has no baseline
    MergeInputs inputs;
    std::vector<Run> base, merge; // one per round
};

class Report {
public:
    Report(const Release &release, const Options &options);
    // RSS of a child that does nothing: what every child inherits.
    void floor(const Run &run) { floorKB_ = run.maxRssKB; }
    void progress(unsigned round, const std::string &what, const Run &run);
    void fullCheck(const Run &run, int32_t expected);
    // Prints the table; returns 0 when every merge succeeded and every target
    // was met, 2 when a target was missed, 1 when a merge or a check failed.
    int summary(const std::vector<Measurement> &ms);

private:
    bool row(const Measurement &m);
    bool target(bool met, const char *text);
    const Release &r_;
    const Options &o_;
    long floorKB_ = 0;
    bool failed_ = false;
    bool missed_ = false;
};

} // namespace qvbench
