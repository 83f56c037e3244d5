// The bundled example release through the command: its flash description
// JSON equals its record, its manifest merges to the same images as the
// flags do, and inspect reads every record and FAT sector back.
#include "cli_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

namespace clitest {
namespace {

using namespace qvtest;

const std::string kExamples = std::string(QUORVEL_SOURCE_DIR) + "/examples";
const std::string kRelease = kExamples + "/release";

std::string rel(const std::string &name) { return kRelease + "/" + name; }

// Sector number to contents, from a FAT input file.
std::map<uint32_t, Bytes> fatSectors(const Bytes &file) {
    std::map<uint32_t, Bytes> out;
    for (size_t at = 16; at + 516 <= file.size(); at += 516)
        out[get32(file, at)] = Bytes(file.begin() + long(at) + 4, file.begin() + long(at) + 516);
    return out;
}

std::vector<std::string> flagsMerge(const std::string &out) {
    return {"merge", "--flash-info", rel("flash.bin"), "--e2p-base", rel("e2p_base.bin"), "--e2p-area",
            rel("e2p_area.bin"), "--e2p-area-out", out + "/e2p_area.merged", "--image", rel("firmware.bin"),
            "--image", rel("user.fat"), "--image", rel("hidden.fat"), "--patch", rel("dsp.pat"), "--patch",
            rel("mcp.bin"), "--cus", rel("logo.cus"), "--cus", rel("sens.cus"), "--e2p-file", rel("params.e2p"),
            "--e2p-file", rel("extra.e2p"), "--out-code", out + "/code.img", "--out-e2p", out + "/e2p.img",
            "--out-rai", out + "/rai.img", "--log", out + "/merge.log", "--json"};
}

class ExampleRelease : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(tmp.file("flags"));
        byFlags = runCli(flagsMerge(tmp.file("flags")));
        ASSERT_EQ(byFlags.status, 0) << byFlags.err;
        byManifest = runCli({"merge", "--manifest", kExamples + "/release.json", "--out-dir", tmp.file("manifest"),
                             "--json"});
        ASSERT_EQ(byManifest.status, 0) << byManifest.err;
    }
    std::string out(const std::string &name) const { return tmp.file("manifest/" + name); }

    TempDir tmp;
    CliResult byFlags, byManifest;
};

TEST(ExampleFiles, FlashJsonIsTheFlashRecord) {
    TempDir t;
    CliResult r = runCli({"flashinfo", "--from", kExamples + "/flash.json", "-o", t.file("flash.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(t.file("flash.bin")), readFile(rel("flash.bin")));
}

TEST_F(ExampleRelease, ManifestMergeEqualsTheMergeByFlags) {
    for (const char *name : {"code.img", "e2p.img", "rai.img", "e2p_area.merged"})
        EXPECT_EQ(readFile(out(name)), readFile(tmp.file(std::string("flags/") + name))) << name;
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(byManifest.json()["outputs"][i]["produced"], true);
        EXPECT_EQ(byManifest.json()["outputs"][i]["size"], byFlags.json()["outputs"][i]["size"]);
        EXPECT_EQ(byManifest.json()["outputs"][i]["address"], byFlags.json()["outputs"][i]["address"]);
    }
}

TEST_F(ExampleRelease, InspectReadsTheCodeImagesChecksumAndEveryRecord) {
    CliResult r = runCli({"inspect", out("code.img"), "--json"});
    ASSERT_EQ(r.status, 0) << r.out;
    const Json j = r.json();
    EXPECT_EQ(j["checksumMatches"], true);
    EXPECT_EQ(j["codeLength"], readFile(rel("firmware.bin")).size() - 16);
    const Json records = j["records"];
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0]["ident"], "DSPP");
    EXPECT_EQ(records[1]["ident"], "MPRM");
    EXPECT_EQ(records[2]["ident"], "LCMC");
    EXPECT_EQ(records[3]["ident"], "DSCT");
    // logo.cus is one chunk: its record holds the file less "WCUS", the type
    // tag and the chunk header; sens.cus holds one chunk header per further chunk.
    EXPECT_EQ(records[2]["length"], readFile(rel("logo.cus")).size() - 16);
    // sens.cus sits behind a 16-byte "MSTE" container header.
    const Bytes sens = readFile(rel("sens.cus"));
    ASSERT_EQ(std::string(sens.begin(), sens.begin() + 4), "MSTE");
    size_t chunks = 0;
    for (size_t at = 16 + 8; at + 8 <= sens.size(); at += 8 + get32(sens, at + 4)) ++chunks;
    EXPECT_EQ(records[3]["chunks"].size() + 1, chunks);
    EXPECT_EQ(records[3]["length"], sens.size() - 16 - 8 - 8 * chunks + 16 * (chunks - 1));
    EXPECT_EQ(j["recordsEnd"], byManifest.json()["outputs"][0]["size"]);
    EXPECT_TRUE(j["problems"].empty());
}

TEST_F(ExampleRelease, ExtractFatGivesBackTheExamplesFatSectors) {
    CliResult r = runCli({"inspect", out("rai.img"), "--flash-info", kExamples + "/flash.json", "--e2p-area",
                          out("e2p_area.merged"), "--extract-fat", tmp.file("fat"), "--json"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.json()["base"], byManifest.json()["outputs"][2]["address"]);
    EXPECT_EQ(fatSectors(readFile(tmp.file("fat/user.fat"))), fatSectors(readFile(rel("user.fat"))));
    EXPECT_EQ(fatSectors(readFile(tmp.file("fat/hidden.fat"))), fatSectors(readFile(rel("hidden.fat"))));
    EXPECT_EQ(readFile(tmp.file("fat/user.fat"))[9], 22);
    EXPECT_EQ(readFile(tmp.file("fat/hidden.fat"))[9], 23);
}

TEST_F(ExampleRelease, InspectReadsTheE2pImage) {
    CliResult r = runCli({"inspect", out("e2p.img"), "--e2p-base", rel("e2p_base.bin"), "--json"});
    ASSERT_EQ(r.status, 0) << r.out;
    const Json j = r.json();
    EXPECT_EQ(j["endReason"], "erased header");
    EXPECT_EQ(j["endMark"], true);
    ASSERT_FALSE(j["records"].empty());
    EXPECT_EQ(j["changedBlocks"].size(), j["records"].size());
    for (size_t i = 0; i < j["records"].size(); ++i) {
        EXPECT_EQ(j["records"][i]["at"], 22 * i);
        EXPECT_EQ(j["changedBlocks"][i]["now"], j["records"][i]["data"]);
    }
}

// Every object of both description files, with the values the merge wrote:
// AUDIO_GAIN as extra.e2p, the later file, sets it.
TEST_F(ExampleRelease, InspectListsTheParametersByName) {
    struct Row {
        const char *name, *file;
        int address, size;
        const char *types, *values;
    };
    const Row rows[] = {
        {"PRODUCT_NAME", "params.e2p", 16, 16, "%ascii", "\"Quorvel demo\""},
        {"KEYPAD_TIMING", "params.e2p", 80, 6, "%u16 %u32", "250, 123456"},
        {"LED_RGB", "params.e2p", 100, 6, "%u8", "255, 0, 0, 0, 255, 32"},
        {"NETWORK_ID", "params.e2p", 16784, 4, "%s32", "-123456"},
        {"CALIB_TABLE", "params.e2p", 512, 8, "%s16", "100, -200, 300, %p"},
        {"AUDIO_GAIN", "extra.e2p", 64, 4, "%s8", "-6, -1, 1, 3"},
        {"BACKLIGHT_TIMEOUT", "extra.e2p", 600, 2, "%u16", "30"},
    };
    CliResult r = runCli({"inspect", out("e2p.img"), "--e2p-base", rel("e2p_base.bin"), "--e2p-file",
                          rel("params.e2p"), "--e2p-file", rel("extra.e2p"), "--json"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const Json params = r.json()["parameters"];
    ASSERT_EQ(params.size(), std::size(rows));
    for (const Row &row : rows) {
        auto it = std::find_if(params.begin(), params.end(), [&](const Json &p) { return p["name"] == row.name; });
        ASSERT_NE(it, params.end()) << row.name;
        EXPECT_EQ((*it)["file"], rel(row.file)) << row.name;
        EXPECT_EQ((*it)["address"], row.address) << row.name;
        EXPECT_EQ((*it)["size"], row.size) << row.name;
        EXPECT_EQ((*it)["types"], row.types) << row.name;
        std::string values;
        for (const Json &v : (*it)["values"]) values += (values.empty() ? "" : ", ") + v["text"].get<std::string>();
        EXPECT_EQ(values, row.values) << row.name;
    }
    EXPECT_EQ(params[5]["replaces"], Json::array({"AUDIO_GAIN (params.e2p)"}));
    // The CUS size and start the code image queued: bytes of no object.
    const Json uncovered = r.json()["uncoveredChanges"];
    ASSERT_EQ(uncovered.size(), 2u);
    EXPECT_EQ(uncovered[0]["address"], 0xd0);
    EXPECT_EQ(uncovered[1]["address"], 0xf0);
}

// A later release of the example: KEYPAD_TIMING's first value 250 -> 300 in
// params.e2p, one byte of logo.cus changed and a file added to user.fat. The
// comparison names exactly these; a release against itself differs nowhere.
TEST_F(ExampleRelease, DiffNamesWhatChangedBetweenTwoReleases) {
    if (!hasBash())
        GTEST_SKIP() << "the later release is made by shell tools (sed, dd, python3), and there is no bash here";
    const std::string next = tmp.file("next");
    CliResult made = runBash("set -e; mkdir -p '" + next + "/fat'; cp -rp '" + kRelease + "' '" + next +
                             "/release'; cp '" + kExamples + "/release.json' '" + kExamples + "/flash.json' '" +
                             next + "/'; cd '" + next + "/release'; sed -i 's/^250 %u16/300 %u16/' params.e2p; "
                             "printf '\\x5a' | dd of=logo.cus bs=1 seek=1000 conv=notrunc status=none; "
                             "python3 '" + kExamples + "/make_rai.py' ../fat --user-file NOTES.TXT=new >/dev/null; "
                             "cp ../fat/user.fat user.fat");
    ASSERT_EQ(made.status, 0) << made.err;
    ASSERT_EQ(runCli({"merge", "--manifest", next + "/release.json", "--out-dir", next + "/out"}).status, 0);

    CliResult r = runCli({"diff", kExamples + "/release.json", next + "/release.json", "--old-out-dir",
                          tmp.file("manifest"), "--new-out-dir", next + "/out", "--json"});
    ASSERT_EQ(r.status, 1) << r.out << r.err;
    const Json j = r.json();
    EXPECT_TRUE(j["flash"]["fields"].empty());
    EXPECT_TRUE(j["code"]["fields"].empty());
    EXPECT_EQ(j["code"]["section"]["runs"], 0);
    ASSERT_EQ(j["cus"].size(), 1u) << j["cus"];
    EXPECT_EQ(j["cus"][0]["ident"], "LCMC");
    EXPECT_EQ(j["cus"][0]["name"], "logo.cus");
    ASSERT_EQ(j["e2p"]["parameters"].size(), 1u) << j["e2p"];
    EXPECT_EQ(j["e2p"]["parameters"][0]["name"], "KEYPAD_TIMING");
    EXPECT_EQ(j["e2p"]["parameters"][0]["old"], "250, 123456");
    EXPECT_EQ(j["e2p"]["parameters"][0]["new"], "300, 123456");
    EXPECT_TRUE(j["e2p"]["uncoveredBlocks"].empty());
    EXPECT_GT(j["rai"]["fat"][0]["changed"]["count"].get<int>() + j["rai"]["fat"][0]["added"]["count"].get<int>(), 0);
    EXPECT_EQ(j["rai"]["fat"][1]["changed"]["runs"], 0);
    std::vector<std::string> inputs;
    for (const Json &i : j["inputs"]) inputs.push_back(i["change"].get<std::string>() + " " + i["name"].get<std::string>());
    EXPECT_EQ(inputs, (std::vector<std::string>{"changed logo.cus", "changed params.e2p", "changed user.fat"}));
    EXPECT_TRUE(contains(runCli({"diff", kExamples + "/release.json", next + "/release.json", "--old-out-dir",
                                 tmp.file("manifest"), "--new-out-dir", next + "/out"}).out,
                         "E2P parameter changed: KEYPAD_TIMING: 250, 123456 -> 300, 123456\n"));
    // The same two releases named by the records their merges wrote.
    CliResult recorded = runCli({"diff", tmp.file("manifest") + "/release.record.json",
                                 next + "/out/release.record.json", "--json"});
    ASSERT_EQ(recorded.status, 1) << recorded.out << recorded.err;
    EXPECT_EQ(recorded.json()["cus"], j["cus"]);
    EXPECT_EQ(recorded.json()["e2p"], j["e2p"]);
    EXPECT_EQ(recorded.json()["inputs"], j["inputs"]);

    CliResult same = runCli({"diff", kExamples + "/release.json", kExamples + "/release.json", "--old-out-dir",
                             tmp.file("manifest"), "--new-out-dir", tmp.file("manifest"), "--report",
                             tmp.file("same.html")});
    EXPECT_EQ(same.status, 0) << same.out << same.err;
    EXPECT_TRUE(contains(readText(tmp.file("same.html")), "No differences."));
    EXPECT_EQ(runCli({"diff", kExamples + "/release.json", tmp.file("none.json")}).status, 2);
    // The page is never written over a file either release is read from.
    const Bytes image = readFile(tmp.file("manifest") + "/code.img");
    EXPECT_EQ(runCli({"diff", kExamples + "/release.json", kExamples + "/release.json", "--old-out-dir",
                      tmp.file("manifest"), "--report", tmp.file("manifest") + "/code.img"})
                  .status,
              2);
    EXPECT_EQ(readFile(tmp.file("manifest") + "/code.img"), image);
}

} // namespace
} // namespace clitest
