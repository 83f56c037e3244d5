// Sorting of the host's file lists by extension, compressed header and kind byte.
#include "support/support.h"

#include "input/inputs.h"
#include "support/context.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qvtest;

TEST(FileExt, TextAfterTheLastDotAnywhereInThePath) {
    EXPECT_EQ(get_file_ext("a.b.wpb"), "wpb");
    EXPECT_EQ(get_file_ext("IMAGE.WPB"), "WPB");
    EXPECT_EQ(get_file_ext("D:\\build.old\\image"), "old\\image");
    EXPECT_EQ(get_file_ext("noext"), "noext");
    EXPECT_EQ(get_file_ext("trailing."), "");
}

TEST(KindByte, OffsetNineOrNone) {
    TempDir dir;
    writeFile(dir.file("short"), Bytes(9, 6));
    writeFile(dir.file("ten"), Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE7});
    File shortFile(dir.file("short"), "rb"), ten(dir.file("ten"), "rb");
    EXPECT_EQ(file_kind_byte(shortFile), -1);
    EXPECT_EQ(file_kind_byte(ten), 0xE7);
}

TEST(WpbHeader, MagicTypeCodeAndPosition) {
    TempDir dir;
    writeFile(dir.file("x.wpb"), makeWpb(Bytes{1, 2, 3}, kWpbTypeRai));
    File f(dir.file("x.wpb"), "rb");
    uint32_t type = 0;
    ASSERT_TRUE(wpb_read_header(f, &type));
    EXPECT_EQ(type, kWpbTypeRai);
    EXPECT_EQ(f.tell(), 144);

    // The magic alone, file cut before offset 48: a match with no RAI type code.
    Bytes cut(18, 0);
    cut[16] = 0x57, cut[17] = 0x5A;
    writeFile(dir.file("cut.wpb"), cut);
    type = kWpbTypeRai;
    EXPECT_TRUE(is_wpb_file(dir.file("cut.wpb"), &type));
    EXPECT_NE(type, kWpbTypeRai);
    writeFile(dir.file("short.wpb"), Bytes(17, 0x57));
    EXPECT_FALSE(is_wpb_file(dir.file("short.wpb")));
    // Case matters, and a missing file is not compressed.
    writeFile(dir.file("y.WPB"), makeWpb(Bytes{1}, 0));
    EXPECT_FALSE(is_wpb_file(dir.file("y.WPB")));
    EXPECT_FALSE(is_wpb_file(dir.file("missing.wpb")));
}

TEST(KindTests, ExtensionAndKindByteTogether) {
    TempDir dir;
    writeFile(dir.file("u.fat"), withHeader(22, {}));
    writeFile(dir.file("h.fat"), withHeader(23, {}));
    writeFile(dir.file("k21.fat"), withHeader(21, {}));
    writeFile(dir.file("d.pat"), withHeader(6, {}));
    writeFile(dir.file("m.pat"), withHeader(25, {}));
    writeFile(dir.file("m.anything"), withHeader(25, {}));
    EXPECT_TRUE(is_fat_file(dir.file("u.fat")));
    EXPECT_TRUE(is_fat_file(dir.file("h.fat")));
    EXPECT_FALSE(is_fat_file(dir.file("k21.fat")));
    EXPECT_TRUE(is_dsp_patch_file(dir.file("d.pat")));
    EXPECT_FALSE(is_dsp_patch_file(dir.file("m.pat")));
    EXPECT_TRUE(is_mcp_file(dir.file("m.pat")));
    EXPECT_TRUE(is_mcp_file(dir.file("m.anything")));
    EXPECT_FALSE(is_mcp_file(dir.file("missing")));
}

namespace {

class Sorting : public ::testing::Test, protected qvtest::TestContext {
protected:
    void SetUp() override {
        qvtest::resetContext(ctx);
        ASSERT_TRUE(ctx.io.log.open(dir.file("log.txt")));
    }
    std::vector<std::string> log() {
        ctx.io.log.close();
        return readLines(dir.file("log.txt"));
    }
    TempDir dir;
};

} // namespace

TEST_F(Sorting, ImageFilesSplitIntoCodeAndRaiInListOrder) {
    std::string rawRai = dir.file("r.wpb"), rawCode = dir.file("c.wpb"), fat = dir.file("u.fat"),
                bad = dir.file("k21.fat"), missing = dir.file("missing.bin");
    writeFile(rawRai, makeWpb(Bytes{1}, kWpbTypeRai));
    writeFile(rawCode, makeWpb(Bytes{1}, 0x1000023));
    writeFile(fat, withHeader(22, {}));
    writeFile(bad, withHeader(21, {}));
    SortedInputs in;
    sortInputs(ctx.io.log, {rawCode, rawRai, fat, bad, missing}, {}, in);
    EXPECT_EQ(in.codeFiles, (std::vector<std::string>{rawCode, bad, missing}));
    EXPECT_EQ(in.raiFiles, (std::vector<std::string>{rawRai, fat}));
    EXPECT_EQ(log(), (std::vector<std::string>{
                         "quorvel: got code, file name = " + rawCode, "quorvel: got rai, file name = " + rawRai,
                         "quorvel: got rai, file name = " + fat, "quorvel: got code, file name = " + bad,
                         "quorvel: got code, file name = " + missing}));
}

TEST_F(Sorting, PatchFilesSplitIntoDspAndTheLastMcp) {
    std::string dsp = dir.file("d.pat"), mcp1 = dir.file("m1.pat"), mcp2 = dir.file("m2.bin"),
                other = dir.file("o.pat");
    writeFile(dsp, withHeader(6, {}));
    writeFile(mcp1, withHeader(25, {}));
    writeFile(mcp2, withHeader(25, {}));
    writeFile(other, withHeader(7, {}));
    SortedInputs in;
    sortInputs(ctx.io.log, {}, {mcp1, other, dsp, mcp2, dir.file("missing.pat")}, in);
    EXPECT_EQ(in.dspFiles, std::vector<std::string>{dsp});
    EXPECT_EQ(in.mcpPath, mcp2);
    EXPECT_EQ(log(), (std::vector<std::string>{"quorvel: got mcp, file name = " + mcp1,
                                               "quorvel: got dsp, file name = " + dsp,
                                               "quorvel: got mcp, file name = " + mcp2}));
}
