// The whole library on E2P work: the example release end to end, and the
// driver's handling of the E2P merge's results.
#include "e2p_fixture.h"

#include "e2p/e2p_file.h"

#include <quorvel/quorvel.h>

using namespace qvtest;
using namespace qv;

namespace {

std::string release(const std::string &name) { return std::string(QUORVEL_SOURCE_DIR) + "/examples/release/" + name; }

class Release : public ::testing::Test, protected qvtest::TestContext {
protected:
    TempDir dir;
    Bytes flash = readFile(release("flash.bin"));
    Bytes base = readFile(release("e2p_base.bin"));
    Bytes area = readFile(release("e2p_area.bin"));
    MergeOutputs outs;
    std::string message = "untouched";

    void SetUp() override {
        outs[kCodeOutput].imagePath = dir.file("code.bin");
        outs[kE2pOutput].imagePath = dir.file("e2p.bin");
        outs[kRaiOutput].imagePath = dir.file("rai.bin");
    }
    void TearDown() override { qvtest::resetContext(ctx); }
    int run(const std::vector<std::string> &e2pFiles, int32_t eraseAll = 0) {
        return quorvel(flash.data(), &outs, {}, {}, {}, base.data(), uint32_t(base.size()), area.data(),
                       uint32_t(area.size()), e2pFiles, 0, eraseAll, message, dir.file("merge.log"), 0);
    }
    // The E2P image replayed onto `onto` the way a handset would.
    Bytes replay(const Bytes &onto) {
        Bytes journal = readFile(outs[kE2pOutput].imagePath), content = onto;
        fms_SetFlashInfo(ctx.flash, flash.data());
        ctx.e2p.e2pAreaSize = uint32_t(journal.size());
        fms_E2pReplay(ctx.e2p, {journal.data(), uint32_t(journal.size())}, {content.data(), uint32_t(content.size())});
        qvtest::resetContext(ctx);
        return content;
    }
    std::string text(size_t off, size_t n) {
        return std::string(area.begin() + long(off), area.begin() + long(off + n));
    }
};

TEST_F(Release, ExampleDescriptionFilesParse) {
    CE2pFile params, extra;
    ASSERT_EQ(params.Load(release("params.e2p"), 0), 0);
    EXPECT_EQ(params.GetObjCount(), 6);
    EXPECT_EQ(params.Version(), 0x02010007u);
    EXPECT_EQ(params.Id(), 0x2A);
    ASSERT_EQ(extra.Load(release("extra.e2p"), 0), 0);
    EXPECT_EQ(extra.GetObjCount(), 2);
}

TEST_F(Release, MergeRoundTripsAndKeepsTheRaiParameters) {
    const Bytes baseBefore = base;
    ASSERT_EQ(run({release("params.e2p"), release("extra.e2p")}), 0) << message;
    EXPECT_EQ(message, "untouched");
    EXPECT_EQ(outs[kE2pOutput].imageType, 0x1000025u);
    EXPECT_EQ(outs[kE2pOutput].imageSize, 8192u);
    EXPECT_EQ(base, baseBefore);

    EXPECT_EQ(replay(baseBefore), area) << "the image replayed onto the base is the merged area";
    const Bytes image = readFile(outs[kE2pOutput].imagePath);
    std::vector<uint16_t> blocks;
    for (size_t p = 0; get16(image, p) != 0xFFFF; p += 22) blocks.push_back(get16(image, p) & 0x3FFF);
    EXPECT_EQ(blocks, (std::vector<uint16_t>{16, 64, 80, 96, 400, 512, 592}));
    EXPECT_EQ(get16(image, 8190), 0x7FFF);
    for (size_t off : {237u, 253u, 254u, 296u, 297u, 298u, 299u}) EXPECT_EQ(area[off], baseBefore[off]) << off;

    EXPECT_EQ(text(16, 16), std::string("Quorvel demo\0\0\0\0", 16));
    EXPECT_EQ(Bytes(area.begin() + 64, area.begin() + 68), (Bytes{0xFA, 0xFF, 0x01, 0x03})) << "extra.e2p wins";
    EXPECT_EQ(Bytes(area.begin() + 80, area.begin() + 86), (Bytes{0xFA, 0x00, 0x40, 0xE2, 0x01, 0x00}));
    EXPECT_EQ(Bytes(area.begin() + 100, area.begin() + 106), (Bytes{0xFF, 0, 0, 0, 0xFF, 0x20}));
    EXPECT_EQ(get32(area, 400), uint32_t(-123456));
    EXPECT_EQ(Bytes(area.begin() + 512, area.begin() + 520), (Bytes{100, 0, 0x38, 0xFF, 0x2C, 0x01, 0xFF, 0xFF}));
    EXPECT_EQ(get16(area, 600), 30);
}

TEST_F(Release, SecondMergeOfItsOwnOutputChangesNothing) {
    ASSERT_EQ(run({release("params.e2p"), release("extra.e2p")}), 0) << message;
    const Bytes merged = area, image = readFile(outs[kE2pOutput].imagePath);
    area = image; // the device now holds the new journal
    ASSERT_EQ(run({release("params.e2p"), release("extra.e2p")}), 0) << message;
    EXPECT_EQ(area, merged);
    EXPECT_EQ(readFile(outs[kE2pOutput].imagePath), image);
}

TEST_F(Release, NoDescriptionFilesWritesNoE2pImage) {
    const Bytes areaBefore = area;
    ASSERT_EQ(run({}), 0) << message;
    EXPECT_FALSE(fileExists(outs[kE2pOutput].imagePath));
    EXPECT_EQ(outs[kE2pOutput].imageType, 0u);
    EXPECT_EQ(area, base) << "the erased journal replays to the base";
}

TEST_F(Release, FailureCarriesTheMergeName) {
    writeText(dir.file("bad.e2p"), "X 9000 1 1\n1 %u8\n");
    EXPECT_EQ(run({release("params.e2p"), dir.file("bad.e2p")}), -78);
    EXPECT_EQ(message, "mergeE2P: DownloadE2PFile4Nor() error");
    EXPECT_FALSE(fileExists(outs[kRaiOutput].imagePath)) << "the RAI merge does not run";
}

TEST_F(Release, BaseSmallerThanAreaFailsTheCall) {
    base.resize(4096);
    EXPECT_EQ(run({release("params.e2p")}), -1202);
    EXPECT_EQ(message, "mergeE2P: E2P base image of 4096 bytes is smaller than the E2P area of 8192 bytes");
}

TEST_F(Release, EraseAllLeavesAnErasedBase) {
    ASSERT_EQ(run({release("params.e2p")}, 1), 0) << message;
    EXPECT_EQ(base, Bytes(8192, 0xFF));
    EXPECT_EQ(replay(base), area);
    std::vector<std::string> log = readLines(dir.file("merge.log"));
    EXPECT_NE(std::find(log.begin(), log.end(), "mergeE2P: Erase_ALL is TRUE"), log.end());
}

} // namespace
