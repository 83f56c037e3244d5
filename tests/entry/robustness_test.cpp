// Whole merges of the example release under failing writes, and calls that
// follow each other in one process.
#include "example_release.h"

#include "support/context.h"

#include <gtest/gtest.h>

using namespace qvtest;

TEST(Robustness, ExampleMergeSucceedsAndWritesThreeImages) {
    TempDir dir;
    ExampleMerge m(dir.path());
    ASSERT_EQ(m.run(), 0) << m.message;
    EXPECT_EQ(m.outs[0].imageType, QUORVEL_TYPE_CODE);
    EXPECT_EQ(m.outs[1].imageType, QUORVEL_TYPE_E2P);
    EXPECT_EQ(m.outs[2].imageType, QUORVEL_TYPE_RAI);
    for (const Bytes &img : m.images_()) EXPECT_FALSE(img.empty());
}

TEST(Robustness, EveryFailingWriteFailsTheMergeWithAPath) {
    TempDir clean;
    IoFaultSeam seam;
    ExampleMerge first(clean.path());
    ASSERT_EQ(first.run(seam), 0) << first.message;
    const uint64_t operations = seam.count;
    ASSERT_GT(operations, 3u);

    for (uint64_t n = 1; n <= operations; ++n) {
        TempDir dir;
        const TempFolderScope tmp(dir.path()); // every temporary file of the merge lies there
        ExampleMerge m(dir.path());
        seam = qvtest::IoFaultSeam{n, 0};
        int r = m.run(seam);
        EXPECT_LT(r, 0) << "write " << n << " of " << operations << " failed unnoticed";
        // A block of the code section that cannot be written keeps its own
        // long-standing message; every other failure names the file.
        if (m.message != "merge_code_cus: gen_code() function error") {
            EXPECT_NE(slashed(m.message).find(dir.path()), std::string::npos)
                << "write " << n << ": message names no path: " << m.message;
        }
    }
}

TEST(Robustness, ACallNeverSeesTheStateOfTheCallBefore) {
    // B alone, then A, then B again: B's outputs and host buffers must not change.
    TempDir aloneDir, aDir, bDir;
    ExampleMerge alone(aloneDir.path());
    alone.cus.clear(); // B: no CUS area, so nothing queued and no lower bound
    ASSERT_EQ(alone.run(), 0) << alone.message;

    ExampleMerge a(aDir.path());
    ASSERT_EQ(a.run(), 0) << a.message;

    ExampleMerge b(bDir.path());
    b.cus.clear();
    ASSERT_EQ(b.run(), 0) << b.message;

    EXPECT_EQ(b.images_(), alone.images_());
    EXPECT_EQ(b.area, alone.area);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(b.outs[i].imageType, alone.outs[i].imageType);
        EXPECT_EQ(b.outs[i].imageAddress, alone.outs[i].imageAddress);
        EXPECT_EQ(b.outs[i].imageSize, alone.outs[i].imageSize);
    }
    std::vector<std::string> logB = readLines(b.log), logAlone = readLines(alone.log);
    ASSERT_EQ(logB.size(), logAlone.size());
}
