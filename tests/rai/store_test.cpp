// The sector store: figures of a 17-sector area, item placement and format,
// every refusal of fms_rai_write with its log lines, and the interleaved layout.
#include "rai_fixture.h"

#include "rai/image_io.h"
#include "rai/launch.h"
#include "rai/store.h"

using namespace qvtest;
using Lines = std::vector<std::string>;

class RaiStore : public RaiTest {
protected:
    static constexpr uint32_t kFlash = 0x04000000;
    static constexpr uint32_t kRai = 0x04100000;
    static constexpr uint32_t k64K = 0x10000;

    void launch(uint32_t sectors = 17, bool interleaved = false, uint8_t cache = 1) {
        useFlash(uniformFlash(64, kFlash, interleaved));
        useE2p(0x2000);
        setByte(237, cache);
        ASSERT_EQ(qv::fms_MapLaunchService(ctx.rai, kRai, sectors * k64K), 0);
        takeLog();
    }
    int put(uint32_t id, uint32_t size = 512) {
        Bytes data = randomBytes(size & 0xFFFF, id);
        return qv::fms_rai_write(ctx.rai, id, size, data.data());
    }
    // Offset of a flash address in a plain image.
    static size_t at(uint32_t address) { return address - kRai; }
};

TEST_F(RaiStore, FiguresOfSeventeenSectors) {
    launch();
    const qv::StoreCtx &c = ctx.rai.store;
    EXPECT_EQ(c.wordsPerSector, 16382u);
    qv::StoreStatus st = qv::frai_store_status(ctx.rai);
    EXPECT_EQ(st.capacity, 1048448);
    EXPECT_EQ(st.reserve, 262112);
    EXPECT_EQ(st.mem_avail, 786336);
    EXPECT_EQ(st.total_free, 17 * 65528);
    EXPECT_EQ(st.dirty, 0);
    EXPECT_EQ(c.spare, 16u);
    EXPECT_EQ(c.formatCount, 1u);
    // The release list runs from sector 15 down to 0.
    uint32_t expect = 15;
    for (uint32_t s = c.releaseHead; s != qv::kNoSector; s = c.table[s].next) EXPECT_EQ(s, expect--);
    EXPECT_EQ(expect, uint32_t(-1));
    Bytes img = savedImage(ctx.rai);
    ASSERT_EQ(img.size(), 0x110000u);
    EXPECT_EQ(get32(img, 0x100000), 0x00000F0Bu);
    EXPECT_EQ(get32(img, 0x100004), 0x40002u);
    for (size_t i = 0; i < img.size(); ++i) {
        bool header = i >= 0x100000 && i < 0x100008;
        ASSERT_EQ(img[i], header ? img[i] : 0xFF) << i;
    }
}

TEST_F(RaiStore, InitLogAndNoSectors) {
    useFlash(uniformFlash(64, kFlash));
    qv::fms_SetImageWindow(ctx.rai, kRai, kRai + 2 * k64K);
    qv::SectorDesc table[2];
    qv::frai_store_init(ctx.rai, kRai, k64K, 2, table);
    EXPECT_EQ(takeLog(), (Lines{"frai_store_init: base_addr = 0x4100000, sector_size = 0x10000, num_sectors = 0x2",
                                "frai_store_init: storeCtx.total_free = 0", "frai_store_init: D",
                                "frai_store_init: storeCtx.total_free = 65528", "frai_store_init: D",
                                "frai_store_init: END OF INIT :"}));
    qv::frai_store_init(ctx.rai, kRai, k64K, 0, table);
    EXPECT_EQ(takeLog(), (Lines{"frai_store_init: base_addr = 0x4100000, sector_size = 0x10000, num_sectors = 0",
                                "frai_store_init: die!", "frai_store_init: END OF INIT :"}));
    EXPECT_EQ(qv::frai_store_status(ctx.rai).mem_avail, 0);
}

TEST_F(RaiStore, FirstItemPlacementAndHeader) {
    launch();
    ASSERT_EQ(put(0xCAA00007), 0);
    Bytes img = savedImage(ctx.rai);
    const uint32_t item = kRai + 15 * k64K + 8;
    EXPECT_EQ(get32(img, at(item)), 0x02040082u); // length 0x204, offset 0x3C002, valid
    EXPECT_EQ(get32(img, at(item) + 4), 0xCAA00007u);
    EXPECT_EQ(Bytes(img.begin() + long(at(item) + 8), img.begin() + long(at(item) + 520)),
              randomBytes(512, 0xCAA00007));
    EXPECT_EQ(get32(img, at(item) + 520), 0xFFFFFFFFu);
    EXPECT_EQ(get32(img, at(item) - 8), 0x00000F0Bu);
    EXPECT_EQ(get32(img, at(item) - 4), 0x3C002u);
    for (size_t i = 0; i < 15 * k64K; ++i) ASSERT_EQ(img[i], 0xFF) << i; // lower sectors untouched
    EXPECT_TRUE(takeLog().empty());
    EXPECT_EQ(qv::frai_store_status(ctx.rai).mem_avail, 786336 - 520);
}

TEST_F(RaiStore, SectorsFillDownward) {
    launch();
    for (uint32_t i = 0; i < 127; ++i) ASSERT_EQ(put(0xCAA00000 + i), 0);
    Bytes img = savedImage(ctx.rai);
    auto items = readItems(img, kRai, k64K, 17);
    ASSERT_EQ(items.size(), 127u);
    EXPECT_EQ(items[0xCAA00000 + 125].address, kRai + 15 * k64K + 8 + 125 * 520);
    EXPECT_EQ(items[0xCAA00000 + 126].address, kRai + 14 * k64K + 8); // 126 fit a sector
    EXPECT_EQ(get32(img, 14 * k64K + 4), (14 * k64K + 8) / 4);
    EXPECT_EQ(img[13 * k64K], 0xFF);
}

TEST_F(RaiStore, MemAvailRefusesTheItemAfter1512) {
    launch(17, false, 8); // 2048 hash elements, so only space refuses
    for (uint32_t i = 0; i < 1512; ++i) ASSERT_EQ(put(0xCAA00000 + i), 0) << i;
    EXPECT_EQ(qv::frai_store_status(ctx.rai).mem_avail, 96);
    EXPECT_EQ(put(0xCAA00000 + 1512), qv::kItemNoRoom);
    EXPECT_EQ(takeLog(), Lines{"fms_rai_write: status.mem_avail = 96 < 516 reject new item save"});
    EXPECT_EQ(readItems(savedImage(ctx.rai), kRai, k64K, 17).size(), 1512u);
}

TEST_F(RaiStore, SizeLimit) {
    launch();
    EXPECT_EQ(put(0xCAA00001, 0xB001), qv::kItemTooLarge);
    EXPECT_EQ(takeLog(), Lines{"fms_rai_write: RAI 0xcaa00001 size too larget 0xb001 > 0xb000"});
    EXPECT_EQ(put(0xCAA00001, 0xB000), 0);
    EXPECT_EQ(put(0xCAA00002, 0x1B000), 0); // only the low 16 bits count
    auto items = readItems(savedImage(ctx.rai), kRai, k64K, 17);
    EXPECT_EQ(items[0xCAA00001].word0 >> 16, 0xB004u);
    EXPECT_EQ(items[0xCAA00002].data, randomBytes(0xB000, 0xCAA00002));
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(RaiStore, DuplicateIsRefusedSilently) {
    launch();
    ASSERT_EQ(put(0xCAA00005), 0);
    Bytes before = savedImage(ctx.rai);
    qv::StoreStatus st = qv::frai_store_status(ctx.rai);
    takeLog();
    EXPECT_EQ(qv::fms_rai_write(ctx.rai, 0xCAA00005, 512, Bytes(512, 0).data()), qv::kItemExists);
    EXPECT_TRUE(takeLog().empty());
    EXPECT_EQ(savedImage(ctx.rai), before);
    EXPECT_EQ(qv::frai_store_status(ctx.rai).mem_avail, st.mem_avail);
}

TEST_F(RaiStore, FullHashTableDeletesTheNewItem) {
    launch(17, false, 1); // 256 elements
    for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(put(0xCAA00000 + i), 0);
    qv::StoreStatus st = qv::frai_store_status(ctx.rai);
    EXPECT_EQ(put(0xCAA00100), qv::kItemHashFull);
    EXPECT_EQ(takeLog(), (Lines{"frai_hash_put: RAI hash table full", "fms_rai_write: frai_hash_put() failed 396"}));
    auto items = readItems(savedImage(ctx.rai), kRai, k64K, 17);
    ASSERT_EQ(items.count(0xCAA00100), 1u);
    const FoundItem &deleted = items[0xCAA00100];
    EXPECT_EQ(deleted.address, kRai + 13 * k64K + 8 + 4 * 520); // 126 + 126 + 4 before it
    EXPECT_EQ(deleted.word0, 0x02040000u);                     // state and offset bits cleared
    EXPECT_EQ(deleted.data, randomBytes(512, 0xCAA00100));
    EXPECT_EQ(qv::frai_store_status(ctx.rai).dirty, 520);
    EXPECT_EQ(ctx.rai.store.table[13].dirty, 130u);
    // The words are spent and counted back as dirty: mem_avail is unchanged.
    EXPECT_EQ(qv::frai_store_status(ctx.rai).mem_avail, st.mem_avail);
    EXPECT_EQ(put(0xCAA00100), qv::kItemHashFull); // still absent, still refused
}

TEST_F(RaiStore, NoSectorLeftForAnItem) {
    launch();
    // One 0xB000 item per sector: sixteen fit, the seventeenth passes the
    // space test but finds no sector.
    for (uint32_t i = 0; i < 16; ++i) ASSERT_EQ(put(0xCAA00000 + i, 0xB000), 0) << i;
    EXPECT_GE(qv::frai_store_status(ctx.rai).mem_avail, 0xB004);
    EXPECT_EQ(put(0xCAA00010, 0xB000), qv::kItemNoSector);
    EXPECT_EQ(takeLog(), (Lines{"object_alloc: RAI full", "", "fms_rai_write: object_alloc() failed 389"}));
    EXPECT_EQ(ctx.rai.store.formatCount, 17u);
    // Smaller items still fit behind the big ones.
    EXPECT_EQ(put(0xCAA00011), 0);
}

TEST_F(RaiStore, AnOlderSectorTakesWhatTheNewestCannot) {
    launch();
    const uint32_t s15 = kRai + 15 * k64K + 8, s14 = kRai + 14 * k64K + 8, s13 = kRai + 13 * k64K + 8;
    ASSERT_EQ(put(0xCAA00000, 0xB000), 0); // sector 15 keeps 20464 bytes
    ASSERT_EQ(put(0xCAA00001, 0xB000), 0); // too big for them: sector 14
    ASSERT_EQ(put(0xCAA00002, 0x4FE8), 0); // fills sector 14 exactly
    ASSERT_EQ(put(0xCAA00003, 0x100), 0);  // back in sector 15
    ASSERT_EQ(put(0xCAA00004, 0x4F00), 0); // too big for what sector 15 keeps: sector 13
    ASSERT_EQ(put(0xCAA00005, 0xA148), 0); // sector 13 is the newest, it takes it
    ASSERT_EQ(put(0xCAA00006, 0x2000), 0); // sector 13 keeps 0xFA0 bytes, sector 15 0x4EE8: sector 15
    auto items = readItems(savedImage(ctx.rai), kRai, k64K, 17);
    EXPECT_EQ(items[0xCAA00000].address, s15);
    EXPECT_EQ(items[0xCAA00001].address, s14);
    EXPECT_EQ(items[0xCAA00002].address, s14 + 0xB008);
    EXPECT_EQ(items[0xCAA00003].address, s15 + 0xB008);
    EXPECT_EQ(items[0xCAA00004].address, s13);
    EXPECT_EQ(items[0xCAA00005].address, s13 + 0x4F08);
    EXPECT_EQ(items[0xCAA00006].address, s15 + 0xB008 + 0x108);
    EXPECT_EQ(ctx.rai.store.formatCount, 4u); // the spare and three sectors
}

TEST_F(RaiStore, InterleavedHalvesTheSectorsAndWritesPastTheFill) {
    launch(17, true);
    EXPECT_EQ(ctx.rai.store.wordsPerSector, 8190u);
    EXPECT_EQ(ctx.rai.store.table[15].data, kRai + 15 * k64K + 8);
    EXPECT_EQ(qv::frai_store_status(ctx.rai).capacity, 16 * 32760);
    ASSERT_EQ(put(0xCAA00003), 0);
    Bytes img = savedImage(ctx.rai);
    // Offset o of the address sits at (o / 16) * 32 + o % 16 in the file.
    const size_t spare = 16 * 2 * k64K, item = 15 * 2 * k64K + 8;
    ASSERT_GE(img.size(), spare + 8);
    EXPECT_EQ(get32(img, spare), 0x00000F0Bu);
    EXPECT_EQ(get32(img, spare + 4), 0x40002u);
    EXPECT_EQ(img[17 * k64K - 1], 0xFF);
    EXPECT_EQ(img[17 * k64K], 0x00); // the gap between the fill and the sectors above it
    EXPECT_EQ(get32(img, item), 0x02040082u);
    EXPECT_EQ(get32(img, item + 4), 0xCAA00003u);
    Bytes data = randomBytes(512, 0xCAA00003);
    // The data starts at offset o + 8, the next 16-byte chunk: file position item - 8 + 32.
    EXPECT_EQ(Bytes(img.begin() + long(item) + 8, img.begin() + long(item) + 24), Bytes(16, 0x00));
    EXPECT_EQ(Bytes(img.begin() + long(item) + 24, img.begin() + long(item) + 40),
              Bytes(data.begin(), data.begin() + 16));
    EXPECT_EQ(Bytes(img.begin() + long(item) + 56, img.begin() + long(item) + 72),
              Bytes(data.begin() + 16, data.begin() + 32));
    EXPECT_EQ(img.size(), spare + 8);
}
