// The size-and-date record under several time zones, with and without
// daylight-saving time.
#include "fixture.h"

#include "base/results.h"
#include "codeimage/size_date.h"

#include <filesystem>

namespace cvtest {
namespace {

constexpr std::time_t k20090305_1407Z = 1236262020;
constexpr std::time_t k20210704_1230Z = 1625401800; // northern summer
constexpr std::time_t k20210115_1230Z = 1610713800; // northern winter
constexpr std::time_t k20001231_2359Z = 978307140;
constexpr std::time_t k20100102_0304Z = 1262401440;

class SizeDateTest : public CodeImageTest {
protected:
    // A file of `size` bytes (sparse) last written at `t`.
    std::string file(uint64_t size, std::time_t t) {
        std::string p = put("code.bin", {});
        std::filesystem::resize_file(p, size);
        setMtime(p, t);
        return p;
    }
    Bytes record(const std::string &path) {
        std::vector<uint8_t> rec;
        uint32_t len = 0;
        EXPECT_EQ(qv::SendBinaryFileSizeAndDate(path, rec, len), 0);
        EXPECT_EQ(len, 28u);
        return rec;
    }
};

TEST_F(SizeDateTest, WorkedExampleInUtc) {
    ScopedTz tz("UTC0");
    Bytes r = record(file(1048576, k20090305_1407Z));
    EXPECT_EQ(r, sizeDate("1048576 030509 14:07"));
    EXPECT_EQ(r, concat({ascii("1048576 030509 14:07"), Bytes(7, ' '), Bytes{0}}));
}

TEST_F(SizeDateTest, EmptyFileHasAOneCharacterSize) {
    ScopedTz tz("UTC0");
    EXPECT_EQ(record(file(0, k20100102_0304Z)), concat({ascii("0 010210 03:04"), Bytes(13, ' '), Bytes{0}}));
}

TEST_F(SizeDateTest, YearTwoThousandIsZeroZero) {
    ScopedTz tz("UTC0");
    EXPECT_EQ(record(file(5, k20001231_2359Z)), sizeDate("5 123100 23:59"));
}

TEST_F(SizeDateTest, SizeOfTwoGigabytesAndMoreIsPrintedSigned) {
    ScopedTz tz("UTC0");
    EXPECT_EQ(record(file(0x80000005ull, k20100102_0304Z)), sizeDate("-2147483643 010210 03:04"));
    // Only the low 32 bits count.
    EXPECT_EQ(record(file(0x100000007ull, k20100102_0304Z)), sizeDate("7 010210 03:04"));
}

TEST_F(SizeDateTest, NewYorkRulesShiftByFourHoursInSummerAndFiveInWinter) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows takes its daylight-saving rules from the system, not from a TZ string";
#endif
    ScopedTz tz("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(record(file(100, k20210704_1230Z)), sizeDate("100 070421 08:30"));
    EXPECT_EQ(record(file(100, k20210115_1230Z)), sizeDate("100 011521 07:30"));
    // The local date can be the day before.
    EXPECT_EQ(record(file(100, k20100102_0304Z)), sizeDate("100 010110 22:04"));
}

TEST_F(SizeDateTest, CentralEuropeShiftsByTwoHoursInSummerAndOneInWinter) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows takes its daylight-saving rules from the system, not from a TZ string";
#endif
    ScopedTz tz("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(record(file(42, k20210704_1230Z)), sizeDate("42 070421 14:30"));
    EXPECT_EQ(record(file(42, k20210115_1230Z)), sizeDate("42 011521 13:30"));
    // New year arrives an hour earlier.
    EXPECT_EQ(record(file(42, k20001231_2359Z)), sizeDate("42 010101 00:59"));
}

TEST_F(SizeDateTest, TimeZoneChangesBetweenCallsAreFollowed) {
    std::string p = file(1, k20210704_1230Z);
    {
        ScopedTz tz("UTC0");
        EXPECT_EQ(record(p), sizeDate("1 070421 12:30"));
    }
    {
        ScopedTz tz("JST-9");
        EXPECT_EQ(record(p), sizeDate("1 070421 21:30"));
    }
}

TEST_F(SizeDateTest, MissingFileFailsAndStoresNothing) {
    std::vector<uint8_t> rec{1, 2, 3};
    uint32_t len = 77;
    EXPECT_EQ(qv::SendBinaryFileSizeAndDate(dir.file("absent.bin"), rec, len), qv::kErrSizeDate);
    EXPECT_EQ(rec, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(len, 77u);
}

} // namespace
} // namespace cvtest
