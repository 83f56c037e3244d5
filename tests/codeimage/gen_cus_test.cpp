// CUS file container: chunk staging, classification and record idents,
// container headers, malformed payloads and the staging reserve.
#include "fixture.h"

#include "codeimage/gen_cus.h"

namespace cvtest {
namespace {

class GenCusTest : public CodeImageTest {
protected:
    int run(const Bytes &cusFile) {
        ctx.code.adWriteAddr = 0x40;
        qv::File out(dir.file("out.bin"), "wb");
        Bytes lead(0x40, 0xAB);
        out.write(lead.data(), lead.size());
        int r = qv::gen_cus(ctx.code, put("file.cus", cusFile), out);
        out.close();
        Bytes all = qvtest::readFile(dir.file("out.bin"));
        record = Bytes(all.begin() + 0x40, all.end());
        return r;
    }
    Bytes record;
};

const Bytes k5 = {1, 2, 3, 4, 5}, k6 = {6, 7, 8, 9, 10, 11}, k7 = {12, 13, 14, 15, 16, 17, 18};

TEST_F(GenCusTest, SingleChunkRecordIsTheChunkData) {
    Bytes data = randomBytes(13, 4);
    ASSERT_EQ(run(makeCusFile("LCMC", {data})), 0);
    EXPECT_EQ(record, adRecord(32, data, "LCMC"));
    EXPECT_EQ(logLines(), (std::vector<std::string>{
                              "gen_cus: cus_file_type = 0x4c(76)",
                              "gen_cus: cus_chunk_size = 0xd(13)",
                              "gen_cus: cus_data_len = 0xd(13)",
                              "gen_cus: ident = 0x434d434c(1129136972)",
                              "fms_adWrite: AD_write_addr = 0x40(64)",
                              "fms_adWrite: next_rec = 0x60(96)",
                              "fms_adWrite: pos = 0x3(3)",
                          }));
}

TEST_F(GenCusTest, ThreeChunksStageToFifty) {
    ASSERT_EQ(run(makeCusFile("PAGE", {k5, k6, k7})), 0);
    Bytes staged = concat({k5, chunkHeader(6, "PAGE"), k6, chunkHeader(7, "PAGE"), k7});
    ASSERT_EQ(staged.size(), 50u);
    EXPECT_EQ(record, adRecord(21, staged, "PAGE"));
    EXPECT_TRUE(hasRun(logLines(), {"gen_cus: cus_file_type = 0x50(80)", "gen_cus: cus_chunk_size = 0x5(5)",
                                    "gen_cus: cus_data_len = 0x32(50)"}));
}

TEST_F(GenCusTest, SensorFilesUseDsctForChunksAndRecord) {
    ASSERT_EQ(run(makeCusFile("SENS", {k5, k6})), 0);
    EXPECT_EQ(record, adRecord(21, concat({k5, chunkHeader(6, "DSCT"), k6}), "DSCT"));
    EXPECT_TRUE(hasRun(logLines(), {"gen_cus: cus_file_type = 0x5(5)"}));
}

TEST_F(GenCusTest, CustTagHasIdentFFFFFFFF) {
    ASSERT_EQ(run(makeCusFile("CUST", {k5, k6})), 0);
    EXPECT_EQ(record, adRecord(21, concat({k5, chunkHeader(6, "\xFF\xFF\xFF\xFF"), k6}), ""));
    EXPECT_TRUE(hasRun(logLines(), {"gen_cus: cus_file_type = 0x0(0)", "gen_cus: cus_chunk_size = 0x5(5)",
                                    "gen_cus: cus_data_len = 0x1b(27)", "gen_cus: ident = 0xffffffff(-1)"}));
}

TEST_F(GenCusTest, EveryLetterOfTheIdentTable) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"LCMC", "LCMC"}, {"DLMM", "DLMM"}, {"SDLM", "SDLM"}, {"PAGE", "PAGE"}, {"ECUS", "ECUS"},
        {"FCUS", "FCUS"}, {"GCUS", "GCUS"}, {"HCUS", "HCUS"}, {"NETS", "NETS"},
        // Other tags with a listed first letter take the table's ident; chunks keep the tag.
        {"Lxyz", "LCMC"}, {"Nabc", "NETS"}, {"SENT", "SDLM"}};
    for (const auto &[tag, ident] : cases) {
        ASSERT_EQ(run(makeCusFile(tag, {k5, k6})), 0) << tag;
        EXPECT_EQ(record, adRecord(21, concat({k5, chunkHeader(6, tag), k6}), ident)) << tag;
    }
}

TEST_F(GenCusTest, TypesWithoutARowFailAfterTheFourLines) {
    for (const std::string &tag : std::vector<std::string>{"JAVA", "THEM", "Zzzz", std::string("\x02zzz", 4)}) {
        ctx.io.log.open(logPath);
        EXPECT_EQ(run(makeCusFile(tag, {k5})), -264) << tag;
        EXPECT_TRUE(record.empty()) << tag;
        auto lines = logLines();
        ASSERT_EQ(lines.size(), 4u) << tag;
        EXPECT_EQ(lines[3], "gen_cus: ident = 0x0(0)");
    }
    Bytes notWcus = makeCusFile("LCMC", {k5});
    notWcus[0] = 'X';
    ctx.io.log.open(logPath);
    EXPECT_EQ(run(notWcus), -264);
    EXPECT_EQ(logLines().front(), "gen_cus: cus_file_type = 0x3(3)");
}

TEST_F(GenCusTest, ContainerHeaderIsSkippedOnlyWhenTheFileHoldsIt) {
    ASSERT_EQ(run(makeCusFile("ECUS", {k7}, "MSTE")), 0);
    EXPECT_EQ(record, adRecord(k7, "ECUS"));
    ASSERT_EQ(run(makeCusFile("ECUS", {k7}, "MSTM")), 0);
    EXPECT_EQ(record, adRecord(k7, "ECUS"));
    // Shorter than 16 bytes: read from offset 0, where "MSTM" is no "WCUS".
    EXPECT_EQ(run(ascii("MSTMWCUS")), -246);
}

TEST_F(GenCusTest, MalformedPayloadsFailWithoutAnyOutput) {
    Bytes trailing = makeCusFile("LCMC", {k5});
    trailing.push_back(0);
    Bytes pastEnd = makeCusFile("LCMC", {k5});
    pastEnd.pop_back();
    Bytes halfHeader = makeCusFile("LCMC", {k5});
    putStr(halfHeader, "FRED");
    Bytes badTag = makeCusFile("LCMC", {k5, k6});
    badTag[8 + 8 + 5] = 'X';
    for (const Bytes &f : {makeCusFile("LCMC", {}), trailing, pastEnd, halfHeader, badTag, Bytes{}}) {
        EXPECT_EQ(run(f), -246);
        EXPECT_TRUE(record.empty());
    }
    EXPECT_EQ(qv::gen_cus(ctx.code, dir.file("absent.cus"), *std::make_unique<qv::File>()), -246);
    EXPECT_TRUE(logLines().empty());
}

TEST_F(GenCusTest, ZeroLengthLastChunkIsAccepted) {
    ASSERT_EQ(run(makeCusFile("HCUS", {k5, {}})), 0);
    EXPECT_EQ(record, adRecord(21, concat({k5, chunkHeader(0, "HCUS")}), "HCUS"));
}

TEST_F(GenCusTest, MoreChunksThanTheReserveHoldsAreAllStaged) {
    // 9000 empty chunks after the first need 144000 bytes of chunk headers.
    std::vector<Bytes> chunks(9001);
    chunks[0] = k5;
    ASSERT_EQ(run(makeCusFile("GCUS", chunks)), 0);
    ASSERT_EQ(record.size(), 16u + 5 + 3 + 9000 * 16);
    EXPECT_EQ(get32(record, 4), 5u + 9000 * 16);
    EXPECT_EQ(Bytes(record.begin() + 16 + 5 + 9000 * 16 - 16, record.begin() + 16 + 5 + 9000 * 16),
              chunkHeader(0, "GCUS"));
}

} // namespace
} // namespace cvtest
