// DSP patch selection: the wanted chip version, the id map, the patch entry
// walk and its log, the record, and refusals of descriptors that reach past
// their data.
#include "fixture.h"

#include "codeimage/gen_patch.h"
#include "codeimage/result_codes.h"

namespace cvtest {
namespace {

class GenPatchTest : public CodeImageTest {
protected:
    // Runs gen_patch on `dspFile` with 8 bytes already in the output.
    int run(const Bytes &dspFile, uint16_t chipId, uint16_t subId = 1) {
        ctx.code.adWriteAddr = 0xDEAD; // must be replaced by the stream position
        qv::File dsp(put("dsp.pat", dspFile), "rb");
        qv::File out(dir.file("out.bin"), "wb");
        out.write("CUSFxxxx", 8);
        int r = qv::gen_patch(ctx.code, dsp, out, chipId, subId);
        out.close();
        Bytes all = qvtest::readFile(dir.file("out.bin"));
        record = Bytes(all.begin() + 8, all.end());
        return r;
    }
    Bytes record;
};

const Bytes kP1 = {0x10, 0x11, 0x12, 0x13, 0x14};
const Bytes kP3 = {0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38};
const Bytes kP5 = {0x50, 0x51};

TEST_F(GenPatchTest, ChipIdPicksTheEntryAndItsDataBecomesTheRecord) {
    ASSERT_EQ(run(makeDspFile({{1, kP1}, {3, kP3}, {5, kP5}}), 3), 0);
    EXPECT_EQ(record, adRecord(28, kP3, "DSPP"));
    EXPECT_EQ(ctx.code.adWriteAddr, 8u + 28);
    uint32_t L = dspDescriptorLength(3, 0);
    EXPECT_EQ(logLines(), (std::vector<std::string>{
                              "gen_patch: patch 0 chip ver = 1",
                              "gen_patch: patch 1 chip ver = 3",
                              "gen_patch: found id 3 at patch 1",
                              qv::strprintf("gen_patch: patch_offset = 0x%x(%d)", 16 + L + 5, 16 + L + 5),
                              "gen_patch: patch_size = 0x9(9)",
                              "fms_adWrite: AD_write_addr = 0x8(8)",
                              "fms_adWrite: next_rec = 0x24(36)",
                              "fms_adWrite: pos = 0x3(3)",
                          }));
}

TEST_F(GenPatchTest, PatchOfSixBytesHasLink24AndTwoPads) {
    Bytes six{1, 2, 3, 4, 5, 6};
    ASSERT_EQ(run(makeDspFile({{2, six}}), 2), 0);
    EXPECT_EQ(record, concat({le32Bytes(24), le32Bytes(6), ascii("DSPP"), le32Bytes(0xFFFFFFF0), six,
                              Bytes{0xFF, 0xFF}}));
}

TEST_F(GenPatchTest, FlagBitOneWantsId254EvenWithBitZero) {
    Bytes f = makeDspFile({{3, kP3}, {254, kP5}}, 3, {{3, 1, 3}});
    ASSERT_EQ(run(f, 3), 0);
    EXPECT_EQ(record, adRecord(kP5, "DSPP"));
    EXPECT_TRUE(hasRun(logLines(), {"gen_patch: found id 254 at patch 1"}));
}

TEST_F(GenPatchTest, IdMapOfThreeEntriesWithTwoPatches) {
    // N = 2: M = 32; L = 32 + 3 * 32 + 16.
    EXPECT_EQ(dspDescriptorLength(2, 3), 32u + 96 + 16);
    Bytes f = makeDspFile({{7, kP1}, {9, kP3}}, 1, {{2, 5, 7}, {2, 6, 8}, {2, 1, 9}});
    ASSERT_EQ(run(f, 2, 1), 0);
    EXPECT_EQ(record, adRecord(kP3, "DSPP"));
}

TEST_F(GenPatchTest, IdMapKeyFFFFMatchesAnyChipAndTheFirstMatchWins) {
    Bytes f = makeDspFile({{7, kP1}, {9, kP3}}, 1, {{0xFFFF, 4, 9}, {0xFFFF, 4, 7}});
    ASSERT_EQ(run(f, 0xB, 4), 0);
    EXPECT_EQ(record, adRecord(kP3, "DSPP"));
}

TEST_F(GenPatchTest, IdMapNeedsTheSubIdToo) {
    Bytes f = makeDspFile({{7, kP1}}, 1, {{0xFFFF, 4, 7}, {2, 4, 7}});
    EXPECT_EQ(run(f, 2, 5), -125);
    EXPECT_TRUE(record.empty());
    EXPECT_TRUE(logLines().empty());
}

TEST_F(GenPatchTest, WantedIdAbove255MatchesNoEntry) {
    Bytes f = makeDspFile({{0x2C, kP1}}, 1, {{2, 1, 0x12C}});
    EXPECT_EQ(run(f, 2, 1), -141);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"gen_patch: patch 0 chip ver = 44",
                                                    "gen_patch: [dsp_parse_header] can't find id 300"}));
}

TEST_F(GenPatchTest, TwoEntriesWithTheSameVersionTakeTheLowerIndex) {
    ASSERT_EQ(run(makeDspFile({{4, kP1}, {4, kP3}}), 4), 0);
    EXPECT_EQ(record, adRecord(kP1, "DSPP"));
}

TEST_F(GenPatchTest, NoEntriesLogsOnlyTheMissingId) {
    EXPECT_EQ(run(makeDspFile({}), 2), -141);
    EXPECT_TRUE(record.empty());
    EXPECT_EQ(logLines(), (std::vector<std::string>{"gen_patch: [dsp_parse_header] can't find id 2"}));
}

TEST_F(GenPatchTest, NoMatchingEntryLogsEveryEntry) {
    EXPECT_EQ(run(makeDspFile({{1, kP1}, {5, kP5}}), 2), -141);
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{"gen_patch: patch 0 chip ver = 1", "gen_patch: patch 1 chip ver = 5",
                                        "gen_patch: [dsp_parse_header] can't find id 2"}));
}

TEST_F(GenPatchTest, HeaderFaults) {
    Bytes good = makeDspFile({{2, kP1}});
    Bytes badMagic = good, badVersion = good, badD = good, badDesc = good;
    badMagic[16] = 'X';
    badVersion[24] = 2;
    badD[25] = 0x45;
    badDesc[32] = 0;
    EXPECT_EQ(run(badMagic, 2), -73);
    EXPECT_EQ(run(Bytes(good.begin(), good.begin() + 27), 2), -73); // 11 header bytes
    EXPECT_EQ(run(Bytes(10, 0), 2), -73);
    EXPECT_EQ(run(badVersion, 2), -78);
    EXPECT_EQ(run(badD, 2), -83);
    EXPECT_EQ(run(badDesc, 2), -94);
    EXPECT_TRUE(record.empty());
    EXPECT_TRUE(logLines().empty());
}

TEST_F(GenPatchTest, DescriptorPastTheFileEndIsRefused) {
    Bytes f = makeDspFile({{2, kP1}});
    f[20] = 0xFF; // L far beyond the file
    f[23] = 0x7F;
    EXPECT_EQ(run(f, 2), qv::kErrDspDescriptorPastEnd);
    Bytes cut = makeDspFile({{2, {}}});
    cut.pop_back(); // the descriptor's last byte missing
    EXPECT_EQ(run(cut, 2), qv::kErrDspDescriptorPastEnd);
    EXPECT_TRUE(record.empty());
}

TEST_F(GenPatchTest, DescriptorWithoutRoomForItsHeaderIsRefused) {
    Bytes f = makeDspFile({});
    f[20] = 3;
    EXPECT_EQ(run(f, 2), qv::kErrDspDescriptorShort);
    f[20] = 0;
    EXPECT_EQ(run(f, 2), qv::kErrDspDescriptorShort);
}

TEST_F(GenPatchTest, EntryOutsideTheDescriptorIsRefusedWhenReached) {
    // N = 3 but L = 32 holds only entries 0 and 1 (4 + 26 <= 32 < 43).
    Bytes f = makeDspFile({{1, kP1}, {5, kP5}});
    f[20] = 32;
    f[33] = 3;
    EXPECT_EQ(run(f, 2), qv::kErrDspEntryOutside);
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{"gen_patch: patch 0 chip ver = 1", "gen_patch: patch 1 chip ver = 5"}));
    // Entries past the match are never looked at.
    EXPECT_EQ(run(f, 1), 0);
    EXPECT_EQ(record, adRecord(kP1, "DSPP"));
}

TEST_F(GenPatchTest, IdMapOutsideTheDescriptorIsRefused) {
    // L = 32 = M: the id map would start at the descriptor's end.
    Bytes f = makeDspFile({{1, kP1}}, 1);
    f[20] = 16; // L = 16 < M + 16
    EXPECT_EQ(run(f, 2), qv::kErrDspIdMapOutside);
    // L = M + 16 is an empty id map: nothing matches.
    EXPECT_EQ(run(makeDspFile({{1, kP1}}, 1), 2), -125);
}

TEST_F(GenPatchTest, PatchDataPastTheFileEndIsRefused) {
    Bytes f = makeDspFile({{2, kP3}});
    f.pop_back(); // one byte of the patch missing
    EXPECT_EQ(run(f, 2), qv::kErrDspPatchPastEnd);
    EXPECT_TRUE(record.empty());
    EXPECT_TRUE(hasRun(logLines(), {"gen_patch: patch_size = 0x9(9)"}));

    Bytes far = makeDspFile({{2, kP3}});
    far[32 + 4 + 1 + 3] = 0xFF; // offset + size wrap past 32 bits
    far[32 + 4 + 5 + 3] = 0xFF;
    EXPECT_EQ(run(far, 2), qv::kErrDspPatchPastEnd);
}

TEST_F(GenPatchTest, RefusalMessagesNameTheFile) {
    for (int code : {qv::kErrDspDescriptorPastEnd, qv::kErrDspDescriptorShort, qv::kErrDspEntryOutside,
                     qv::kErrDspIdMapOutside, qv::kErrDspPatchPastEnd, qv::kErrRecordPastFlash}) {
        const char *fmt = qv::refusalFormat(code);
        ASSERT_NE(fmt, nullptr) << code;
        EXPECT_NE(qv::strprintf(fmt, "/x/dsp.pat").find("/x/dsp.pat"), std::string::npos) << code;
    }
    EXPECT_EQ(qv::refusalFormat(-141), nullptr);
}

} // namespace
} // namespace cvtest
