// Logical parameter access: the area bound, the image bound, the interleaved
// mapping and the end mark.
#include "e2p_fixture.h"

using namespace qvtest;
using namespace qv;

namespace {

class Access : public E2pTest {};

TEST_F(Access, RangeEndingAtTheAreaSizeIsAcceptedOneFurtherIsRefused) {
    setup(0x2000);
    Bytes img = randomBytes(0x2000, 1);
    use(img);
    uint8_t out[2] = {0xAA, 0xBB};
    EXPECT_EQ(fms_E2pRead(ctx.e2p, 0x1FFE, 2, out), 0);
    EXPECT_EQ(out[0], img[0x1FFE]);
    EXPECT_EQ(out[1], img[0x1FFF]);
    out[0] = out[1] = 0x5A;
    EXPECT_EQ(fms_E2pRead(ctx.e2p, 0x1FFF, 2, out), -85);
    EXPECT_EQ(out[0], 0x5A) << "a refused read leaves the destination alone";
    Bytes before = img;
    EXPECT_EQ(fms_E2pWrite(ctx.e2p, 0x1FFF, 2, out), -104);
    EXPECT_EQ(img, before);
    EXPECT_EQ(fms_E2pWrite(ctx.e2p, 0x1FFE, 2, out), 0);
    EXPECT_EQ(img[0x1FFE], 0x5A);
}

TEST_F(Access, WrappingRangeIsRefused) {
    setup(0x2000);
    Bytes img(0x2000, 0);
    use(img);
    uint8_t v[2] = {1, 2};
    EXPECT_EQ(fms_E2pWrite(ctx.e2p, 0xFFFFFFFF, 2, v), -104);
    EXPECT_EQ(fms_E2pRead(ctx.e2p, 0xFFFFFFFF, 2, v), -85);
}

TEST_F(Access, ImageSmallerThanTheAreaBoundsEveryAccess) {
    setup(0x2000);
    Bytes img(0x100, 0);
    use(img);
    uint8_t v[4] = {};
    EXPECT_EQ(fms_E2pRead(ctx.e2p, 0xFC, 4, v), 0);
    EXPECT_EQ(fms_E2pRead(ctx.e2p, 0xFD, 4, v), -85);
    EXPECT_EQ(fms_E2pWrite(ctx.e2p, 0x100, 1, v), -104);
}

TEST_F(Access, NoImageRefusesEverything) {
    setup(0x2000);
    fms_E2pClearImage(ctx.e2p);
    uint8_t v = 0;
    EXPECT_EQ(fms_E2pRead(ctx.e2p, 0, 1, &v), -85);
    EXPECT_EQ(fms_E2pWrite(ctx.e2p, 0, 1, &v), -104);
}

TEST_F(Access, InterleavedOneByteWriteAtLogical0x12LandsAt0x22) {
    setup(0x2000, true);
    Bytes img(0x2000, 0xFF);
    use(img);
    uint8_t v = 0x42;
    EXPECT_EQ(fms_E2pWrite(ctx.e2p, 0x12, 1, &v), 0);
    Bytes want(0x2000, 0xFF);
    want[0x22] = 0x42;
    EXPECT_EQ(img, want);
}

TEST_F(Access, InterleavedTwentyByteReadAt0x0CTakesTwoSlots) {
    setup(0x2000, true);
    Bytes img(0x2000);
    for (size_t i = 0; i < img.size(); ++i) img[i] = uint8_t(i);
    use(img);
    uint8_t out[20];
    ASSERT_EQ(fms_E2pRead(ctx.e2p, 0x0C, 20, out), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], 0x0C + i);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out[4 + i], 0x20 + i);
}

TEST_F(Access, InterleavedWriteNeverTouchesTheSecondHalfOfASlot) {
    setup(0x2000, true);
    Bytes img(0x2000, 0xEE);
    use(img);
    Bytes data(40, 0x11);
    ASSERT_EQ(fms_E2pWrite(ctx.e2p, 8, 40, data.data()), 0);
    for (size_t i = 0; i < 0x80; ++i) {
        bool written = (i >= 8 && i < 16) || (i >= 32 && i < 48) || (i >= 64 && i < 80);
        EXPECT_EQ(img[i], written ? 0x11 : 0xEE) << i;
    }
}

TEST_F(Access, InterleavedMappingIsOneToOneAbove256K) {
    setup(0x100000, true);
    EXPECT_EQ(e2pImageOffset(ctx.flash, 0x3FFF0), 0x7FFE0u);
    EXPECT_EQ(e2pImageOffset(ctx.flash, 0x40000), 0x80000u);
    EXPECT_EQ(e2pImageOffset(ctx.flash, 0x40011), 0x80021u);
    EXPECT_EQ(e2pImageOffset(ctx.flash, 0xFFFFFFFF), 0x1FFFFFFEFull);
}

TEST_F(Access, InterleavedReachPastTheImageIsRefused) {
    // The area bound passes 0x1000..0x1FFF, but the image holds only half.
    setup(0x2000, true);
    Bytes img(0x2000, 0);
    use(img);
    uint8_t v[2] = {};
    EXPECT_EQ(fms_E2pWrite(ctx.e2p, 0xFFE, 2, v), 0);
    EXPECT_EQ(fms_E2pWrite(ctx.e2p, 0xFFF, 2, v), -104);
    EXPECT_EQ(fms_E2pRead(ctx.e2p, 0x1000, 1, v), -85);
}

TEST_F(Access, EndMarkFlatAndInterleaved) {
    setup(0x10000);
    Bytes flat(0x10000, 0xFF);
    use(flat);
    fms_E2pSetEndMark(ctx.e2p, 0x10000);
    EXPECT_EQ(flat[0xFFFE], 0xFF);
    EXPECT_EQ(flat[0xFFFF], 0x7F);
    EXPECT_EQ(std::count(flat.begin(), flat.end(), 0xFF), 0xFFFF);

    setup(0x10000, true);
    Bytes inter(0x10000, 0xFF);
    use(inter);
    fms_E2pSetEndMark(ctx.e2p, 0x10000);
    EXPECT_EQ(inter[0xFFEE], 0xFF);
    EXPECT_EQ(inter[0xFFEF], 0x7F);
    EXPECT_EQ(std::count(inter.begin(), inter.end(), 0xFF), 0xFFFF);
}

TEST_F(Access, EndMarkIgnoresTheAreaSizeButNotTheImage) {
    setup(0x10);
    Bytes img(0x40, 0);
    use(img);
    fms_E2pSetEndMark(ctx.e2p, 0x40);
    EXPECT_EQ(img[0x3E], 0xFF);
    EXPECT_EQ(img[0x3F], 0x7F);
    Bytes small(0x10, 0);
    use(small);
    fms_E2pSetEndMark(ctx.e2p, 0x40); // would pass the image: nothing written
    EXPECT_EQ(small, Bytes(0x10, 0));
}

TEST_F(Access, SetImageNullKeepsTheCurrentImage) {
    setup(0x100);
    Bytes img(0x100, 0x33);
    use(img);
    EXPECT_FALSE(fms_E2pSetImage(ctx.e2p, nullptr, 0x100));
    uint8_t v = 0;
    EXPECT_EQ(fms_E2pRead(ctx.e2p, 5, 1, &v), 0);
    EXPECT_EQ(v, 0x33);
}

} // namespace
