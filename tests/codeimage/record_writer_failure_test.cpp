// What each generator makes of a refused record (-53): the stream is ahead of
// AD_write_addr. Inside a merge AD_write_addr is always in step, so only
// these direct calls reach it.
#include "fixture.h"

#include "codeimage/gen_cus.h"
#include "codeimage/gen_mcp.h"

namespace cvtest {
namespace {

class RecordWriterFailureTest : public CodeImageTest {
protected:
    // An output 0x44 bytes long while AD_write_addr says 0x40.
    qv::File aheadOutput() {
        qv::File out(dir.file("out.bin"), "wb");
        Bytes lead(0x44, 0xAB);
        out.write(lead.data(), lead.size());
        ctx.code.adWriteAddr = 0x40;
        return out;
    }
};

TEST_F(RecordWriterFailureTest, GenCusTurnsItIntoMinus270) {
    std::string path = put("f.cus", makeCusFile("NETS", {Bytes(8, 1)}));
    qv::File out = aheadOutput();
    EXPECT_EQ(qv::gen_cus(ctx.code, path, out), -270);
    EXPECT_EQ(ctx.code.adWriteAddr, 0x40u);
    auto lines = logLines();
    EXPECT_EQ(lines.back(), "fms_adWrite: pos = 0xfffffffc(-4)");
    EXPECT_EQ(lines.size(), 7u);
}

TEST_F(RecordWriterFailureTest, GenMcpLogsAndPassesItOn) {
    qv::FlashInfo fi = useFlash(standardFlash());
    std::string path = put("m.bin", makeMcpFile(40, 20, {{0x2C01, 0x1234, 0xFFFF, 0xBABE, 1}}));
    qv::File mcp(path, "rb");
    qv::File out = aheadOutput();
    EXPECT_EQ(qv::gen_mcp(ctx.code, mcp, out, fi.memPartCount(), fi), -53);
    EXPECT_EQ(logLines().back(), "gen_mcp: fail to write mcp table to CUS");
}

} // namespace
} // namespace cvtest
