// The RAI image in memory against a real file written field by field, and
// flash reads and writes over it in both layouts.
#include "rai_fixture.h"

#include "rai/image_buffer.h"
#include "rai/image_io.h"

#include <cstdio>
#include <random>

using namespace qvtest;

namespace {

// The same accesses on a real stream, seek + write / seek + read.
struct ReferenceFile {
    explicit ReferenceFile(const std::string &path) : f(std::fopen(path.c_str(), "w+b")) {}
    ~ReferenceFile() { std::fclose(f); }
    void write(uint64_t pos, const Bytes &b) {
        fseeko(f, off_t(pos), SEEK_SET);
        std::fwrite(b.data(), 1, b.size(), f);
    }
    size_t read(uint64_t pos, Bytes &b) {
        fseeko(f, off_t(pos), SEEK_SET);
        return std::fread(b.data(), 1, b.size(), f);
    }
    FILE *f;
};

} // namespace

TEST(RaiImageBuffer, MatchesAFileWrittenFieldByField) {
    TempDir d;
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        qv::RaiImage img;
        ReferenceFile ref(d.file("ref" + std::to_string(round)));
        uint64_t fill = rng() % 300000;
        imageFill(img, fill);
        ref.write(0, Bytes(fill, 0xFF));
        for (int op = 0; op < 60; ++op) {
            uint64_t pos = rng() % 500000;
            Bytes data = randomBytes(rng() % 70000, uint32_t(rng()));
            if (rng() % 3 == 0) {
                Bytes mine(data.size(), 0xAA), theirs(data.size(), 0xAA);
                uint64_t got = imageReadAt(img, pos, mine.data(), mine.size());
                ASSERT_EQ(got, ref.read(pos, theirs)) << "round " << round << " op " << op;
                ASSERT_EQ(mine, theirs) << "round " << round << " op " << op;
            } else {
                imageWriteAt(img, pos, data.data(), data.size());
                ref.write(pos, data);
            }
        }
        std::fflush(ref.f);
        std::string path = d.file("mine" + std::to_string(round));
        {
            qv::File out(path, "wb");
            ASSERT_TRUE(imageSave(img, out));
            ASSERT_TRUE(out.close());
        }
        ASSERT_EQ(readFile(path), readFile(d.file("ref" + std::to_string(round)))) << "round " << round;
    }
}

TEST(RaiImageBuffer, GapAfterTheFillIsZeroAndAnEmptyWriteDoesNotExtend) {
    qv::RaiImage img;
    imageFill(img, 10);
    imageWriteAt(img, 200000, "x", 0);
    EXPECT_EQ(img.length, 10u);
    imageWriteAt(img, 200000, "xy", 2);
    qv::MergeContext ctx;
    ctx.rai.image = std::move(img);
    Bytes b = savedImage(ctx.rai);
    ASSERT_EQ(b.size(), 200002u);
    EXPECT_EQ(b[9], 0xFF);
    EXPECT_EQ(b[10], 0x00);
    EXPECT_EQ(b[199999], 0x00);
    EXPECT_EQ(b[200000], 'x');
}

class ImageIo : public RaiTest {
protected:
    // A window of `size` bytes of 0xFF at 0x04000000.
    void window(bool interleaved, uint32_t size) {
        useFlash(uniformFlash(64, 0x04000000, interleaved));
        imageFill(ctx.rai.image, size);
        qv::fms_SetImageWindow(ctx.rai, kBase, kBase + size);
    }
    static constexpr uint32_t kBase = 0x04000000;
};

TEST_F(ImageIo, WindowEdges) {
    window(false, 0x1000);
    uint8_t b[4] = {1, 2, 3, 4};
    EXPECT_EQ(qv::fms_Write(ctx.rai, kBase + 0x1000, 4, b), -260);
    EXPECT_EQ(qv::fms_Read(ctx.rai, kBase + 0x1000, 4, b), -281);
    EXPECT_EQ(qv::fms_Write(ctx.rai, kBase - 1, 4, b), -260);
    EXPECT_EQ(qv::fms_Write(ctx.rai, kBase, 4, b), 0);
    EXPECT_EQ(qv::fms_Read(ctx.rai, kBase + 0xFFF, 4, b), 0); // starts inside, runs past the end
    EXPECT_EQ(takeLog(), (std::vector<std::string>{"fms_Write: illegal address: 0x4001000",
                                                   "fms_Read: illegal address: 0x4001000",
                                                   "fms_Write: illegal address: 0x3ffffff"}));
    EXPECT_EQ(savedImage(ctx.rai).size(), 0x1000u); // nothing written by the refused accesses
}

TEST_F(ImageIo, PlainWriteChangesOnlyItsBytes) {
    window(false, 0x1000);
    const uint8_t b[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    ASSERT_EQ(qv::fms_Write(ctx.rai, kBase + 0x104, 4, b), 0);
    Bytes expect(0x1000, 0xFF);
    std::copy(b, b + 4, expect.begin() + 0x104);
    EXPECT_EQ(savedImage(ctx.rai), expect);
    uint8_t back[4] = {};
    ASSERT_EQ(qv::fms_Read(ctx.rai, kBase + 0x104, 4, back), 0);
    EXPECT_EQ(Bytes(back, back + 4), Bytes(b, b + 4));
}

TEST_F(ImageIo, PlainWriteRunsPastTheEndAndReadReturnsOnlyWhatExists) {
    window(false, 0x100);
    Bytes data = randomBytes(8, 3);
    ASSERT_EQ(qv::fms_Write(ctx.rai, kBase + 0xFC, 8, data.data()), 0);
    EXPECT_EQ(savedImage(ctx.rai).size(), 0x104u);
    Bytes back(12, 0x55);
    ASSERT_EQ(qv::fms_Read(ctx.rai, kBase + 0xFC, 12, back.data()), 0);
    EXPECT_EQ(Bytes(back.begin(), back.begin() + 8), data);
    EXPECT_EQ(Bytes(back.begin() + 8, back.end()), Bytes(4, 0x55));
}

TEST_F(ImageIo, InterleavedWriteSplitsIntoHalfSlots) {
    window(true, 0x100);
    Bytes data = randomBytes(20, 5);
    ASSERT_EQ(qv::fms_Write(ctx.rai, kBase + 8, 20, data.data()), 0);
    Bytes img = savedImage(ctx.rai);
    EXPECT_EQ(Bytes(img.begin() + 8, img.begin() + 16), Bytes(data.begin(), data.begin() + 8));
    EXPECT_EQ(Bytes(img.begin() + 16, img.begin() + 32), Bytes(16, 0xFF));
    EXPECT_EQ(Bytes(img.begin() + 32, img.begin() + 44), Bytes(data.begin() + 8, data.end()));
    EXPECT_EQ(img[44], 0xFF);
    Bytes back(20);
    ASSERT_EQ(qv::fms_Read(ctx.rai, kBase + 8, 20, back.data()), 0);
    EXPECT_EQ(back, data);
}

TEST_F(ImageIo, InterleavedPositionsBelowAndAbove256K) {
    useFlash(uniformFlash(64, 0, true));
    EXPECT_EQ(qv::imagePosition(ctx.flash, 0x20), 0x40u);
    EXPECT_EQ(qv::imagePosition(ctx.flash, 0x3FFF0), 0x7FFE0u);
    EXPECT_EQ(qv::imagePosition(ctx.flash, 0x40000), 0x80000u);
    EXPECT_EQ(qv::imagePosition(ctx.flash, 0x4000F), 0x8000Fu);
    EXPECT_EQ(qv::imagePosition(ctx.flash, 0xFFFFFFFF), 0x1FFFFFFEFull);
    useFlash(uniformFlash(64, 0, false));
    EXPECT_EQ(qv::imagePosition(ctx.flash, 0x4000F), 0x4000Fu);
}

TEST_F(ImageIo, InterleavedWritePastTheFillLeavesAZeroGap) {
    window(true, 0x100);
    const uint8_t b[4] = {1, 2, 3, 4};
    ASSERT_EQ(qv::fms_Write(ctx.rai, kBase + 0xF0, 4, b), 0); // position 0x1E0
    Bytes img = savedImage(ctx.rai);
    ASSERT_EQ(img.size(), 0x1E4u);
    EXPECT_EQ(img[0xFF], 0xFF);
    EXPECT_EQ(img[0x100], 0x00);
    EXPECT_EQ(img[0x1DF], 0x00);
    EXPECT_EQ(img[0x1E0], 1);
}
