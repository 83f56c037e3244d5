// Code section copy and its checksum.
#include "fixture.h"

#include "codeimage/gen_code.h"

namespace cvtest {
namespace {

class GenCodeTest : public CodeImageTest {
protected:
    // Runs gen_code on a code file made of a 16-byte header and `section`.
    int run(const Bytes &file, uint32_t &sum) {
        std::string in = put("code.bin", file);
        qv::File src(in, "rb"), dst(dir.file("out.bin"), "wb", &seam);
        int r = qv::gen_code(ctx.io.call, src, dst, sum);
        dst.close();
        return r;
    }
    Bytes output() { return qvtest::readFile(dir.file("out.bin")); }
};

TEST(XorWords, CountZeroReturnsTheSeedAndWordsAreLittleEndian) {
    uint8_t w[8] = {1, 0, 0, 0, 0, 0, 0, 0x80};
    EXPECT_EQ(qv::xor_words(0x1234, w, 0), 0x1234u);
    EXPECT_EQ(qv::xor_words(0, w, 2), 0x80000001u);
    EXPECT_EQ(qv::xor_words(0x80000001u, w, 2), 0u);
}

TEST_F(GenCodeTest, FileOfSixteenBytesOrLessCopiesNothing) {
    for (size_t n : {0u, 7u, 16u}) {
        uint32_t sum = 99;
        EXPECT_EQ(run(Bytes(n, 0x5A), sum), 0) << n;
        EXPECT_EQ(sum, 0u) << n;
        EXPECT_TRUE(output().empty()) << n;
    }
}

TEST_F(GenCodeTest, WordsOneAndTwoGiveThreeAndEqualWordsCancel) {
    uint32_t sum = 0;
    ASSERT_EQ(run(concat({Bytes(16, 0), le32Bytes(1), le32Bytes(2)}), sum), 0);
    EXPECT_EQ(sum, 3u);
    ASSERT_EQ(run(concat({Bytes(16, 0), le32Bytes(0xDEADBEEF), le32Bytes(0xDEADBEEF)}), sum), 0);
    EXPECT_EQ(sum, 0u);
}

TEST_F(GenCodeTest, TrailingBytesAreCopiedButNotSummed) {
    Bytes section{0x11, 0x22, 0x33, 0x44, 0x55};
    uint32_t sum = 0;
    ASSERT_EQ(run(concat({Bytes(16, 0xEE), section}), sum), 0);
    EXPECT_EQ(sum, 0x44332211u);
    EXPECT_EQ(output(), section);
}

TEST_F(GenCodeTest, BlockBoundariesKeepEveryWord) {
    for (size_t n : {size_t(131072), size_t(131072) - 1, size_t(131072) + 1, size_t(3 * 131072 + 6)}) {
        Bytes section = randomBytes(n, uint32_t(n));
        uint32_t sum = 0;
        ASSERT_EQ(run(concat({Bytes(16, 0), section}), sum), 0) << n;
        EXPECT_EQ(sum, xorWords(section)) << n;
        EXPECT_EQ(output(), section) << n;
    }
}

TEST_F(GenCodeTest, SectionLandsWhereTheOutputStandsAndTheOutputGoesOnAfterIt) {
    Bytes section = randomBytes(131072 + 20, 4);
    std::string in = put("code.bin", concat({Bytes(16, 0), section}));
    {
        qv::File src(in, "rb"), dst(dir.file("out.bin"), "wb", &seam);
        ASSERT_EQ(dst.write("HEAD", 4), 4u); // still in the output's buffer
        uint32_t sum = 0;
        ASSERT_EQ(qv::gen_code(ctx.io.call, src, dst, sum), 0);
        EXPECT_EQ(sum, xorWords(section));
        ASSERT_EQ(dst.write("TAIL", 4), 4u);
        ASSERT_TRUE(dst.close());
    }
    EXPECT_EQ(output(), concat({Bytes{'H', 'E', 'A', 'D'}, section, Bytes{'T', 'A', 'I', 'L'}}));
}

TEST_F(GenCodeTest, ShortWriteGivesMinus41) {
    uint32_t sum = 7;
    seam.failAt = 2; // the second block
    EXPECT_EQ(run(concat({Bytes(16, 0), randomBytes(131072 + 10, 3)}), sum), -41);
    EXPECT_EQ(sum, 7u);
}

TEST_F(GenCodeTest, UnpositionableInputGivesMinus34) {
    qv::File closed; // no stream at all
    qv::File dst(dir.file("out.bin"), "wb", &seam);
    uint32_t sum = 5;
    EXPECT_EQ(qv::gen_code(ctx.io.call, closed, dst, sum), -34);
    EXPECT_EQ(sum, 5u);
}

} // namespace
} // namespace cvtest
