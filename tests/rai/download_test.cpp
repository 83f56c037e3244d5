// The download stream: records to items, identifiers of the two file systems,
// the end of a stream, and the first sector that cannot be stored.
#include "rai_fixture.h"

#include "rai/download.h"

using namespace qvtest;
using Lines = std::vector<std::string>;

class RaiDownload : public RaiTest {
protected:
    static constexpr uint32_t kFlash = 0x04000000;
    static constexpr uint32_t kRai = 0x04100000;
    static constexpr uint32_t k64K = 0x10000;

    void SetUp() override {
        RaiTest::SetUp();
        useFlash(uniformFlash(64, kFlash));
        useE2p(0x2000);
        setByte(237, 4);
        ASSERT_EQ(qv::dwl_NorFsProcessInit(ctx.rai, kRai, 17 * k64K), 0);
        Lines log = takeLog();
        EXPECT_EQ(log.front(), "dwl_NorFsProcessInit: Try to launch RAI");
        EXPECT_EQ(log.back(), "dwl_NorFsProcessInit: RAI launched");
    }
    int feed(const Bytes &stream, uint32_t hidden) {
        std::string path = dir_.file("stream" + std::to_string(n_++));
        writeFile(path, stream);
        qv::File f(path, "rb");
        return qv::dwl_NorFsProcessData(ctx.rai, f, hidden);
    }
    std::map<uint32_t, FoundItem> items() { return readItems(savedImage(ctx.rai), kRai, k64K, 17); }
    int n_ = 0;
};

TEST_F(RaiDownload, EmptyStreamStoresNothing) {
    EXPECT_EQ(feed({}, 0), 0);
    EXPECT_TRUE(items().empty());
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(RaiDownload, ShortTailIsIgnored) {
    Bytes stream = records({{3, sectorBytes(3)}});
    Bytes tail = randomBytes(1000 - 516, 9);
    stream.insert(stream.end(), tail.begin(), tail.end());
    EXPECT_EQ(feed(stream, 0), 0);
    auto found = items();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0xCAA00003].data, sectorBytes(3));
}

TEST_F(RaiDownload, IdentifiersOfTheTwoFileSystems) {
    EXPECT_EQ(feed(records({{5, sectorBytes(1)}}), 0), 0);
    EXPECT_EQ(feed(records({{5, sectorBytes(2)}}), 1), 0); // same sector, other file system
    EXPECT_EQ(feed(records({{6, sectorBytes(3)}}), 0x100), 0); // only the low 8 bits count: user
    EXPECT_EQ(feed(records({{7, sectorBytes(4)}}), 0x1FF), 0);
    auto found = items();
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0xCAA00005].data, sectorBytes(1));
    EXPECT_EQ(found[0xCAB00005].data, sectorBytes(2));
    EXPECT_EQ(found.count(0xCAA00006), 1u);
    EXPECT_EQ(found.count(0xCAB00007), 1u);
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(RaiDownload, DuplicateSectorEndsTheStream) {
    Bytes stream = records({{5, sectorBytes(1)}, {6, sectorBytes(2)}, {5, sectorBytes(3)}, {7, sectorBytes(4)}});
    EXPECT_EQ(feed(stream, 0), -53);
    EXPECT_EQ(takeLog(), (Lines{"dev_nor_write_sectors: write 0xcaa00005 failed",
                                "dwl_NorFsProcessData: write nor 0x5 err -5"}));
    auto found = items();
    EXPECT_EQ(found.size(), 2u); // sector 7 was never stored
    EXPECT_EQ(found[0xCAA00005].data, sectorBytes(1));
}

TEST_F(RaiDownload, IdentifierArithmeticWraps) {
    EXPECT_EQ(feed(records({{0x35600001, sectorBytes(1)}}), 0), 0); // 0xCAA00000 + 0x35600001
    EXPECT_EQ(items().count(0x00000001), 1u);
}

TEST_F(RaiDownload, SeveralSectorsAtOnce) {
    Bytes data = concat({sectorBytes(1), sectorBytes(2)});
    EXPECT_EQ(qv::dev_nor_write_sectors(ctx.rai, 10, 2, data.data(), qv::kHiddenFatIdBase), 0);
    EXPECT_EQ(qv::dev_nor_write_sectors(ctx.rai, 11, 1, data.data(), qv::kHiddenFatIdBase), -5);
    EXPECT_EQ(takeLog(), Lines{"dev_nor_write_sectors: write 0xcab0000b failed"});
    auto found = items();
    EXPECT_EQ(found[0xCAB0000A].data, sectorBytes(1));
    EXPECT_EQ(found[0xCAB0000B].data, sectorBytes(2));
}

TEST_F(RaiDownload, LaunchFailureIsReported) {
    EXPECT_EQ(qv::dwl_NorFsProcessInit(ctx.rai, kRai, 0), -25);
    EXPECT_EQ(takeLog(),
              (Lines{"dwl_NorFsProcessInit: Try to launch RAI", "fms_MapLaunchService: Service not available",
                     "dwl_NorFsProcessInit: Launch RAI err 0xfffffff5"}));
}
