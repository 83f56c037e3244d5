// End-to-end benchmark: generates a large release, then measures each merge
// beside its physical baseline in the same run, in forked children, and
// reports time, MB/s, ratios against the targets and peak resident memory.
#include "e2e/baselines.h"
#include "e2e/child.h"
#include "e2e/merge_call.h"
#include "e2e/options.h"
#include "e2e/report.h"
#include "gen/release.h"

#include "base/results.h"

#include <quorvel/quorvel.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace qvbench;

namespace {

std::string makeFolder(const Options &o) {
    if (!o.dir.empty()) {
        fs::create_directories(o.dir);
        return fs::absolute(o.dir).string();
    }
    std::string tmpl = (fs::temp_directory_path() / "quorvel-bench-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary folder");
    return tmpl;
}

std::string readStamp(const std::string &path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Generates the release, or reuses one that a kept earlier run left in the
// same folder with the same sizes.
Release prepareRelease(const Options &o, const std::string &dir) {
    Release r = planRelease(o.shape, dir);
    writeManifest(r);
    std::string stampPath = dir + "/release.stamp";
    if (readStamp(stampPath) == shapeStamp(o.shape) && fs::exists(r.codeWpb)) {
        r.wpbBytes = fs::file_size(r.codeWpb);
        std::printf("reusing the release in %s\n", dir.c_str());
        return r;
    }
    std::printf("generating the release in %s ...\n", dir.c_str());
    auto t0 = std::chrono::steady_clock::now();
    writeRelease(o.shape, r);
    std::ofstream(stampPath) << shapeStamp(o.shape);
    std::printf("generated in %.1f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    return r;
}

void removeOutputs(const std::string &outDir) {
    for (const fs::directory_entry &e : fs::directory_iterator(outDir)) fs::remove_all(e.path());
    sync(); // start the next measurement with no writeback of this one pending
}

Run mergeRun(const Release &r, const MergeInputs &in, const std::string &outDir) {
    return runInChild([&] { return callMerge(r, in, outDir); });
}

std::vector<Measurement> plan(const Release &r, const std::string &out) {
    std::vector<std::string> patches = {r.dspFile};
    std::vector<Measurement> m(6);
    m[0] = {"code", "code image, plain code file + 4 CUS", "cp of the code file",
            [&r, out] { return runCommand({"cp", r.codeFile, out + "/cp.bin"}); },
            MergeInputs{{r.codeFile}, patches, r.cusFiles, {}}, {}, {}};
    m[1] = {"wpb", "code image, compressed code file + 4 CUS", "zlib inflate of the stream to a file",
            [&r, out] {
                return runInChild([&r, out] {
                    ChildReport c;
                    c.result = inflateToFile(r.codeWpb, out + "/inflate.bin") < 0 ? -1 : 0;
                    return c;
                });
            },
            MergeInputs{{r.codeWpb}, patches, r.cusFiles, {}}, {}, {}};
    uint64_t raiBytes = r.raiImageBytes;
    m[2] = {"rai", "RAI merge of the FAT inputs", "sequential write of the RAI image size",
            [raiBytes, out] {
                return runInChild([raiBytes, out] {
                    ChildReport c;
                    c.result = writeSequential(out + "/seq.bin", raiBytes);
                    return c;
                });
            },
            MergeInputs{{r.userFat, r.hiddenFat}, {}, {}, {}}, {}, {}};
    m[3] = {"e2p", "E2P merge of the description file", "", nullptr, MergeInputs{{}, {}, {}, {r.e2pFile}}, {}, {}};
    m[4] = {"release", "whole release in one call", "", nullptr,
            MergeInputs{{r.codeFile, r.userFat, r.hiddenFat}, patches, r.cusFiles, {r.e2pFile}}, {}, {}};
    // Safe outputs against the same merge without them, round by round.
    MergeInputs code = m[0].inputs, safe = code;
    safe.flags = QUORVEL_SAFE_OUTPUTS;
    m[5] = {"safe", "code image, plain code file + 4 CUS, safe outputs", "the same merge without safe outputs",
            [&r, code, out] { return mergeRun(r, code, out); }, safe, {}, {}};
    return m;
}

// The length of the RAI image a merge of the FAT inputs writes, the size of
// its baseline: the area in the plain layout, twice as much in the
// interleaved one, where the image holds both chips' halves of every word.
uint64_t probeRaiImageBytes(const Release &r, const std::string &out) {
    Run run = mergeRun(r, MergeInputs{{r.userFat, r.hiddenFat}, {}, {}, {}}, out);
    std::error_code ec;
    uint64_t bytes = fs::file_size(out + "/rai.img", ec);
    removeOutputs(out);
    if (!run.exited || run.report.result != 0 || ec)
        throw std::runtime_error("the RAI inputs do not merge: result " + std::to_string(run.report.result));
    return bytes;
}

// One RAI item more than the generated inputs hold must be refused: proof
// that the inputs fill the area exactly.
void checkFull(const Release &r, const std::string &out, Report &report) {
    std::string extra = r.dir + "/extra.fat";
    writeFatFile(extra, 22, r.userItems, 1, 99);
    Run run = mergeRun(r, MergeInputs{{r.userFat, r.hiddenFat, extra}, {}, {}, {}}, out);
    fs::remove(extra);
    removeOutputs(out);
    report.fullCheck(run, qv::kRaiStoreFailed);
}

void measureMerge(const Release &r, Measurement &m, unsigned round, const std::string &out, Report &report) {
    m.merge.push_back(mergeRun(r, m.inputs, out));
    removeOutputs(out);
    report.progress(round, m.name, m.merge.back());
}

// Runs one merge in this process, for a profiler to look at.
int profileOne(const Release &r, const std::vector<Measurement> &ms, const std::string &key,
               const std::string &out, bool keep) {
    for (const Measurement &m : ms) {
        if (m.key != key) continue;
        auto t0 = std::chrono::steady_clock::now();
        ChildReport c = callMerge(r, m.inputs, out);
        double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("%s: result %d %s, %.3f s\n", m.name.c_str(), c.result, c.message, t);
        if (!keep) removeOutputs(out);
        return c.result == 0 ? 0 : 1;
    }
    throw std::runtime_error("no measurement " + key);
}

} // namespace

int main(int argc, char **argv) {
    try {
        Options o = parseOptions(argc, argv);
        if (o.help) {
            std::fputs(usage(), stdout);
            return 0;
        }
        std::string dir = makeFolder(o);
        std::string out = dir + "/out";
        fs::create_directories(out);
        removeOutputs(out);
        Release r = prepareRelease(o, dir);
        sync(); // the generated files reach the disk before anything is timed

        if (o.profile.empty() && (o.only.empty() || o.only.count("rai"))) r.raiImageBytes = probeRaiImageBytes(r, out);
        std::vector<Measurement> ms = plan(r, out);
        if (!o.profile.empty()) return profileOne(r, ms, o.profile, out, o.keep);
        Report report(r, o);
        report.floor(runInChild([] { return ChildReport{}; }));
        for (unsigned round = 1; round <= o.rounds; ++round) {
            for (Measurement &m : ms) {
                if (!o.only.empty() && !o.only.count(m.key)) continue;
                // A merge measured against the same merge without an option
                // goes first every other round: the first of two runs in a
                // row pays for the writeback the one before left.
                const bool mergeFirst = m.key == "safe" && round % 2 == 0;
                if (mergeFirst) measureMerge(r, m, round, out, report);
                if (m.baseline) {
                    m.base.push_back(m.baseline());
                    removeOutputs(out);
                    report.progress(round, m.baseName, m.base.back());
                }
                if (!mergeFirst) measureMerge(r, m, round, out, report);
            }
        }
        if (o.only.empty() || o.only.count("rai")) checkFull(r, out, report);
        int status = report.summary(ms);
        if (o.dir.empty() && !o.keep) fs::remove_all(dir);
        return status;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_e2e: %s\n%s", e.what(), usage());
        return 1;
    }
}
