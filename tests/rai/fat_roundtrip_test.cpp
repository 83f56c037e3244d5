// Whole calls with real FAT file systems: built with mkfs.fat and mcopy,
// turned into FAT inputs, merged, read back item by item, and mounted again
// from the items to read their files. Also the example release's FAT inputs.
#include "rai_fixture.h"

#include "input/inputs.h"

#include <quorvel/quorvel.h>

#include <cstdlib>

using namespace qvtest;

namespace {

constexpr uint32_t k64K = 0x10000;

bool haveTool(const std::string &name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1 || test -x /sbin/" + name).c_str()) == 0;
}

std::string tool(const std::string &name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0 ? name : "/sbin/" + name;
}

void run(const std::string &command) {
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

// A FAT input: 16-byte header with the kind byte, then every sector as a record.
Bytes fatInput(uint8_t kind, const Bytes &fs) {
    std::vector<std::pair<uint32_t, Bytes>> sectors;
    for (size_t n = 0; n * 512 < fs.size(); ++n)
        sectors.emplace_back(uint32_t(n), Bytes(fs.begin() + long(n * 512), fs.begin() + long(n * 512 + 512)));
    return withHeader(kind, records(sectors));
}

// The sectors of a FAT input file, by sector number.
std::map<uint32_t, Bytes> sectorsOf(const Bytes &input) {
    std::map<uint32_t, Bytes> out;
    for (size_t p = 16; p + 516 <= input.size(); p += 516)
        out[get32(input, p)] = Bytes(input.begin() + long(p + 4), input.begin() + long(p + 516));
    return out;
}

// One whole call with the given image files and E2P area; the FlashInfo and
// E2P base are the caller's.
struct Call {
    Bytes flash, base, area;
    std::vector<std::string> images;
    qv::MergeOutputs outs;
    std::string message, log;
    int run() {
        return quorvel(flash.data(), &outs, images, {}, {}, base.data(), uint32_t(base.size()), area.data(),
                       uint32_t(area.size()), {}, 0, 0, message, log, 0);
    }
};

} // namespace

class FatRoundTrip : public ::testing::Test, protected qvtest::TestContext {
protected:
    void SetUp() override {
        if (!haveTool("mkfs.fat") || !haveTool("mcopy") || !haveTool("mmd"))
            GTEST_SKIP() << "mkfs.fat and mtools (dosfstools, mtools) are not installed";
    }
    void TearDown() override { qvtest::resetContext(ctx); }

    // A FAT file system of `kb` KB with `files`; returns its image.
    Bytes makeFs(const std::string &name, unsigned kb, const std::map<std::string, Bytes> &files) {
        std::string image = dir.file(name + ".img");
        run(tool("mkfs.fat") + " -C " + image + " " + std::to_string(kb));
        for (const auto &[path, data] : files) {
            std::string local = dir.file(name + "_local");
            writeFile(local, data);
            if (path.find('/') != std::string::npos)
                std::system(("MTOOLS_SKIP_CHECK=1 mmd -i " + image + " ::" + path.substr(0, path.find('/')) +
                             " >/dev/null 2>&1")
                                .c_str());
            run("MTOOLS_SKIP_CHECK=1 mcopy -i " + image + " " + local + " ::" + path);
        }
        return readFile(image);
    }
    // Reads `path` out of a file-system image with mcopy.
    Bytes readBack(const std::string &image, const std::string &path) {
        std::string local = dir.file("read_back");
        run("MTOOLS_SKIP_CHECK=1 mcopy -n -i " + image + " ::" + path + " " + local);
        return readFile(local);
    }
    Call call() {
        Call c;
        FlashInfoSpec f = uniformFlash(64, 0x04000000);
        c.flash = f.build();
        c.base.assign(0x2000, 0xFF);
        auto set = [&](size_t at, uint8_t v) { c.base[at] = v; };
        set(253, 2), set(254, 98);                 // trace: two 32 KB units
        set(296, 64), set(297, 0);                 // RAI: 64 units, 2 MB
        set(298, 0xBF), set(299, 0xFF);            // 64 + 0xFFBF = 0xFFFF
        set(237, 8);                               // 2048 hash elements
        c.area = c.base;
        for (size_t i = 0; i < c.outs.size(); ++i) c.outs[i].imagePath = dir.file("out" + std::to_string(i));
        c.log = dir.file("merge.log");
        return c;
    }

    TempDir dir;
};

TEST_F(FatRoundTrip, EverySectorAndEveryFileComesBack) {
    std::map<std::string, Bytes> userFiles = {{"A.TXT", Bytes{'h', 'e', 'l', 'l', 'o'}},
                                              {"BIG.BIN", randomBytes(100000, 1)},
                                              {"DIR/NESTED.DAT", randomBytes(3000, 2)}};
    std::map<std::string, Bytes> hiddenFiles = {{"CALIB.DAT", randomBytes(9000, 3)}};
    Bytes userFs = makeFs("user", 256, userFiles);
    Bytes hiddenFs = makeFs("hidden", 64, hiddenFiles);
    Call c = call();
    writeFile(dir.file("user.fat"), fatInput(22, userFs));
    writeFile(dir.file("hidden.fat"), fatInput(23, hiddenFs));
    c.images = {dir.file("user.fat"), dir.file("hidden.fat")};
    ASSERT_EQ(c.run(), 0) << c.message;

    const qv::OutputImage &rai = c.outs[qv::kRaiOutput];
    EXPECT_EQ(rai.imageType, QUORVEL_TYPE_RAI);
    EXPECT_EQ(rai.imageSize, 33 * k64K); // 2 MB and one sector more
    EXPECT_EQ(rai.imageAddress, 0x04400000 - 4 * k64K - 33 * k64K);
    Bytes image = readFile(rai.imagePath);
    ASSERT_EQ(image.size(), rai.imageSize);
    auto items = readItems(image, rai.imageAddress, k64K, rai.imageSize / k64K);
    ASSERT_EQ(items.size(), userFs.size() / 512 + hiddenFs.size() / 512);

    // Rebuild both file systems from the items alone and read their files.
    for (auto [fs, idBase, name, files] : {std::tuple{&userFs, 0xCAA00000u, "user", &userFiles},
                                           std::tuple{&hiddenFs, 0xCAB00000u, "hidden", &hiddenFiles}}) {
        Bytes rebuilt;
        for (uint32_t n = 0; n * 512 < fs->size(); ++n) {
            ASSERT_EQ(items.count(idBase + n), 1u) << name << " sector " << n;
            const FoundItem &item = items[idBase + n];
            EXPECT_EQ(item.word0 & 0xFFFF0003, 0x02040002u);
            rebuilt.insert(rebuilt.end(), item.data.begin(), item.data.end());
        }
        ASSERT_EQ(rebuilt, *fs) << name;
        std::string path = dir.file(std::string(name) + "_rebuilt.img");
        writeFile(path, rebuilt);
        for (const auto &[file, data] : *files) EXPECT_EQ(readBack(path, file), data) << name << " " << file;
    }
}

TEST_F(FatRoundTrip, CompressedFileSystemIsStoredAsUserFat) {
    Bytes fs = makeFs("packed", 64, {{"NOTE.TXT", randomBytes(700, 4)}});
    Call c = call();
    Bytes stream = fatInput(22, fs);
    stream.erase(stream.begin(), stream.begin() + 16); // the expansion is the stream itself
    writeFile(dir.file("fs.wpb"), makeWpb(stream, qv::kWpbTypeRai));
    c.images = {dir.file("fs.wpb")};
    ASSERT_EQ(c.run(), 0) << c.message;
    const qv::OutputImage &rai = c.outs[qv::kRaiOutput];
    auto items = readItems(readFile(rai.imagePath), rai.imageAddress, k64K, rai.imageSize / k64K);
    ASSERT_EQ(items.size(), fs.size() / 512);
    for (uint32_t n = 0; n * 512 < fs.size(); ++n)
        EXPECT_EQ(items[0xCAA00000 + n].data, Bytes(fs.begin() + long(n) * 512, fs.begin() + long(n + 1) * 512));
    EXPECT_FALSE(fileExists(dir.file("rai.tmp")));
}

TEST(ExampleRelease, FatInputsFitTheExampleRaiArea) {
    const std::string rel = std::string(QUORVEL_SOURCE_DIR) + "/examples/release/";
    TempDir dir;
    Call c;
    c.flash = readFile(rel + "flash.bin");
    c.base = readFile(rel + "e2p_base.bin");
    c.area = c.base; // the E2P area as a finished E2P merge leaves it
    c.images = {rel + "user.fat", rel + "hidden.fat"};
    for (size_t i = 0; i < c.outs.size(); ++i) c.outs[i].imagePath = dir.file("out" + std::to_string(i));
    c.log = dir.file("merge.log");
    ASSERT_EQ(c.run(), 0) << c.message;
    const qv::OutputImage &rai = c.outs[qv::kRaiOutput];
    EXPECT_EQ(rai.imageAddress, 0x04370000u);
    EXPECT_EQ(rai.imageSize, 5 * k64K);
    auto items = readItems(readFile(rai.imagePath), rai.imageAddress, k64K, 5);
    size_t expected = 0;
    for (auto [name, idBase] : {std::pair{"user.fat", 0xCAA00000u}, std::pair{"hidden.fat", 0xCAB00000u}}) {
        Bytes input = readFile(rel + name);
        EXPECT_EQ(input.at(9), name[0] == 'u' ? 22 : 23);
        for (const auto &[n, data] : sectorsOf(input)) {
            ASSERT_EQ(items.count(idBase + n), 1u) << name << " sector " << n;
            EXPECT_EQ(items[idBase + n].data, data) << name << " sector " << n;
            ++expected;
        }
    }
    EXPECT_EQ(items.size(), expected);
    EXPECT_EQ(expected, 320u);
}
