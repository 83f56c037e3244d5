// quorvel inspect of E2P images: the journal records of a merged image, where
// and why the journal ends, the end mark, and the content after replay onto
// the base; damaged journals give exit status 1.
#include "release_builder.h"

#include <gtest/gtest.h>

namespace clitest {
namespace {

using namespace qvtest;

std::string blockText(std::initializer_list<std::pair<int, uint8_t>> set) {
    Bytes b(16, 0xFF);
    for (auto [at, v] : set) b[size_t(at)] = v;
    std::string out;
    for (size_t i = 0; i < b.size(); ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, i ? " %02x" : "%02x", b[i]);
        out += buf;
    }
    return out;
}

// The description file sets 0x11223344 at 32; the code image queues the CUS
// size (1 block of 4 KB) at 247 and the CUS start 0x0400202a as word-address
// bytes 0x0a (249), 0x08 (223) and 0x00 (255).
TEST(InspectE2p, ReportsTheJournalOfAMergedImage) {
    MergedRelease m;
    ASSERT_EQ(m.result.status, 0) << m.result.err;
    CliResult r = runCli({"inspect", m.output("e2p.img"), "--json", "--e2p-base", m.rel.path("e2p_base.bin")});
    ASSERT_EQ(r.status, 0) << r.out;
    const Json j = r.json();
    EXPECT_EQ(j["kind"], "e2p");
    EXPECT_EQ(j["interleaved"], false);
    EXPECT_EQ(j["logicalSize"], 8192);
    ASSERT_EQ(j["records"].size(), 3u);
    const uint32_t at[] = {0, 22, 44}, address[] = {0x20, 0xd0, 0xf0}, check[] = {0x30, 0xc0, 0xe0};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(j["records"][i]["at"], at[i]);
        EXPECT_EQ(j["records"][i]["address"], address[i]);
        EXPECT_EQ(j["records"][i]["length"], 16);
        EXPECT_EQ(j["records"][i]["headerCheck"], check[i]);
        EXPECT_EQ(j["records"][i]["dataCheckMatches"], true);
    }
    EXPECT_EQ(j["records"][0]["data"], blockText({{0, 0x44}, {1, 0x33}, {2, 0x22}, {3, 0x11}}));
    EXPECT_EQ(j["endAt"], 66);
    EXPECT_EQ(j["endReason"], "erased header");
    EXPECT_EQ(j["endMark"], true);
    const Json changed = j["changedBlocks"];
    ASSERT_EQ(changed.size(), 3u);
    EXPECT_EQ(changed[0]["address"], 0x20);
    EXPECT_EQ(changed[0]["now"], j["records"][0]["data"]);
    EXPECT_EQ(changed[1]["address"], 0xd0);
    EXPECT_EQ(changed[1]["base"], blockText({}));
    EXPECT_EQ(changed[1]["now"], blockText({{15, 0x08}}));
    EXPECT_EQ(changed[2]["now"], blockText({{7, 0x01}, {8, 0x00}, {9, 0x0a}, {15, 0x00}}));
}

TEST(InspectE2p, TextReportShowsRecordsEndAndChangedBlocks) {
    MergedRelease m;
    CliResult r = runCli({"inspect", m.output("e2p.img"), "--e2p-base", m.rel.path("e2p_base.bin")});
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char *line : {"E2P image: ", "(8192 bytes, plain layout, 8192 logical bytes)\n", "journal records: 3\n",
                             "  0x000016  0x00d0   16      0xc0 ok       ", "journal ends at 0x0042: erased header\n",
                             "end mark at 0x1ffe: FF 7F\n", "parameter content after replay: 3 changed blocks\n",
                             "  0x00d0  base  ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff\n",
                             "          now   ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff 08\n", "problems: none\n"})
        EXPECT_TRUE(contains(r.out, line)) << line << "\n" << r.out;
}

TEST(InspectE2p, InterleavedLayoutIsToldFromTheEndMark) {
    MergedRelease m(true);
    ASSERT_EQ(m.result.status, 0) << m.result.err;
    CliResult r = runCli({"inspect", m.output("e2p.img"), "--json", "--e2p-base", m.rel.path("e2p_base.bin")});
    ASSERT_EQ(r.status, 0) << r.out;
    const Json j = r.json();
    EXPECT_EQ(j["interleaved"], true);
    EXPECT_EQ(j["logicalSize"], 4096);
    ASSERT_EQ(j["records"].size(), 3u);
    EXPECT_EQ(j["records"][1]["address"], 0xd0);
    EXPECT_EQ(j["endMark"], true);
    // CUS start 0x04002400 (raised to 1 KB): bytes 0x00, 0x09, 0x00.
    EXPECT_EQ(j["changedBlocks"][1]["now"], blockText({{15, 0x09}}));
    // The same layout from the flash description.
    CliResult f = runCli({"inspect", m.output("e2p.img"), "--json", "--flash-info", m.rel.path("flash.json")});
    EXPECT_EQ(f.json()["records"], j["records"]);
}

TEST(InspectE2p, DamagedJournalsAreProblems) {
    MergedRelease m;
    Bytes img = readFile(m.output("e2p.img"));
    img[22 + 6 + 3] ^= 0xFF; // data of the second record
    writeFile(m.output("bad.img"), img);
    CliResult r = runCli({"inspect", m.output("bad.img"), "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.json()["records"][1]["dataCheckMatches"], false);
    EXPECT_EQ(r.json()["problems"][0].get<std::string>().substr(0, 36), "the record at 0x16 has data check 0x");

    img = readFile(m.output("e2p.img"));
    img[22 + 4] ^= 0x01; // header check of the second record
    writeFile(m.output("bad.img"), img);
    r = runCli({"inspect", m.output("bad.img"), "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.json()["records"].size(), 1u);
    EXPECT_EQ(r.json()["endAt"], 22);
    EXPECT_EQ(r.json()["endReason"], "header check 0xc1 stored, 0x40 computed");

    img = readFile(m.output("e2p.img"));
    img[8191] = 0xFF; // the end mark
    writeFile(m.output("bad.img"), img);
    r = runCli({"inspect", "--kind", "e2p", m.output("bad.img")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "end mark at 0x1ffe: missing (0xffff)\n")) << r.out;
}

TEST(InspectE2p, ErasedAreaAndBitFourteenEndTheJournal) {
    TempDir t;
    Bytes area(256, 0xFF);
    area[254] = 0xFF, area[255] = 0x7F;
    writeFile(t.file("erased.bin"), area);
    CliResult r = runCli({"inspect", t.file("erased.bin"), "--json"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.json()["kind"], "e2p");
    EXPECT_EQ(r.json()["records"].size(), 0u);
    EXPECT_EQ(r.json()["endReason"], "erased header");

    // One record of 3 bytes at 0x100 (odd: a pad byte before the data), then
    // a header with bit 14 set.
    const uint8_t rec[] = {0x00, 0x81, 0x03, 0x00, 0x02, 0x00, 0xFF, 1, 2, 3, 0x00, 0xC0, 0x01, 0x00, 0x00};
    std::copy(std::begin(rec), std::end(rec), area.begin());
    writeFile(t.file("one.bin"), area);
    r = runCli({"inspect", t.file("one.bin"), "--json"});
    ASSERT_EQ(r.status, 1) << r.out; // bytes after the end are not erased
    EXPECT_EQ(r.json()["records"][0]["address"], 0x100);
    EXPECT_EQ(r.json()["records"][0]["data"], "01 02 03");
    EXPECT_EQ(r.json()["endAt"], 10);
    EXPECT_EQ(r.json()["endReason"], "end flag (bit 14) in word 0xc000");
}

} // namespace
} // namespace clitest
