// Reads and writes at explicit offsets, past the stream's buffer: they must
// leave the stream where it was (or, for writeThrough, just past the bytes it
// wrote), land after anything the stream still held, count as one operation
// of the write seam, and fall back to the stream where the file has no
// position.
#include "support/support.h"

#include "base/file.h"
#include "base/page_block.h"
#include "support/context.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <thread>

using namespace qvtest;

namespace {

TEST(FilePositionedIo, ReadAtLeavesTheStreamAndIsShortOnlyAtTheEnd) {
    TempDir dir;
    const Bytes data = randomBytes(200000, 5);
    writeFile(dir.file("in.bin"), data);
    qv::File f(dir.file("in.bin"), "rb");
    ASSERT_TRUE(f);
    uint8_t head[10];
    ASSERT_EQ(f.read(head, sizeof head), sizeof head);

    Bytes block(70000);
    ASSERT_EQ(f.readAt(block.data(), block.size(), 100000), block.size());
    EXPECT_EQ(block, Bytes(data.begin() + 100000, data.begin() + 170000));
    EXPECT_EQ(f.readAt(block.data(), block.size(), int64_t(data.size()) - 10), 10u);
    EXPECT_EQ(f.readAt(block.data(), block.size(), int64_t(data.size())), 0u);

    ASSERT_EQ(f.read(head, 1), 1u); // the stream goes on where it was
    EXPECT_EQ(head[0], data[10]);
    EXPECT_EQ(f.tell(), 11);
}

TEST(FilePositionedIo, WritesLandAfterWhatTheStreamHeldAndKeepItInStep) {
    TempDir dir;
    qv::File f(dir.file("out.bin"), "wb");
    ASSERT_TRUE(f);
    ASSERT_EQ(f.write("abc", 3), 3u);              // still in the stream's buffer
    ASSERT_EQ(f.writeAt("HELLO", 5, 100), 5u);     // a gap of zeros before it
    EXPECT_EQ(f.tell(), 3);                        // the stream did not move
    ASSERT_EQ(f.write("de", 2), 2u);
    ASSERT_EQ(f.writeThrough("xyz", 3), 3u);
    EXPECT_EQ(f.tell(), 8);                        // just past the bytes written
    ASSERT_EQ(f.write("!", 1), 1u);
    ASSERT_TRUE(f.close());

    Bytes want{'a', 'b', 'c', 'd', 'e', 'x', 'y', 'z', '!'};
    want.resize(100, 0);
    for (char c : std::string("HELLO")) want.push_back(uint8_t(c));
    EXPECT_EQ(readFile(dir.file("out.bin")), want);
}

// A copy from another file lands after what the stream held, moves the
// stream past it, and is short when the source ends; into a pipe, where the
// system cannot copy file to file, it goes through a block.
TEST(FilePositionedIo, CopyFromAppendsAnotherFilesBytesAndIsShortWhereItEnds) {
    TempDir dir;
    const Bytes data = randomBytes(300000, 9);
    writeFile(dir.file("in.bin"), data);
    qv::File in(dir.file("in.bin"), "rb");
    qv::File f(dir.file("out.bin"), "wb");
    ASSERT_TRUE(in && f);
    ASSERT_EQ(f.write("ab", 2), 2u);
    EXPECT_EQ(f.copyFrom(in, 1000, 200000), 200000u);
    EXPECT_EQ(f.tell(), 200002);
    EXPECT_EQ(f.copyFrom(in, 250000, 60000), 50000u); // the source ends first
    ASSERT_EQ(f.write("!", 1), 1u);
    ASSERT_TRUE(f.close());
    Bytes want{'a', 'b'};
    want.insert(want.end(), data.begin() + 1000, data.begin() + 201000);
    want.insert(want.end(), data.begin() + 250000, data.end());
    want.push_back('!');
    EXPECT_EQ(readFile(dir.file("out.bin")), want);
#ifndef _WIN32
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Bytes received;
    std::thread reader([&] { received = readFile(fifo); });
    {
        qv::File p(fifo, "wb");
        ASSERT_TRUE(p);
        EXPECT_EQ(p.copyFrom(in, 0, data.size()), data.size());
        EXPECT_TRUE(p.close());
    }
    reader.join();
    EXPECT_EQ(received, data);
#endif
}

TEST(FilePositionedIo, EachPositionedWriteIsOneOperationOfTheWriteSeam) {
    TempDir dir;
    for (int which : {0, 1}) {
        qvtest::IoFaultSeam seam;
        qv::File f(dir.file("out.bin"), "wb", &seam);
        ASSERT_TRUE(f);
        seam = qvtest::IoFaultSeam{2, 0};
        ASSERT_EQ(f.writeThrough("ok", 2), 2u);
        EXPECT_FALSE(f.failed());
        size_t n = which == 0 ? f.writeAt("no", 2, 10) : f.writeThrough("no", 2);
        seam = qvtest::IoFaultSeam{};
        EXPECT_EQ(n, 0u) << which;
        EXPECT_TRUE(f.failed()) << which;
        EXPECT_FALSE(f.close()) << which;
        EXPECT_EQ(readFile(dir.file("out.bin")), Bytes({'o', 'k'})) << which;
    }
}

TEST(FilePositionedIo, WriteThroughToAPipeWritesThroughTheStream) {
#ifdef _WIN32
    GTEST_SKIP() << "a named pipe by path is a POSIX fifo here";
#else
    TempDir dir;
    std::string fifo = dir.file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Bytes received;
    std::thread reader([&] { received = readFile(fifo); });
    const Bytes data = randomBytes(300000, 8);
    {
        qv::File f(fifo, "wb");
        ASSERT_TRUE(f);
        EXPECT_EQ(f.writeThrough(data.data(), data.size()), data.size());
        EXPECT_TRUE(f.close());
    }
    reader.join();
    EXPECT_EQ(received, data);
#endif
}

TEST(FilePositionedIo, ReserveToKeepsTheLengthAndIsIgnoredWhereItCannotWork) {
    TempDir dir;
    qv::File f(dir.file("out.bin"), "wb");
    ASSERT_EQ(f.write("0123456789", 10), 10u);
    f.reserveTo(uint64_t(1) << 20);
    EXPECT_EQ(f.tell(), 10);
    ASSERT_TRUE(f.close());
    EXPECT_EQ(readFile(dir.file("out.bin")).size(), 10u);

    qv::File input(dir.file("out.bin"), "rb");
    input.reserveTo(uint64_t(1) << 20); // not an output: nothing happens
    qv::File none;
    none.reserveTo(100);
    struct stat st {};
    ASSERT_EQ(stat(dir.file("out.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 10);
}

TEST(FilePositionedIo, TruncateCutsBackWhatTheStreamHeldAndWritesGoOnThere) {
    TempDir dir;
    qv::File f(dir.file("out.bin"), "wb");
    ASSERT_EQ(f.writeThrough("0123456789", 10), 10u);
    ASSERT_EQ(f.write("abc", 3), 3u); // still in the stream's buffer
    ASSERT_TRUE(f.truncate(4));
    EXPECT_EQ(f.tell(), 4);
    ASSERT_EQ(f.write("X", 1), 1u);
    ASSERT_TRUE(f.close());
    EXPECT_EQ(readFile(dir.file("out.bin")), Bytes({'0', '1', '2', '3', 'X'}));
    EXPECT_FALSE(qv::File().truncate(0));
}

TEST(PageBlock, StartsOnAPageBoundary) {
    for (size_t size : {size_t(1), size_t(300000), size_t(4096)}) {
        qv::PageBlock block(size);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block.data()) % qv::PageBlock::kAlign, 0u) << size;
        EXPECT_EQ(block.size(), size);
        block.data()[size - 1] = 1; // the whole size is usable
    }
}

} // namespace
