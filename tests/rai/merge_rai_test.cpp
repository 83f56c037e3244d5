// The RAI merge on its own: plain and compressed inputs, the image and the
// RAI entry, every failure with its message, and the temporary file.
#include "rai_fixture.h"

#include "input/dewpb.h"
#include "input/inputs.h"
#include "rai/merge_rai.h"

#include <filesystem>

using namespace qvtest;
using Lines = std::vector<std::string>;

class MergeRai : public RaiTest {
protected:
    static constexpr uint32_t kFlash = 0x04000000;
    static constexpr uint32_t kRai = 0x042B0000; // 17 sectors below trace and E2P
    static constexpr uint32_t k64K = 0x10000;

    void SetUp() override {
        RaiTest::SetUp();
        useFlash(uniformFlash(64, kFlash));
        useE2p(0x2000);
        setUsualParameters(2, 32, 4);
        out_.imagePath = dir_.file("rai.img");
        out_.imageType = out_.imageAddress = out_.imageSize = 0xAAAA;
    }
    int merge(const std::vector<std::string> &files) {
        return qv::mergeRAI(ctx.rai, files, code_, out_, e2p_.data(), msg_);
    }
    std::string fat(const std::string &name, uint8_t kind, const std::vector<std::pair<uint32_t, Bytes>> &sectors) {
        std::string path = dir_.file(name);
        writeFile(path, withHeader(kind, records(sectors)));
        return path;
    }
    std::string wpb(const std::string &name, const Bytes &stream) {
        std::string path = dir_.file(name);
        writeFile(path, makeWpb(stream, qv::kWpbTypeRai));
        return path;
    }
    std::map<uint32_t, FoundItem> items() { return readItems(readFile(out_.imagePath), kRai, k64K, 17); }
    bool hasLine(const std::string &line) {
        Lines log = takeLog();
        return std::find(log.begin(), log.end(), line) != log.end();
    }
    std::string temp() const { return dir_.file("rai.tmp"); }
    void entryUntouched() {
        EXPECT_EQ(out_.imageType, 0xAAAAu);
        EXPECT_EQ(out_.imageAddress, 0xAAAAu);
        EXPECT_EQ(out_.imageSize, 0xAAAAu);
    }
    void entryFilled() {
        EXPECT_EQ(out_.imageType, 0x1000024u);
        EXPECT_EQ(out_.imageAddress, kRai);
        EXPECT_EQ(out_.imageSize, 17 * k64K);
    }

    qv::OutputImage out_;
    std::string msg_;
    qv::CodeExtent code_; // how far the code image reaches
};

TEST_F(MergeRai, NoInputsLeavesAnEmptyImageAndTheEntry) {
    EXPECT_EQ(merge({}), 0);
    ASSERT_TRUE(fileExists(out_.imagePath));
    EXPECT_TRUE(readFile(out_.imagePath).empty());
    entryUntouched();
    EXPECT_EQ(ctx.rai.eepromBase, kFlash + 61 * k64K);
    EXPECT_TRUE(msg_.empty());
}

TEST_F(MergeRai, TwoItemsByteExact) {
    Bytes s0 = sectorBytes(10), s1 = sectorBytes(11);
    std::string user = fat("user.fat", 22, {{0, s0}, {1, s1}});
    ASSERT_EQ(merge({user}), 0) << msg_;
    entryFilled();
    Bytes expect(17 * k64K, 0xFF);
    auto word = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) expect[at + i] = uint8_t(v >> (8 * i));
    };
    word(16 * k64K, 0xF0B); // the spare
    word(16 * k64K + 4, (16 * k64K + 8) / 4);
    word(15 * k64K, 0xF0B); // the sector the items went to
    word(15 * k64K + 4, (15 * k64K + 8) / 4);
    const size_t first = 15 * k64K + 8, second = first + 520;
    word(first, 0x02040000 | (((first / 4) & 0x3F) << 6) | 2);
    word(first + 4, 0xCAA00000);
    std::copy(s0.begin(), s0.end(), expect.begin() + long(first) + 8);
    word(second, 0x02040000 | (((second / 4) & 0x3F) << 6) | 2);
    word(second + 4, 0xCAA00001);
    std::copy(s1.begin(), s1.end(), expect.begin() + long(second) + 8);
    EXPECT_EQ(readFile(out_.imagePath), expect);
    EXPECT_TRUE(hasLine("mergeRAI: Start writing user fat: " + user));
}

TEST_F(MergeRai, UserAndHiddenShareTheStore) {
    std::string user = fat("user.fat", 22, {{0, sectorBytes(1)}, {5, sectorBytes(2)}});
    std::string hidden = fat("hidden.fat", 23, {{0, sectorBytes(3)}, {1, sectorBytes(4)}, {2, sectorBytes(5)},
                                                 {3, sectorBytes(6)}});
    ASSERT_EQ(merge({user, hidden}), 0) << msg_;
    auto found = items();
    ASSERT_EQ(found.size(), 6u);
    EXPECT_EQ(found[0xCAA00000].data, sectorBytes(1));
    EXPECT_EQ(found[0xCAA00005].data, sectorBytes(2));
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(found[0xCAB00000 + i].data, sectorBytes(3 + i));
    Lines log = takeLog();
    auto at = [&](const std::string &line) { return std::find(log.begin(), log.end(), line) - log.begin(); };
    EXPECT_LT(at("mergeRAI: Start writing user fat: " + user), at("mergeRAI: Start writing hidden fat: " + hidden));
    EXPECT_LT(at("dwl_NorFsProcessInit: RAI launched"), at("mergeRAI: Start writing user fat: " + user));
}

TEST_F(MergeRai, CompressedInputIsAUserFatFromItsFirstByte) {
    std::string packed = wpb("fs.wpb", records({{7, sectorBytes(7)}, {8, sectorBytes(8)}}));
    ASSERT_EQ(merge({packed}), 0) << msg_;
    auto found = items();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0xCAA00007].data, sectorBytes(7));
    EXPECT_EQ(found[0xCAA00008].data, sectorBytes(8));
    EXPECT_FALSE(fileExists(temp()));
    Lines log = takeLog();
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string &l) { return l.rfind("mergeRAI", 0) == 0; }),
              0);
    EXPECT_NE(std::find(log.begin(), log.end(), "deWpb: 160 DWL_END_OF_DOWNLOAD"), log.end());
}

TEST_F(MergeRai, InputsEndingWithinOrRightAfterTheHeader) {
    std::string cut = dir_.file("cut.fat");
    writeFile(cut, Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 22, 0, 0});
    std::string bare = fat("bare.fat", 23, {});
    EXPECT_EQ(merge({cut, bare}), 0) << msg_;
    EXPECT_TRUE(items().empty());
    entryFilled();
}

TEST_F(MergeRai, NullE2pArea) {
    EXPECT_EQ(qv::mergeRAI(ctx.rai, {}, code_, out_, nullptr, msg_), -32);
    EXPECT_EQ(msg_, "Init E2P fail");
    EXPECT_FALSE(fileExists(out_.imagePath));
}

TEST_F(MergeRai, ImageFileCannotBeCreated) {
    out_.imagePath = dir_.file("missing/rai.img");
    EXPECT_EQ(merge({}), -44);
    EXPECT_EQ(msg_, "open " + out_.imagePath + " fail");
}

TEST_F(MergeRai, PartitionMapFailure) {
    flash_[11] = 0;
    EXPECT_EQ(merge({fat("user.fat", 22, {{0, sectorBytes(0)}})}), -45);
    EXPECT_EQ(msg_, "fms_MapOutMemoryExt Error");
    EXPECT_TRUE(readFile(out_.imagePath).empty());
    entryUntouched();
}

TEST_F(MergeRai, RaiAreaBelowTheLowerBound) {
    std::string user = fat("user.fat", 22, {{0, sectorBytes(0)}});
    code_.raiLowerbound = kRai;
    EXPECT_EQ(merge({user}), 0);
    code_.raiLowerbound = kRai + 1;
    EXPECT_EQ(merge({user}), -51);
    EXPECT_EQ(msg_, "CUS size overflow!");
    EXPECT_EQ(ctx.io.cause.line(), "the CUS area of the code image reaches 0x042b0001 (RAI_lowerbound), the RAI area "
                                   "starts below it at 0x042b0000");
    code_.raiLowerbound = 0xFFFFFFF9; // no sector after the CUS area
    EXPECT_EQ(merge({}), -51);
    EXPECT_TRUE(readFile(out_.imagePath).empty());
}

TEST_F(MergeRai, LaunchFailure) {
    setByte(237, 0);
    EXPECT_EQ(merge({fat("user.fat", 22, {{0, sectorBytes(0)}})}), -67);
    EXPECT_EQ(msg_, "dwl_NorFsProcessInit error");
    entryFilled();
    EXPECT_TRUE(hasLine("dwl_NorFsProcessInit: Launch RAI err 0xfffffae7"));
    EXPECT_TRUE(readFile(out_.imagePath).empty());
}

TEST_F(MergeRai, TemporaryFileCannotBeCreated) {
    std::filesystem::create_directory(temp());
    std::string packed = wpb("fs.wpb", records({{1, sectorBytes(1)}}));
    EXPECT_EQ(merge({packed}), -89);
    EXPECT_EQ(msg_, "open " + temp() + " fail");
    EXPECT_TRUE(std::filesystem::is_directory(temp()));
}

TEST_F(MergeRai, CorruptCompressedInput) {
    std::string packed = dir_.file("bad.wpb");
    Bytes b = makeWpb(records({{1, sectorBytes(1)}}), qv::kWpbTypeRai);
    b.resize(b.size() - 20);
    writeFile(packed, b);
    EXPECT_EQ(merge({packed}), -98);
    EXPECT_EQ(msg_, "uncompress " + packed + " error");
    EXPECT_EQ(ctx.io.cause.line(), packed + ": its zlib stream is cut short or inconsistent");
    EXPECT_FALSE(fileExists(temp()));
    EXPECT_EQ(readFile(out_.imagePath).size(), 17 * k64K); // launched and filled before the failure
}

TEST_F(MergeRai, PlainInputCannotBeOpened) {
    std::string gone = dir_.file("gone.fat");
    EXPECT_EQ(merge({fat("user.fat", 22, {{0, sectorBytes(0)}}), gone}), -119);
    EXPECT_EQ(msg_, "open " + gone + " fail");
    EXPECT_EQ(items().size(), 1u); // the first file's item stays in the image
}

TEST_F(MergeRai, UnknownKind) {
    std::string odd = fat("odd.fat", 21, {{0, sectorBytes(0)}});
    EXPECT_EQ(merge({odd}), -138);
    EXPECT_EQ(msg_, odd + ": unknown file type");
    EXPECT_EQ(ctx.io.cause.line(), odd + ": kind byte 21 at offset 9, expected 22 (user FAT) or 23 (hidden FAT)");
    ctx.io.cause.clear();
    std::string tiny = dir_.file("tiny.fat");
    writeFile(tiny, Bytes(9, 22)); // no kind byte at all
    EXPECT_EQ(merge({tiny}), -138);
    EXPECT_EQ(msg_, tiny + ": unknown file type");
    EXPECT_EQ(ctx.io.cause.line(), tiny + ": ends at 9 bytes, before its kind byte at offset 9");
}

TEST_F(MergeRai, DuplicateSectorFailsTheMergeAndStopsThere) {
    std::string a = fat("a.fat", 22, {{0, sectorBytes(1)}, {1, sectorBytes(2)}});
    std::string b = fat("b.fat", 22, {{2, sectorBytes(3)}, {0, sectorBytes(4)}});
    std::string c = fat("c.fat", 22, {{9, sectorBytes(9)}});
    EXPECT_EQ(merge({a, b, c}), -151);
    EXPECT_EQ(msg_, "dwl_NorFsProcessData error");
    EXPECT_EQ(ctx.io.cause.line(), b + ": record 1 at offset 0x214: sector 0 of the user FAT is stored already");
    entryFilled();
    Lines log = takeLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(Lines(log.end() - 2, log.end()), (Lines{"dev_nor_write_sectors: write 0xcaa00000 failed",
                                                       "dwl_NorFsProcessData: write nor 0 err -5"}));
    auto found = items();
    EXPECT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0xCAA00000].data, sectorBytes(1));
    EXPECT_EQ(found.count(0xCAA00009), 0u);
}

TEST_F(MergeRai, FailureAfterExpansionDeletesTheTemporaryFile) {
    std::string packed = wpb("fs.wpb", records({{1, sectorBytes(1)}, {1, sectorBytes(2)}}));
    EXPECT_EQ(merge({packed}), -151);
    EXPECT_FALSE(fileExists(temp()));
}

TEST_F(MergeRai, ImageWriteOutFailures) {
    seam = qvtest::IoFaultSeam{1, 0}; // the close of the empty image
    EXPECT_EQ(merge({}), -1310);
    EXPECT_EQ(msg_, "write " + out_.imagePath + " fail");

    std::string user = fat("user.fat", 22, {{0, sectorBytes(0)}});
    for (uint64_t n : {1u, 2u, 18u}) { // first block, second block, close
        seam = qvtest::IoFaultSeam{n, 0};
        msg_.clear();
        EXPECT_EQ(merge({user}), -1310) << n;
        EXPECT_EQ(msg_, "write " + out_.imagePath + " fail");
    }
    seam = qvtest::IoFaultSeam{19, 0}; // beyond the last operation
    EXPECT_EQ(merge({user}), 0);

    // A specified failure keeps its code when the write-out fails too.
    seam = qvtest::IoFaultSeam{1, 0};
    EXPECT_EQ(merge({fat("odd.fat", 21, {})}), -138);
}

TEST_F(MergeRai, TemporaryFileCloseFailure) {
    std::string packed = wpb("fs.wpb", records({{1, sectorBytes(1)}}));
    // Count the writes of the expansion on its own, then fail the close after them.
    seam = qvtest::IoFaultSeam{};
    {
        qv::File in(packed, "rb"), scratch(dir_.file("scratch"), "wb", &seam);
        ASSERT_EQ(qv::deWpb(ctx.io, in, scratch), 0);
    }
    uint64_t writes = seam.count - 1; // the scratch file's close counted one
    seam = qvtest::IoFaultSeam{writes + 1, 0};
    EXPECT_EQ(merge({packed}), -1311);
    EXPECT_EQ(msg_, "close " + temp() + " fail");
    EXPECT_FALSE(fileExists(temp()));
}
