// The RAI image with its file attached: pages written out at their places and
// read back, a write-out or a read-back that fails, and whole merges large
// enough to write pages out while they run.
#include "rai_fixture.h"

#include "rai/image_buffer.h"
#include "rai/merge_rai.h"

#include <random>

using namespace qvtest;
using Lines = std::vector<std::string>;

namespace {

constexpr uint64_t kPage = qv::RaiImage::kPageSize;

// Writes `pages` whole pages of recognisable bytes from position 0.
Bytes writePages(qv::RaiImage &img, unsigned pages) {
    Bytes all;
    for (unsigned p = 0; p < pages; ++p) {
        Bytes b = randomBytes(kPage, 100 + p);
        imageWriteAt(img, p * kPage, b.data(), b.size());
        all.insert(all.end(), b.begin(), b.end());
    }
    return all;
}

} // namespace

TEST(RaiImagePages, AttachedFileMatchesAFileWrittenFieldByField) {
    IoFaultSeam seam;
    TempDir d;
    std::mt19937 rng(11);
    for (int round = 0; round < 12; ++round) {
        std::string minePath = d.file("mine" + std::to_string(round)), refPath = d.file("ref" + std::to_string(round));
        Bytes ref;
        auto refWrite = [&](uint64_t pos, const Bytes &b) {
            if (ref.size() < pos + b.size()) ref.resize(pos + b.size(), 0x00);
            std::copy(b.begin(), b.end(), ref.begin() + long(pos));
        };
        qv::RaiImage img;
        qv::File file(minePath, "w+b", &seam);
        ASSERT_TRUE(file);
        imageAttach(img, file);
        uint64_t fill = rng() % (3 * kPage * qv::RaiImage::kResidentPages);
        imageFill(img, fill);
        refWrite(0, Bytes(fill, 0xFF));
        for (int op = 0; op < 400; ++op) {
            uint64_t pos = rng() % (4 * kPage * qv::RaiImage::kResidentPages);
            Bytes data = randomBytes(rng() % 70000, uint32_t(rng()));
            if (op == 200) { // a fill over pages already written out
                uint64_t n = rng() % (2 * kPage * qv::RaiImage::kResidentPages);
                imageFill(img, n);
                refWrite(0, Bytes(n, 0xFF));
            } else if (rng() % 3 == 0) {
                Bytes mine(data.size(), 0xAA), theirs(data.size(), 0xAA);
                uint64_t exist = pos < ref.size() ? std::min<uint64_t>(data.size(), ref.size() - pos) : 0;
                std::copy(ref.begin() + long(std::min<uint64_t>(pos, ref.size())),
                          ref.begin() + long(std::min<uint64_t>(pos, ref.size()) + exist), theirs.begin());
                ASSERT_EQ(imageReadAt(img, pos, mine.data(), mine.size()), exist) << round << " " << op;
                ASSERT_EQ(mine, theirs) << "round " << round << " op " << op;
            } else {
                imageWriteAt(img, pos, data.data(), data.size());
                refWrite(pos, data);
            }
            ASSERT_LE(img.resident.size(), qv::RaiImage::kResidentPages + 1);
        }
        EXPECT_TRUE(img.spilled);
        ASSERT_TRUE(imageSave(img, file));
        imageDetach(img);
        ASSERT_TRUE(file.close());
        writeFile(refPath, ref);
        ASSERT_EQ(readFile(minePath), ref) << "round " << round;
    }
}

TEST(RaiImagePages, AFailedWriteOutKeepsEveryPageInMemory) {
    IoFaultSeam seam;
    TempDir d;
    qv::RaiImage img;
    qv::File file(d.file("img"), "w+b", &seam);
    imageAttach(img, file);
    seam = qvtest::IoFaultSeam{1, 0}; // the first page to go out
    Bytes all = writePages(img, 3 * qv::RaiImage::kResidentPages);
    EXPECT_TRUE(img.writeOutFailed);
    EXPECT_EQ(img.resident.size(), 3 * qv::RaiImage::kResidentPages);
    Bytes back(all.size());
    EXPECT_EQ(imageReadAt(img, 0, back.data(), back.size()), all.size());
    EXPECT_EQ(back, all);
    EXPECT_FALSE(imageSave(img, file));
    EXPECT_FALSE(file.close());
    seam = qvtest::IoFaultSeam{};
}

TEST(RaiImagePages, APageThatCannotBeReadBackFailsTheSave) {
    IoFaultSeam seam;
    TempDir d;
    qv::RaiImage img;
    qv::File file(d.file("img"), "wb", &seam); // pages go out, but nothing can be read back
    imageAttach(img, file);
    writePages(img, qv::RaiImage::kResidentPages + 2);
    ASSERT_TRUE(img.pages[0].onFile);
    uint8_t b[4];
    imageReadAt(img, 10, b, sizeof b);
    EXPECT_TRUE(img.readFailed);
    EXPECT_FALSE(imageSave(img, file));
}

TEST(RaiImagePages, DetachingLeavesAnEmptyImage) {
    IoFaultSeam seam;
    TempDir d;
    qv::RaiImage img;
    qv::File file(d.file("img"), "w+b", &seam);
    imageAttach(img, file);
    writePages(img, qv::RaiImage::kResidentPages + 4);
    imageDetach(img);
    EXPECT_EQ(img.file, nullptr);
    EXPECT_EQ(img.length, 0u);
    EXPECT_TRUE(img.pages.empty() && img.resident.empty());
}

// A RAI area of 64 sectors, filled far beyond the pages kept in memory.
class MergeRaiPages : public RaiTest {
protected:
    static constexpr uint32_t kFlash = 0x04000000;
    static constexpr uint32_t k64K = 0x10000;

    void SetUp() override {
        RaiTest::SetUp();
        useFlash(uniformFlash(128, kFlash));
        useE2p(0x2000);
        setUsualParameters(2, 126, 32); // 63 sectors and one more, 8192 hash elements
        out_.imagePath = dir_.file("rai.img");
    }
    int merge(const std::vector<std::string> &files) {
        return qv::mergeRAI(ctx.rai, files, qv::CodeExtent{}, out_, e2p_.data(), msg_);
    }
    std::string fat(const std::string &name, uint8_t kind, uint32_t first, uint32_t count) {
        std::vector<std::pair<uint32_t, Bytes>> sectors;
        for (uint32_t n = first; n < first + count; ++n) sectors.emplace_back(n, sectorBytes(n));
        std::string path = dir_.file(name);
        writeFile(path, withHeader(kind, records(sectors)));
        return path;
    }

    qv::OutputImage out_;
    std::string msg_;
};

TEST_F(MergeRaiPages, EveryItemComesBackFromAnImageWrittenOutAsTheMergeRan) {
    std::string user = fat("user.fat", 22, 0, 4000), hidden = fat("hidden.fat", 23, 0, 1500);
    ASSERT_EQ(merge({user, hidden}), 0) << msg_;
    Bytes image = readFile(out_.imagePath);
    ASSERT_EQ(image.size(), out_.imageSize);
    auto items = readItems(image, out_.imageAddress, k64K, out_.imageSize / k64K);
    ASSERT_EQ(items.size(), 5500u);
    for (uint32_t n = 0; n < 4000; n += 399) EXPECT_EQ(items[0xCAA00000 + n].data, sectorBytes(n)) << n;
    for (uint32_t n = 0; n < 1500; n += 149) EXPECT_EQ(items[0xCAB00000 + n].data, sectorBytes(n)) << n;
}

TEST_F(MergeRaiPages, AWriteOutFailingMidMergeChangesOnlyTheResult) {
    std::string user = fat("user.fat", 22, 0, 4500), dup = fat("dup.fat", 23, 7, 10);
    std::string hidden = fat("hidden.fat", 23, 0, 100);
    ASSERT_EQ(merge({user, hidden, dup}), -151); // the third input repeats sector 7
    Lines clean = takeLog();
    Bytes image = readFile(out_.imagePath);
    ASSERT_GT(image.size(), 20 * k64K);

    for (uint64_t n : {1u, 5u}) { // a page going out while items are stored
        seam = qvtest::IoFaultSeam{n, 0};
        EXPECT_EQ(merge({user, hidden}), -1310) << n;
        EXPECT_EQ(msg_, "write " + out_.imagePath + " fail");
        seam = qvtest::IoFaultSeam{n, 0};
        EXPECT_EQ(merge({user, hidden, dup}), -151) << n; // the merge's own failure keeps its code
        EXPECT_EQ(msg_, "dwl_NorFsProcessData error");
        seam = qvtest::IoFaultSeam{};
        Lines log = takeLog();
        // Both runs logged as the clean one did (the first without the third
        // input's start, failure and end): the failure decided nothing.
        ASSERT_EQ(log.size(), 2 * clean.size() - 3);
        EXPECT_EQ(Lines(log.begin(), log.begin() + long(clean.size()) - 3), Lines(clean.begin(), clean.end() - 3));
        EXPECT_EQ(Lines(log.end() - long(clean.size()), log.end()), clean);
    }
}
