#include "e2e/report.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/utsname.h>
#include <unistd.h>

namespace qvbench {
namespace {

constexpr double kMiB = 1048576.0;
constexpr double kRssLimitMiB = 64.0;

double median(const std::vector<Run> &runs, double Run::*field = &Run::wall) {
    std::vector<double> t;
    for (const Run &r : runs) t.push_back(r.*field);
    if (t.empty()) return 0;
    std::sort(t.begin(), t.end());
    return t.size() % 2 ? t[t.size() / 2] : (t[t.size() / 2 - 1] + t[t.size() / 2]) / 2;
}

double peakMiB(const std::vector<Run> &runs) {
    long kb = 0;
    for (const Run &r : runs) kb = std::max(kb, r.maxRssKB);
    return double(kb) / 1024.0;
}

std::string firstLine(const char *path, const std::string &key) {
    std::ifstream f(path);
    for (std::string line; std::getline(f, line);)
        if (line.rfind(key, 0) == 0) {
            std::string v = line.substr(line.find(':') + 1);
            return v.substr(std::min(v.size(), v.find_first_not_of(" \t")));
        }
    return "?";
}

std::string loadAverage() {
    std::ifstream f("/proc/loadavg");
    std::string a, b, c;
    f >> a >> b >> c;
    return a + " " + b + " " + c;
}

// Every merge run must have returned 0; the first other result is reported.
bool allZero(const std::vector<Run> &runs, int32_t &bad) {
    for (const Run &r : runs)
        if (!r.exited || r.report.result != 0) {
            bad = r.exited ? r.report.result : -9999;
            return false;
        }
    return true;
}

} // namespace

Report::Report(const Release &r, const Options &o) : r_(r), o_(o) {
    struct utsname u {};
    uname(&u);
    std::printf("machine: %s, %ld cores, memory %s, kernel %s, load %s\n",
                firstLine("/proc/cpuinfo", "model name").c_str(), sysconf(_SC_NPROCESSORS_ONLN),
                firstLine("/proc/meminfo", "MemTotal").c_str(), u.release, loadAverage().c_str());
    std::printf("release: code section %.1f MiB (compressed %.1f MiB), %zu CUS files, %u E2P objects,\n"
                "         RAI area %u x 64 KiB sectors = %.1f MiB, filled by %u items (%u user + %u hidden)"
                " from %.1f MiB of FAT input\n",
                double(r.codeSection) / kMiB, double(r.wpbBytes) / kMiB, r.cusFiles.size(), o.shape.e2pObjects,
                r.raiSectors, double(r.raiSectors) * 65536 / kMiB, r.raiItems, r.userItems, r.hiddenItems,
                double(r.fatBytes) / kMiB);
    std::printf("rounds: %u; times are wall seconds from fork to reap, medians over the rounds\n\n", o.rounds);
}

void Report::progress(unsigned round, const std::string &what, const Run &run) {
    std::printf("  round %u  %-44s %8.3f s  cpu %6.3f s  rss %6.1f MiB  result %d%s%s\n", round, what.c_str(),
                run.wall, run.cpu, double(run.maxRssKB) / 1024.0, run.report.result, run.report.message[0] ? "  " : "",
                run.report.message);
    std::fflush(stdout);
}

void Report::fullCheck(const Run &run, int32_t expected) {
    bool ok = run.exited && run.report.result == expected;
    std::printf("  check: one FAT sector more than the generated inputs is refused: result %d (expected %d) %s\n",
                run.report.result, expected, ok ? "ok" : "FAILED");
    if (!ok) failed_ = true;
}

bool Report::target(bool met, const char *text) {
    std::printf("      target %-34s %s\n", text, met ? "met" : "NOT MET");
    if (!met) missed_ = true;
    return met;
}

bool Report::row(const Measurement &m) {
    if (m.merge.empty()) return true;
    int32_t bad = 0;
    bool ok = allZero(m.merge, bad) && allZero(m.base, bad);
    const ChildReport &last = m.merge.back().report;
    double t = median(m.merge), tb = median(m.base), rss = peakMiB(m.merge);
    std::printf("%s\n", m.name.c_str());
    std::printf("    merge     %8.3f s (cpu %.3f s)   peak RSS %6.1f MiB   result %d\n", t,
                median(m.merge, &Run::cpu), rss, ok ? 0 : bad);
    if (!m.base.empty())
        std::printf("    baseline  %8.3f s (cpu %.3f s)   %s\n", tb, median(m.base, &Run::cpu), m.baseName.c_str());
    if (!ok) {
        failed_ = true;
        return false;
    }
    bool rssTarget = m.key != "e2p";
    if (m.key == "code" || m.key == "wpb") {
        double image = double(last.outputs[0][2]) / kMiB;
        double baseBytes = (m.key == "code" ? double(r_.codeSection + 16) : double(r_.codeSection)) / kMiB;
        double speed = image / t, baseSpeed = baseBytes / tb;
        std::printf("    image %.1f MiB at %.0f MiB/s; baseline %.0f MiB/s; ratio %.3f\n", image, speed,
                    baseSpeed, speed / baseSpeed);
        target(speed / baseSpeed >= (m.key == "code" ? 0.8 : 0.9),
               m.key == "code" ? ">= 0.8 x cp" : ">= 0.9 x zlib inflate");
        if (last.outputs[0][2] < r_.codeSection) failed_ = true;
    } else if (m.key == "rai") {
        double raiMiB = double(r_.raiImageBytes) / kMiB;
        std::printf("    %.1f MiB of FAT input at %.0f MiB/s, %.0f items/s; baseline %.1f MiB at %.0f MiB/s;"
                    " time ratio %.3f\n",
                    double(r_.fatBytes) / kMiB, double(r_.fatBytes) / kMiB / t, r_.raiItems / t, raiMiB,
                    raiMiB / tb, t / tb);
        target(t / tb <= 2.0, "<= 2 x sequential write");
        if (last.outputs[2][2] != r_.raiSectors * 65536u) {
            std::printf("    RAI image size %u, expected %u\n", last.outputs[2][2], r_.raiSectors * 65536u);
            failed_ = true;
        }
    } else if (m.key == "safe") {
        std::printf("    time ratio %.3f\n", t / tb);
        target(t / tb <= 1.05, "<= 1.05 x without safe outputs");
        if (last.outputs[0][2] < r_.codeSection) failed_ = true;
    } else if (m.key == "e2p") {
        std::printf("    %u objects in %.1f ms\n", o_.shape.e2pObjects, t * 1000);
        target(t < 0.100, "< 100 ms");
    }
    if (rssTarget) target(rss < kRssLimitMiB, "peak RSS < 64 MiB");
    return true;
}

int Report::summary(const std::vector<Measurement> &ms) {
    std::printf("\nsummary (a child that does nothing peaks at %.1f MiB)\n", double(floorKB_) / 1024.0);
    for (const Measurement &m : ms) row(m);
    std::printf("load at the end %s\n", loadAverage().c_str());
    return failed_ ? 1 : missed_ ? 2 : 0;
}

} // namespace qvbench
