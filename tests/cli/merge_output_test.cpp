// What the command prints: the merge table and time, --json and --quiet,
// "error CODE: MESSAGE" for a failed merge, exit statuses of usage errors,
// and the kind that inspect tells from each output.
#include "release_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

namespace clitest {
namespace {

using namespace qvtest;
namespace fs = std::filesystem;

TEST(MergeOutput, TableOfTheThreeImagesAndTheTimeTaken) {
    TempDir t;
    TestRelease rel(t.path());
    CliResult r = runCli(rel.mergeFlags(t.path()));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = [&] {
        std::vector<std::string> v;
        std::istringstream in(r.out);
        for (std::string l; std::getline(in, l);) v.push_back(l);
        return v;
    }();
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_EQ(lines[0], "image type       flash address size       file");
    EXPECT_EQ(lines[1], "code  0x1000023  0x04000000    8798       " + t.file("code.img"));
    EXPECT_EQ(lines[2], "e2p   0x1000025  0x043d0000    8192       " + t.file("e2p.img"));
    EXPECT_EQ(lines[3], "rai   0x1000024  0x042b0000    1114112    " + t.file("rai.img"));
    EXPECT_TRUE(std::regex_match(lines[4], std::regex("merged in [0-9]+\\.[0-9]{3} s"))) << lines[4];
}

TEST(MergeOutput, JsonQuietAndImagesNotProduced) {
    TempDir t;
    TestRelease rel(t.path());
    std::vector<std::string> args = {"merge", "--flash-info", rel.path("flash.bin"), "--e2p-base",
                                     rel.path("e2p_base.bin"), "--e2p-area", rel.path("e2p_area.bin"), "--image",
                                     rel.path("user.fat"), "--out-dir", t.file("out")};
    CliResult r = runCli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    // Without a manifest --out-dir gives every output its usual name.
    EXPECT_TRUE(contains(r.out, "code  -          -             -          " + t.file("out/code.img") +
                                    " (not produced: no code file and no CUS file)\n"))
        << r.out;
    EXPECT_TRUE(fs::is_regular_file(t.file("out/merge.log")));

    args.push_back("--json");
    const Json j = runCli(args).json();
    EXPECT_EQ(j["result"], 0);
    EXPECT_TRUE(j["seconds"].is_number());
    EXPECT_EQ(j["outputs"][0]["produced"], false);
    EXPECT_EQ(j["outputs"][1]["produced"], false);
    EXPECT_EQ(j["outputs"][1]["address"], 0x043D0000); // set after every successful call
    EXPECT_EQ(j["outputs"][2], (Json{{"image", "rai"},
                                     {"produced", true},
                                     {"type", 0x1000024},
                                     {"address", 0x042B0000},
                                     {"flashAddress", 0x042B0000},
                                     {"size", 0x110000},
                                     {"path", t.file("out/rai.img")}}));

    args.back() = "--quiet";
    r = runCli(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST(MergeOutput, FailedMergeGivesErrorCodeAndMessageOnStderr) {
    TempDir t;
    TestRelease rel(t.path());
    std::vector<std::string> args = rel.mergeFlags(t.path());
    std::replace(args.begin(), args.end(), rel.path("firmware.bin"), t.file("missing.bin"));
    CliResult r = runCli(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    const std::string cause = t.file("missing.bin") + ": the folder " + t.path() + " holds no missing.bin";
    EXPECT_EQ(r.err, "error -1462: " + t.file("missing.bin") + ": no such file\ncause: " + cause + "\n");

    args.push_back("--json");
    r = runCli(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.json(), (Json{{"error",
                               {{"code", -1462}, {"message", t.file("missing.bin") + ": no such file"}, {"cause", cause}}}}));
}

// Under --json every error, the option parser's included, is one JSON object
// on stdout with the exit status of the same error without it; --quiet
// silences only the text.
TEST(MergeOutput, JsonErrorsKeepTheirExitStatus) {
    TempDir t;
    TestRelease rel(t.path());
    writeText(t.file("notes.txt"), "not an image\n");
    std::vector<std::string> badCode = rel.mergeFlags(t.path());
    std::replace(badCode.begin(), badCode.end(), rel.path("firmware.bin"), t.file("missing.bin"));
    badCode.push_back("--lenient"); // the merge itself fails to open it
    const struct {
        std::vector<std::string> args;
        int status;
        long code;
        std::string message;
    } rows[] = {
        {badCode, 1, -72, "merge_code_cus: open " + t.file("missing.bin") + " failed"},
        {{"merge", "--e2p-base", rel.path("e2p_base.bin")}, 2, 2, "--flash-info: required"},
        {{"merge", "--no-such-flag"}, 2, 2, "--no-such-flag"},
        {{"inspect", t.file("notes.txt"), "-q"}, 1, 1, t.file("notes.txt") + ": not recognised"},
    };
    for (const auto &row : rows) {
        std::vector<std::string> args = row.args;
        args.push_back("--json");
        CliResult r = runCli(args);
        EXPECT_EQ(r.status, row.status) << args[0] << r.err;
        const Json j = r.json();
        EXPECT_EQ(j["error"]["code"], row.code) << r.out;
        EXPECT_TRUE(contains(j["error"]["message"].get<std::string>(), row.message)) << r.out;
    }
    std::vector<std::string> quiet = rel.mergeFlags(t.path());
    quiet.insert(quiet.end(), {"--quiet", "--json"});
    EXPECT_EQ(runCli(quiet).json()["result"], 0);
}

// With SOURCE_DATE_EPOCH the size-and-date record holds that instant, in
// UTC, instead of the code file's last-write time: two copies of a release
// written at different times merge to the same images.
TEST(MergeOutput, SourceDateEpochMakesTheImagesReproducible) {
    TempDir t;
    for (const char *copy : {"a", "b"}) std::filesystem::create_directories(t.file(copy) + "/out");
    const TestRelease a(t.file("a")), b(t.file("b"));
    std::filesystem::last_write_time(b.path("firmware.bin"),
                                     std::filesystem::last_write_time(b.path("firmware.bin")) - std::chrono::hours(50));
    setEnv("SOURCE_DATE_EPOCH", "1577836800"); // 2020-01-01 00:00 UTC
    const CliResult ra = runCli(a.mergeFlags(t.file("a/out"))), rb = runCli(b.mergeFlags(t.file("b/out")));
    unsetEnv("SOURCE_DATE_EPOCH");
    ASSERT_EQ(ra.status, 0) << ra.err;
    ASSERT_EQ(rb.status, 0) << rb.err;
    for (const char *image : {"code.img", "e2p.img", "rai.img"})
        EXPECT_EQ(readFile(t.file(std::string("a/out/") + image)), readFile(t.file(std::string("b/out/") + image)))
            << image;
    const Json code = runCli({"inspect", t.file("a/out/code.img"), "--json"}).json();
    EXPECT_EQ(code["sizeDate"], std::string("8214 010120 00:00").append(10, ' '));
}

TEST(MergeOutput, UsageErrorsExitWith2) {
    TempDir t;
    TestRelease rel(t.path());
    CliResult r = runCli({"merge", "--e2p-base", rel.path("e2p_base.bin"), "--e2p-area", rel.path("e2p_area.bin")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "error: --flash-info: required (or \"flashInfo\" in the manifest)\n");
    EXPECT_EQ(runCli({"merge", "--no-such-flag"}).status, 2);
    EXPECT_EQ(runCli({}).status, 2);
    EXPECT_EQ(runCli({"inspect"}).status, 2);
    r = runCli({"inspect", rel.path("flash.bin"), "--kind", "fat"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "error: --kind: \"fat\" is none of code, e2p, rai, flashinfo\n");
    r = runCli({"inspect", t.file("none.img")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: cannot read " + t.file("none.img") + "\ncause: " + t.file("none.img") +
                         ": No such file or directory\n");
    r = runCli({"inspect", t.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: " + t.path() + " is a folder, not a file\n");
    for (const char *cmd : {"merge", "inspect", "flashinfo"}) {
        r = runCli({cmd, "--help"});
        EXPECT_EQ(r.status, 0) << cmd;
        EXPECT_TRUE(contains(r.out, "--json") || contains(r.out, "--from")) << r.out;
    }
}

// A folder that exists but takes no new file (/proc, for root too): the
// output cannot be created, found when the command creates it.
TEST(MergeOutput, UnwritableOutputsFail) {
    TempDir t;
    TestRelease rel(t.path());
    std::vector<std::string> args = rel.mergeFlags(t.path());
    std::replace(args.begin(), args.end(), t.file("area.bin"), std::string("/proc/area.bin"));
    CliResult r = runCli(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: cannot create /proc/area.bin\n");

    writeText(t.file("desc.json"), R"({"sizeIn64KB": 1, "regions": [{"shift": 16, "count": 1}]})");
    r = runCli({"flashinfo", "--from", t.file("desc.json"), "-o", "/proc/f.bin"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: cannot create /proc/f.bin\n");
}

TEST(InspectKind, IsToldFromEachOutput) {
    MergedRelease m;
    ASSERT_EQ(m.result.status, 0) << m.result.err;
    const std::pair<std::string, const char *> files[] = {{m.output("code.img"), "code"},
                                                          {m.output("e2p.img"), "e2p"},
                                                          {m.rel.path("flash.bin"), "flashinfo"}};
    for (const auto &[path, kind] : files) EXPECT_EQ(runCli({"inspect", path, "--json"}).json()["kind"], kind) << path;
    CliResult r = runCli({"inspect", m.output("rai.img"), "--sector-size", "0x10000", "--json"});
    EXPECT_EQ(r.json()["kind"], "rai") << r.err;
}

} // namespace
} // namespace clitest
