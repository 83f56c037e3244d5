// inspect on files that are not what their kind says: truncated images and
// random bytes are reported (exit 0 or 1), never read out of bounds.
#include "release_builder.h"

#include <gtest/gtest.h>

namespace clitest {
namespace {

using namespace qvtest;

void expectReported(const std::vector<std::string> &args) {
    CliResult r = runCli(args);
    EXPECT_TRUE(r.status == 0 || r.status == 1) << args[1] << " " << args[3] << ": " << r.status << r.err;
}

TEST(InspectRobustness, TruncatedAndRandomFilesOfEveryKind) {
    MergedRelease m(true);
    ASSERT_EQ(m.result.status, 0) << m.result.err;
    std::vector<std::pair<std::string, Bytes>> files;
    for (const char *name : {"code.img", "e2p.img", "rai.img"}) {
        const Bytes full = readFile(m.output(name));
        for (size_t cut : {size_t(0), size_t(3), size_t(37), full.size() / 2, full.size() - 1})
            files.emplace_back(std::string(name) + "." + std::to_string(cut), Bytes(full.begin(), full.begin() + long(cut)));
    }
    for (uint32_t seed = 1; seed <= 3; ++seed) files.emplace_back("random" + std::to_string(seed), randomBytes(70000, seed));
    for (const auto &[name, bytes] : files) {
        const std::string path = m.tmp.file(name);
        writeFile(path, bytes);
        for (const char *kind : {"code", "e2p", "flashinfo"}) expectReported({"inspect", path, "--kind", kind, "--json"});
        expectReported({"inspect", path, "--kind", "rai", "--sector-size", "0x1000", "--interleaved"});
        expectReported({"inspect", path, "--kind", "rai", "--flash-info", m.rel.path("flash.json"), "--e2p-area",
                        m.output("area.bin"), "--extract-fat", m.tmp.file("fat")});
    }
}

TEST(InspectRobustness, BrokenCusChainsAtEveryHeaderWord) {
    MergedRelease m;
    const Bytes img = readFile(m.output("code.img"));
    const size_t cusf = 0x202a;
    for (size_t at = cusf; at < img.size(); at += 4) {
        Bytes bad = img;
        bad[at] ^= 0xA5;
        writeFile(m.output("bad.img"), bad);
        CliResult r = runCli({"inspect", m.output("bad.img"), "--kind", "code", "--json"});
        EXPECT_TRUE(r.status == 0 || r.status == 1) << at;
    }
}

} // namespace
} // namespace clitest
