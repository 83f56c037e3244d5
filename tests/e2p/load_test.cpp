// Loading a description file into the current E2P image: address classes,
// sizes, order, and the refusals.
#include "e2p_fixture.h"

#include "e2p/e2p_load.h"

using namespace qvtest;
using namespace qv;

namespace {

class Load : public E2pTest {
protected:
    TempDir dir;
    Bytes image;

    void SetUp() override {
        setup(0x2000);
        image.assign(0x2000, 0xFF);
        use(image);
    }
    int load(const std::string &text) {
        writeText(dir.file("f.e2p"), text);
        return DownloadE2PFile4Nor(ctx.e2p, dir.file("f.e2p"), image.data(), 0);
    }
    Bytes at(size_t off, size_t n) { return Bytes(image.begin() + long(off), image.begin() + long(off + n)); }
};

TEST_F(Load, EmptyOrMissingFileWritesNothing) {
    EXPECT_EQ(load(""), 0);
    EXPECT_EQ(DownloadE2PFile4Nor(ctx.e2p, dir.file("missing"), image.data(), qv::kE2pDownloadFailed), 0);
    EXPECT_EQ(image, Bytes(0x2000, 0xFF));
}

TEST_F(Load, BothAcceptedRangesMapToTheSameOffsets) {
    EXPECT_EQ(load("A 100 2 1\n0x1234 %u16\n"), 0);
    EXPECT_EQ(at(99, 4), (Bytes{0xFF, 0x34, 0x12, 0xFF}));
    image.assign(0x2000, 0xFF);
    EXPECT_EQ(load("A 16484 2 1\n0x1234 %u16\n"), 0);
    EXPECT_EQ(at(99, 4), (Bytes{0xFF, 0x34, 0x12, 0xFF}));
    EXPECT_EQ(load("A 0 1 1\n1 %u8\nB 8191 1 1\n2 %u8\nC 16384 1 1\n3 %u8\nD 24575 1 1\n4 %u8\n"), 0);
    EXPECT_EQ(image[0], 3);
    EXPECT_EQ(image[8191], 4);
}

TEST_F(Load, RefusedAddressStopsTheLoad) {
    for (const char *addr : {"8192", "16383", "24576", "49152", "-1", "65535"}) {
        image.assign(0x2000, 0xFF);
        std::string text = std::string("A 10 1 1\n1 %u8\nB ") + addr + " 1 1\n2 %u8\nC 20 1 1\n3 %u8\n";
        EXPECT_EQ(load(text), qv::kE2pDownloadFailed) << addr;
        EXPECT_EQ(image[10], 1) << "objects before the refused one stay written";
        EXPECT_EQ(image[20], 0xFF) << "later objects are not written";
    }
    image.assign(0x2000, 0xFF);
    EXPECT_EQ(load("A 65536 1 1\n5 %u8\n"), 0) << "the address counts modulo 65536";
    EXPECT_EQ(image[0], 5);
}

TEST_F(Load, SizeDecidesTheBytesWritten) {
    EXPECT_EQ(load("A 10 4 1\n7 %u8\nB 20 0 1\n9 %u8\nC 30 1 2\n1 2 %u8\n"), 0);
    EXPECT_EQ(at(10, 5), (Bytes{0x07, 0x00, 0x00, 0x00, 0xFF})) << "zeros fill the rest of the size";
    EXPECT_EQ(image[20], 0xFF) << "size 0 writes nothing";
    EXPECT_EQ(at(30, 2), (Bytes{0x01, 0xFF}));
}

TEST_F(Load, LaterObjectWinsAndOverlongObjectIsSkipped) {
    EXPECT_EQ(load("A 10 1 1\n1 %u8\nB 8190 4 1\n0x01020304 %u32\nA2 10 1 1\n2 %u8\n"), 0);
    EXPECT_EQ(image[10], 2);
    EXPECT_EQ(at(8188, 4), Bytes(4, 0xFF)) << "passes the area end: not written, the load goes on";
}

TEST_F(Load, WritesMayRunPastOffset8191InsideTheArea) {
    setup(0x3000);
    image.assign(0x3000, 0xFF);
    use(image);
    EXPECT_EQ(load("A 8190 4 1\n0x01020304 %u32\n"), 0);
    EXPECT_EQ(at(8190, 4), (Bytes{4, 3, 2, 1}));
}

TEST_F(Load, RecordTooLargeForTheBufferFailsTheLoad) {
    EXPECT_EQ(load("A 10 1 1\n1 %u8\nB 20 2041 0\nC 30 1 1\n3 %u8\n"), qv::kE2pDownloadFailed);
    EXPECT_EQ(image[10], 1);
    EXPECT_EQ(image[30], 0xFF);
    EXPECT_EQ(load("B 20 -4 0\n"), qv::kE2pDownloadFailed);
    EXPECT_EQ(load("B 20 2040 0\n"), 0);
}

} // namespace
