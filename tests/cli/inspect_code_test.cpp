// quorvel inspect of code images: the code section and its checksum, the
// end marker and every record of the CUS area, worked out here from the
// release's inputs; damaged images are reported with exit status 1.
#include "release_builder.h"

#include <gtest/gtest.h>

namespace clitest {
namespace {

using namespace qvtest;

constexpr uint64_t kCode = 0x2006; // code section of the test release

uint32_t xorWords(const Bytes &b, size_t from, size_t words) {
    uint32_t x = 0;
    for (size_t i = 0; i < words; ++i) x ^= get32(b, from + 4 * i);
    return x;
}

Json record(uint64_t offset, uint32_t link, uint32_t length, const char *ident, const char *kind) {
    return Json{{"offset", offset}, {"linkWord", link}, {"length", length}, {"ident", ident}, {"kind", kind},
                {"chunks", Json::array()}};
}

// The four records after "CUSF" at `cusf`: DSP patch (70 bytes), MCP table
// (32), logo.cus (333), sens.cus (chunks of 5, 6 and 7 bytes).
Json expectedRecords(uint64_t cusf) {
    uint64_t at = cusf + 8;
    Json r = Json::array();
    r.push_back(record(at, 88, 70, "DSPP", "DSP patch"));
    r.push_back(record(at += 88, 48, 32, "MPRM", "MCP tables"));
    r.push_back(record(at += 48, 352, 333, "LCMC", "CUS file"));
    Json sens = record(at += 352, 21, 50, "DSCT", "CUS file");
    sens["chunks"] = Json::array({Json{{"offset", at + 21}, {"linkWord", 22}, {"length", 6}, {"ident", "DSCT"}},
                                  Json{{"offset", at + 43}, {"linkWord", 23}, {"length", 7}, {"ident", "DSCT"}}});
    sens["firstChunk"] = 5;
    r.push_back(sens);
    return r;
}

TEST(InspectCode, ReportsTheChecksumMarkerAndEveryRecord) {
    MergedRelease m;
    ASSERT_EQ(m.result.status, 0) << m.result.err;
    const Bytes img = readFile(m.output("code.img"));
    ASSERT_EQ(img.size(), kCode + 36 + 8 + 88 + 48 + 352 + 68);
    CliResult r = runCli({"inspect", m.output("code.img"), "--json"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const Json j = r.json();
    EXPECT_EQ(j["kind"], "code");
    EXPECT_EQ(j["codeLength"], kCode);
    EXPECT_EQ(j["versionAddr1"], 0x02000001);
    EXPECT_EQ(j["versionAddr"], 0x00010203);
    // The checksum covers the section's whole words and the seven words of
    // the size-and-date record.
    const uint32_t sum = xorWords(m.rel.codeSection, 0, kCode / 4) ^ xorWords(img, kCode, 7);
    EXPECT_EQ(j["computedChecksum"], sum);
    EXPECT_EQ(j["storedChecksum"], get32(img, kCode + 28));
    EXPECT_EQ(j["checksumMatches"], true);
    EXPECT_EQ(j["sizeDate"], std::string(img.begin() + kCode, img.begin() + kCode + 27));
    EXPECT_TRUE(j["sizeDate"].get<std::string>().starts_with("8214 ")); // the code file's size
    EXPECT_EQ(j["endMarker"], 0x11223344);
    EXPECT_EQ(j["endMarkerOffset"], kCode + 32);
    EXPECT_EQ(j["alignFill"], 0);
    EXPECT_EQ(j["cusfOffset"], kCode + 36);
    EXPECT_EQ(j["cusPos"], kCode + 36);
    EXPECT_EQ(j["records"], expectedRecords(kCode + 36));
    EXPECT_EQ(j["recordsEnd"], img.size());
    EXPECT_EQ(j["cusLength"], 8 + 88 + 48 + 352 + 68);
    EXPECT_EQ(j["mcus"], false);
    EXPECT_TRUE(j["problems"].empty());
}

TEST(InspectCode, TextReportNamesEachRecord) {
    MergedRelease m;
    CliResult r = runCli({"inspect", m.output("code.img")});
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char *line :
         {"  code section     8198 bytes at 0x0", "matches\n", "  end marker       0x11223344 at 0x2026\n",
          "CUS area at 0x202a (\"CUSF\", CUS position 0x202a)\n",
          "  0x00002032  0x00000058  70       DSPP         DSP patch\n",
          "  0x0000208a  0x00000030  32       MPRM         MCP tables\n",
          "  0x000020ba  0x00000160  333      LCMC         CUS file\n",
          "  0x0000221a  0x00000015  50       DSCT         CUS file, 3 chunks\n",
          "      chunk at 0x0000222f  link 0x00000016  length 6  ident DSCT\n",
          "      chunk at 0x00002245  link 0x00000017  length 7  ident DSCT\n",
          "  records end at 0x225e: CUS length 564 bytes (1 x 4 KiB)\n", "  closing fill     none\n",
          "problems: none\n"})
        EXPECT_TRUE(contains(r.out, line)) << line << "\n" << r.out;
}

TEST(InspectCode, InterleavedImageHasAlignmentAndClosingFill) {
    MergedRelease m(true);
    ASSERT_EQ(m.result.status, 0) << m.result.err;
    CliResult r = runCli({"inspect", m.output("code.img"), "--json"});
    ASSERT_EQ(r.status, 0) << r.out;
    const Json j = r.json();
    const uint64_t cusf = 0x2400; // code section closed at 0x202a, raised to 1 KB
    EXPECT_EQ(j["alignFill"], cusf - (kCode + 36));
    EXPECT_EQ(j["cusfOffset"], cusf);
    EXPECT_EQ(j["records"], expectedRecords(cusf));
    EXPECT_EQ(j["cusLength"], 564);
    EXPECT_EQ(j["closingFill"], 4096 - 568);
    EXPECT_EQ(j["mcus"], true);
    EXPECT_EQ(j["checksumMatches"], true);
    EXPECT_EQ(readFile(m.output("code.img")).size(), cusf + 4096);
}

TEST(InspectCode, BrokenChainIsReportedWithItsOffset) {
    MergedRelease m;
    Bytes img = readFile(m.output("code.img"));
    const size_t mprm = kCode + 36 + 8 + 88;
    img[mprm + 12] = 0; // the record header's F0 FF FF FF
    writeFile(m.output("bad.img"), img);
    CliResult r = runCli({"inspect", m.output("bad.img")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "  broken chain at 0x208a\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "  broken chain at 0x208a: no record header\n")) << r.out;
    EXPECT_EQ(runCli({"inspect", m.output("bad.img"), "--json"}).json()["brokenAt"], mprm);

    img = readFile(m.output("code.img"));
    img[mprm] = 0x40; // a multi-chunk link word pointing outside the record
    writeFile(m.output("bad.img"), img);
    r = runCli({"inspect", m.output("bad.img"), "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.json()["brokenAt"], mprm);
}

TEST(InspectCode, ChecksumMismatchAndMissingMarkerAreProblems) {
    MergedRelease m;
    Bytes img = readFile(m.output("code.img"));
    img[100] ^= 0x01;
    writeFile(m.output("bad.img"), img);
    CliResult r = runCli({"inspect", m.output("bad.img")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "MISMATCH")) << r.out;
    EXPECT_TRUE(contains(r.out, "problems: 1\n  checksum ")) << r.out;

    img = readFile(m.output("code.img"));
    img[kCode + 32] = 0x45; // end marker 0x11223345
    writeFile(m.output("bad.img"), img);
    r = runCli({"inspect", m.output("bad.img"), "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.json()["problems"][0], "no code end marker before \"CUSF\" at 0x202a");
    EXPECT_EQ(r.json()["records"].size(), 4u);
}

// A code image whose writing stopped: after the end marker, inside a record's
// header or inside its data.
TEST(InspectCode, HalfWrittenImagesAreProblems) {
    MergedRelease m;
    const Bytes img = readFile(m.output("code.img"));
    const struct {
        size_t cut;
        std::string problem;
    } rows[] = {
        {kCode + 36, "the image ends after the code end marker at 0x2026: its CUS area is missing"},
        {kCode + 36 + 8 + 10, "broken chain at 0x2032: no record header"},
        {kCode + 36 + 8 + 88 + 20, "broken chain at 0x208a: the record runs past the end of the file"},
    };
    for (const auto &row : rows) {
        writeFile(m.output("cut.img"), Bytes(img.begin(), img.begin() + long(row.cut)));
        const CliResult r = runCli({"inspect", m.output("cut.img"), "--json"});
        EXPECT_EQ(r.status, 1) << row.cut;
        EXPECT_EQ(r.json()["problems"], Json::array({row.problem})) << row.cut;
    }
}

TEST(InspectCode, CodeSectionAloneAndCusOnlyImages) {
    TempDir t;
    TestRelease rel(t.path());
    CliResult r = runCli({"merge", "--flash-info", rel.path("flash.bin"), "--e2p-base", rel.path("e2p_base.bin"),
                          "--e2p-area", rel.path("e2p_area.bin"), "--image", rel.path("firmware.bin"), "--out-code",
                          t.file("code.img"), "--out-rai", t.file("rai.img"), "--log", t.file("log"), "-q"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Nothing marks a code section alone: it is read only when --kind says so.
    r = runCli({"inspect", t.file("code.img")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, t.file("code.img") + ": not recognised")) << r.err;
    r = runCli({"inspect", "--kind", "code", t.file("code.img"), "--json"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.json()["hasCusArea"], false);
    EXPECT_EQ(r.json()["codeLength"], kCode);
    EXPECT_EQ(r.json()["codeXor"], xorWords(rel.codeSection, 0, kCode / 4));

    r = runCli({"merge", "--flash-info", rel.path("flash.bin"), "--e2p-base", rel.path("e2p_base.bin"), "--e2p-area",
                rel.path("e2p_area.bin"), "--patch", rel.path("dsp.pat"), "--cus", rel.path("logo.cus"),
                "--out-code", t.file("cus.img"), "--out-e2p", t.file("e2p.img"), "--out-rai", t.file("rai.img"),
                "--log", t.file("log"), "-q"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = runCli({"inspect", t.file("cus.img"), "--json"});
    ASSERT_EQ(r.status, 0) << r.out;
    const Json j = r.json();
    EXPECT_EQ(j["cusOnly"], true);
    EXPECT_EQ(j["cusPos"], 0x10000); // the flash's cusOffset
    ASSERT_EQ(j["records"].size(), 2u);
    EXPECT_EQ(j["records"][0]["offset"], 8);
    EXPECT_EQ(j["records"][1]["ident"], "LCMC");
    EXPECT_EQ(j["cusLength"], 8 + 88 + 352);
}

} // namespace
} // namespace clitest
