// Address/data records: link words, padding, AD_write_addr and the refusal
// when the stream is ahead of it.
#include "fixture.h"

#include "codeimage/ad_write.h"
#include "base/bytes.h"

namespace cvtest {
namespace {

using qvtest::readFile;

class AdWriteTest : public CodeImageTest {
protected:
    // Opens the output and puts `lead` bytes of 0xAA in front of the record.
    qv::File openOut(size_t lead) {
        qv::File f(outPath(), "wb");
        Bytes pre(lead, 0xAA);
        f.write(pre.data(), pre.size());
        return f;
    }
    std::string outPath() { return dir.file("out.bin"); }
    Bytes written() {
        Bytes all = readFile(outPath());
        return Bytes(all.begin() + long(lead_), all.end());
    }
    size_t lead_ = 0x100;
};

TEST_F(AdWriteTest, FiveBytesAt0x100GetLink24AndThreePads) {
    qv::File out = openOut(lead_);
    qv::fms_adSetWriteAddr(ctx.code, 0x100);
    Bytes data{1, 2, 3, 4, 5};
    ASSERT_EQ(qv::fms_adWrite(ctx.code, data.data(), 5, qv::fourcc("DSPP"), 5, out), 0);
    EXPECT_EQ(ctx.code.adWriteAddr, 0x118u);
    out.close();
    EXPECT_EQ(written(), concat({le32Bytes(24), le32Bytes(5), ascii("DSPP"), le32Bytes(0xFFFFFFF0), data,
                                 Bytes{0xFF, 0xFF, 0xFF}}));
    EXPECT_TRUE(hasRun(logLines(), {"fms_adWrite: AD_write_addr = 0x100(256)", "fms_adWrite: next_rec = 0x118(280)",
                                    "fms_adWrite: pos = 0x3(3)"}));
}

TEST_F(AdWriteTest, EightBytesNeedNoPadding) {
    qv::File out = openOut(lead_);
    qv::fms_adSetWriteAddr(ctx.code, 0x100);
    Bytes data = qvtest::randomBytes(8, 1);
    ASSERT_EQ(qv::fms_adWrite(ctx.code, data.data(), 8, qv::fourcc("MPRM"), 8, out), 0);
    out.close();
    EXPECT_EQ(written(), adRecord(24, data, "MPRM"));
    EXPECT_EQ(written().size(), 24u);
    EXPECT_EQ(ctx.code.adWriteAddr, 0x118u);
}

TEST_F(AdWriteTest, EmptyDataIsABareHeaderWithLink16) {
    qv::File out = openOut(lead_);
    qv::fms_adSetWriteAddr(ctx.code, 0x100);
    ASSERT_EQ(qv::fms_adWrite(ctx.code, nullptr, 0, qv::fourcc("MPRM"), 0, out), 0);
    out.close();
    EXPECT_EQ(written(), concat({le32Bytes(16), le32Bytes(0), ascii("MPRM"), le32Bytes(0xFFFFFFF0)}));
    EXPECT_EQ(ctx.code.adWriteAddr, 0x110u);
}

TEST_F(AdWriteTest, MultiChunkLinkReachesTheFirstChunkHeader) {
    qv::File out = openOut(lead_);
    qv::fms_adSetWriteAddr(ctx.code, 0x100);
    Bytes data = qvtest::randomBytes(50, 2);
    ASSERT_EQ(qv::fms_adWrite(ctx.code, data.data(), 50, qv::fourcc("LCMC"), 5, out), 0);
    out.close();
    EXPECT_EQ(written(), adRecord(21, data, "LCMC"));
    EXPECT_EQ(written().size(), 68u); // next_rec = AD_write_addr + 68, two pads
    EXPECT_EQ(ctx.code.adWriteAddr, 0x100u + 68);
}

TEST_F(AdWriteTest, IdentFFFFFFFFIsWrittenAsGiven) {
    qv::File out = openOut(lead_);
    qv::fms_adSetWriteAddr(ctx.code, 0x100);
    Bytes data{9, 9, 9, 9};
    ASSERT_EQ(qv::fms_adWrite(ctx.code, data.data(), 4, 0xFFFFFFFF, 4, out), 0);
    out.close();
    EXPECT_EQ(written(), adRecord(20, data, ""));
}

TEST_F(AdWriteTest, StreamAheadOfWriteAddrIsRefusedWithoutPadding) {
    qv::File out = openOut(lead_ + 4);
    qv::fms_adSetWriteAddr(ctx.code, 0x100);
    Bytes data(8, 0x42);
    EXPECT_EQ(qv::fms_adWrite(ctx.code, data.data(), 8, qv::fourcc("DSPP"), 8, out), -53);
    EXPECT_EQ(ctx.code.adWriteAddr, 0x100u);
    out.close();
    lead_ += 4;
    EXPECT_EQ(written(), concat({le32Bytes(24), le32Bytes(8), ascii("DSPP"), le32Bytes(0xFFFFFFF0), data}));
    EXPECT_TRUE(hasRun(logLines(), {"fms_adWrite: pos = 0xfffffffc(-4)"}));
}

TEST_F(AdWriteTest, StreamBehindWriteAddrIsPaddedUpToTheRecordEnd) {
    qv::File out = openOut(lead_ - 8);
    qv::fms_adSetWriteAddr(ctx.code, 0x100);
    Bytes data{7};
    ASSERT_EQ(qv::fms_adWrite(ctx.code, data.data(), 1, qv::fourcc("DSPP"), 1, out), 0);
    out.close();
    lead_ -= 8;
    EXPECT_EQ(written(), concat({adRecord(20, data, "DSPP"), Bytes(8, 0xFF)}));
    EXPECT_EQ(ctx.code.adWriteAddr, 0x114u);
}

} // namespace
} // namespace cvtest
