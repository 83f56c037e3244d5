// The entry: argument handling, the log's first entries, the message rules,
// and the C ABI exported from the shared library.
#include "support/support.h"

#include <quorvel/quorvel.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <dlfcn.h>

using namespace qvtest;

namespace {

struct Call {
    TempDir dir;
    Bytes flash = uniformFlash(64, 0x04000000).build();
    qv::MergeOutputs outs;
    Bytes base = Bytes(0x2000, 0xFF), area = Bytes(0x2000, 0xFF);
    std::string message = "caller's text";

    Call() {
        outs[0].imagePath = dir.file("code.bin");
        outs[1].imagePath = dir.file("e2p.bin");
        outs[2].imagePath = dir.file("rai.bin");
        for (auto &o : outs) o.imageType = o.imageAddress = o.imageSize = 0xEEEEEEEE;
    }
    int run(const void *flashInfo, const std::vector<std::string> &images = {}, int32_t r1 = 0, int32_t r2 = 0) {
        return quorvel(flashInfo, &outs, images, {}, {}, base.data(), uint32_t(base.size()), area.data(),
                       uint32_t(area.size()), {}, r1, 0, message, dir.file("merge.log"), r2);
    }
};

} // namespace

TEST(Entry, NullFlashInfoFailsWithAnEmptyLog) {
    Call c;
    EXPECT_EQ(c.run(nullptr), -57);
    EXPECT_EQ(c.message, "Cannot get flash information");
    EXPECT_TRUE(fileExists(c.dir.file("merge.log")));
    EXPECT_EQ(readText(c.dir.file("merge.log")), "");
}

TEST(Entry, VersionWordsAreLoggedFirst) {
    Call c;
    FlashInfoSpec f = uniformFlash(64, 0x04000000);
    f.versionAddr = 0x80000001;
    f.versionAddr1 = 0x02000010;
    c.flash = f.build();
    c.run(c.flash.data());
    std::vector<std::string> lines = readLines(c.dir.file("merge.log"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "quorvel: FMS_FLASH_VELMORINE_VERSION_ADDR = 0x80000001(-2147483647)");
    EXPECT_EQ(lines[1], "quorvel: FMS_FLASH_VELMORINE_VERSION_ADDR1 = 0x2000010(33554448)");
}

TEST(Entry, FailureMessageNamesTheMergeAndTheFile) {
    Call c;
    std::string missing = c.dir.file("missing.bin");
    EXPECT_EQ(c.run(c.flash.data(), {missing}), -72);
    EXPECT_EQ(c.message, "merge_code_cus: open " + missing + " failed");
    // The later merges did not run: their entries are untouched.
    EXPECT_EQ(c.outs[1].imageType, 0xEEEEEEEEu);
    EXPECT_EQ(c.outs[2].imageType, 0xEEEEEEEEu);
    EXPECT_FALSE(fileExists(c.dir.file("e2p.bin")));
}

TEST(Entry, ReservedArgumentsChangeNothing) {
    Call a, b;
    EXPECT_EQ(a.run(a.flash.data(), {}, 0, 0), 0);
    EXPECT_EQ(b.run(b.flash.data(), {}, -1, 0x7FFFFFFF), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a.outs[i].imageType, b.outs[i].imageType);
        EXPECT_EQ(a.outs[i].imageAddress, b.outs[i].imageAddress);
        EXPECT_EQ(a.outs[i].imageSize, b.outs[i].imageSize);
    }
    EXPECT_EQ(a.area, b.area);
    EXPECT_EQ(a.message, "caller's text"); // untouched on success
}

TEST(Entry, UncreatableLogDiscardsEntries) {
    Call c;
    std::string message;
    int r = quorvel(c.flash.data(), &c.outs, {}, {}, {}, c.base.data(), uint32_t(c.base.size()), c.area.data(),
                    uint32_t(c.area.size()), {}, 0, 0, message, c.dir.file("no/such/dir/merge.log"), 0);
    EXPECT_EQ(r, 0);
}

namespace {

using MergeFn = decltype(&quorvel_merge);

// The shared library, loaded as a host would load it.
struct SharedLib {
    void *handle = dlopen(QUORVEL_SHARED_PATH, RTLD_NOW | RTLD_LOCAL);
    ~SharedLib() {
        if (handle) dlclose(handle);
    }
    MergeFn merge() const { return reinterpret_cast<MergeFn>(dlsym(handle, "quorvel_merge")); }
};

} // namespace

TEST(CAbi, ExportsOnlyTheEntries) {
    std::string cmd = std::string("nm -D --defined-only ") + QUORVEL_SHARED_PATH;
    FILE *p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string symbols;
    char buf[512];
    while (fgets(buf, sizeof buf, p)) symbols += buf;
    pclose(p);
    EXPECT_NE(symbols.find(" T quorvel_merge\n"), std::string::npos) << symbols;
    // Nothing of the library's internals is visible to hosts.
    EXPECT_EQ(symbols.find("fms_"), std::string::npos) << symbols;
    EXPECT_EQ(symbols.find("deWpb"), std::string::npos) << symbols;
}

TEST(CAbi, MessageIsCutToTheBufferAndTerminated) {
    SharedLib lib;
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    MergeFn merge = lib.merge();
    ASSERT_NE(merge, nullptr);
    TempDir dir;
    quorvel_output outs[3] = {};
    std::string log = dir.file("merge.log");
    char msg[10];
    std::memset(msg, 'x', sizeof msg);
    int32_t r = merge(nullptr, outs, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0,
                      msg, sizeof msg, log.c_str(), 0);
    EXPECT_EQ(r, -57);
    EXPECT_STREQ(msg, "Cannot ge");
}

TEST(CAbi, SuccessLeavesTheMessageAndFillsTheEntries) {
    SharedLib lib;
    MergeFn merge = lib.merge();
    ASSERT_NE(merge, nullptr);
    Call c;
    quorvel_output outs[3] = {{c.outs[0].imagePath.c_str(), 1, 2, 3},
                              {c.outs[1].imagePath.c_str(), 1, 2, 3},
                              {c.outs[2].imagePath.c_str(), 1, 2, 3}};
    char msg[32] = "keep";
    std::string log = c.dir.file("merge.log");
    int32_t r = merge(c.flash.data(), outs, nullptr, 0, nullptr, 0, nullptr, 0, c.base.data(),
                      uint32_t(c.base.size()), c.area.data(), uint32_t(c.area.size()), nullptr, 0, 0, 0, msg,
                      sizeof msg, log.c_str(), 0);
    EXPECT_EQ(r, 0);
    EXPECT_STREQ(msg, "keep");
    // With nothing to merge only the E2P entry's address changes: the E2P base.
    EXPECT_EQ(outs[0].image_type, 1u);
    EXPECT_EQ(outs[1].image_type, 1u);
    EXPECT_EQ(outs[1].image_address, 0x04400000u - 3 * 0x10000u);
}
