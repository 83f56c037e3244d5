#include "e2e/child.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qvbench {
namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Reaps `pid` and fills the wall time, the peak RSS and the exit state.
void reap(pid_t pid, Clock::time_point t0, Run &run, int *exitStatus) {
    int status = 0;
    struct rusage ru {};
    while (wait4(pid, &status, 0, &ru) < 0) {
    }
    run.wall = since(t0);
    run.maxRssKB = ru.ru_maxrss;
    run.cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    run.exited = WIFEXITED(status);
    if (exitStatus) *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

Run runInChild(const std::function<ChildReport()> &work) {
    Run run;
    int fds[2];
    if (pipe(fds) != 0) return run;
    std::fflush(nullptr); // nothing buffered may be written twice
    Clock::time_point t0 = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        ChildReport report = work();
        ssize_t w = write(fds[1], &report, sizeof report);
        _exit(w == ssize_t(sizeof report) ? 0 : 3);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return run;
    }
    size_t got = 0;
    char *dst = reinterpret_cast<char *>(&run.report);
    while (got < sizeof run.report) {
        ssize_t n = read(fds[0], dst + got, sizeof run.report - got);
        if (n <= 0) break;
        got += size_t(n);
    }
    close(fds[0]);
    int status = 0;
    reap(pid, t0, run, &status);
    run.exited = run.exited && status == 0 && got == sizeof run.report;
    return run;
}

Run runCommand(const std::vector<std::string> &argv) {
    Run run;
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    std::fflush(nullptr);
    Clock::time_point t0 = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execvp(args[0], args.data());
        _exit(127);
    }
    if (pid < 0) return run;
    int status = 0;
    reap(pid, t0, run, &status);
    run.report.result = status;
    return run;
}

} // namespace qvbench
