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

} // namespace
} // namespace clitest
