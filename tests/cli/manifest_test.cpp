// quorvel merge --manifest: the same merge as by flags, byte for byte; flags
// over a manifest; bad manifests refused with the field named.
#include "release_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace clitest {
namespace {

using namespace qvtest;

const char *const kOutputs[] = {"code.img", "e2p.img", "rai.img", "area.bin"};

void expectSameOutputs(const std::string &a, const std::string &b) {
    for (const char *name : kOutputs) {
        ASSERT_TRUE(fileExists(a + "/" + name)) << name;
        EXPECT_EQ(readFile(a + "/" + name), readFile(b + "/" + name)) << name;
    }
}

// Output entries without their paths.
Json entries(const CliResult &r) {
    Json j = r.json()["outputs"];
    for (Json &o : j) o.erase("path");
    return j;
}

class ManifestMerge : public ::testing::Test {
protected:
    TempDir tmp;
    TestRelease rel{tmp.path()};
    std::string byFlags = tmp.file("flags"), byManifest = tmp.file("manifest");

    void SetUp() override {
        std::filesystem::create_directories(byFlags);
        std::vector<std::string> args = rel.mergeFlags(byFlags);
        args.push_back("--json");
        flagsRun = runCli(args);
        ASSERT_EQ(flagsRun.status, 0) << flagsRun.err;
    }

    CliResult mergeManifest(const Json &m, std::vector<std::string> extra = {}) {
        writeText(rel.path("release.json"), m.dump(2));
        std::vector<std::string> args = {"merge", "--manifest", rel.path("release.json"), "--out-dir", byManifest,
                                         "--json"};
        args.insert(args.end(), extra.begin(), extra.end());
        return runCli(args);
    }

    CliResult flagsRun;
};

TEST_F(ManifestMerge, EqualsTheMergeByFlagsByteForByte) {
    CliResult r = mergeManifest(rel.manifest());
    ASSERT_EQ(r.status, 0) << r.err;
    expectSameOutputs(byFlags, byManifest);
    EXPECT_EQ(entries(r), entries(flagsRun));
    EXPECT_EQ(r.json()["outputs"][2]["path"], byManifest + "/rai.img");
    // The log differs only in the paths it names.
    EXPECT_EQ(readLines(byFlags + "/merge.log").size(), readLines(byManifest + "/merge.log").size());
}

TEST_F(ManifestMerge, InlineFlashDescriptionAndJsonPathGiveTheSameImages) {
    Json m = rel.manifest();
    m["flashInfo"] = rel.flashJson;
    ASSERT_EQ(mergeManifest(m).status, 0);
    expectSameOutputs(byFlags, byManifest);

    m["flashInfo"] = "flash.json";
    ASSERT_EQ(mergeManifest(m).status, 0);
    expectSameOutputs(byFlags, byManifest);
}

TEST_F(ManifestMerge, OutputsDefaultToTheManifestsFolder) {
    writeText(rel.path("release.json"), rel.manifest().dump());
    CliResult r = runCli({"merge", "--manifest", rel.path("release.json"), "-q"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    expectSameOutputs(byFlags, rel.dir);
    EXPECT_TRUE(fileExists(rel.path("merge.log")));
}

TEST_F(ManifestMerge, FlagsOverrideTheManifest) {
    // Without the hidden FAT and with the RAI image elsewhere.
    const std::string other = tmp.file("elsewhere.img");
    CliResult r = mergeManifest(rel.manifest(), {"--image", rel.path("firmware.bin"), "--image",
                                                 rel.path("user.fat"), "--out-rai", other});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.json()["outputs"][2]["path"], other);
    EXPECT_FALSE(fileExists(byManifest + "/rai.img"));
    EXPECT_EQ(readFile(byManifest + "/code.img"), readFile(byFlags + "/code.img"));
    EXPECT_NE(readFile(other), readFile(byFlags + "/rai.img"));

    // The same by flags alone.
    std::vector<std::string> args = rel.mergeFlags(byFlags);
    auto hidden = std::find(args.begin(), args.end(), rel.path("hidden.fat"));
    ASSERT_NE(hidden, args.end());
    args.erase(hidden - 1, hidden + 1); // --image hidden.fat
    args.push_back("-q");
    ASSERT_EQ(runCli(args).status, 0);
    EXPECT_EQ(readFile(other), readFile(byFlags + "/rai.img"));
}

TEST_F(ManifestMerge, EraseAllFromTheManifestOrTheFlag) {
    Json m = rel.manifest();
    m["eraseAll"] = true;
    ASSERT_EQ(mergeManifest(m).status, 0);
    const Bytes erased = readFile(byManifest + "/e2p.img");
    ASSERT_EQ(mergeManifest(rel.manifest(), {"--erase-all"}).status, 0);
    EXPECT_EQ(readFile(byManifest + "/e2p.img"), erased);
}

struct BadManifest {
    const char *name;
    std::function<void(Json &)> change;
    std::string expected;
};

class ManifestBad : public ::testing::TestWithParam<BadManifest> {};

TEST_P(ManifestBad, IsRefusedWithExit2NamingTheField) {
    TempDir tmp;
    TestRelease rel(tmp.path());
    Json m = rel.manifest();
    GetParam().change(m);
    writeText(rel.path("release.json"), m.dump());
    CliResult r = runCli({"merge", "--manifest", rel.path("release.json"), "--out-dir", tmp.file("out")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, GetParam().expected)) << r.err;
    EXPECT_FALSE(fileExists(tmp.file("out/code.img")));
    EXPECT_FALSE(fileExists(tmp.file("out/merge.log")));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ManifestBad,
    ::testing::Values(
        BadManifest{"UnknownField", [](Json &m) { m["image"] = Json::array(); },
                    "field \"image\": unknown field"},
        BadManifest{"ImagesNotAList", [](Json &m) { m["images"] = "firmware.bin"; },
                    "field \"images\": must be a list"},
        BadManifest{"ImageNotAPath", [](Json &m) { m["images"][1] = 5; },
                    "field \"images[1]\": must be a non-empty path"},
        BadManifest{"EmptyCusPath", [](Json &m) { m["cus"][0] = ""; }, "field \"cus[0]\": must be a non-empty path"},
        BadManifest{"UnknownOutput", [](Json &m) { m["outputs"]["fat"] = "x"; },
                    "field \"outputs.fat\": unknown field"},
        BadManifest{"OutputNotAString", [](Json &m) { m["outputs"]["rai"] = true; },
                    "field \"outputs.rai\": must be a non-empty string"},
        BadManifest{"OutputsNotAnObject", [](Json &m) { m["outputs"] = Json::array(); },
                    "field \"outputs\": must be a JSON object"},
        BadManifest{"EraseAllNotBoolean", [](Json &m) { m["eraseAll"] = 1; },
                    "field \"eraseAll\": must be true or false"},
        BadManifest{"FlashInfoNumber", [](Json &m) { m["flashInfo"] = 7; },
                    "field \"flashInfo\": must be a path to a FlashInfo record or a flash description object"},
        BadManifest{"InlineDescriptionBadCount",
                    [](Json &m) {
                        m["flashInfo"] = Json{{"sizeIn64KB", 64},
                                              {"regions", Json::array({Json{{"shift", 16}, {"count", 65536}}})}};
                    },
                    "field \"flashInfo.regions[0].count\": 0x10000 is out of range"},
        BadManifest{"InlineDescriptionUnknownField",
                    [](Json &m) {
                        m["flashInfo"] = Json{{"sizeIn64KB", 64}, {"region", 1}};
                    },
                    "field \"flashInfo.region\": unknown field"},
        BadManifest{"NoE2pBase", [](Json &m) { m.erase("e2pBase"); },
                    "--e2p-base: required (or \"e2pBase\" in the manifest)"},
        BadManifest{"NoFlashInfo", [](Json &m) { m.erase("flashInfo"); },
                    "--flash-info: required (or \"flashInfo\" in the manifest)"},
        BadManifest{"NotAnObject", [](Json &m) { m = Json::array({1}); }, "the top level must be a JSON object"}),
    [](const ::testing::TestParamInfo<BadManifest> &i) { return std::string(i.param.name); });

TEST(ManifestErrors, BrokenJsonIsAUsageErrorAndMissingInputsAFailure) {
    TempDir tmp;
    TestRelease rel(tmp.path());
    writeText(rel.path("release.json"), "{\"images\": [\"firmware.bin\",]}");
    CliResult r = runCli({"merge", "--manifest", rel.path("release.json")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "error: " + rel.path("release.json") + ": not valid JSON: ")) << r.err;

    r = runCli({"merge", "--manifest", rel.path("none.json")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: cannot read " + rel.path("none.json") + "\n");

    Json m = rel.manifest();
    m["e2pArea"] = "gone.bin";
    writeText(rel.path("release.json"), m.dump());
    r = runCli({"merge", "--manifest", rel.path("release.json"), "--out-dir", tmp.file("out")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: cannot read " + rel.path("gone.bin") + "\n");

    // inspect takes the manifest for what it is and says what to run with it.
    r = runCli({"inspect", rel.path("release.json")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: " + rel.path("release.json") + ": a release manifest, not a flash description: merge it "
                     "with \"quorvel merge --manifest " + rel.path("release.json") + "\" or report on its merge with "
                     "\"quorvel report --manifest " + rel.path("release.json") + "\"; its flash description is " +
                     rel.path("flash.bin") + "\n");
}

} // namespace
} // namespace clitest
