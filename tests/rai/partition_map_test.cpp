// The partition map: E2P partition, trace area and RAI area from the top of
// the flash, with the full log of the usual case.
#include "rai_fixture.h"

#include "rai/partition_map.h"

using namespace qvtest;
using Lines = std::vector<std::string>;

namespace {

constexpr uint32_t kUntouched = 0xAAAAAAAA;
constexpr uint32_t kBase = 0x04000000;
constexpr uint32_t k64K = 0x10000;

struct MapResult {
    int r = 0;
    uint32_t base = kUntouched, length = kUntouched;
};

bool hasLine(const Lines &lines, const std::string &line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

class PartitionMap : public RaiTest {
protected:
    MapResult map() {
        MapResult m;
        m.r = qv::fms_MapOutMemoryExt(ctx.rai, m.base, m.length);
        return m;
    }
    // 64 KB sectors from 0x04000000, E2P area of 64 KB, usual parameters.
    void usual(uint16_t sectors = 64, uint32_t version = 0) {
        FlashInfoSpec f = uniformFlash(sectors, kBase);
        f.versionAddr1 = version << 24;
        useFlash(f);
        useE2p(k64K);
        setUsualParameters(2, 32, 1);
    }
    uint32_t top(uint16_t sectors = 64) { return kBase + sectors * k64K; }
};

TEST_F(PartitionMap, UniformFlashUsualParametersWholeLog) {
    usual();
    MapResult m = map();
    ASSERT_EQ(m.r, 0);
    EXPECT_EQ(ctx.rai.eepromBase, top() - 3 * k64K);
    EXPECT_EQ(m.length, 17 * k64K);
    EXPECT_EQ(m.base, top() - 4 * k64K - 17 * k64K);
    const std::string p = "fms_MapOutMemoryExt: ";
    Lines expect = {p + "E2P_TRCNUMBEROF32KB=2",
                    p + "E2P_TRCFORMATCHKSUM=98",
                    p + "u8_velmorine_version_trc = 0x0(0)",
                    p + "TraceSize = 0x10000",
                    p + "l__u32_EEpromBase = 43d0000",
                    p + "TraceSecterBase = 43c0000",
                    p + "StAddrBase=43c0000",
                    p + "trace sector num = 1",
                    p + "l__u32_TrcBase=43c0000",
                    p + "[fms_MapOutMemoryExt] trace addr 0x43c0000 length 0x10000",
                    p + "[fms_MapOutMemoryExt] offset 296 E2P_RAISIZEIN32KB = 32, E2P_RAIFORMATCHKSUM = 65503",
                    p + "Cal rai size start",
                    p + " E2P_RAISIZEIN32KB=32",
                    p + "RAI size 100000",
                    p + "RaiSecterBase=42c0000"};
    for (uint32_t a = 0x043B0000; a >= 0x042C0000; a -= k64K)
        expect.push_back(p + qv::strprintf("StAddrBase addr=%x", a));
    for (const char *line : {"RaiSector_number=11", "Cal rai size end",
                             "[fms_MapOutMemoryExt] obj addr 0x42b0000 limit 0x43c0000", "##################",
                             "RAI base =   0x42b0000", "Trace base = 0x43c0000", "E2P base =   0x43d0000",
                             "##################"})
        expect.push_back(p + line);
    EXPECT_EQ(takeLog(), expect);
}

TEST_F(PartitionMap, E2pSectorCountIsKeptInEightBits) {
    FlashInfoSpec f = uniformFlash(1024, kBase);
    useFlash(f);
    const uint32_t topAddr = kBase + 1024 * k64K;
    struct Case {
        uint32_t area, sectors;
    } cases[] = {{0x1000, 3}, {k64K, 3}, {2 * k64K, 6}, {255 * k64K, 765}, {256 * k64K, 3}, {258 * k64K, 6}};
    for (const Case &c : cases) {
        useE2p(c.area);
        setUsualParameters(2, 1, 1);
        ASSERT_EQ(map().r, 0) << c.area;
        EXPECT_EQ(ctx.rai.eepromBase, topAddr - c.sectors * k64K) << "area " << c.area;
    }
}

TEST_F(PartitionMap, TraceDefaultsByVersion) {
    for (uint32_t version : {0u, 1u, 2u, 7u}) {
        usual(64, version);
        setByte(253, 255);
        setByte(254, 0xFF);
        ASSERT_EQ(map().r, 0);
        Lines log = takeLog();
        const char *size = "fms_MapOutMemoryExt: TraceSize = 0x10000"; // 2 x 32 KB, or 8 x 8 KB
        EXPECT_TRUE(hasLine(log, size)) << version;
        EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt: New E2P_TRCNUMBEROF32KB=255"));
        EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt: New E2P_TRCFORMATCHKSUM=255"));
    }
    usual(64, 0);
    setByte(253, 3); // 3 + 98 is not 100
    map();
    EXPECT_TRUE(hasLine(takeLog(), "fms_MapOutMemoryExt: New E2P_TRCNUMBEROF32KB=3"));
}

TEST_F(PartitionMap, TraceInEightKilobyteUnitsFromVersionTwo) {
    FlashInfoSpec f;
    f.sizeIn64KB = 16;
    f.regions = {{12, 256}}; // 4 KB sectors
    f.baseAddress = kBase;
    f.versionAddr1 = 0x02000000;
    useFlash(f);
    useE2p(0x1000);
    setUsualParameters(4, 1, 1); // 4 and 96
    ASSERT_EQ(map().r, 0);
    Lines log = takeLog();
    EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt: TraceSize = 0x8000"));
    EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt: trace sector num = 8"));
    EXPECT_FALSE(hasLine(log, "fms_MapOutMemoryExt: New E2P_TRCNUMBEROF32KB=4"));
    EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt: [fms_MapOutMemoryExt] trace addr 0x40f5000 length 0x8000"));
}

TEST_F(PartitionMap, TraceCountZeroStillTakesOneSector) {
    usual();
    setByte(253, 0);
    setByte(254, 100);
    MapResult m = map();
    ASSERT_EQ(m.r, 0);
    Lines log = takeLog();
    EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt: TraceSize = 0x0"));
    EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt: trace sector num = 1"));
    EXPECT_EQ(m.base + m.length, top() - 4 * k64K);
}

TEST_F(PartitionMap, RaiSizeZeroGivesTwoSectors) {
    usual();
    setWord(296, 0);
    setWord(298, 0xFFFF);
    MapResult m = map();
    ASSERT_EQ(m.r, 0);
    EXPECT_EQ(m.length, 2 * k64K);
    Lines log = takeLog();
    EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt: RaiSector_number=2"));
    EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt: RaiSecterBase=43c0000"));
}

TEST_F(PartitionMap, RaiWordsTakePriorityOverTheFallbackBytes) {
    usual();
    setWord(296, 4);
    setWord(298, 0xFFFB);
    setByte(235, 10);
    setByte(236, 90);
    EXPECT_EQ(map().length, 3 * k64K); // 4 units: two sectors, and one more
    EXPECT_FALSE(hasLine(
        takeLog(), "fms_MapOutMemoryExt: [fms_MapOutMemoryExt] E2P_OBJNUMBEROF32KB = 10, E2P_OBJFORMATCHKSUM = 90"));

    setWord(298, 0); // the words no longer add up: the bytes decide
    EXPECT_EQ(map().length, 6 * k64K);
    Lines log = takeLog();
    EXPECT_TRUE(
        hasLine(log, "fms_MapOutMemoryExt: [fms_MapOutMemoryExt] E2P_OBJNUMBEROF32KB = 10, E2P_OBJFORMATCHKSUM = 90"));
    EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt:  E2P_RAISIZEIN32KB=10"));

    setByte(236, 91); // nor do the bytes: 32 units
    EXPECT_EQ(map().length, 17 * k64K);
}

TEST_F(PartitionMap, UnreadableRaiWordsCountAsNotAddingUp) {
    usual();
    setByte(235, 4);
    setByte(236, 96);
    setWord(296, 0xFFFF);
    setWord(298, 0x1234);
    ctx.e2p.e2pAreaSize = 299; // the word at 296 reads, the one at 298 does not
    EXPECT_EQ(map().length, 3 * k64K);
    Lines log = takeLog();
    EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt: [fms_MapOutMemoryExt] offset 296 E2P_RAISIZEIN32KB = 65535, "
                             "E2P_RAIFORMATCHKSUM = 0"));
    ctx.e2p.e2pAreaSize = 250; // neither word reads
    EXPECT_EQ(map().length, 3 * k64K);
    EXPECT_TRUE(hasLine(takeLog(), "fms_MapOutMemoryExt: [fms_MapOutMemoryExt] offset 296 E2P_RAISIZEIN32KB = 0, "
                                   "E2P_RAIFORMATCHKSUM = 0"));
    ctx.e2p.e2pAreaSize = 200; // trace bytes unreadable too: read as 0, defaults apply
    EXPECT_EQ(map().r, 0);
    Lines small = takeLog();
    EXPECT_TRUE(hasLine(small, "fms_MapOutMemoryExt: E2P_TRCNUMBEROF32KB=0"));
    EXPECT_TRUE(hasLine(small, "fms_MapOutMemoryExt: New E2P_TRCNUMBEROF32KB=0"));
}

TEST_F(PartitionMap, TopBootTraceTakesTheSmallSectorsTheE2pLeaves) {
    FlashInfoSpec f;
    f.sizeIn64KB = 63;
    f.regions = {{16, 62}, {13, 8}}; // 8 KB sectors on top
    f.baseAddress = kBase;
    useFlash(f);
    useE2p(0x2000);
    setUsualParameters(1, 2, 1); // trace 32 KB: four small sectors, raised to 8 - 3 = 5
    const uint32_t topAddr = kBase + 63 * k64K;
    MapResult m = map();
    ASSERT_EQ(m.r, 0);
    EXPECT_EQ(ctx.rai.eepromBase, topAddr - 3 * 0x2000);
    Lines log = takeLog();
    EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt: trace sector num = 5"));
    // The step below the small region lands inside the big top sector: one
    // sector counted, plus one.
    EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt: RaiSector_number=2"));
    EXPECT_EQ(m.base + m.length, topAddr - k64K);
    EXPECT_EQ(m.length, 2 * k64K);

    setByte(253, 3); // trace 96 KB runs into the big sectors; no adjustment
    setByte(254, 97);
    ASSERT_EQ(map().r, 0);
    EXPECT_TRUE(hasLine(takeLog(), "fms_MapOutMemoryExt: trace sector num = 6"));
}

TEST_F(PartitionMap, BottomBootFlashIsNotAdjusted) {
    FlashInfoSpec f;
    f.sizeIn64KB = 64;
    f.regions = {{13, 8}, {16, 63}};
    f.baseAddress = kBase;
    useFlash(f);
    useE2p(k64K);
    setUsualParameters(0, 2, 1);
    ASSERT_EQ(map().r, 0);
    EXPECT_TRUE(hasLine(takeLog(), "fms_MapOutMemoryExt: trace sector num = 1"));
}

TEST_F(PartitionMap, TraceCounterWrapsAtEightBits) {
    FlashInfoSpec f;
    f.sizeIn64KB = 264;
    f.regions = {{8, 65535}, {8, 2049}}; // 256-byte sectors
    f.baseAddress = kBase;
    useFlash(f);
    useE2p(0x2000);
    setUsualParameters(2, 1, 1); // 64 KB of trace: 256 sectors, counted as 0, then 1
    ASSERT_EQ(map().r, 0);
    Lines log = takeLog();
    EXPECT_TRUE(hasLine(log, "fms_MapOutMemoryExt: trace sector num = 1"));
}

TEST_F(PartitionMap, RaiCounterWrapsAtSixteenBits) {
    FlashInfoSpec f;
    f.sizeIn64KB = 264;
    f.regions = {{8, 65535}, {8, 2049}};
    f.baseAddress = kBase;
    useFlash(f);
    useE2p(0x2000);
    setUsualParameters(1, 512, 1); // 16 MB: 65536 sectors of 256 bytes, counted as 0
    MapResult m = map();
    ASSERT_EQ(m.r, 0);
    EXPECT_EQ(m.length, 2 * 256u);
    EXPECT_TRUE(hasLine(takeLog(), "fms_MapOutMemoryExt: RaiSector_number=2"));
}

TEST_F(PartitionMap, RaiStepDownReachingTheBankBottomGivesTwoSectors) {
    usual(8);
    MapResult m = map(); // 1 MB asked, four sectors there
    ASSERT_EQ(m.r, 0);
    EXPECT_EQ(m.length, 2 * k64K);
    EXPECT_EQ(m.base, kBase + 2 * k64K);
}

TEST_F(PartitionMap, Failures) {
    MapResult m = map(); // nothing registered
    EXPECT_EQ(m.r, -323);
    EXPECT_EQ(m.base, kUntouched);
    EXPECT_EQ(takeLog(), Lines{"fms_MapOutMemoryExt: No flash_info!"});

    usual(3); // the E2P partition takes the whole flash: no sector below it
    ctx.rai.eepromBase = 0x1234;
    m = map();
    EXPECT_EQ(m.r, -407);
    EXPECT_EQ(m.length, kUntouched);
    EXPECT_EQ(ctx.io.cause.line(), "flash_info: the E2P partition starts at 0x04000000, the trace area of 65536 bytes "
                                   "below it passes the flash's start at 0x04000000");
    ctx.io.cause.clear();
    EXPECT_EQ(ctx.rai.eepromBase, 0x1234u);
    takeLog();

    FlashInfoSpec none = uniformFlash(64, kBase);
    none.regions.clear();
    useFlash(none);
    EXPECT_EQ(map().r, -1300);
    EXPECT_EQ(takeLog(), Lines{"fms_MapOutMemoryExt: regionCount = 0 is outside 1..4"});
    EXPECT_EQ(ctx.io.cause.line(), "flash_info: regionCount 0, expected 1 to 4");

    usual();
    flash_[11] = 5;
    EXPECT_EQ(map().r, -1300);
    EXPECT_EQ(takeLog(), Lines{"fms_MapOutMemoryExt: regionCount = 5 is outside 1..4"});

    FlashInfoSpec wide = uniformFlash(64, kBase);
    wide.regions = {{16, 60}, {32, 1}};
    useFlash(wide);
    EXPECT_EQ(map().r, -1301);
    EXPECT_EQ(takeLog(), Lines{"fms_MapOutMemoryExt: region 1 sector shift = 32 is 32 or more"});
}
