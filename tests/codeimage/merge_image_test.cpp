// Whole code images, byte for byte: code section alone, with a CUS area on a
// flat and on an interleaved flash, compressed code files, CUS-only images,
// and the end markers.
#include "merge_fixture.h"

#include "base/bytes.h"

namespace cvtest {
namespace {

std::vector<qv::PendingParam> pendingList(const qv::MergeContext &ctx) {
    return std::vector<qv::PendingParam>(ctx.e2p.pending.begin(), ctx.e2p.pending.end());
}

TEST_F(MergeCodeTest, NothingToDoCreatesNothing) {
    makeRelease(randomBytes(5000, 1));
    ASSERT_EQ(merge({}, {}), 0);
    EXPECT_FALSE(qvtest::fileExists(out.imagePath));
    EXPECT_EQ(out.imageType, 0xAAAAu);
    EXPECT_EQ(out.imageAddress, 0xBBBBu);
    EXPECT_EQ(out.imageSize, 0xCCCCu);
    EXPECT_TRUE(ctx.e2p.pending.empty());
    EXPECT_EQ(ctx.code.raiLowerbound, 0u);
}

TEST_F(MergeCodeTest, CodeFileAloneIsTheCodeSection) {
    makeRelease(randomBytes(300000, 2));
    ASSERT_EQ(merge({code, dir.file("ignored.bin")}, {}), 0) << msg;
    EXPECT_EQ(image(), section);
    EXPECT_EQ(out.imageType, kType);
    EXPECT_EQ(out.imageAddress, 0u);
    EXPECT_EQ(out.imageSize, 300000u);
    EXPECT_TRUE(ctx.e2p.pending.empty());
    EXPECT_EQ(ctx.code.raiLowerbound, 0u);
    EXPECT_EQ(ctx.flash.versionAddr, 0x00040506u);
    EXPECT_EQ(ctx.flash.versionAddr1, 0x02000000u);
    EXPECT_EQ(mergeLines(), (std::vector<std::string>{
                                "merge_code_cus: FMS_FLASH_VELMORINE_VERSION_ADDR is updated!",
                                "merge_code_cus: FMS_FLASH_VELMORINE_VERSION_ADDR = 0x40506(263430)",
                                "merge_code_cus: FMS_FLASH_VELMORINE_VERSION_ADDR1 = 0x2000000(33554432)",
                            }));
}

TEST_F(MergeCodeTest, FlatFlashWithCusFiles) {
    makeRelease(randomBytes(6003, 3)); // C not a multiple of 4: the last 3 bytes stay out of the checksum
    ASSERT_EQ(mergeAll(), 0) << msg;
    const uint32_t C = 6003, cusPos = C + 36;
    Bytes expected = concat({section, expectedClose(section, 0x11223344), expectedArea(cusPos)});
    EXPECT_EQ(image(), expected);
    EXPECT_EQ(get32(image(), C + 36), qv::fourcc("CUSF"));
    EXPECT_EQ(get32(image(), C + 40), C + 40);
    EXPECT_EQ(out.imageType, kType);
    EXPECT_EQ(out.imageAddress, 0u);
    EXPECT_EQ(out.imageSize, uint32_t(expected.size()));

    const uint32_t cusStart = kBase + cusPos, cusEnd = kBase + uint32_t(expected.size());
    const uint32_t cusLen = cusEnd - cusStart;
    EXPECT_EQ(mergeLines(), (std::vector<std::string>{
                                "merge_code_cus: FMS_FLASH_VELMORINE_VERSION_ADDR is updated!",
                                "merge_code_cus: FMS_FLASH_VELMORINE_VERSION_ADDR = 0x40506(263430)",
                                "merge_code_cus: FMS_FLASH_VELMORINE_VERSION_ADDR1 = 0x2000000(33554432)",
                                qv::strprintf("merge_code_cus: cus_start = 0x%x, cus_end=0x%x, cus_len=%d", cusStart,
                                              cusEnd, cusLen),
                                "merge_code_cus: cus_size = 0x1",
                                qv::strprintf("merge_code_cus: l__u8_CustoBase=%x", (cusStart >> 2) & 0xFF),
                                qv::strprintf("merge_code_cus: l__u8_CustoBase1=%x", (cusStart >> 10) & 0xFF),
                                qv::strprintf("merge_code_cus: l__u8_CustoBase2=%x", (cusStart >> 18) & 0xFF),
                                "merge_code_cus: RAI_lowerbound=4010000",
                                qv::strprintf("merge_code_cus: cus_end=%x", cusEnd),
                            }));
    auto p = pendingList(ctx);
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].paramAddr, 255u);
    EXPECT_EQ(p[0].paramLen, 1);
    EXPECT_EQ(p[0].paramValue, (cusStart >> 18) & 0xFF);
    EXPECT_EQ(p[1].paramAddr, 223u);
    EXPECT_EQ(p[1].paramValue, (cusStart >> 10) & 0xFF);
    EXPECT_EQ(p[2].paramAddr, 249u);
    EXPECT_EQ(p[2].paramValue, (cusStart >> 2) & 0xFF);
    EXPECT_EQ(p[3].paramAddr, 247u);
    EXPECT_EQ(p[3].paramLen, 2);
    EXPECT_EQ(p[3].paramValue, 1u);
    EXPECT_EQ(ctx.code.raiLowerbound, 0x04010000u);
}

TEST_F(MergeCodeTest, LogOrderOfAWholeMerge) {
    makeRelease(randomBytes(5000, 4));
    ASSERT_EQ(mergeAll(), 0) << msg;
    std::vector<std::string> names;
    for (const std::string &l : logLines()) {
        std::string name = l.substr(0, l.find(':'));
        if (names.empty() || names.back() != name) names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"merge_code_cus", "gen_patch", "fms_adWrite", "gen_mcp", "fms_adWrite",
                                               "gen_cus", "fms_adWrite", "gen_cus", "fms_adWrite", "merge_code_cus"}));
}

TEST_F(MergeCodeTest, InterleavedFlashAlignsTheAreaAndClosesItOn4K) {
    fi = useFlash(standardFlash(true));
    makeRelease(randomBytes(6003, 5));
    ASSERT_EQ(mergeAll(), 0) << msg;
    const uint32_t C = 6003, cusPos = 6144; // C + 36 = 6039 filled up to 6 × 1024
    Bytes area = expectedArea(cusPos);
    uint32_t cusLen = uint32_t(area.size());
    Bytes expected = concat({section, expectedClose(section, 0x11223344), Bytes(cusPos - C - 36, 0xFF), area,
                             Bytes(4096 - (cusLen + 4) % 4096, 0xFF), ascii("MCUS")});
    EXPECT_EQ(image(), expected);
    EXPECT_EQ((expected.size() - cusPos) % 4096, 0u);
    EXPECT_EQ(out.imageAddress, 0u);
    EXPECT_EQ(out.imageSize, cusPos + cusLen); // without the closing fill and "MCUS"
    EXPECT_EQ(ctx.code.raiLowerbound, 0x04010000u);
}

TEST_F(MergeCodeTest, InterleavedSectionEndingOn1KNeedsNoAlignmentFill) {
    fi = useFlash(standardFlash(true));
    makeRelease(randomBytes(1024 * 5 - 36, 6));
    ASSERT_EQ(mergeAll(), 0) << msg;
    EXPECT_EQ(get32(image(), 5120), qv::fourcc("CUSF"));
    EXPECT_EQ(get32(image(), 5124), 5124u);
}

TEST_F(MergeCodeTest, CompressedCodeFileHasNoRecordAndNoChecksum) {
    Bytes payload = randomBytes(7001, 7);
    auto set32 = [&](size_t o, uint32_t v) {
        for (int i = 0; i < 4; ++i) payload[o + i] = uint8_t(v >> (8 * i));
    };
    set32(0x1094 - 16, 0x04000001); // version words sit 16 bytes earlier in the payload
    set32(0x10A0 - 16, 0x00777777);
    makeRelease(randomBytes(5000, 8));
    std::string wpb = put("firmware.wpb", qvtest::makeWpb(payload, 0x1000023));
    ASSERT_EQ(merge({wpb}, cus), 0) << msg;
    EXPECT_EQ(ctx.flash.versionAddr1, 0x04000001u);
    EXPECT_EQ(ctx.flash.versionAddr, 0x00777777u);
    // Trace version 4 with options bit 0: the newer marker.
    EXPECT_EQ(image(), concat({payload, le32Bytes(0x11223355), expectedArea(7001 + 4)}));
    EXPECT_FALSE(qvtest::fileExists(dir.file("code.tmp")));
}

TEST_F(MergeCodeTest, CompressedCodeFileAloneIsTheExpandedContent) {
    Bytes payload = randomBytes(400000, 9);
    makeRelease(randomBytes(10, 1));
    std::string wpb = put("firmware.wpb", qvtest::makeWpb(payload, 0x1000023));
    ASSERT_EQ(merge({wpb}, {}), 0) << msg;
    EXPECT_EQ(image(), payload);
    EXPECT_EQ(out.imageSize, 400000u);
    EXPECT_FALSE(qvtest::fileExists(dir.file("code.tmp")));
}

TEST_F(MergeCodeTest, MarkerFollowsTraceVersionAndOptionsBit) {
    struct Case {
        uint32_t versionAddr1;
        uint16_t options;
        uint32_t marker;
    };
    for (Case c : {Case{0x04000000, 1, 0x11223355}, Case{0xFF123456, 3, 0x11223355}, Case{0x03FFFFFF, 1, 0x11223344},
                   Case{0x04000000, 2, 0x11223344}}) {
        qvtest::FlashInfoSpec flashDesc = standardFlash();
        flashDesc.options = c.options;
        fi = useFlash(flashDesc);
        makeRelease(randomBytes(4400, c.versionAddr1), c.versionAddr1);
        ASSERT_EQ(mergeAll(), 0) << msg;
        EXPECT_EQ(get32(image(), 4400 + 32), c.marker) << std::hex << c.versionAddr1;
    }
}

TEST_F(MergeCodeTest, CusOnlyFlatStartsAtCusOffset) {
    qvtest::FlashInfoSpec flashDesc = standardFlash();
    flashDesc.cusOffset = 1000;
    flashDesc.versionAddr1 = 0x05000000;
    fi = useFlash(flashDesc);
    makeRelease(randomBytes(10, 1));
    ASSERT_EQ(merge({}, cus), 0) << msg;
    Bytes area = expectedArea(1000);
    EXPECT_EQ(image(), area);
    EXPECT_EQ(get32(area, 4), 1004u);
    EXPECT_EQ(out.imageAddress, 1000u);
    EXPECT_EQ(out.imageSize, uint32_t(area.size()));
    EXPECT_EQ(ctx.flash.versionAddr1, 0x05000000u); // untouched, and no marker written
    EXPECT_TRUE(hasRun(mergeLines(), {qv::strprintf("merge_code_cus: cus_start = 0x%x, cus_end=0x%x, cus_len=%d",
                                                    kBase + 1000, kBase + 1000 + uint32_t(area.size()),
                                                    int(area.size()))}));
}

TEST_F(MergeCodeTest, CusOnlyInterleavedRoundsCusOffsetUpTo1K) {
    qvtest::FlashInfoSpec flashDesc = standardFlash(true);
    flashDesc.cusOffset = 1000;
    fi = useFlash(flashDesc);
    makeRelease(randomBytes(10, 1));
    ASSERT_EQ(merge({}, cus), 0) << msg;
    Bytes area = expectedArea(1024);
    uint32_t len = uint32_t(area.size());
    EXPECT_EQ(image(), concat({area, Bytes(4096 - (len + 4) % 4096, 0xFF), ascii("MCUS")}));
    EXPECT_EQ(get32(image(), 4), 1028u);
    EXPECT_EQ(out.imageAddress, 1024u);
    EXPECT_EQ(out.imageSize, len);
    uint32_t cusStart = kBase + 1024;
    auto p = pendingList(ctx);
    EXPECT_EQ(p[2].paramValue, (cusStart >> 2) & 0xFF);
    EXPECT_EQ(p[1].paramValue, (cusStart >> 10) & 0xFF);
    EXPECT_EQ(p[0].paramValue, (cusStart >> 18) & 0xFF);
}

TEST_F(MergeCodeTest, InterleavedAreaOfExactly4KMinusFourHasNoClosingFill) {
    qvtest::FlashInfoSpec flashDesc = standardFlash(true);
    flashDesc.cusOffset = 0x2000;
    fi = useFlash(flashDesc);
    makeRelease(randomBytes(10, 1));
    // 8 ("CUSF" and word) + 24 (DSPP) + 16 + 4044 (one chunk) = 4092 = 4096 - 4.
    Bytes big = randomBytes(4044, 15);
    std::string one = put("big.cus", makeCusFile("FCUS", {big}));
    mcpPath.clear();
    ASSERT_EQ(merge({}, {one}), 0) << msg;
    Bytes expected = concat({ascii("CUSF"), le32Bytes(0x2004), adRecord(patch2, "DSPP"), adRecord(big, "FCUS")});
    EXPECT_EQ(expected.size(), 4092u);
    EXPECT_EQ(image(), expected);
    EXPECT_EQ(out.imageSize, 4092u);
    EXPECT_EQ(pendingList(ctx)[3].paramValue, 1u); // cus_size
}

TEST_F(MergeCodeTest, CusSizeCountsStarted4KBlocks) {
    makeRelease(randomBytes(10, 1));
    mcpPath.clear();
    Bytes big = randomBytes(4100, 16);
    ASSERT_EQ(merge({}, {put("big.cus", makeCusFile("FCUS", {big}))}), 0) << msg;
    // 8 + 24 + 16 + 4100 = 4148 bytes: two blocks.
    EXPECT_EQ(pendingList(ctx)[3].paramValue, 2u);
    EXPECT_TRUE(hasRun(mergeLines(), {"merge_code_cus: cus_size = 0x2"}));
}

TEST_F(MergeCodeTest, CusBaseBytesOfWordAddress0x400) {
    qvtest::FlashInfoSpec flashDesc = standardFlash();
    flashDesc.baseAddress = 0;
    flashDesc.cusOffset = 0x1000;
    fi = useFlash(flashDesc);
    makeRelease(randomBytes(10, 1));
    ASSERT_EQ(merge({}, cus), 0) << msg;
    EXPECT_TRUE(hasRun(mergeLines(), {"merge_code_cus: l__u8_CustoBase=0", "merge_code_cus: l__u8_CustoBase1=4",
                                      "merge_code_cus: l__u8_CustoBase2=0"}));
}

TEST_F(MergeCodeTest, RaiLowerboundIsMinus7WhenTheAreaEndsPastTheFlash) {
    qvtest::FlashInfoSpec flashDesc = standardFlash();
    flashDesc.cusOffset = 64 * 65536 - 100; // area runs into the last sector
    fi = useFlash(flashDesc);
    makeRelease(randomBytes(10, 1));
    ASSERT_EQ(merge({}, cus), 0) << msg;
    EXPECT_EQ(ctx.code.raiLowerbound, 0xFFFFFFF9u);
    EXPECT_TRUE(hasRun(mergeLines(), {"merge_code_cus: RAI_lowerbound=fffffff9"}));
}

TEST_F(MergeCodeTest, WithoutMcpFileTheRecordIsSkipped) {
    makeRelease(randomBytes(10, 1));
    mcpPath.clear();
    ASSERT_EQ(merge({}, {cus[0]}), 0) << msg;
    EXPECT_EQ(image(),
              concat({ascii("CUSF"), le32Bytes(0x10004), adRecord(patch2, "DSPP"), adRecord(logoData, "LCMC")}));
}

TEST_F(MergeCodeTest, OnlyTheLowFourBitsOfTheChipIdPickThePatch) {
    qvtest::FlashInfoSpec flashDesc = standardFlash();
    flashDesc.chipId = 0x0123;
    fi = useFlash(flashDesc);
    makeRelease(randomBytes(10, 1));
    ASSERT_EQ(merge({}, {cus[0]}), 0) << msg;
    Bytes img = image();
    EXPECT_EQ(Bytes(img.begin() + 8, img.begin() + 8 + 20), adRecord(Bytes{0x30}, "DSPP"));
    EXPECT_TRUE(hasRun(logLines(), {"gen_patch: found id 3 at patch 2"}));
}

TEST_F(MergeCodeTest, OnlyTheFirstDspFileIsRead) {
    makeRelease(randomBytes(10, 1));
    dspFiles = {dsp, dir.file("absent.pat")};
    ASSERT_EQ(merge({}, cus), 0) << msg;
}

TEST_F(MergeCodeTest, ShortCodeFileKeepsTheVersionBytesItLacks) {
    qvtest::FlashInfoSpec flashDesc = standardFlash();
    flashDesc.versionAddr = 0x11111111;
    flashDesc.versionAddr1 = 0x22222222;
    fi = useFlash(flashDesc);
    Bytes file = randomBytes(0x1096, 17); // ends two bytes into versionAddr1
    file[0x1094] = 0xAB;
    file[0x1095] = 0xCD;
    std::string path = put("short.bin", file);
    ASSERT_EQ(merge({path}, {}), 0) << msg;
    EXPECT_EQ(ctx.flash.versionAddr1, 0x2222CDABu);
    EXPECT_EQ(ctx.flash.versionAddr, 0x11111111u);
    EXPECT_EQ(image(), Bytes(file.begin() + 16, file.end()));
}

TEST_F(MergeCodeTest, ShortCompressedCodeFileKeepsTheVersionBytesItLacks) {
    qvtest::FlashInfoSpec flashDesc = standardFlash();
    flashDesc.versionAddr = 0x11111111;
    flashDesc.versionAddr1 = 0x22222222;
    fi = useFlash(flashDesc);
    Bytes payload = randomBytes(0x1096 - 16, 18); // its expanded form ends two bytes into versionAddr1
    payload[0x1094 - 16] = 0xAB;
    payload[0x1095 - 16] = 0xCD;
    std::string wpb = put("short.wpb", qvtest::makeWpb(payload, 0x1000023));
    ASSERT_EQ(merge({wpb}, {}), 0) << msg;
    EXPECT_EQ(ctx.flash.versionAddr1, 0x2222CDABu);
    EXPECT_EQ(ctx.flash.versionAddr, 0x11111111u);
    EXPECT_EQ(image(), payload);
}

TEST_F(MergeCodeTest, AFileNamedCodeTmpNextToTheImageIsReplacedAndRemoved) {
    makeRelease(randomBytes(10, 1));
    qvtest::writeFile(dir.file("code.tmp"), randomBytes(1000, 3));
    Bytes payload = randomBytes(5000, 4);
    ASSERT_EQ(merge({put("firmware.wpb", qvtest::makeWpb(payload, 0x1000023))}, {}), 0) << msg;
    EXPECT_EQ(image(), payload);
    EXPECT_FALSE(qvtest::fileExists(dir.file("code.tmp")));
}

} // namespace
} // namespace cvtest
