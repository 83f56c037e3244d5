// The version words caught from a code file's bytes: in whatever pieces the
// bytes come, and keeping the bytes a short file lacks.
#include "fixture.h"

#include "codeimage/version_words.h"

#include <algorithm>

namespace cvtest {
namespace {

// A code file whose version words hold 0x44332211 (addr1) and 0x88776655 (addr).
Bytes codeFile(size_t length) {
    Bytes file = randomBytes(length, 21);
    const uint8_t a1[4] = {0x11, 0x22, 0x33, 0x44}, a[4] = {0x55, 0x66, 0x77, 0x88};
    for (size_t i = 0; i < 4; ++i) {
        if (0x1094 + i < length) file[0x1094 + i] = a1[i];
        if (0x10A0 + i < length) file[0x10A0 + i] = a[i];
    }
    return file;
}

TEST(VersionWords, BytesOfferedInAnyPiecesGiveBothWords) {
    const Bytes file = codeFile(0x2000);
    for (size_t piece : {size_t(1), size_t(3), size_t(7), size_t(0x1095), size_t(0x2000)}) {
        qv::VersionWords words;
        for (size_t at = 16; at < file.size(); at += piece) // the header is never offered
            words.watch(int64_t(at), file.data() + at, std::min(piece, file.size() - at));
        uint32_t addr1 = 0, addr = 0;
        words.store(addr1, addr);
        EXPECT_EQ(addr1, 0x44332211u) << piece;
        EXPECT_EQ(addr, 0x88776655u) << piece;
    }
}

TEST(VersionWords, AFileEndingInsideAWordReplacesOnlyTheBytesItHolds) {
    const Bytes file = codeFile(0x10A2);
    qv::VersionWords offered;
    offered.watch(16, file.data() + 16, file.size() - 16);
    uint32_t addr1 = 0xAAAAAAAA, addr = 0xBBBBBBBB;
    offered.store(addr1, addr);
    EXPECT_EQ(addr1, 0x44332211u);
    EXPECT_EQ(addr, 0xBBBB6655u);

    qvtest::TempDir dir;
    std::string path = dir.file("code.bin");
    qvtest::writeFile(path, file);
    qv::File f(path, "rb");
    qv::VersionWords read;
    read.read(f);
    uint32_t r1 = 0xAAAAAAAA, r = 0xBBBBBBBB;
    read.store(r1, r);
    EXPECT_EQ(r1, addr1);
    EXPECT_EQ(r, addr);

    qv::VersionWords none; // nothing offered: nothing replaced
    none.store(r1, r);
    EXPECT_EQ(r1, addr1);
}

} // namespace
} // namespace cvtest
