// quorvel inspect of RAI images: sectors and items placed by the partition
// map, the totals, and --extract-fat giving back exactly the sectors of the
// FAT inputs; both layouts.
#include "release_builder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace clitest {
namespace {

using namespace qvtest;

// With an erased E2P area the RAI area asks for 32 × 32 KB: 16 sectors and
// one more, below one trace sector and three E2P sectors at the top.
constexpr uint32_t kRaiBase = 0x04400000 - 3 * 0x10000 - 0x10000 - 17 * 0x10000;

std::vector<FatSector> sorted(std::vector<FatSector> s) {
    std::sort(s.begin(), s.end(), [](const FatSector &a, const FatSector &b) { return a.number < b.number; });
    return s;
}

std::vector<std::string> layoutArgs(const MergedRelease &m) {
    return {"--flash-info", m.rel.path("flash.bin"), "--e2p-area", m.output("area.bin")};
}

CliResult inspectRai(const MergedRelease &m, std::vector<std::string> extra) {
    std::vector<std::string> args = {"inspect", m.output("rai.img")};
    for (const std::string &a : layoutArgs(m)) args.push_back(a);
    args.insert(args.end(), extra.begin(), extra.end());
    return runCli(args);
}

class InspectRai : public ::testing::TestWithParam<bool> {};

TEST_P(InspectRai, ReportsSectorsItemsAndTotals) {
    MergedRelease m(GetParam());
    ASSERT_EQ(m.result.status, 0) << m.result.err;
    EXPECT_EQ(m.result.json()["outputs"][2]["address"], kRaiBase);
    CliResult r = inspectRai(m, {"--json"});
    ASSERT_EQ(r.status, 0) << r.out;
    const Json j = r.json();
    EXPECT_EQ(j["kind"], "rai");
    EXPECT_EQ(j["base"], kRaiBase);
    EXPECT_EQ(j["partitionMap"]["raiBase"], kRaiBase);
    EXPECT_EQ(j["partitionMap"]["raiLength"], 17 * 0x10000);
    EXPECT_EQ(j["partitionMap"]["eepromBase"], 0x043D0000);
    EXPECT_EQ(j["interleaved"], GetParam());
    const uint32_t words = GetParam() ? 8190 : 16382;
    EXPECT_EQ(j["wordsPerSector"], words);
    ASSERT_EQ(j["sectors"].size(), 17u);
    for (size_t i = 0; i < 15; ++i) EXPECT_EQ(j["sectors"][i]["state"], "erased") << i;
    EXPECT_EQ(j["sectors"][16]["state"], "spare");
    const Json active = j["sectors"][15];
    EXPECT_EQ(active["state"], "formatted");
    EXPECT_EQ(active["usedBytes"], 14 * 520);
    ASSERT_EQ(active["items"].size(), 14u);
    // Items in input order: the user FAT, then the hidden FAT, from the
    // sector's data area up, each 520 bytes.
    std::vector<uint32_t> ids;
    for (const FatSector &s : m.rel.user) ids.push_back(0xCAA00000 + s.number);
    for (const FatSector &s : m.rel.hidden) ids.push_back(0xCAB00000 + s.number);
    for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(active["items"][i]["id"], ids[i]);
        EXPECT_EQ(active["items"][i]["address"], kRaiBase + 15 * 0x10000 + 8 + 520 * i);
        EXPECT_EQ(active["items"][i]["length"], 516);
        EXPECT_EQ(active["items"][i]["valid"], true);
    }
    EXPECT_EQ(j["validItems"], 14);
    EXPECT_EQ(j["deletedItems"], 0);
    EXPECT_EQ(j["validDataBytes"], 14 * 512);
    // The store keeps one sector and a quarter of the rest back.
    const int64_t capacity = 16 * 4 * int64_t(words);
    EXPECT_EQ(j["memAvail"], 17 * 4 * int64_t(words) - 14 * 520 - 4 * int64_t(words) - capacity / 4);
    EXPECT_EQ(j["freeBytes"], 16 * 4 * int64_t(words) - 14 * 520);
}

TEST_P(InspectRai, ExtractFatGivesBackExactlyTheSectorsThatWentIn) {
    MergedRelease m(GetParam());
    ASSERT_EQ(m.result.status, 0) << m.result.err;
    CliResult r = inspectRai(m, {"--extract-fat", m.tmp.file("fat")});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "(10 sectors)")) << r.out;
    EXPECT_EQ(readFile(m.tmp.file("fat/user.fat")), fatFile(22, sorted(m.rel.user)));
    EXPECT_EQ(readFile(m.tmp.file("fat/hidden.fat")), fatFile(23, sorted(m.rel.hidden)));

    // Merging the extracted files stores the same sectors again.
    std::vector<std::string> args = m.rel.mergeFlags(m.out);
    std::replace(args.begin(), args.end(), m.rel.path("user.fat"), m.tmp.file("fat/user.fat"));
    std::replace(args.begin(), args.end(), m.rel.path("hidden.fat"), m.tmp.file("fat/hidden.fat"));
    args.push_back("-q");
    ASSERT_EQ(runCli(args).status, 0);
    ASSERT_EQ(inspectRai(m, {"--extract-fat", m.tmp.file("again")}).status, 0);
    EXPECT_EQ(readFile(m.tmp.file("again/user.fat")), readFile(m.tmp.file("fat/user.fat")));
    EXPECT_EQ(readFile(m.tmp.file("again/hidden.fat")), readFile(m.tmp.file("fat/hidden.fat")));
}

INSTANTIATE_TEST_SUITE_P(Layouts, InspectRai, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &i) { return i.param ? "Interleaved" : "Plain"; });

TEST(InspectRaiLayout, SectorSizeAndBaseGiveTheSameItems) {
    MergedRelease m;
    const Json byMap = inspectRai(m, {"--json"}).json();
    CliResult r = runCli({"inspect", m.output("rai.img"), "--sector-size", "0x10000", "--rai-base",
                          std::to_string(kRaiBase), "--json"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.json()["sectors"], byMap["sectors"]);
    EXPECT_FALSE(r.json().contains("partitionMap"));

    MergedRelease il(true);
    const Json ilMap = inspectRai(il, {"--json"}).json();
    r = runCli({"inspect", il.output("rai.img"), "--sector-size", "65536", "--interleaved", "--json"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    ASSERT_EQ(r.json()["sectors"].size(), 17u); // told from the file's length
    EXPECT_EQ(r.json()["sectors"][15]["items"].size(), 14u);
    EXPECT_EQ(r.json()["sectors"][15]["items"][3]["id"], ilMap["sectors"][15]["items"][3]["id"]);
}

TEST(InspectRaiLayout, TextReportListsSectorsAndItems) {
    MergedRelease m;
    CliResult r = inspectRai(m, {});
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char *line : {"  RAI            0x042b0000 .. 0x043c0000 (32 x 32 KiB asked, 17 sectors)\n",
                             "  base 0x042b0000, 17 sectors of 0x10000 bytes, plain layout, 16382 words per sector\n",
                             "  0       0x042b0000  erased            0      0           65528\n",
                             "  15      0x043a0000  formatted         14     7280        58248\n",
                             "  16      0x043b0000  spare             0      0           0\n",
                             "  0x043a0008  0xcaa00007  516     valid    user FAT sector 7\n",
                             "  0x043a1a70  0xcab00007  516     valid    hidden FAT sector 7\n",
                             "totals: 14 valid items (7168 data bytes), 0 deleted\n", "problems: none\n"})
        EXPECT_TRUE(contains(r.out, line)) << line << "\n" << r.out;
}

TEST(InspectRaiLayout, DamagedItemsAndDeletedItemsAreReported) {
    MergedRelease m;
    Bytes img = readFile(m.output("rai.img"));
    const size_t item2 = 15 * 0x10000 + 8 + 2 * 520;
    img[item2] = 0x00; // state 0 but offset bits left: not a deletion
    writeFile(m.output("bad.img"), img);
    CliResult r = runCli({"inspect", m.output("bad.img"), "--sector-size", "0x10000", "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.json()["sectors"][15]["state"], "damaged");
    EXPECT_EQ(r.json()["sectors"][15]["items"].size(), 2u);

    img = readFile(m.output("rai.img"));
    img[item2] = 0x00, img[item2 + 1] = 0x00; // a deleted item keeps only its length
    writeFile(m.output("del.img"), img);
    r = runCli({"inspect", m.output("del.img"), "--sector-size", "0x10000", "--json"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.json()["deletedItems"], 1);
    EXPECT_EQ(r.json()["validItems"], 13);
    ASSERT_EQ(runCli({"inspect", m.output("del.img"), "--sector-size", "0x10000", "--extract-fat", m.tmp.file("x")})
                  .status,
              0);
    EXPECT_EQ(readFile(m.tmp.file("x/user.fat")).size(), 16u + 9 * 516);
}

TEST(InspectRaiLayout, SectorsThePlacedAreaHasPastTheFilesEndAreAProblem) {
    MergedRelease m;
    const Bytes img = readFile(m.output("rai.img"));
    writeFile(m.output("cut.img"), Bytes(img.begin(), img.begin() + 8 * 0x10000));
    CliResult r = runCli({"inspect", m.output("cut.img"), "--kind", "rai", "--flash-info", m.rel.path("flash.bin"), "--e2p-area",
                          m.output("area.bin"), "--json"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    ASSERT_FALSE(r.json()["problems"].empty()) << r.out;
    EXPECT_EQ(r.json()["problems"].back(),
              "sectors 8 to 16 (9 of 17) lie past the end of the file at 0x80000: the area given is larger than the image");
}

TEST(InspectRaiLayout, MissingLayoutIsAUsageError) {
    MergedRelease m;
    CliResult r = runCli({"inspect", m.output("rai.img")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "an RAI image needs --flash-info and --e2p-area")) << r.err;
    r = runCli({"inspect", m.output("rai.img"), "--sector-size", "3000"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "--sector-size: 3000 is not a power of two")) << r.err;
    r = runCli({"inspect", m.output("rai.img"), "--sector-size", "big"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "error: --sector-size: \"big\" is not a number (decimal or 0x hexadecimal)\n");
    r = runCli({"inspect", m.output("code.img"), "--extract-fat", m.tmp.file("x")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "is a code file, not an RAI image")) << r.err;
}

} // namespace
} // namespace clitest
