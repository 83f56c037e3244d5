// The E2P merge on its own: what it writes, in which order the sources win,
// its log lines, and every failure with its message and what it leaves.
#include "e2p_fixture.h"

#include "e2p/merge_e2p.h"

#include <cstdlib>
#include <filesystem>

using namespace qvtest;
using namespace qv;

namespace {

class Merge : public E2pTest {
protected:
    TempDir dir;
    Bytes base, area;
    OutputImage out;
    std::string msg;
    std::vector<std::string> files;
    uint32_t cusCount = 0;
    int32_t eraseAll = 0;

    void SetUp() override { prepare(0x800, false); }
    void prepare(uint32_t size, bool interleaved) {
        setup(size, interleaved);
        ctx.io.log.open(dir.file("merge.log"));
        base = randomBytes(size, 11);
        area.assign(size, 0xFF);
        out.imagePath = dir.file("e2p.bin");
        out.imageType = out.imageAddress = out.imageSize = 0xEEEEEEEE;
    }
    std::string file(const std::string &name, const std::string &text) {
        writeText(dir.file(name), text);
        return dir.file(name);
    }
    int run() {
        return mergeE2P(ctx.e2p, base.data(), uint32_t(base.size()), area.data(), uint32_t(area.size()), files, out,
                        cusCount, eraseAll, msg);
    }
    std::vector<std::string> log() {
        ctx.io.log.close();
        return readLines(dir.file("merge.log"));
    }
    void queue(uint32_t addr, uint8_t len, uint32_t value) {
        ctx.e2p.pending.push_front(PendingParam{addr, len, value});
    }
    // Replays a produced image onto a copy of the base.
    Bytes replayOntoBase(const Bytes &baseCopy) {
        Bytes journal = readFile(out.imagePath), content = baseCopy;
        fms_E2pReplay(ctx.e2p, ref(journal), ref(content));
        fms_E2pClearImage(ctx.e2p);
        return content;
    }
    // The host's journal area holding one record of `data` at `a`.
    void journalRecord(uint16_t a, const Bytes &data) {
        use(area);
        fms_E2pRecWriteHdr(ctx.e2p, 0, a, uint16_t(data.size()));
        fms_E2pWrite(ctx.e2p, 6 + (data.size() & 1), uint32_t(data.size()), data.data());
        fms_E2pClearImage(ctx.e2p);
    }
};

TEST_F(Merge, NoWorkWritesNoFileAndReturnsTheReplayedContent) {
    journalRecord(0x40, Bytes{1, 2, 3, 4});
    Bytes want = base;
    std::copy_n(Bytes{1, 2, 3, 4}.begin(), 4, want.begin() + 0x40);
    EXPECT_EQ(run(), 0);
    EXPECT_FALSE(fileExists(out.imagePath));
    EXPECT_EQ(out.imageType, 0xEEEEEEEEu);
    EXPECT_EQ(area, want);
    EXPECT_TRUE(log().empty());
    EXPECT_EQ(ctx.e2p.e2pImage, nullptr);
}

TEST_F(Merge, DescriptionFileChangesBecomeJournalRecords) {
    files = {file("a.e2p", "A 100 2 1\n0x1234 %u16\nB 500 1 1\n7 %u8\n")};
    Bytes want = base;
    want[100] = 0x34, want[101] = 0x12, want[500] = 7;
    Bytes baseCopy = base;
    ASSERT_EQ(run(), 0) << msg;
    EXPECT_EQ(out.imageType, 0x1000025u);
    EXPECT_EQ(out.imageAddress, 0u);
    EXPECT_EQ(out.imageSize, 0x800u);
    EXPECT_EQ(area, want);
    EXPECT_EQ(base, baseCopy) << "the base is only read";
    Bytes image = readFile(out.imagePath);
    ASSERT_EQ(image.size(), 0x800u);
    EXPECT_EQ(get16(image, 0), 0x8060) << "block 96 holds 100";
    EXPECT_EQ(get16(image, 22), 0x81F0) << "block 496 holds 500";
    EXPECT_EQ(get16(image, 44), 0xFFFF);
    EXPECT_EQ(get16(image, 0x7FE), 0x7FFF);
    EXPECT_EQ(replayOntoBase(baseCopy), want);
    EXPECT_EQ(ctx.e2p.e2pImage, nullptr);
}

TEST_F(Merge, CusCountAloneWritesTheFile) {
    cusCount = 1;
    ASSERT_EQ(run(), 0);
    Bytes want(0x800, 0xFF);
    want[0x7FF] = 0x7F;
    EXPECT_EQ(readFile(out.imagePath), want) << "nothing changed: only the end mark";
}

TEST_F(Merge, LaterFileWinsAndPendingParametersWinLast) {
    files = {file("a.e2p", "A 247 9 9\n1 2 3 4 5 6 7 8 9 %u8\n"), file("b.e2p", "B 249 1 1\n0x99 %u8\n")};
    queue(247, 2, 0x0123);
    queue(249, 1, 0x45);
    queue(223, 1, 0x67);
    queue(255, 1, 0x89);
    cusCount = 1;
    ASSERT_EQ(run(), 0) << msg;
    EXPECT_EQ(Bytes(area.begin() + 247, area.begin() + 256),
              (Bytes{0x23, 0x01, 0x45, 4, 5, 6, 7, 8, 0x89}));
    EXPECT_EQ(area[223], 0x67);
    EXPECT_EQ(log(), (std::vector<std::string>{"mergeE2P: fms_E2pWrite(255, 1, 0x89)",
                                               "mergeE2P: fms_E2pWrite(223, 1, 0x67)",
                                               "mergeE2P: fms_E2pWrite(249, 1, 0x45)",
                                               "mergeE2P: fms_E2pWrite(247, 2, 0x123)"}));
    EXPECT_EQ(std::distance(ctx.e2p.pending.begin(), ctx.e2p.pending.end()), 4) << "the list is kept";
}

TEST_F(Merge, TwoFilesSettingOneAddress) {
    files = {file("a.e2p", "A 10 1 1\n1 %u8\n"), file("b.e2p", "A 10 1 1\n2 %u8\n")};
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(area[10], 2);
}

TEST_F(Merge, EraseAllStartsFromErasedBuffers) {
    eraseAll = 1;
    journalRecord(0x40, Bytes{1, 2});
    files = {file("a.e2p", "A 40 1 1\n0 %u8\nB 300 2 1\n0xFFFF %u16\n")};
    queue(247, 2, 0x0003);
    ASSERT_EQ(run(), 0) << msg;
    EXPECT_EQ(base, Bytes(0x800, 0xFF)) << "the caller's base is erased";
    Bytes want(0x800, 0xFF);
    want[40] = 0, want[247] = 3, want[248] = 0;
    EXPECT_EQ(area, want) << "the old journal was erased before the replay";
    Bytes image = readFile(out.imagePath);
    EXPECT_EQ(get16(image, 0), 0x8020);
    EXPECT_EQ(get16(image, 22), 0x80F0);
    EXPECT_EQ(get16(image, 44), 0xFFFF) << "block 288 equals the base: no record";
    EXPECT_EQ(log(), (std::vector<std::string>{"mergeE2P: Erase_ALL is TRUE", "mergeE2P: fms_E2pWrite(247, 2, 0x3)"}));
}

TEST_F(Merge, OneByteValueLogsItsValue) {
    queue(300, 1, 0x12);
    cusCount = 1;
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(log(), std::vector<std::string>{"mergeE2P: fms_E2pWrite(300, 1, 0x12)"});
}

TEST_F(Merge, PendingParameterPastTheAreaFailsWithAnEmptyFile) {
    queue(0x7FF, 2, 0xBEEF);
    cusCount = 1;
    Bytes areaBefore = area;
    EXPECT_EQ(run(), -92);
    EXPECT_EQ(msg, "Update CUS size and base in E2P error");
    EXPECT_EQ(ctx.io.cause.line(),
              "e2p_area: 2048 bytes; the CUS size and base are written at E2P addresses 2047 to 2048");
    EXPECT_TRUE(fileExists(out.imagePath));
    EXPECT_EQ(readFile(out.imagePath).size(), 0u);
    EXPECT_EQ(out.imageType, 0x1000025u) << "filled once the file is open";
    EXPECT_EQ(area, areaBefore);
    EXPECT_EQ(ctx.e2p.e2pImage, nullptr);
}

TEST_F(Merge, OutputThatCannotBeOpened) {
    eraseAll = 1;
    cusCount = 1;
    out.imagePath = dir.file("no/such/dir/e2p.bin");
    EXPECT_EQ(run(), -58);
    EXPECT_EQ(msg, "open " + out.imagePath + " failed");
    EXPECT_EQ(out.imageType, 0xEEEEEEEEu);
    EXPECT_EQ(area, Bytes(0x800, 0xFF));
    EXPECT_EQ(base, Bytes(0x800, 0xFF)) << "the erase fills are already made";
}

TEST_F(Merge, RefusedDescriptionFileStopsTheMerge) {
    files = {file("a.e2p", "A 10 1 1\n1 %u8\n"), file("bad.e2p", "B 8192 1 1\n1 %u8\n"),
             file("c.e2p", "C 10 1 1\n3 %u8\n")};
    Bytes areaBefore = area;
    EXPECT_EQ(run(), -78);
    EXPECT_EQ(msg, "DownloadE2PFile4Nor() error");
    EXPECT_EQ(ctx.io.cause.line(),
              dir.file("bad.e2p") + ": line 1: object B has address 8192, expected 0 to 8191 or 16384 to 24575");
    EXPECT_EQ(readFile(out.imagePath).size(), 0u);
    EXPECT_EQ(area, areaBefore);
}

TEST_F(Merge, BaseSmallerThanTheAreaIsRefusedUntouched) {
    base.resize(0x7FF);
    eraseAll = 1;
    Bytes baseBefore = base, areaBefore = area;
    EXPECT_EQ(run(), -1202);
    EXPECT_EQ(msg, "E2P base image of 2047 bytes is smaller than the E2P area of 2048 bytes");
    EXPECT_EQ(base, baseBefore);
    EXPECT_EQ(area, areaBefore);
    EXPECT_TRUE(log().empty());
}

TEST_F(Merge, NullBuffersAreRefused) {
    EXPECT_EQ(mergeE2P(ctx.e2p, nullptr, 16, area.data(), 0, files, out, 0, 0, msg), -1200);
    EXPECT_EQ(msg, "E2P base image missing: null buffer of 16 bytes");
    EXPECT_EQ(mergeE2P(ctx.e2p, base.data(), 16, nullptr, 16, files, out, 0, 0, msg), -1201);
    EXPECT_EQ(msg, "E2P area missing: null buffer of 16 bytes");
    EXPECT_EQ(mergeE2P(ctx.e2p, nullptr, 0, nullptr, 0, files, out, 0, 1, msg), 0);
}

TEST_F(Merge, LargerBaseIsComparedOnlyOverTheArea) {
    base = randomBytes(0x1000, 3);
    files = {file("a.e2p", "A 2040 8 1\n0x0102030405060708 %u32\n")};
    ASSERT_EQ(run(), 0) << msg;
    EXPECT_EQ(area.size(), 0x800u);
    EXPECT_EQ(Bytes(area.begin() + 0x7F8, area.end()), (Bytes{8, 7, 6, 5, 0, 0, 0, 0}));
}

TEST_F(Merge, MoreChangedBlocksThanRoomFails) {
    prepare(0x100, false);
    base.assign(0x100, 0xFF);
    files = {file("a.e2p", "A 0 240 1\n1 %u8\n")}; // 15 blocks change, room for 11
    Bytes areaBefore = area;
    EXPECT_EQ(run(), -1204);
    EXPECT_EQ(msg, "journal of " + out.imagePath + " full: 4 of 15 changed blocks did not fit (room for 11 records)");
    EXPECT_EQ(ctx.io.cause.line(), "e2p_area: 256 bytes hold 11 journal records, the merge changed 15 16-byte blocks "
                                   "of the E2P base");
    EXPECT_EQ(readFile(out.imagePath).size(), 0u);
    EXPECT_EQ(area, areaBefore);
}

TEST_F(Merge, ChangedBlockBeyondTheRecordAddressFails) {
    prepare(0x8000, false);
    queue(0x4000, 1, 0);
    queue(0x7000, 4, 0);
    cusCount = 1;
    EXPECT_EQ(run(), -1205);
    EXPECT_EQ(msg, "journal of " + out.imagePath +
                       ": 2 changed blocks at offset 16384 or above did not fit the record address");
}

TEST_F(Merge, FailedWriteOrCloseOfTheImage) {
    for (uint64_t failAt : {1, 2}) {
        prepare(0x800, false);
        files = {file("a.e2p", "A 10 1 1\n1 %u8\n")};
        Bytes areaBefore = area;
        seam = qvtest::IoFaultSeam{failAt, 0};
        EXPECT_EQ(run(), -1206) << failAt;
        seam = qvtest::IoFaultSeam{};
        EXPECT_EQ(msg, "write " + out.imagePath + " failed");
        EXPECT_EQ(area, areaBefore);
    }
}

TEST_F(Merge, FailedTemporaryFileOfAContainer) {
    TempDir tmp;
    files = {file("m.e2p", std::string("MSTM") + std::string(12, '\0') + "A 10 1 1\n1 %u8\n")};
    seam = qvtest::IoFaultSeam{1, 0}; // the temporary file's write
    int r = 0;
    {
        const qvtest::TempFolderScope scope(tmp.path());
        r = run();
    }
    seam = qvtest::IoFaultSeam{};
    EXPECT_EQ(r, -1209);
    EXPECT_EQ(qvtest::slashed(msg).rfind("write " + tmp.path() + "/AuE", 0), 0u) << msg;
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path())) << "the temporary file is removed";
}

TEST_F(Merge, InterleavedRoundTrip) {
    prepare(0x1000, true);
    journalRecord(0x20, Bytes{9, 9, 9});
    files = {file("a.e2p", "A 100 4 1\n0x11223344 %u32\nB 2000 2 1\n0xABCD %u16\n")};
    queue(247, 2, 0x0102);
    cusCount = 1;
    Bytes baseCopy = base;
    ASSERT_EQ(run(), 0) << msg;
    // Logical bytes land at (x / 16) * 32 + x % 16 of the image.
    auto at = [](uint32_t x) { return size_t(x / 16 * 32 + x % 16); };
    EXPECT_EQ(area[at(0x20)], 9);
    EXPECT_EQ(area[at(100)], 0x44);
    EXPECT_EQ(area[at(2001)], 0xAB);
    EXPECT_EQ(area[at(248)], 0x01);
    EXPECT_EQ(replayOntoBase(baseCopy), area);
    Bytes image = readFile(out.imagePath);
    EXPECT_EQ(image[at(0x7FE)], 0xFF);
    EXPECT_EQ(image[at(0x7FF)], 0x7F);
}

} // namespace
