// The download stream read in large blocks: records that run from one block
// into the next, a tail shorter than a record, and a failure in a later block.
#include "rai_fixture.h"

#include "rai/download.h"

using namespace qvtest;

class DownloadBlocks : public RaiTest {
protected:
    void SetUp() override {
        RaiTest::SetUp();
        useFlash(uniformFlash(64, 0x04000000));
        useE2p(0x2000);
        setByte(237, 8); // 2048 hash elements
        ASSERT_EQ(qv::dwl_NorFsProcessInit(ctx.rai, 0x04100000, 17 * 0x10000), 0);
        takeLog();
    }
    int feed(const Bytes &stream) {
        std::string path = dir_.file("stream");
        writeFile(path, stream);
        qv::File f(path, "rb");
        return qv::dwl_NorFsProcessData(ctx.rai, f, 0);
    }
    std::map<uint32_t, FoundItem> items() { return readItems(savedImage(ctx.rai), 0x04100000, 0x10000, 17); }
};

TEST_F(DownloadBlocks, RecordsAcrossBlocksAndATail) {
    // 1400 records fill 2.75 read blocks: records 508 and 1016 run across.
    std::vector<std::pair<uint32_t, Bytes>> sectors;
    for (uint32_t n = 0; n < 1400; ++n) sectors.emplace_back(n, randomBytes(512, 7000 + n));
    Bytes stream = records(sectors);
    stream.resize(stream.size() + 300, 0x5A); // a tail shorter than a record
    EXPECT_EQ(feed(stream), 0);
    auto found = items();
    ASSERT_EQ(found.size(), 1400u);
    for (uint32_t n = 0; n < 1400; ++n) ASSERT_EQ(found[0xCAA00000 + n].data, sectors[n].second) << n;
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(DownloadBlocks, AFailureInALaterBlockStopsThere) {
    std::vector<std::pair<uint32_t, Bytes>> sectors;
    for (uint32_t n = 0; n < 1400; ++n) sectors.emplace_back(n == 1016 ? 3 : n, sectorBytes(n));
    EXPECT_EQ(feed(records(sectors)), -53);
    EXPECT_EQ(takeLog(), (std::vector<std::string>{"dev_nor_write_sectors: write 0xcaa00003 failed",
                                                   "dwl_NorFsProcessData: write nor 0x3 err -5"}));
    EXPECT_EQ(items().size(), 1016u);
}
