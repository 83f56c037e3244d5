// Journal records: header layout and checks, replay, and the build of a new
// journal from a changed content.
#include "e2p_fixture.h"

using namespace qvtest;
using namespace qv;

namespace {

class Journal : public E2pTest {
protected:
    // Appends a record by hand (n data bytes at a) with an explicit check.
    static void putRecord(Bytes &area, size_t p, uint16_t word0, const Bytes &data, int check = -1) {
        uint16_t n = uint16_t(data.size());
        uint8_t c = uint8_t(check >= 0 ? check : ((word0 & 0xFF) ^ ((word0 >> 8) & 0x3F) ^ (n & 0xFF) ^ (n >> 8)));
        Bytes h = {uint8_t(word0), uint8_t(word0 >> 8), uint8_t(n), uint8_t(n >> 8), c, 0xFF};
        std::copy(h.begin(), h.end(), area.begin() + long(p));
        std::copy(data.begin(), data.end(), area.begin() + long(p + 6 + (n & 1)));
    }
};

TEST_F(Journal, OddRecordHeaderBytesPadAndNext) {
    setup(0x100);
    Bytes area(0x100, 0xFF);
    use(area);
    fms_E2pRecWriteHdr(ctx.e2p, 10, 0x100, 3);
    const uint8_t data[3] = {0x01, 0x02, 0x04};
    ASSERT_EQ(fms_E2pWrite(ctx.e2p, 10 + 7, 3, data), 0);
    fms_E2pRecSetDataXor(ctx.e2p, 10);
    EXPECT_EQ(Bytes(area.begin() + 10, area.begin() + 20),
              (Bytes{0x00, 0x81, 0x03, 0x00, 0x02, 0x07, 0xFF, 0x01, 0x02, 0x04}));
    EXPECT_TRUE(fms_E2pRecValid(ctx.e2p, 10));
    EXPECT_EQ(fms_E2pRecNext(ctx.e2p, 10), 20u);
    EXPECT_EQ(fms_E2pRecDataXor(ctx.e2p, 10), 0x07);
}

TEST_F(Journal, SixteenByteRecordAt0x10HasCheckZero) {
    setup(0x100);
    Bytes area(0x100, 0xFF);
    use(area);
    fms_E2pRecWriteHdr(ctx.e2p, 0, 0x10, 16);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 6), (Bytes{0x10, 0x80, 0x10, 0x00, 0x00, 0xFF}));
    EXPECT_EQ(fms_E2pRecHdrCheck(ctx.e2p, 0), 0x00);
    EXPECT_EQ(fms_E2pRecNext(ctx.e2p, 0), 22u);
}

TEST_F(Journal, HeaderTestsLookAtTheLowSevenBitsOnly) {
    setup(0x100);
    Bytes area(0x100, 0xFF);
    use(area);
    putRecord(area, 0, 0x8020, Bytes(4, 0), (0x20 ^ 0x00 ^ 4) | 0x80);
    EXPECT_TRUE(fms_E2pRecValid(ctx.e2p, 0)) << "bit 7 of the check is not compared";
    putRecord(area, 0, 0x8020, Bytes(4, 0), (0x20 ^ 4) ^ 0x01);
    EXPECT_FALSE(fms_E2pRecValid(ctx.e2p, 0));
    // The flag bits of word0 stay out of the recomputed check.
    putRecord(area, 0, 0x0020, Bytes(4, 0), 0x20 ^ 4);
    EXPECT_TRUE(fms_E2pRecValid(ctx.e2p, 0)) << "bit 15 is not tested";
}

TEST_F(Journal, Bit14ZeroCountAndErasedEndTheJournal) {
    setup(0x100);
    Bytes area(0x100, 0xFF);
    use(area);
    EXPECT_TRUE(fms_E2pRecIsErased(ctx.e2p, 0));
    EXPECT_FALSE(fms_E2pRecValid(ctx.e2p, 0));
    putRecord(area, 0, 0xC020, Bytes(4, 0), 0x20 ^ 4); // matching check, bit 14 set
    EXPECT_FALSE(fms_E2pRecValid(ctx.e2p, 0));
    putRecord(area, 0, 0x8020, Bytes{}, 0x20);
    EXPECT_FALSE(fms_E2pRecValid(ctx.e2p, 0));
    EXPECT_FALSE(fms_E2pRecIsErased(ctx.e2p, 0));
}

TEST_F(Journal, ReplayOfAnErasedAreaAppliesNothing) {
    setup(0x200);
    Bytes area(0x200, 0xFF), content = randomBytes(0x200, 3), before = content;
    fms_E2pReplay(ctx.e2p, ref(area), ref(content));
    EXPECT_EQ(content, before);
}

TEST_F(Journal, ReplayAppliesInOrderAndStopsAtTheFirstBadHeader) {
    setup(0x200);
    Bytes area(0x200, 0xFF), content(0x200, 0);
    putRecord(area, 0, 0x8010, Bytes{1, 2, 3});             // 10 bytes
    putRecord(area, 10, 0x8011, Bytes{9, 9});               // later record wins at 0x11
    putRecord(area, 18, 0x8040, Bytes{5}, 0x00);            // bad check: the journal ends
    putRecord(area, 26, 0x8050, Bytes{7});                  // never reached
    fms_E2pReplay(ctx.e2p, ref(area), ref(content));
    Bytes want(0x200, 0);
    want[0x10] = 1, want[0x11] = 9, want[0x12] = 9;
    EXPECT_EQ(content, want);
    EXPECT_EQ(ctx.e2p.e2pImage, area.data()) << "the journal is current after the replay";
}

TEST_F(Journal, ReplaySkipsARecordOutsideTheAreaAndGoesOn) {
    setup(0x100);
    Bytes area(0x100, 0xFF), content(0x200, 0);
    putRecord(area, 0, 0x80F8, Bytes(16, 0xAB)); // 0xF8 + 16 passes the area size 0x100
    putRecord(area, 22, 0x8004, Bytes{0xCD, 0xEF});
    fms_E2pReplay(ctx.e2p, ref(area), ref(content));
    Bytes want(0x200, 0);
    want[4] = 0xCD, want[5] = 0xEF;
    EXPECT_EQ(content, want);
}

TEST_F(Journal, ReplaySkipsARecordPastTheWorkingImage) {
    setup(0x100);
    Bytes area(0x100, 0xFF), content(0x40, 0);
    putRecord(area, 0, 0x803E, Bytes{1, 2, 3});
    fms_E2pReplay(ctx.e2p, ref(area), ref(content));
    EXPECT_EQ(content, Bytes(0x40, 0));
}

TEST_F(Journal, ReplayStopsAtTheEndOfAFullArea) {
    setup(44);
    Bytes area(44, 0xFF), content(64, 0);
    putRecord(area, 0, 0x8000, Bytes(16, 1));
    putRecord(area, 22, 0x8010, Bytes(16, 2));
    fms_E2pReplay(ctx.e2p, ref(area), ref(content));
    Bytes want(64, 0);
    std::fill(want.begin(), want.begin() + 16, 1);
    std::fill(want.begin() + 16, want.begin() + 32, 2);
    EXPECT_EQ(content, want);
}

TEST_F(Journal, ReplayOfARecordWhoseDataRunsPastTheAreaEnds) {
    setup(0x20);
    Bytes area(0x20, 0xFF), content(0x20, 0);
    putRecord(area, 0, 0x8000, Bytes(2, 7));
    area[8] = 0x00, area[9] = 0x80, area[10] = 0x40, area[11] = 0x00, area[12] = 0x40; // n = 64
    fms_E2pReplay(ctx.e2p, ref(area), ref(content));
    Bytes want(0x20, 0);
    want[0] = want[1] = 7;
    EXPECT_EQ(content, want);
}

TEST_F(Journal, InterleavedReplayUsesTheLogicalMapping) {
    setup(0x100, true);
    Bytes area(0x100, 0xFF), content(0x100, 0);
    // A record at logical 0 of the journal, target logical 0x12, 2 bytes.
    area[0] = 0x12, area[1] = 0x80, area[2] = 2, area[3] = 0, area[4] = 0x12 ^ 2, area[5] = 0xFF;
    area[6] = 0xA1, area[7] = 0xA2;
    fms_E2pReplay(ctx.e2p, ref(area), ref(content));
    Bytes want(0x100, 0);
    want[0x22] = 0xA1, want[0x23] = 0xA2;
    EXPECT_EQ(content, want);
}

class Build : public Journal {
protected:
    Bytes out;
    E2pJournalBuild build(Bytes &fresh, Bytes &base, uint32_t areaSize) {
        out.assign(areaSize, 0xFF);
        use(out);
        fms_E2pSetEndMark(ctx.e2p, areaSize);
        return fms_E2pBuildJournal(ctx.e2p, ref(fresh), ref(base), ref(out));
    }
};

TEST_F(Build, EqualContentGivesNoRecord) {
    setup(0x100);
    Bytes base = randomBytes(0x100, 5), fresh = base;
    E2pJournalBuild j = build(fresh, base, 0x100);
    EXPECT_EQ(j.records, 0u);
    Bytes want(0x100, 0xFF);
    want[0xFF] = 0x7F;
    EXPECT_EQ(out, want);
}

TEST_F(Build, TwoChangedBlocksGiveRecordsAt0And22) {
    setup(0x100);
    Bytes base(0x100, 0xFF), fresh = base;
    fresh[0] = 0x12;
    fresh[40] = 0x34;
    E2pJournalBuild j = build(fresh, base, 0x100);
    EXPECT_EQ(j.records, 2u);
    Bytes want(0x100, 0xFF);
    Bytes r0 = {0x00, 0x80, 0x10, 0x00, 0x10, 0xFF ^ 0x12};
    Bytes r1 = {0x20, 0x80, 0x10, 0x00, 0x30, 0xFF ^ 0x34};
    std::copy(r0.begin(), r0.end(), want.begin());
    std::copy(fresh.begin(), fresh.begin() + 16, want.begin() + 6);
    std::copy(r1.begin(), r1.end(), want.begin() + 22);
    std::copy(fresh.begin() + 32, fresh.begin() + 48, want.begin() + 28);
    want[0xFF] = 0x7F;
    EXPECT_EQ(out, want);
}

TEST_F(Build, ReplayOfTheBuiltJournalRestoresTheContent) {
    for (bool interleaved : {false, true}) {
        setup(0x2000, interleaved);
        Bytes base = randomBytes(0x2000, 7), fresh = base;
        Bytes noise = randomBytes(0x2000, 8);
        for (size_t i = 0; i < fresh.size(); i += 97) fresh[i] = noise[i];
        E2pJournalBuild j = build(fresh, base, 0x2000);
        EXPECT_EQ(j.unfit + j.unaddressable, 0u);
        EXPECT_GT(j.records, 0u);
        Bytes replayed = base;
        fms_E2pReplay(ctx.e2p, ref(out), ref(replayed));
        // Only the logical bytes take part: the second halves of the slots
        // keep the base in the interleaved layout.
        for (size_t i = 0; i < fresh.size(); ++i) {
            bool logical = !interleaved || (i % 32) < 16;
            EXPECT_EQ(replayed[i], logical ? fresh[i] : base[i]) << i << (interleaved ? " interleaved" : " flat");
        }
    }
}

TEST_F(Build, InterleavedComparesOnlyTheLogicalHalf) {
    setup(0x100, true);
    Bytes base(0x100, 0xFF), fresh = base;
    fresh[0xA0] = 0; // logical 0x50: slot 5, first half
    fresh[0xE0] = 0; // logical 0x70, the last block of the 0x80 logical bytes
    fresh[0x90] = 0; // second half of slot 4: not a logical byte, never compared
    E2pJournalBuild j = build(fresh, base, 0x100);
    EXPECT_EQ(j.records, 2u);
    uint8_t h[2];
    use(out);
    ASSERT_EQ(fms_E2pRead(ctx.e2p, 0, 2, h), 0);
    EXPECT_EQ(h[0] | h[1] << 8, 0x8050);
    ASSERT_EQ(fms_E2pRead(ctx.e2p, 22, 2, h), 0);
    EXPECT_EQ(h[0] | h[1] << 8, 0x8070);
    EXPECT_EQ(out[0xEE], 0xFF);
    EXPECT_EQ(out[0xEF], 0x7F) << "end mark at logical 0x7E";
}

TEST_F(Build, MoreChangedBlocksThanRoomAreCountedNotWritten) {
    setup(0x100); // room for (256 - 2) / 22 = 11 records
    Bytes base(0x100, 0xFF), fresh(0x100, 0x00);
    E2pJournalBuild j = build(fresh, base, 0x100);
    EXPECT_EQ(j.changed, 16u);
    EXPECT_EQ(j.records, 11u);
    EXPECT_EQ(j.unfit, 5u);
    EXPECT_EQ(out[0xFE], 0xFF);
    EXPECT_EQ(out[0xFF], 0x7F) << "the end mark survives";
    EXPECT_EQ(out[242], 0xFF) << "nothing past the last whole record";
}

TEST_F(Build, BlocksAbove14BitAddressesAreCounted) {
    setup(0x8000);
    Bytes base(0x8000, 0xFF), fresh = base;
    fresh[0x3FF0] = 1;
    fresh[0x4000] = 1;
    fresh[0x7FE0] = 1;
    E2pJournalBuild j = build(fresh, base, 0x8000);
    EXPECT_EQ(j.records, 1u);
    EXPECT_EQ(j.unaddressable, 2u);
    EXPECT_EQ(out[0] | out[1] << 8, 0x8000 | 0x3FF0);
}

} // namespace
