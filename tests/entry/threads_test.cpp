// Merges on several threads at once: each call has its own context, so each
// result is the one the same merge gives alone.
#include "example_release.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <thread>

using namespace qvtest;

namespace {

// Everything a call hands back: result, message, outputs, files, E2P area.
struct Outcome {
    int result = 0;
    std::string message;
    std::vector<uint32_t> figures;
    std::vector<Bytes> files;
    Bytes area;
    bool operator==(const Outcome &) const = default;
};

// Four different releases made from the example one.
const std::array<std::function<void(ExampleMerge &)>, 4> kVariants = {
    [](ExampleMerge &) {},
    [](ExampleMerge &m) { m.cus.clear(); },
    [](ExampleMerge &m) { m.eraseAll = true; },
    [](ExampleMerge &m) {
        m.images.resize(1);
        m.e2pFiles.pop_back();
    },
};

Outcome mergeOnce(const std::string &dir, size_t variant) {
    ExampleMerge m(dir);
    kVariants[variant](m);
    Outcome o;
    o.result = m.run();
    o.message = m.message;
    for (const qv::OutputImage &out : m.outs)
        o.figures.insert(o.figures.end(), {out.imageType, out.imageAddress, out.imageSize});
    for (const std::string &path : {m.outs[0].imagePath, m.outs[1].imagePath, m.outs[2].imagePath, m.log})
        o.files.push_back(fileExists(path) ? readFile(path) : Bytes{});
    o.area = m.area;
    return o;
}

} // namespace

TEST(Threads, FourReleasesMergedAtOnceMatchEachMergeAlone) {
    constexpr int kRounds = 50;
    std::array<TempDir, 4> dirs;
    std::array<Outcome, 4> alone;
    for (size_t v = 0; v < kVariants.size(); ++v) alone[v] = mergeOnce(dirs[v].path(), v);
    EXPECT_EQ(alone[0].result, 0) << alone[0].message;
    EXPECT_NE(alone[0].files, alone[1].files);

    std::array<int, 4> mismatches{};
    std::vector<std::thread> threads;
    for (size_t v = 0; v < kVariants.size(); ++v)
        threads.emplace_back([&, v] {
            for (int round = 0; round < kRounds; ++round)
                if (!(mergeOnce(dirs[v].path(), v) == alone[v])) ++mismatches[v];
        });
    for (std::thread &t : threads) t.join();
    EXPECT_EQ(mismatches, (std::array<int, 4>{}));
}

// Two merges of different releases into one folder at once, with safe
// outputs: every file left, the log included, is the whole file of one.
TEST(Threads, TwoMergesIntoOneFolderLeaveWholeFilesOfOne) {
    struct Disk : qv::FileSystem {
        bool outputAllowed() override { return true; }
    };
    TempDir dir;
    auto merge = [&](size_t v) {
        ExampleMerge m(dir.path());
        kVariants[v](m);
        m.flags = QUORVEL_SAFE_OUTPUTS;
        Disk disk;
        return m.run(disk);
    };
    auto files = [&] {
        std::vector<Bytes> f;
        for (const char *name : {"code.img", "e2p.img", "rai.img", "merge.log"}) f.push_back(readFile(dir.file(name)));
        return f;
    };
    std::array<std::vector<Bytes>, 2> alone;
    for (size_t v : {0, 1}) {
        ASSERT_EQ(merge(v), 0);
        alone[v] = files();
    }
    int mixed = 0;
    for (int round = 0; round < 30; ++round) {
        std::thread other([&] { merge(1); });
        merge(0);
        other.join();
        const std::vector<Bytes> f = files();
        for (size_t i = 0; i < f.size(); ++i) mixed += f[i] != alone[0][i] && f[i] != alone[1][i];
    }
    EXPECT_EQ(mixed, 0);
}
