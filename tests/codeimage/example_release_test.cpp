// The whole call on the bundled example release, and code image failures as
// the caller sees them: the merge's name in front of the inner message, and
// no later merge run.
#include "fixture.h"

#include "base/bytes.h"
#include "entry/merge_call.h"

#include <filesystem>

namespace cvtest {
namespace {

const std::string kRelease = std::string(QUORVEL_SOURCE_DIR) + "/examples/release/";
constexpr std::time_t k20200101 = 1577836800;

class ExampleReleaseTest : public CodeImageTest {
protected:
    void SetUp() override {
        CodeImageTest::SetUp();
        for (const char *name : {"flash.bin", "e2p_base.bin", "e2p_area.bin", "firmware.bin", "dsp.pat", "mcp.bin",
                                 "logo.cus", "sens.cus"})
            std::filesystem::copy_file(kRelease + name, dir.file(name));
        setMtime(dir.file("firmware.bin"), k20200101);
        flash = qvtest::readFile(dir.file("flash.bin"));
        base = qvtest::readFile(dir.file("e2p_base.bin"));
        area = qvtest::readFile(dir.file("e2p_area.bin"));
        images = {dir.file("firmware.bin")};
        patches = {dir.file("dsp.pat"), dir.file("mcp.bin")};
        cus = {dir.file("logo.cus"), dir.file("sens.cus")};
        for (size_t i = 0; i < 3; ++i) outs[i].imagePath = dir.file(std::string("out") + char('0' + i) + ".img");
    }
    // The whole merge on the test's context, which it reads afterwards.
    int run() {
        const std::vector<std::string> none;
        const std::string logPath = dir.file("call.log");
        const qv::MergeRequest rq{.flashInfo = flash.data(),
                                  .images = images,
                                  .patches = patches,
                                  .cus = cus,
                                  .e2pFiles = none,
                                  .e2pBase = base.data(),
                                  .e2pBaseSize = uint32_t(base.size()),
                                  .e2pArea = area.data(),
                                  .e2pAreaSize = uint32_t(area.size()),
                                  .eraseAll = 0,
                                  .logPath = logPath,
                                  .control = {}};
        return qv::runMerge(ctx, rq, qv::OutputSlots(&outs), qv::MessageSlot(&message));
    }
    Bytes file(const std::string &name) { return qvtest::readFile(dir.file(name)); }

    ScopedTz tz{"UTC0"};
    Bytes flash, base, area;
    std::vector<std::string> images, patches, cus;
    qv::MergeOutputs outs;
    std::string message = "untouched";
};

// Record data of the example's inputs, read from the files themselves.
Bytes patchForVersion2(const Bytes &dsp) {
    uint32_t entry = 32 + 4 + 13; // entry 1 holds chip version 2
    EXPECT_EQ(dsp[entry], 2);
    uint32_t offset = get32(dsp, entry + 1), size = get32(dsp, entry + 5);
    return Bytes(dsp.begin() + 16 + offset, dsp.begin() + 16 + offset + size);
}

Bytes sensStaged(const Bytes &sens) {
    Bytes staged;
    size_t at = 16 + 8;
    for (bool first = true; at < sens.size(); first = false) {
        uint32_t len = get32(sens, at + 4);
        if (!first) staged = concat({staged, chunkHeader(len, "DSCT")});
        staged.insert(staged.end(), sens.begin() + long(at + 8), sens.begin() + long(at + 8 + len));
        at += 8 + len;
    }
    return staged;
}

TEST_F(ExampleReleaseTest, CodeImageWithCusArea) {
    ASSERT_EQ(run(), 0) << message;
    EXPECT_EQ(message, "untouched");
    Bytes fw = file("firmware.bin");
    Bytes section(fw.begin() + 16, fw.end());
    Bytes sd = sizeDate("204816 010120 00:00");
    Bytes mcpFile = file("mcp.bin");
    Bytes table(mcpFile.begin() + 32 + 256, mcpFile.begin() + 32 + 512); // the second table: 0x2C01/0x1234
    Bytes logo = file("logo.cus");
    Bytes sens = sensStaged(file("sens.cus"));
    Bytes expected = concat({section, sd, le32Bytes(xorWords(sd, xorWords(section))), le32Bytes(0x11223344),
                             ascii("CUSF"), le32Bytes(204836 + 4), adRecord(patchForVersion2(file("dsp.pat")), "DSPP"),
                             adRecord(table, "MPRM"), adRecord(Bytes(logo.begin() + 16, logo.end()), "LCMC"),
                             adRecord(120 + 16, sens, "DSCT")});
    EXPECT_EQ(qvtest::readFile(outs[0].imagePath), expected);
    EXPECT_EQ(expected.size(), 210680u);
    EXPECT_EQ(outs[0].imageType, 0x1000023u);
    EXPECT_EQ(outs[0].imageAddress, 0u);
    EXPECT_EQ(outs[0].imageSize, 210680u);
    EXPECT_EQ(ctx.code.raiLowerbound, 0x04040000u);
    auto lines = qvtest::readLines(dir.file("call.log"));
    EXPECT_TRUE(hasRun(lines, {"merge_code_cus: FMS_FLASH_VELMORINE_VERSION_ADDR is updated!",
                               "merge_code_cus: FMS_FLASH_VELMORINE_VERSION_ADDR = 0x10207(66055)",
                               "merge_code_cus: FMS_FLASH_VELMORINE_VERSION_ADDR1 = 0x2000105(33554693)"}));
    EXPECT_TRUE(hasRun(lines, {"merge_code_cus: cus_start = 0x4032024, cus_end=0x40336f8, cus_len=5844",
                               "merge_code_cus: cus_size = 0x2", "merge_code_cus: l__u8_CustoBase=9",
                               "merge_code_cus: l__u8_CustoBase1=c8", "merge_code_cus: l__u8_CustoBase2=0",
                               "merge_code_cus: RAI_lowerbound=4040000", "merge_code_cus: cus_end=40336f8"}));
}

TEST_F(ExampleReleaseTest, FailureCarriesTheMergeNameAndStopsTheCall) {
    images = {dir.file("absent.bin")};
    EXPECT_EQ(run(), -72);
    EXPECT_EQ(message, "merge_code_cus: open " + dir.file("absent.bin") + " failed");
    EXPECT_FALSE(qvtest::fileExists(outs[1].imagePath));
    EXPECT_FALSE(qvtest::fileExists(outs[2].imagePath));
}

TEST_F(ExampleReleaseTest, CusFilesWithoutDspPatchFile) {
    patches = {dir.file("mcp.bin")};
    EXPECT_EQ(run(), -196);
    EXPECT_EQ(message, "merge_code_cus: no DSP patch file given");
}

TEST_F(ExampleReleaseTest, DspPatchForAnotherChipOnly) {
    flash[2] = 0x14; // chip version 4: no such patch
    EXPECT_EQ(run(), -141);
    EXPECT_EQ(message, "merge_code_cus: gen_patch() function error");
    EXPECT_TRUE(hasRun(qvtest::readLines(dir.file("call.log")),
                       {"gen_patch: patch 2 chip ver = 3", "gen_patch: [dsp_parse_header] can't find id 4"}));
}

TEST_F(ExampleReleaseTest, CodeFileAloneThroughTheCall) {
    patches.clear();
    cus.clear();
    ASSERT_EQ(run(), 0) << message;
    Bytes fw = file("firmware.bin");
    EXPECT_EQ(qvtest::readFile(outs[0].imagePath), Bytes(fw.begin() + 16, fw.end()));
    EXPECT_EQ(outs[0].imageSize, 204800u);
    EXPECT_EQ(ctx.code.raiLowerbound, 0u);
}

} // namespace
} // namespace cvtest
