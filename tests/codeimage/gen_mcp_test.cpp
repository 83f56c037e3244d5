// MCP table selection: file order, DIDR masks, magic checks on every table
// read, too few tables, the empty record, and refusals of table sizes and
// DIDR offsets that would read outside a table.
#include "fixture.h"

#include "codeimage/gen_mcp.h"
#include "codeimage/result_codes.h"

namespace cvtest {
namespace {

constexpr uint32_t S = 40, D = 20;
constexpr uint32_t A = 0x2C01, B = 0x2C02, C = 0x2C03;

class GenMcpTest : public CodeImageTest {
protected:
    // Runs gen_mcp for the memory parts `parts` with 8 bytes in the output.
    int run(const Bytes &mcpFile, std::vector<std::pair<uint32_t, uint16_t>> parts) {
        qvtest::FlashInfoSpec flashDesc = standardFlash();
        flashDesc.memParts = std::move(parts);
        qv::FlashInfo fi = useFlash(flashDesc);
        ctx.code.adWriteAddr = 8;
        qv::File mcp(put("mcp.bin", mcpFile), "rb");
        qv::File out(dir.file("out.bin"), "wb");
        out.write("CUSFxxxx", 8);
        int r = qv::gen_mcp(ctx.code, mcp, out, fi.memPartCount(), fi);
        out.close();
        Bytes all = qvtest::readFile(dir.file("out.bin"));
        record = Bytes(all.begin() + 8, all.end());
        return r;
    }
    Bytes table(const McpTable &t) { return makeMcpTable(S, D, t); }
    Bytes record;
};

TEST_F(GenMcpTest, KeptTablesFollowFileOrderNotPartOrder) {
    std::vector<McpTable> tables = {
        {A, 0x34, 0xFF, 0xBABE, 1}, {B, 0x34, 0xFF, 0xBABE, 2}, {C, 0x1230, 0xFFF0, 0xBABE, 3}};
    ASSERT_EQ(run(makeMcpFile(S, D, tables), {{C, 0x1234}, {A, 0x1234}}), 0);
    EXPECT_EQ(record, adRecord(concat({table(tables[0]), table(tables[2])}), "MPRM"));
    EXPECT_EQ(logLines(), (std::vector<std::string>{
                              "gen_mcp: mcp table size = 40, table count = 2, offset_DIDR = 20",
                              "gen_mcp: Found id - 2c01 - in the table",
                              "gen_mcp: Found id - 2c03 - in the table",
                              "fms_adWrite: AD_write_addr = 0x8(8)",
                              "fms_adWrite: next_rec = 0x68(104)",
                              "fms_adWrite: pos = 0x0(0)",
                          }));
}

TEST_F(GenMcpTest, DidrValueMustEqualTheMaskedDidr) {
    std::vector<McpTable> tables = {{A, 0x1235, 0xFFFF, 0xBABE, 1}, {A, 0x0004, 0x000F, 0xBABE, 2}};
    ASSERT_EQ(run(makeMcpFile(S, D, tables), {{A, 0x1234}}), 0);
    EXPECT_EQ(record, adRecord(table(tables[1]), "MPRM"));
}

TEST_F(GenMcpTest, MaskZeroAndValueZeroMatchAnyDidr) {
    std::vector<McpTable> tables = {{B, 0, 0, 0xBABE, 1}};
    ASSERT_EQ(run(makeMcpFile(S, D, tables), {{B, 0xFFFF}}), 0);
    EXPECT_EQ(record, adRecord(table(tables[0]), "MPRM"));
}

TEST_F(GenMcpTest, TableMatchingTwoPartsIsKeptOnceAndTwoTablesForOnePartBothCount) {
    std::vector<McpTable> tables = {{A, 0x1234, 0xFFFF, 0xBABE, 1}, {A, 0x1234, 0xFFFF, 0xBABE, 2}};
    ASSERT_EQ(run(makeMcpFile(S, D, tables), {{A, 0x1234}, {A, 0x1234}}), 0);
    EXPECT_EQ(record, adRecord(concat({table(tables[0]), table(tables[1])}), "MPRM"));
    auto lines = logLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "gen_mcp: Found id - 2c01 - in the table"), 2);
}

TEST_F(GenMcpTest, BadMagicInAnyTableReadFails) {
    // The bad table would not have matched, but it is read before the selection completes.
    std::vector<McpTable> tables = {{B, 0, 0, 0x1BABE, 1}, {A, 0x1234, 0xFFFF, 0xBABE, 2}};
    EXPECT_EQ(run(makeMcpFile(S, D, tables), {{A, 0x1234}}), -74);
    EXPECT_TRUE(record.empty());
    EXPECT_TRUE(hasRun(logLines(), {"gen_mcp: wrong magic number:0x1babe"}));
}

TEST_F(GenMcpTest, TablesAfterTheSelectionAreNotRead) {
    std::vector<McpTable> tables = {{A, 0x1234, 0xFFFF, 0xBABE, 1}, {B, 0, 0, 0xCAFE, 2}};
    ASSERT_EQ(run(makeMcpFile(S, D, tables), {{A, 0x1234}}), 0);
    EXPECT_EQ(record, adRecord(table(tables[0]), "MPRM"));
}

TEST_F(GenMcpTest, PartialLastTableEndsTheReading) {
    Bytes f = makeMcpFile(S, D, {{A, 0x1234, 0xFFFF, 0xBABE, 1}, {C, 0x1234, 0xFFFF, 0xBABE, 2}});
    f.pop_back();
    EXPECT_EQ(run(f, {{A, 0x1234}, {C, 0x1234}}), -102);
    EXPECT_TRUE(record.empty());
    auto lines = logLines();
    EXPECT_EQ(lines.back(), "gen_mcp: Fail to find all tables");
}

TEST_F(GenMcpTest, NoMemoryPartsGiveAnEmptyRecord) {
    ASSERT_EQ(run(makeMcpFile(S, D, {{A, 0, 0, 0xBADD, 1}}), {}), 0);
    EXPECT_EQ(record, concat({le32Bytes(16), le32Bytes(0), ascii("MPRM"), le32Bytes(0xFFFFFFF0)}));
    EXPECT_EQ(logLines().front(), "gen_mcp: mcp table size = 40, table count = 0, offset_DIDR = 20");
}

TEST_F(GenMcpTest, MissingSizesFail) {
    Bytes f = makeMcpFile(S, D, {});
    EXPECT_EQ(run(Bytes(f.begin(), f.begin() + 19), {{A, 1}}), -39);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"gen_mcp: Fail to read table size"}));
    ctx.io.log.open(logPath);
    EXPECT_EQ(run(Bytes(f.begin(), f.begin() + 23), {{A, 1}}), -46);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"gen_mcp: Fail to read DIDR offset"}));
}

TEST_F(GenMcpTest, TableSizeOrDidrOffsetOutsideATableIsRefused) {
    Bytes small = makeMcpFile(7, 0, {});
    small.resize(small.size() + 64, 0xBE);
    EXPECT_EQ(run(small, {{A, 1}}), qv::kErrMcpTableSize);
    EXPECT_EQ(run(makeMcpFile(S, S - 3, {}), {{A, 1}}), qv::kErrMcpDidrOffset);
    Bytes wrap = makeMcpFile(S, 0xFFFFFFFE, {});
    EXPECT_EQ(run(wrap, {{A, 1}}), qv::kErrMcpDidrOffset);
    EXPECT_TRUE(record.empty());
    // The last DIDR pair that fits is accepted.
    std::vector<McpTable> edge = {{A, 0x1234, 0xFFFF, 0xBABE, 1}};
    EXPECT_EQ(run(makeMcpFile(S, S - 4, edge), {{A, 0x1234}}), 0);
    EXPECT_EQ(record, adRecord(makeMcpTable(S, S - 4, edge[0]), "MPRM"));
}

TEST_F(GenMcpTest, TablesTooLargeForOneRecordAreRefused) {
    EXPECT_EQ(run(makeMcpFile(0x80000000u, D, {}), {{A, 1}, {B, 2}}), qv::kErrMcpTooLarge);
}

TEST_F(GenMcpTest, HugeTableSizeInAShortFileAllocatesNothingAndFindsTooFewTables) {
    // A table size of about 1.7 GB in a file of a few bytes: the reading ends
    // at once, as it would after a short read, without a buffer of that size.
    EXPECT_EQ(run(makeMcpFile(0x67AC0000u, D, {}), {{A, 1}, {B, 2}}), -102);
    EXPECT_EQ(logLines().back(), "gen_mcp: Fail to find all tables");
}

TEST_F(GenMcpTest, BadSizesPassWhenNoTableIsRead) {
    ASSERT_EQ(run(makeMcpFile(0, 0x100, {}), {}), 0);
    EXPECT_EQ(record.size(), 16u);
}

} // namespace
} // namespace cvtest
