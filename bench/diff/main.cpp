// Benchmark of `quorvel diff`: generates a large release and a later one
// with changed inputs (one E2P value, one byte of a CUS file, a few sectors
// of the user FAT), merges both with the command, then times the comparison
// of the two against reading both releases' output images once, in forked
// children, round by round. The target: the comparison takes at most 1.5
// times the reading.
#include "e2e/child.h"
#include "gen/release.h"

#include "base/file.h"
#include "base/page_block.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace qvbench;

namespace {

constexpr double kTarget = 1.5;
constexpr const char *kImages[] = {"code.img", "e2p.img", "rai.img"};

struct Options {
    std::string dir, quorvel = QUORVEL_CLI_PATH;
    uint64_t codeMB = 256;
    unsigned rounds = 3;
    bool keep = false;
};

Options parse(int argc, char **argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&] {
            if (i + 1 >= argc) throw std::runtime_error("missing value for " + a);
            return std::string(argv[++i]);
        };
        if (a == "--dir") o.dir = value();
        else if (a == "--quorvel") o.quorvel = value();
        else if (a == "--code-mb") o.codeMB = std::stoull(value());
        else if (a == "--rounds") o.rounds = unsigned(std::stoul(value()));
        else if (a == "--keep") o.keep = true;
        else throw std::runtime_error("unknown option " + a +
                                      "\nusage: bench_diff [--dir DIR] [--keep] [--rounds N] [--code-mb N] [--quorvel PATH]");
    }
    return o;
}

std::string readText(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// The later release: a copy of the first with one E2P value, one byte of the
// first CUS file and eight sectors of the user FAT changed.
void writeLaterRelease(const Release &first, const std::string &dir) {
    fs::create_directories(dir);
    for (const fs::directory_entry &e : fs::directory_iterator(first.dir))
        if (e.is_regular_file()) fs::copy_file(e.path(), dir + "/" + e.path().filename().string(), fs::copy_options::overwrite_existing);
    std::string params = readText(dir + "/params.e2p");
    const size_t at = params.find("\nOBJ_0 ");
    const size_t line = params.find('\n', at + 1) + 1;
    const size_t end = params.find(' ', line);
    params.replace(line, end - line, std::to_string((std::stoul(params.substr(line, end - line)) + 1) % 256));
    writeText(dir + "/params.e2p", params);
    auto patch = [](const std::string &path, uint64_t offset, uint8_t value) {
        qv::File f(path, "r+b");
        if (!f || !f.seek(int64_t(offset)) || f.write(&value, 1) != 1 || !f.close()) throw std::runtime_error("cannot patch " + path);
    };
    patch(dir + "/custom0.cus", 100, 0x5A);
    for (uint64_t s = 0; s < 8; ++s) patch(dir + "/user.fat", 16 + (1000 + s * 97) * 516 + 4 + 10, uint8_t(s));
}

void merge(const Options &o, const std::string &dir) {
    Run r = runCommand({o.quorvel, "merge", "--manifest", dir + "/release.json", "--out-dir", dir + "/out", "-q"});
    if (r.report.result != 0) throw std::runtime_error("the merge of " + dir + " failed");
}

// Reads every output image of both releases once, in page-aligned blocks of
// 128 KiB, as fast as `cat` does (a block off the page grid is copied into
// several times slower, which would flatter the comparison).
Run readImages(const std::vector<std::string> &dirs) {
    return runInChild([dirs] {
        ChildReport c;
        qv::PageBlock block(size_t(1) << 17);
        for (const std::string &d : dirs)
            for (const char *name : kImages) {
                qv::File f(d + "/out/" + name, "rb");
                if (!f) c.result = -1;
                for (int64_t at = 0; f;) {
                    const size_t n = f.readAt(block.data(), block.size(), at);
                    if (n == 0) break;
                    at += int64_t(n);
                }
            }
        return c;
    });
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    try {
        const Options o = parse(argc, argv);
        std::string dir = o.dir;
        if (dir.empty()) {
            std::string tmpl = (fs::temp_directory_path() / "quorvel-bench-diff-XXXXXX").string();
            if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary folder");
            dir = tmpl;
        }
        ReleaseShape shape;
        shape.codeBytes = o.codeMB << 20;
        Release first = planRelease(shape, dir + "/old");
        first.codeWpb.clear(); // the comparison reads the plain code file only
        fs::create_directories(first.dir);
        if (!fs::exists(dir + "/old/out/code.img")) {
            std::printf("generating two releases in %s ...\n", dir.c_str());
            writeRelease(shape, first);
            writeManifest(first);
            writeLaterRelease(first, dir + "/new");
            setenv("SOURCE_DATE_EPOCH", "1577836800", 1);
            merge(o, dir + "/old");
            merge(o, dir + "/new");
            sync();
        }
        uint64_t bytes = 0;
        for (const char *side : {"/old/out/", "/new/out/"})
            for (const char *name : kImages) bytes += fs::file_size(dir + side + name);
        std::vector<double> reads, diffs;
        for (unsigned round = 1; round <= o.rounds; ++round) {
            Run read = readImages({dir + "/old", dir + "/new"});
            Run diff = runCommand({o.quorvel, "diff", dir + "/old/release.json", dir + "/new/release.json", "--old-out-dir",
                                   dir + "/old/out", "--new-out-dir", dir + "/new/out", "-q"});
            if (diff.report.result != 1) throw std::runtime_error("the diff did not find the changes: exit status " +
                                                                  std::to_string(diff.report.result));
            reads.push_back(read.wall);
            diffs.push_back(diff.wall);
            std::printf("round %u: read images %.3f s (cpu %.3f s), diff %.3f s (cpu %.3f s, %ld MB peak)\n", round, read.wall,
                        read.cpu, diff.wall, diff.cpu, diff.maxRssKB / 1024);
        }
        const double ratio = median(diffs) / median(reads);
        std::printf("images of both releases: %.0f MiB; median read %.3f s, median diff %.3f s: %.2f x (target %.1f x) %s\n",
                    double(bytes) / (1 << 20), median(reads), median(diffs), ratio, kTarget, ratio <= kTarget ? "ok" : "MISSED");
        if (o.dir.empty() && !o.keep) fs::remove_all(dir);
        return ratio <= kTarget ? 0 : 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_diff: %s\n", e.what());
        return 2;
    }
}
