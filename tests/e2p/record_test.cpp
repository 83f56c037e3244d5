// Encoding objects as E2P records: the worked records byte for byte, the
// cut and short value streams, and the buffer bounds.
#include "support/support.h"

#include "e2p/e2p_file.h"

#include <gtest/gtest.h>

using namespace qvtest;
using namespace qv;

namespace {

class Record : public ::testing::Test {
protected:
    TempDir dir;
    CE2pFile table;
    Bytes buf = Bytes(kE2pRecordBuffer, 0);
    int length = -1;

    void load(const std::string &text) {
        writeText(dir.file("f.e2p"), text);
        ASSERT_EQ(table.Load(dir.file("f.e2p"), 0), 0);
    }
    // The record of object i in a zero-filled buffer.
    Bytes record(int i) {
        std::fill(buf.begin(), buf.end(), 0);
        length = -1;
        EXPECT_EQ(table.GetObjRecord(i, buf.data(), buf.size(), &length), 0);
        return length < 0 ? Bytes{} : Bytes(buf.begin(), buf.begin() + length);
    }
};

TEST_F(Record, WorkedRecords) {
    load("A 16 2 1\n0x1234 %u16\n"
         "B 16400 4 1\nAB %ascii\n"
         "C 100 3 2\n1 %u8\n-1 %s16\n");
    EXPECT_EQ(record(0), (Bytes{0x0E, 0x08, 0x10, 0x40, 0x02, 0x00, 0x00, 0x34, 0x12, 0x72}));
    EXPECT_EQ(length, 10);
    EXPECT_EQ(record(1), (Bytes{0x0E, 0x0A, 0x10, 0x80, 0x04, 0x00, 0x00, 0x41, 0x42, 0x00, 0x00, 0x93}));
    EXPECT_EQ(record(2), (Bytes{0x0E, 0x09, 0x64, 0x40, 0x03, 0x00, 0x00, 0x01, 0xFF, 0xFF, 0x21}));
}

TEST_F(Record, SizeZeroIsHeaderAndChecksum) {
    load("A 16 0 1\n0x55 %u8\n");
    Bytes r = record(0);
    EXPECT_EQ(r, (Bytes{0x0E, 0x06, 0x10, 0x40, 0x00, 0x00, 0x00, 0x0E ^ 0x06 ^ 0x10 ^ 0x40}));
    EXPECT_EQ(buf[8], 0) << "nothing of the value survives";
}

TEST_F(Record, LongStreamIsCutAndLeftBehindTheChecksum) {
    load("A 0 2 4\n1 2 3 4 %u8\n");
    Bytes r = record(0);
    EXPECT_EQ(r, (Bytes{0x0E, 0x08, 0x00, 0x40, 0x02, 0x00, 0x00, 0x01, 0x02, 0x0E ^ 0x08 ^ 0x40 ^ 0x02 ^ 1 ^ 2}));
    EXPECT_EQ(buf[10], 4) << "stream bytes past the record stay in the buffer";
}

TEST_F(Record, ShortStreamKeepsTheBuffer) {
    load("A 0 4 1\n7 %u8\n");
    std::fill(buf.begin(), buf.end(), 0xCC);
    ASSERT_EQ(table.GetObjRecord(0, buf.data(), buf.size(), &length), 0);
    EXPECT_EQ(Bytes(buf.begin() + 7, buf.begin() + 11), (Bytes{0x07, 0xCC, 0xCC, 0xCC}));
}

TEST_F(Record, HeaderFieldsWrap) {
    load("A 49152 250 0\nB -1 1 0\n");
    Bytes r = record(0);
    EXPECT_EQ(r[1], 0x00) << "256 mod 256";
    EXPECT_EQ(r[2], 0x00);
    EXPECT_EQ(r[3], 0x00);
    EXPECT_EQ(r[4], 250);
    r = record(1);
    EXPECT_EQ(r[2], 0xFF);
    EXPECT_EQ(r[3], 0x3F);
}

TEST_F(Record, ValueEncodings) {
    load("A 0 19 7\n-2 %s8\n300 %u8\n0x1234 %p %s16\nabc %ascii\n5 %u8\n-2 %u32\n");
    Bytes r = record(0);
    EXPECT_EQ(Bytes(r.begin() + 7, r.begin() + 7 + 16),
              (Bytes{0xFE, 0x2C, 0x34, 0x12, 0xFF, 0xFF, 'a', 'b', 'c', 0x05, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
}

TEST_F(Record, TwoTextsStandBackToBack) {
    load("A 0 5 2\nab %ascii\ncde %ascii\n");
    Bytes r = record(0);
    EXPECT_EQ(Bytes(r.begin() + 7, r.begin() + 12), (Bytes{'a', 'b', 'c', 'd', 'e'}));
}

TEST_F(Record, IndexOutOfRangeWritesTheText) {
    load("A 0 1 0\nB 0 1 0\nC 0 1 0\n");
    length = 77;
    EXPECT_EQ(table.GetObjRecord(5, buf.data(), buf.size(), &length), qv::kE2pIndexOutside);
    EXPECT_STREQ(reinterpret_cast<char *>(buf.data()), "Out of Range for index:5, E2P object number:3");
    EXPECT_EQ(length, 77);
    EXPECT_EQ(table.GetObjRecord(-1, buf.data(), buf.size(), &length), qv::kE2pIndexOutside);
    EXPECT_STREQ(reinterpret_cast<char *>(buf.data()), "Out of Range for index:-1, E2P object number:3");
}

TEST_F(Record, RecordsThatDoNotFitTheBufferAreRefused) {
    std::string stream2041(2041, 'x'), stream2042(2042, 'x');
    load("A 0 2040 0\nB 0 2041 0\nC 0 -1 0\nD 0 1 1\n" + stream2041 + " %ascii\nE 0 1 1\n" + stream2042 +
         " %ascii\n");
    EXPECT_EQ(record(0).size(), 2048u);
    Bytes guard = buf;
    length = 77;
    EXPECT_EQ(table.GetObjRecord(1, buf.data(), buf.size(), &length), qv::kE2pDownloadFailed);
    EXPECT_EQ(table.GetObjRecord(2, buf.data(), buf.size(), &length), qv::kE2pDownloadFailed);
    EXPECT_EQ(length, 77);
    EXPECT_EQ(buf, guard) << "a refused record leaves the buffer alone";
    EXPECT_EQ(record(3).size(), 9u);
    EXPECT_EQ(table.GetObjRecord(4, buf.data(), buf.size(), &length), qv::kE2pDownloadFailed);
}

} // namespace
