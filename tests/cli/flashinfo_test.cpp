// quorvel flashinfo and inspect of flash descriptions: every field of the
// record through JSON, the binary record and back, and refused values.
#include "cli_run.h"

#include <gtest/gtest.h>

namespace clitest {
namespace {

using namespace qvtest;

// Every field set to a value of its own; three regions, two memory parts,
// interleaved with a further flag bit.
Json fullDescription() {
    return Json{{"chipId", "0xBEEF"},
                {"chipSubId", 4660},
                {"options", "0x8001"},
                {"sizeIn64KB", 320},
                {"regions", Json::array({Json{{"sectorSize", 8192}, {"count", 8}},
                                         Json{{"sectorSize", "0x10000"}, {"count", 318}},
                                         Json{{"shift", 13}, {"count", 8}}})},
                {"baseAddress", "0x08000000"},
                {"cusOffset", 1193984},
                {"versionAddr", "0xA1B2C3D4"},
                {"versionAddr1", "0x05060708"},
                {"memParts", Json::array({Json{{"id", "0xDEADBEEF"}, {"didr", "0xCAFE"}},
                                          Json{{"id", 7}, {"didr", 0}}})},
                {"interleaved", true},
                {"flags", "0x80000001"}};
}

// The same description as the command writes it back: addresses, sizes,
// identifiers and flags as hex strings, counts as numbers, sector sizes.
Json normalised() {
    return Json{{"chipId", "0xbeef"},
                {"chipSubId", 4660},
                {"options", 0x8001},
                {"sizeIn64KB", 320},
                {"regions", Json::array({Json{{"sectorSize", "0x2000"}, {"count", 8}},
                                         Json{{"sectorSize", "0x10000"}, {"count", 318}},
                                         Json{{"sectorSize", "0x2000"}, {"count", 8}}})},
                {"baseAddress", "0x08000000"},
                {"cusOffset", "0x00123800"},
                {"versionAddr", "0xa1b2c3d4"},
                {"versionAddr1", "0x05060708"},
                {"memParts", Json::array({Json{{"id", "0xdeadbeef"}, {"didr", "0xcafe"}},
                                          Json{{"id", "0x00000007"}, {"didr", "0x0000"}}})},
                {"interleaved", true},
                {"flags", "0x80000001"}};
}

FlashInfoSpec fullRecord() {
    FlashInfoSpec f;
    f.chipId = 0xBEEF;
    f.chipSubId = 4660;
    f.options = 0x8001;
    f.sizeIn64KB = 320;
    f.regions = {{13, 8}, {16, 318}, {13, 8}};
    f.baseAddress = 0x08000000;
    f.cusOffset = 1193984;
    f.versionAddr = 0xA1B2C3D4;
    f.versionAddr1 = 0x05060708;
    f.memParts = {{0xDEADBEEF, 0xCAFE}, {7, 0}};
    f.flags = 0x80000001;
    return f;
}

TEST(FlashInfoCommand, WritesEveryFieldOfTheRecordAndReadsItBack) {
    TempDir t;
    writeText(t.file("desc.json"), fullDescription().dump(2));
    CliResult w = runCli({"flashinfo", "--from", t.file("desc.json"), "-o", t.file("flash.bin")});
    ASSERT_EQ(w.status, 0) << w.err;
    EXPECT_EQ(readFile(t.file("flash.bin")), fullRecord().build());

    CliResult r = runCli({"inspect", t.file("flash.bin"), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Json j = r.json();
    EXPECT_EQ(j["kind"], "flashinfo");
    EXPECT_EQ(j["size"], 208);
    EXPECT_EQ(j["description"], normalised());
    EXPECT_EQ(j["regionCount"], 3);
    EXPECT_EQ(j["memPartCount"], 2);
    EXPECT_EQ(j["bankBase"], 0x08000000);
    EXPECT_EQ(j["flashEnd"], 0x09400000);
    const Json regions = Json::array({Json{{"sectorSize", 8192}, {"count", 8}, {"start", 0x08000000}, {"end", 0x08010000}},
                                      Json{{"sectorSize", 65536}, {"count", 318}, {"start", 0x08010000}, {"end", 0x093F0000}},
                                      Json{{"sectorSize", 8192}, {"count", 8}, {"start", 0x093F0000}, {"end", 0x09400000}}});
    EXPECT_EQ(j["regions"], regions);
    EXPECT_TRUE(j["problems"].empty());
}

TEST(FlashInfoCommand, TextReportShowsFieldsRegionsAndFlashEnd) {
    TempDir t;
    writeFile(t.file("flash.bin"), fullRecord().build());
    CliResult r = runCli({"inspect", t.file("flash.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char *line : {"  chipId        0xbeef (48879)", "  chipSubId     0x1234 (4660)",
                             "  options       0x8001 (32769)", "  sizeIn64KB    320 (0x1400000 bytes)",
                             "  regionCount   3", "  baseAddress   0x08000000", "  cusOffset     0x00123800",
                             "  versionAddr   0xa1b2c3d4", "  versionAddr1  0x05060708 (trace version 5)",
                             "  memPartCount  2", "  flags         0x80000001 (interleaved layout)",
                             "  0  0x2000       8      0x08000000  0x08010000",
                             "  1  0x10000      318    0x08010000  0x093f0000",
                             "  2  0x2000       8      0x093f0000  0x09400000", "flash end       0x09400000",
                             "  0  id 0xdeadbeef  didr 0xcafe", "  1  id 0x00000007  didr 0x0000", "problems: none"})
        EXPECT_TRUE(contains(r.out, std::string(line) + "\n")) << line << "\n" << r.out;
}

TEST(FlashInfoCommand, RecordToJsonAndBackIsTheSameRecord) {
    TempDir t;
    writeFile(t.file("flash.bin"), fullRecord().build());
    ASSERT_EQ(runCli({"flashinfo", "--from", t.file("flash.bin"), "-o", t.file("back.json"), "-q"}).status, 0);
    EXPECT_EQ(Json::parse(readText(t.file("back.json"))), normalised());
    CliResult again = runCli({"flashinfo", "--from", t.file("back.json"), "-o", t.file("again.bin"), "-q"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "");
    EXPECT_EQ(readFile(t.file("again.bin")), fullRecord().build());
}

TEST(FlashInfoCommand, InspectTakesTheJsonDescriptionToo) {
    TempDir t;
    writeText(t.file("desc.json"), fullDescription().dump());
    CliResult r = runCli({"inspect", t.file("desc.json"), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.json()["description"], normalised());
    EXPECT_EQ(r.json()["size"], 208);
}

TEST(FlashInfoCommand, PlainFlashWithoutMemoryPartsIsA120ByteRecord) {
    TempDir t;
    writeText(t.file("d.json"), R"({"sizeIn64KB": 16, "regions": [{"sectorSize": 65536, "count": 16}]})");
    ASSERT_EQ(runCli({"flashinfo", "--from", t.file("d.json"), "-o", t.file("f.bin")}).status, 0);
    EXPECT_EQ(readFile(t.file("f.bin")), uniformFlash(16).build());
    EXPECT_EQ(readFile(t.file("f.bin")).size(), 120u);
}

struct BadValue {
    const char *name;
    std::string json;
    std::string expected; // part of the message
};

class FlashInfoBadValues : public ::testing::TestWithParam<BadValue> {};

TEST_P(FlashInfoBadValues, AreRefusedWithExit2NamingTheField) {
    TempDir t;
    writeText(t.file("d.json"), GetParam().json);
    CliResult r = runCli({"flashinfo", "--from", t.file("d.json"), "-o", t.file("f.bin")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, GetParam().expected)) << r.err;
    EXPECT_TRUE(contains(r.err, t.file("d.json"))) << r.err;
    EXPECT_TRUE(r.err.starts_with("error: ")) << r.err;
    EXPECT_FALSE(fileExists(t.file("f.bin")));
}

const std::string kRegions = R"("regions": [{"sectorSize": 65536, "count": 16}])";

INSTANTIATE_TEST_SUITE_P(
    Fields, FlashInfoBadValues,
    ::testing::Values(
        BadValue{"ChipIdTooLarge", R"({"chipId": 70000, "sizeIn64KB": 16, )" + kRegions + "}",
                 "field \"chipId\": 0x11170 is out of range (at most 0xffff)"},
        BadValue{"NoRegions", R"({"sizeIn64KB": 16, "regions": []})", "field \"regions\": must hold 1 to 4 regions"},
        BadValue{"FiveRegions", R"({"sizeIn64KB": 16, "regions": [)" + std::string(4, ' ') +
                                    R"({"shift": 16, "count": 1},{"shift": 16, "count": 1},{"shift": 16, "count": 1},)"
                                    R"({"shift": 16, "count": 1},{"shift": 16, "count": 1}]})",
                 "field \"regions\": must hold 1 to 4 regions, found 5"},
        BadValue{"SectorSizeNotPowerOfTwo", R"({"sizeIn64KB": 16, "regions": [{"sectorSize": 3000, "count": 1}]})",
                 "field \"regions[0].sectorSize\": 3000 is not a power of two"},
        BadValue{"NegativeCount", R"({"sizeIn64KB": 16, "regions": [{"shift": 16, "count": -1}]})",
                 "field \"regions[0].count\": -1 is negative"},
        BadValue{"ShiftTooLarge", R"({"sizeIn64KB": 16, "regions": [{"shift": 32, "count": 1}]})",
                 "field \"regions[0].shift\": 0x20 is out of range"},
        BadValue{"SizeAndShift", R"({"sizeIn64KB": 16, "regions": [{"shift": 16, "sectorSize": 65536, "count": 1}]})",
                 "field \"regions[0]\": give either"},
        BadValue{"CountMissing", R"({"sizeIn64KB": 16, "regions": [{"shift": 16}]})",
                 "field \"regions[0].count\": is required"},
        BadValue{"DidrTooLarge", R"({"sizeIn64KB": 16, )" + kRegions +
                                     R"(, "memParts": [{"id": 1}, {"id": 2, "didr": "0x1FFFF"}]})",
                 "field \"memParts[1].didr\": 0x1ffff is out of range"},
        BadValue{"MemPartWithoutId", R"({"sizeIn64KB": 16, )" + kRegions + R"(, "memParts": [{"didr": 1}]})",
                 "field \"memParts[0].id\": is required"},
        BadValue{"UnknownField", R"({"chipID": 1, "sizeIn64KB": 16, )" + kRegions + "}",
                 "field \"chipID\": unknown field"},
        BadValue{"InterleavedNotBoolean", R"({"interleaved": "yes", "sizeIn64KB": 16, )" + kRegions + "}",
                 "field \"interleaved\": must be true or false"},
        BadValue{"FlagsDisagree", R"({"interleaved": true, "flags": 2, "sizeIn64KB": 16, )" + kRegions + "}",
                 "field \"interleaved\": disagrees with bit 0 of \"flags\""},
        BadValue{"SizeMissing", "{" + kRegions + "}", "field \"sizeIn64KB\": is required"},
        BadValue{"SizeZero", R"({"sizeIn64KB": 0, )" + kRegions + "}", "field \"sizeIn64KB\": must be at least 1"},
        BadValue{"Fraction", R"({"baseAddress": 1.5, "sizeIn64KB": 16, )" + kRegions + "}",
                 "field \"baseAddress\": 1.5 is not a whole number"},
        BadValue{"NotANumber", R"({"cusOffset": "12ab", "sizeIn64KB": 16, )" + kRegions + "}",
                 "field \"cusOffset\": \"12ab\" is not a number"},
        BadValue{"AddressTooLarge", R"({"versionAddr": "0x100000000", "sizeIn64KB": 16, )" + kRegions + "}",
                 "field \"versionAddr\": 0x100000000 is out of range (at most 0xffffffff)"},
        BadValue{"RegionsNotAList", R"({"sizeIn64KB": 16, "regions": {"shift": 16}})",
                 "field \"regions\": must be a list"},
        BadValue{"NotJson", "{ chipId: 1 }", "not valid JSON"},
        BadValue{"NotAnObject", "[1, 2]", "the top level must be a JSON object"}),
    [](const ::testing::TestParamInfo<BadValue> &i) { return std::string(i.param.name); });

TEST(FlashInfoCommand, ShortOrInconsistentRecordsAreRefusedWithExit1) {
    TempDir t;
    writeFile(t.file("short.bin"), Bytes(60, 0));
    CliResult r = runCli({"inspect", "--kind", "flashinfo", t.file("short.bin")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: " + t.file("short.bin") + ": a FlashInfo record holds at least 120 bytes, this one 60\n");

    Bytes rec = uniformFlash(16).build();
    rec[44] = 3; // three memory parts in a 120-byte record
    writeFile(t.file("parts.bin"), rec);
    r = runCli({"inspect", "--kind", "flashinfo", t.file("parts.bin")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "memPartCount 3 needs 288 bytes, the record has 120")) << r.err;

    r = runCli({"flashinfo", "--from", t.file("missing.bin"), "-o", t.file("x.json")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: cannot read " + t.file("missing.bin") + "\n");
}

TEST(FlashInfoCommand, RecordTheJsonCannotHoldIsReportedAsAProblem) {
    TempDir t;
    FlashInfoSpec f = uniformFlash(16);
    f.regions = {{16, 8}}; // covers half the flash
    writeFile(t.file("f.bin"), f.build());
    CliResult r = runCli({"inspect", t.file("f.bin")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out, "  the regions end at 0x80000, the flash at 0x100000\n")) << r.out;
    // The merge refuses it; flashinfo writes it in neither form.
    for (const char *to : {"f.json", "g.bin"}) {
        r = runCli({"flashinfo", "--from", t.file("f.bin"), "-o", t.file(to)});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "error: " + t.file("f.bin") + ": the regions end at 0x80000, the flash at 0x100000\n");
        EXPECT_FALSE(fileExists(t.file(to)));
    }
    Bytes rec = f.build();
    rec[11] = 0; // no regions
    writeFile(t.file("g.bin"), rec);
    r = runCli({"inspect", "--kind", "flashinfo", t.file("g.bin"), "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.json()["problems"][0], "regionCount 0 is outside 1 to 4");
}

} // namespace
} // namespace clitest
