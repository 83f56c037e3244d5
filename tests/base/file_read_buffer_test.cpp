// Input streams read through their own 64 KiB buffer, which must travel with
// the stream when a File is moved and must give the same bytes as the file
// holds, whatever the mix of small records, single bytes, seeks and reads of
// whole blocks.
#include "support/support.h"

#include "base/file.h"

#include <gtest/gtest.h>

using namespace qvtest;

TEST(FileReadBuffer, RecordsSeeksAndBlocksAcrossBufferEdgesReadTheFile) {
    TempDir dir;
    const Bytes data = randomBytes(3 * 65536 + 1000, 17);
    writeFile(dir.file("in.bin"), data);

    qv::File f(dir.file("in.bin"), "rb");
    ASSERT_TRUE(f);
    Bytes got;
    uint8_t rec[516];
    for (int i = 0; i < 130; ++i) { // 130 records run past the first 64 KiB
        ASSERT_EQ(f.read(rec, sizeof rec), sizeof rec);
        got.insert(got.end(), rec, rec + sizeof rec);
    }
    qv::File moved(std::move(f)); // the buffer goes with the stream
    ASSERT_EQ(moved.read(rec, 3), 3u);
    got.insert(got.end(), rec, rec + 3);
    qv::File assigned;
    assigned = std::move(moved);
    Bytes block(70000);
    ASSERT_EQ(assigned.read(block.data(), block.size()), block.size());
    got.insert(got.end(), block.begin(), block.end());
    ASSERT_EQ(got, Bytes(data.begin(), data.begin() + long(got.size())));

    ASSERT_TRUE(assigned.seek(9));
    ASSERT_EQ(assigned.read(rec, 1), 1u);
    EXPECT_EQ(rec[0], data[9]);
    EXPECT_EQ(assigned.length(), int64_t(data.size()));
    ASSERT_TRUE(assigned.seek(int64_t(data.size()) - 10));
    EXPECT_EQ(assigned.read(block.data(), block.size()), 10u); // a short read at the end
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 10), Bytes(data.end() - 10, data.end()));
    EXPECT_TRUE(assigned.close());
}
