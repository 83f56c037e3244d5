// Geometry of the registered flash: regions, sector starts and steps, banks.
#include "support/support.h"

#include "support/context.h"
#include "flash/geometry.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qvtest;

namespace {

class Geometry : public ::testing::Test, protected qvtest::TestContext {
protected:
    void use(const FlashInfoSpec &flashDesc) {
        record_ = flashDesc.build();
        qvtest::resetContext(ctx);
        ASSERT_TRUE(fms_SetFlashInfo(ctx.flash, record_.data()));
    }
    void TearDown() override { qvtest::resetContext(ctx); }
    Bytes record_;
};

// Top-boot flash: 62 sectors of 64 KB, then 8 sectors of 8 KB (4 MB in all).
FlashInfoSpec topBoot(uint32_t base = 0) {
    FlashInfoSpec f;
    f.sizeIn64KB = 63;
    f.regions = {{16, 62}, {13, 8}};
    f.baseAddress = base;
    return f;
}

} // namespace

TEST_F(Geometry, RegistrationAndRegionQueries) {
    qvtest::resetContext(ctx);
    EXPECT_FALSE(fms_SetFlashInfo(ctx.flash, nullptr));
    EXPECT_FALSE(fms_HasFlashInfo(ctx.flash));
    EXPECT_EQ(fms_GetRegionCount(ctx.flash), 0u);
    EXPECT_EQ(fms_FindRegion(ctx.flash, 0), -1);
    EXPECT_EQ(fms_GetSectorStart(ctx.flash, 0), kNoSectorStart);

    use(topBoot());
    EXPECT_EQ(fms_GetRegionCount(ctx.flash), 2u);
    EXPECT_EQ(fms_GetRegionSectorSize(ctx.flash, 0), 0x10000u);
    EXPECT_EQ(fms_GetRegionSectorSize(ctx.flash, 1), 0x2000u);
    EXPECT_EQ(fms_GetRegionSectorCount(ctx.flash, 1), 8u);
    EXPECT_EQ(fms_GetRegionSectorSize(ctx.flash, 2), 0u);
    uint32_t size = 0;
    EXPECT_EQ(fms_FindRegion(ctx.flash, 0x3DFFFF, &size), 0);
    EXPECT_EQ(size, 63u << 16);
    EXPECT_EQ(fms_FindRegion(ctx.flash, 0x3E0000), 1);
    EXPECT_EQ(fms_FindRegion(ctx.flash, 0x3F0000), -1); // past the last region
}

TEST_F(Geometry, InterleavedFlagIsBitZeroOfFlagsAtOffset116) {
    FlashInfoSpec f = uniformFlash(16);
    f.flags = 0xFFFFFFFE;
    use(f);
    EXPECT_FALSE(fms_IsInterleaved(ctx.flash));
    f.flags = 1;
    use(f);
    EXPECT_TRUE(fms_IsInterleaved(ctx.flash));
    // flags is read at offset 116 even with no memory part listed.
    EXPECT_EQ(FlashInfo(record_.data()).memPartCount(), 0u);
}

TEST_F(Geometry, SectorStartsAndSizesAtRegionEdges) {
    use(topBoot());
    EXPECT_EQ(fms_GetSectorStart(ctx.flash, 0x12345), 0x10000);
    EXPECT_EQ(fms_GetSectorSize(ctx.flash, 0x12345), 0x10000);
    EXPECT_EQ(fms_GetSectorStart(ctx.flash, 0x3E2001), 0x3E2000);
    EXPECT_EQ(fms_GetSectorSize(ctx.flash, 0x3E2001), 0x2000);
    // Next of a sector start is the following sector, never the address itself.
    EXPECT_EQ(fms_GetNextSectorStart(ctx.flash, 0x10000), 0x20000);
    EXPECT_EQ(fms_GetNextSectorStart(ctx.flash, 0x3D0000), 0x3E0000);
    EXPECT_EQ(fms_GetNextSectorStart(ctx.flash, 0x3E0000), 0x3E2000);
    // The last sector has no next one: the flash ends there.
    EXPECT_EQ(fms_GetNextSectorStart(ctx.flash, 0x3EE000), kNoSectorStart);
}

TEST_F(Geometry, PrevSectorAssumesTheSameSizeBelow) {
    use(topBoot());
    EXPECT_EQ(fms_GetPrevSectorStart(ctx.flash, 0x20000), 0x10000);
    EXPECT_EQ(fms_GetPrevSectorStart(ctx.flash, 0x3E4000), 0x3E2000);
    // At the lower edge of the small sectors the step lands inside the top
    // 64 KB sector, 8 KB below the edge.
    EXPECT_EQ(fms_GetPrevSectorStart(ctx.flash, 0x3E0000), 0x3DE000);
    EXPECT_EQ(fms_GetPrevSectorStart(ctx.flash, 0x5000), kNoSectorStart); // lowest sector of bank 0
}

TEST_F(Geometry, PrevSectorNeverLeavesTheBankOfTheAddress) {
    use(topBoot(0x04000000));
    EXPECT_EQ(fms_GetPrevSectorStart(ctx.flash, 0x04010000), 0x04000000);
    EXPECT_EQ(fms_GetPrevSectorStart(ctx.flash, 0x04000000), kNoSectorStart);
    EXPECT_EQ(fms_GetPrevSectorStart(ctx.flash, 0x0400FFFF), kNoSectorStart);
}

TEST_F(Geometry, GoBackSectorsIsExactAtRegionEdges) {
    use(topBoot());
    EXPECT_EQ(fms_GoBackSectors(ctx.flash, 0x3E4000, 2), 0x3E0000); // two 8 KB sectors
    EXPECT_EQ(fms_GoBackSectors(ctx.flash, 0x3E2000, 2), 0x3D0000);        // one 8 KB, one 64 KB
    EXPECT_EQ(fms_GoBackSectors(ctx.flash, 0x3E0000, 0), 0x3E0000);
    EXPECT_EQ(fms_GoBackSectors(ctx.flash, 0x20000, 2), 0);
    EXPECT_EQ(fms_GoBackSectors(ctx.flash, 0x20000, 3), -1); // below the flash
}

TEST_F(Geometry, SectorCountStepsOverTheRange) {
    use(topBoot());
    EXPECT_EQ(fms_GetSectorCount(ctx.flash, 0, 0), 0);
    EXPECT_EQ(fms_GetSectorCount(ctx.flash, 0, 1), 1);
    EXPECT_EQ(fms_GetSectorCount(ctx.flash, 0, 0x10001), 2);
    EXPECT_EQ(fms_GetSectorCount(ctx.flash, 0x3D0000, 0x14000), 3); // 64 KB + two 8 KB
    EXPECT_EQ(fms_GetSectorCount(ctx.flash, 0x3E0000, 0x10000), -1); // steps past the end
}

TEST_F(Geometry, FlashEndBoundsEveryStartInHigherBanks) {
    use(uniformFlash(4, 0x08000000));
    EXPECT_EQ(fms_GetSectorStart(ctx.flash, 0x08031234), 0x08030000);
    EXPECT_EQ(fms_GetNextSectorStart(ctx.flash, 0x08020000), 0x08030000);
    EXPECT_EQ(fms_GetNextSectorStart(ctx.flash, 0x08030000), kNoSectorStart);
    EXPECT_EQ(fms_GetSectorStart(ctx.flash, 0x08040000), kNoSectorStart);
}

TEST_F(Geometry, OddRecordsAnswerNoSector) {
    FlashInfoSpec none = uniformFlash(4);
    none.regions.clear(); // regionCount 0
    use(none);
    EXPECT_FALSE(fms_GeometryValid(ctx.flash));
    EXPECT_EQ(fms_GetSectorStart(ctx.flash, 0), kNoSectorStart);
    EXPECT_EQ(fms_GetSectorCount(ctx.flash, 0, 1), -1);

    Bytes five = uniformFlash(4).build();
    five[11] = 5; // would run into baseAddress
    qvtest::resetContext(ctx);
    fms_SetFlashInfo(ctx.flash, five.data());
    EXPECT_FALSE(fms_GeometryValid(ctx.flash));
    EXPECT_EQ(fms_FindRegion(ctx.flash, 0), -1);

    FlashInfoSpec wide = uniformFlash(4);
    wide.regions = {{32, 1}};
    use(wide);
    EXPECT_EQ(fms_GetSectorSize(ctx.flash, 0), kNoSectorStart);
    EXPECT_EQ(fms_GetRegionSectorSize(ctx.flash, 0), 0u);
}

TEST_F(Geometry, HugeRegionsDoNotWrap) {
    FlashInfoSpec f;
    f.sizeIn64KB = 0xFFFF;
    f.regions = {{31, 2}, {16, 1}}; // 4 GB of 2 GB sectors: the sum must not wrap
    use(f);
    EXPECT_EQ(fms_FindRegion(ctx.flash, 0x7FFFFFFF), 0);
    EXPECT_EQ(fms_GetSectorStart(ctx.flash, 0x10), 0);
    EXPECT_EQ(uint32_t(fms_GetNextSectorStart(ctx.flash, 0x10)), 0x80000000u);
    EXPECT_EQ(fms_GetNextSectorStart(ctx.flash, 0x80000000), kNoSectorStart); // its region ends the flash
}

TEST_F(Geometry, StepsTestAddressesAsSignedValues) {
    // A flash at 2 GB and above: sector starts there read as negative, so
    // stepping back or counting over them fails.
    use(uniformFlash(4, 0x80000000));
    EXPECT_EQ(uint32_t(fms_GetSectorStart(ctx.flash, 0x80012345)), 0x80010000u);
    EXPECT_EQ(fms_GoBackSectors(ctx.flash, 0x80020000, 1), -1);
    EXPECT_EQ(fms_GetSectorCount(ctx.flash, 0x80000000, 0x10000), -1);
    EXPECT_EQ(fms_GetSectorCount(ctx.flash, 0x7FFF0000, 0x20000), 0); // the end wraps below the start
    use(uniformFlash(4, 0x7C000000));
    EXPECT_EQ(fms_GetSectorCount(ctx.flash, 0x7C000000, 0x20000), 2);
}
