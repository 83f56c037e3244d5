// The service launch: block sizes by cache size and trace version, the 0xFF
// fill and image window, and every refusal.
#include "rai_fixture.h"

#include "rai/hash.h"
#include "rai/launch.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

using namespace qvtest;
using Lines = std::vector<std::string>;

class RaiLaunch : public RaiTest {
protected:
    static constexpr uint32_t kFlash = 0x04000000;
    static constexpr uint32_t kRai = 0x04100000;
    static constexpr uint32_t k64K = 0x10000;

    void flash(uint32_t version = 0, bool interleaved = false) {
        FlashInfoSpec f = uniformFlash(64, kFlash, interleaved);
        f.versionAddr1 = version << 24;
        useFlash(f);
        useE2p(0x2000);
    }
    // In a child process: launches with 1 MB of address space to spare, prints
    // the log lines on stderr and exits with the negated result.
    [[noreturn]] void launchInLittleAddressSpace(uint32_t base, uint32_t length);
    bool has(const Lines &lines, const std::string &line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

TEST_F(RaiLaunch, SeventeenSectorsCacheOne) {
    flash();
    setByte(237, 1);
    ASSERT_EQ(qv::fms_MapLaunchService(ctx.rai, kRai, 17 * k64K), 0);
    Lines log = takeLog();
    ASSERT_GE(log.size(), 7u);
    EXPECT_EQ(Lines(log.begin(), log.begin() + 7),
              (Lines{"fms_MapLaunchService: l__u16_CacheSize = 0x1", "fms_MapLaunchService: hash size = 0x880",
                     "fms_MapLaunchService: item size = 0x110", "frai_hash_init: hash element number = 256",
                     "fms_MapLaunchService: l__u32_NumberOfSectors = 11",
                     "fms_MapLaunchService: l__s32_SectorSize = 10000",
                     "frai_store_init: base_addr = 0x4100000, sector_size = 0x10000, num_sectors = 0x11"}));
    EXPECT_EQ(log.back(), "frai_store_init: END OF INIT :");
    const qv::RaiState &rai = ctx.rai;
    EXPECT_EQ(rai.hash.count, 256u);
    EXPECT_EQ(rai.hash.mask, 31u);
    EXPECT_EQ(reinterpret_cast<const uint8_t *>(rai.hash.buckets), rai.memory.get() + 256 * 8);
    EXPECT_EQ(reinterpret_cast<const uint8_t *>(rai.store.table), rai.memory.get() + 0x880);
    EXPECT_EQ(rai.raiBase, kRai);
    EXPECT_EQ(rai.image.base, kRai);
    EXPECT_EQ(rai.image.end, kRai + 0x110000);
    Bytes img = savedImage(ctx.rai);
    ASSERT_EQ(img.size(), 0x110000u);
    EXPECT_EQ(std::count(img.begin(), img.end(), 0xFF), 0x110000 - 8); // the spare's header: 0B 0F 00 00 02 00 04 00
}

TEST_F(RaiLaunch, CacheSizeTenAndTheLargest) {
    flash();
    setByte(237, 10);
    ASSERT_EQ(qv::fms_MapLaunchService(ctx.rai, kRai, 17 * k64K), 0);
    Lines log = takeLog();
    EXPECT_TRUE(has(log, "fms_MapLaunchService: hash size = 0x5400")); // 2560 * 8 + 256 * 4
    EXPECT_TRUE(has(log, "frai_hash_init: hash element number = 2560"));

    flash(3);
    setWord(502, 511);
    ASSERT_EQ(qv::fms_MapLaunchService(ctx.rai, kRai, 2 * k64K), 0);
    EXPECT_EQ(ctx.rai.hash.count, 130816u);
    EXPECT_TRUE(has(takeLog(), "fms_MapLaunchService: item size = 0x20"));
}

TEST_F(RaiLaunch, CacheSizeSourceFollowsTheTraceVersion) {
    for (uint32_t version : {0u, 2u, 3u, 0xFFu}) {
        flash(version);
        setByte(237, 1);
        setWord(502, 0x0102);
        ASSERT_EQ(qv::fms_MapLaunchService(ctx.rai, kRai, 2 * k64K), 0) << version;
        EXPECT_EQ(takeLog().front(), version < 3 ? "fms_MapLaunchService: l__u16_CacheSize = 0x1"
                                                 : "fms_MapLaunchService: l__u16_CacheSize = 0x102");
    }
}

TEST_F(RaiLaunch, InterleavedFillIsTheAreaSize) {
    flash(0, true);
    setByte(237, 1);
    ASSERT_EQ(qv::fms_MapLaunchService(ctx.rai, kRai, 2 * k64K), 0);
    EXPECT_EQ(ctx.rai.image.end, kRai + 2 * k64K);
    EXPECT_EQ(ctx.rai.image.fillLength, 2u * k64K);
}

TEST_F(RaiLaunch, Refusals) {
    flash();
    setByte(237, 1);
    EXPECT_EQ(qv::fms_MapLaunchService(ctx.rai, kRai, 0), -11);
    EXPECT_EQ(takeLog(), Lines{"fms_MapLaunchService: Service not available"});

    EXPECT_EQ(qv::fms_MapLaunchService(ctx.rai, 0x04400000, k64K), -1302); // past the flash
    EXPECT_EQ(takeLog(), Lines{"fms_MapLaunchService: the sectors of 0x4400000 length 0x10000 cannot be counted"});

    setByte(237, 0);
    EXPECT_EQ(qv::fms_MapLaunchService(ctx.rai, kRai, k64K), -1305);
    EXPECT_EQ(takeLog(), (Lines{"fms_MapLaunchService: l__u16_CacheSize = 0x0",
                                "fms_MapLaunchService: l__u16_CacheSize = 0 is outside 1..511: 0 hash elements do "
                                "not fit 17-bit links"}));
    flash(3);
    setWord(502, 512);
    EXPECT_EQ(qv::fms_MapLaunchService(ctx.rai, kRai, k64K), -1305);
    EXPECT_EQ(takeLog().back(), "fms_MapLaunchService: l__u16_CacheSize = 512 is outside 1..511: 131072 hash "
                                "elements do not fit 17-bit links");
    ctx.e2p.e2pAreaSize = 503;
    EXPECT_EQ(qv::fms_MapLaunchService(ctx.rai, kRai, k64K), -1304);
    EXPECT_EQ(takeLog(), Lines{"fms_MapLaunchService: l__u16_CacheSize unreadable: E2P address 502 lies beyond the "
                               "E2P area of 503 bytes"});
    // Nothing was set up by any refusal.
    EXPECT_EQ(ctx.rai.memory, nullptr);
    EXPECT_EQ(ctx.rai.image.length, 0u);
}

TEST_F(RaiLaunch, MixedSectorSizesAreRefused) {
    FlashInfoSpec f;
    f.sizeIn64KB = 63;
    f.regions = {{16, 62}, {13, 8}};
    f.baseAddress = kFlash;
    useFlash(f);
    useE2p(0x2000);
    setByte(237, 1);
    const uint32_t small = kFlash + 62 * k64K;
    EXPECT_EQ(qv::fms_MapLaunchService(ctx.rai, small - k64K, k64K + 0x4000), -1303);
    EXPECT_EQ(takeLog(), Lines{"fms_MapLaunchService: sector at 0x43e0000 is 0x2000 bytes, the sector at the RAI "
                               "base 0x10000"});
    EXPECT_EQ(qv::fms_MapLaunchService(ctx.rai, small, 4 * 0x2000), 0); // small sectors alone are fine
}

TEST_F(RaiLaunch, SectorsTooSmallForTheirHeader) {
    FlashInfoSpec f;
    f.sizeIn64KB = 1;
    f.regions = {{3, 8192}}; // 8-byte sectors: 4 usable when interleaved
    f.flags = 1;
    useFlash(f);
    useE2p(0x2000);
    setByte(237, 1);
    EXPECT_EQ(qv::fms_MapLaunchService(ctx.rai, 0x100, 0x100), -1306);
    EXPECT_EQ(takeLog(),
              Lines{"fms_MapLaunchService: l__s32_SectorSize = 0x8 leaves 4 bytes, no room for a sector header"});
    f.flags = 0;
    useFlash(f);
    EXPECT_EQ(qv::fms_MapLaunchService(ctx.rai, 0x100, 0x100), 0); // 8 plain bytes: a header and no room, but sound
    EXPECT_EQ(ctx.rai.store.wordsPerSector, 0u);
}

#if defined(__SANITIZE_ADDRESS__)
#define QV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_ASAN 1
#endif
#endif

// Virtual memory of this process in bytes.
[[maybe_unused]] static uint64_t addressSpace() {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    return pages * uint64_t(sysconf(_SC_PAGESIZE));
}

void RaiLaunch::launchInLittleAddressSpace(uint32_t base, uint32_t length) {
    rlimit limit{};
    limit.rlim_cur = addressSpace() + (1 << 20);
    limit.rlim_max = RLIM_INFINITY;
    setrlimit(RLIMIT_AS, &limit);
    int r = qv::fms_MapLaunchService(ctx.rai, base, length);
    for (const std::string &line : takeLog()) std::fprintf(stderr, "%s\n", line.c_str());
    std::error_code ec;
    std::filesystem::remove_all(dir_.path(), ec);
    std::exit(-r);
}

TEST_F(RaiLaunch, BlockThatCannotBeAllocated) {
#ifdef QV_ASAN
    GTEST_SKIP() << "address-space limits do not mix with the address sanitizer";
#else
    // Four regions of 65535 sectors of 16 bytes: 262140 descriptors, a 4 MB
    // block. The child process gets too little address space for it.
    FlashInfoSpec f;
    f.sizeIn64KB = 64;
    f.regions = {{4, 65535}, {4, 65535}, {4, 65535}, {4, 65535}};
    useFlash(f);
    useE2p(0x2000);
    setByte(237, 1);
    takeLog();
    // A fresh process: no freed memory of earlier tests left to reuse.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(launchInLittleAddressSpace(0, 65535u * 16 * 4), ::testing::ExitedWithCode(12),
                "fms_MapLaunchService: l__u16_CacheSize = 0x1\n"
                "fms_MapLaunchService: hash size = 0x880\n"
                "fms_MapLaunchService: item size = 0x3fffc0\n"
                "fms_MapLaunchService: l__pu8_Memory malloc fail\n");
#endif
}
