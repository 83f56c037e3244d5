// Runs one measurement in a forked child, so that each merge starts from a
// fresh process and its peak resident memory (ru_maxrss from wait4) is its
// own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qvbench {

// What a child reports back through its pipe.
struct ChildReport {
    int32_t result = 0;
    uint32_t outputs[3][3] = {}; // type, address, size of each merge output
    char message[256] = {};
};

struct Run {
    bool exited = false;  // the child ran to its end (exit status 0)
    double wall = 0;      // seconds from fork to reap
    double cpu = 0;       // user + system seconds of the child
    long maxRssKB = 0;    // peak resident set of the child
    ChildReport report;
};

// Forks, runs `work` in the child and reaps it. The work's report travels
// back through a pipe.
Run runInChild(const std::function<ChildReport()> &work);
// Forks and execs `argv` (searched on PATH); report.result is its exit status.
Run runCommand(const std::vector<std::string> &argv);

} // namespace qvbench
