// The hash table: bucket counts, chains, keys compared in memory or read from
// the image, a full table.
#include "rai_fixture.h"

#include "rai/image_buffer.h"
#include "rai/image_io.h"
#include "rai/hash.h"

#include <map>
#include <random>

using namespace qvtest;

TEST(RaiHashSize, BucketCountRule) {
    EXPECT_EQ(qv::frai_hash_buckets(256), 32u);
    EXPECT_EQ(qv::frai_hash_buckets(2560), 256u);
    EXPECT_EQ(qv::frai_hash_buckets(65280), 8192u);
    EXPECT_EQ(qv::frai_hash_buckets(1), 1u);
    EXPECT_EQ(qv::frai_hash_buckets(14), 1u);  // 14 * 71 / 1000 = 0
    EXPECT_EQ(qv::frai_hash_buckets(15), 2u);  // 1
    EXPECT_EQ(qv::frai_hash_buckets(0x1FFFF), 16384u);
    EXPECT_EQ(qv::frai_hash_memory(256), 256u * 8 + 32 * 4);
}

class RaiHash : public RaiTest {
protected:
    static constexpr uint32_t kBase = 0x04000000;

    // A table of n elements over a 64 KB image window at kBase.
    void table(uint32_t n) {
        useFlash(uniformFlash(64, kBase));
        block_.assign(size_t(qv::frai_hash_memory(n)), 0);
        qv::frai_hash_init(ctx.rai, n, block_.data());
        ctx.rai.raiBase = kBase;
        qv::imageFill(ctx.rai.image, 0x10000);
        qv::fms_SetImageWindow(ctx.rai, kBase, kBase + 0x10000);
    }
    // An item header with identifier `id` at item offset `offset`.
    void item(uint32_t offset, uint32_t id) {
        Bytes b;
        put32(b, 0x02040002);
        put32(b, id);
        put32(b, 0);
        qv::fms_Write(ctx.rai, kBase + 4 * offset, 12, b.data());
    }
    Bytes block_;
};

TEST_F(RaiHash, InitLogsAndBuildsTheFreeChain) {
    table(256);
    EXPECT_EQ(takeLog(), std::vector<std::string>{"frai_hash_init: hash element number = 256"});
    const qv::HashTable &t = ctx.rai.hash;
    EXPECT_EQ(t.mask, 31u);
    EXPECT_EQ(t.freeHead, 0u);
    EXPECT_EQ(t.used, 0u);
    EXPECT_EQ(t.elements[1], 1u);
    EXPECT_EQ(t.elements[2 * 255 + 1], 0x1FFFFu);
    EXPECT_EQ(t.buckets, t.elements + 512);
    for (uint32_t b = 0; b < 32; ++b) EXPECT_EQ(t.buckets[b], 0x1FFFFu);
}

TEST_F(RaiHash, GetOnAnEmptyTableReadsNothing) {
    table(256);
    qv::fms_SetImageWindow(ctx.rai, kBase, kBase); // any read of the image would be logged as illegal
    takeLog();
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00000), 0x7FFFFFFFu);
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(RaiHash, SameBucketNewestFirst) {
    table(256);
    item(0x100, 0xCAA00000);
    item(0x200, 0xCAA00020);
    ASSERT_TRUE(qv::frai_hash_put(ctx.rai, 0xCAA00000, 0x100));
    ASSERT_TRUE(qv::frai_hash_put(ctx.rai, 0xCAA00020, 0x200));
    const qv::HashTable &t = ctx.rai.hash;
    // (k + k >> 16) & 31 is 0 for both.
    uint32_t head = t.buckets[0];
    EXPECT_EQ(t.elements[2 * head] & 0x7FFFFFFF, 0x200u);
    EXPECT_EQ(t.elements[2 * (t.elements[2 * head + 1] & 0x1FFFF)] & 0x7FFFFFFF, 0x100u);
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00000), 0x100u);
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00020), 0x200u);
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00040), 0x7FFFFFFFu);
    EXPECT_EQ(t.used, 2u);
}

TEST_F(RaiHash, IdentifiersFoundAreTheOnesTheItemsCarry) {
    table(256);
    // Three items of one bucket ((k + k >> 16) & 31 == 1), entered once written.
    for (uint32_t i = 0; i < 3; ++i) {
        item(0x100 * (i + 1), 0xCAA00001 + 0x20 * i);
        ASSERT_TRUE(qv::frai_hash_put(ctx.rai, 0xCAA00001 + 0x20 * i, 0x100 * (i + 1)));
    }
    EXPECT_FALSE(ctx.rai.hash.keysFromImage);
    // Look-ups compare in memory: an empty window would log every read.
    qv::fms_SetImageWindow(ctx.rai, kBase, kBase);
    takeLog();
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00001), 0x100u);
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00021), 0x200u);
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00041), 0x300u);
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00061), 0x7FFFFFFFu);
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(RaiHash, AFullTableFindsEveryIdentifierAndNoOther) {
    table(256);
    std::mt19937 rng(5);
    std::map<uint32_t, uint32_t> stored; // identifier -> offset
    while (stored.size() < 256) {
        uint32_t id = rng() % 4 == 0 ? 0xCAA00000 + rng() % 4096 : uint32_t(rng());
        if (id == 0xFFFFFFFF || stored.count(id)) continue;
        uint32_t offset = 1 + 3 * uint32_t(stored.size());
        item(offset, id);
        ASSERT_TRUE(qv::frai_hash_put(ctx.rai, id, offset));
        stored[id] = offset;
    }
    EXPECT_FALSE(ctx.rai.hash.keysFromImage);
    for (const auto &[id, offset] : stored) EXPECT_EQ(qv::frai_hash_get(ctx.rai, id), offset) << std::hex << id;
    for (int i = 0; i < 2000; ++i) {
        uint32_t id = i % 2 ? 0xCAA00000 + rng() % 8192 : uint32_t(rng());
        if (!stored.count(id)) {
            EXPECT_EQ(qv::frai_hash_get(ctx.rai, id), 0x7FFFFFFFu) << std::hex << id;
        }
    }
    EXPECT_FALSE(qv::frai_hash_put(ctx.rai, 0x12345678, 0x10)); // full
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0x12345678), 0x7FFFFFFFu);
}

TEST_F(RaiHash, AnItemNotYetWrittenIsComparedByReadingTheImage) {
    table(256);
    ASSERT_TRUE(qv::frai_hash_put(ctx.rai, 0xCAA00001, 0x100)); // the image holds the 0xFF fill there
    EXPECT_TRUE(ctx.rai.hash.keysFromImage);
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00001), 0x7FFFFFFFu);
    item(0x100, 0xCAA00021);
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00021), 0x100u);
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00001), 0x7FFFFFFFu);
}

TEST_F(RaiHash, AnItemOutsideTheWindowIsReadAndLoggedAtEveryProbe) {
    table(256);
    item(0x100, 0xCAA00001);
    ASSERT_TRUE(qv::frai_hash_put(ctx.rai, 0xCAA00001, 0x100));
    takeLog();
    ASSERT_TRUE(qv::frai_hash_put(ctx.rai, 0xCAA00021, 0x4000)); // kBase + 0x10000: past the window
    EXPECT_TRUE(takeLog().empty());
    EXPECT_TRUE(ctx.rai.hash.keysFromImage);
    // Newest first: the outside item is probed (and logged) before the one inside.
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00001), 0x100u);
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00021), 0x7FFFFFFFu); // the failed read leaves zeros
    EXPECT_EQ(takeLog(), (std::vector<std::string>{"fms_Read: illegal address: 0x4010000",
                                                   "fms_Read: illegal address: 0x4010000"}));
}

TEST_F(RaiHash, ReplaceKeepsTheCountAndBitThirtyOne) {
    table(256);
    item(0x100, 0xCAA00001);
    ASSERT_TRUE(qv::frai_hash_put(ctx.rai, 0xCAA00001, 0x100));
    item(0x300, 0xCAA00001);
    ASSERT_TRUE(qv::frai_hash_put(ctx.rai, 0xCAA00001, 0x80000300)); // bit 31 is dropped
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00001), 0x300u);
    EXPECT_EQ(ctx.rai.hash.used, 1u);
    EXPECT_EQ(ctx.rai.hash.freeHead, 1u);
}

TEST_F(RaiHash, FullTableRefusesNewIdentifiersButStillReplaces) {
    table(4);
    for (uint32_t i = 0; i < 4; ++i) {
        item(0x10 * (i + 1), 0xCAA00000 + i);
        ASSERT_TRUE(qv::frai_hash_put(ctx.rai, 0xCAA00000 + i, 0x10 * (i + 1)));
    }
    takeLog();
    item(0x60, 0xCAA00009);
    EXPECT_FALSE(qv::frai_hash_put(ctx.rai, 0xCAA00009, 0x60));
    EXPECT_EQ(takeLog(), std::vector<std::string>{"frai_hash_put: RAI hash table full"});
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00009), 0x7FFFFFFFu);
    item(0x70, 0xCAA00002);
    EXPECT_TRUE(qv::frai_hash_put(ctx.rai, 0xCAA00002, 0x70));
    EXPECT_EQ(qv::frai_hash_get(ctx.rai, 0xCAA00002), 0x70u);
    EXPECT_EQ(ctx.rai.hash.used, 4u);
}

TEST_F(RaiHash, ElementsLeaveTheLinkBitsAboveSeventeenAlone) {
    useFlash(uniformFlash(64, kBase));
    block_.assign(size_t(qv::frai_hash_memory(2)), 0xFF);
    qv::frai_hash_init(ctx.rai, 2, block_.data());
    EXPECT_EQ(get32(block_, 4), 0xFFFE0001u);  // next 1, bits 17-31 kept
    EXPECT_EQ(get32(block_, 12), 0xFFFFFFFFu); // end marker
    EXPECT_EQ(get32(block_, 0), 0xFFFFFFFFu);  // offsets untouched
}
