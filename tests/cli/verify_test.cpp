// The example release from merge to device: a merge writes its record and
// its programmer file in every format (the HEX and S-record files decode,
// by binutils' objcopy, to the raw one), and verify answers for the folder,
// a merge again and readbacks, naming the part and address of a flipped
// byte, a changed input and a readback or record that is not what it should be.
#include "cli_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace clitest {
namespace {

using namespace qvtest;

class VerifyRelease : public ::testing::Test {
protected:
    void SetUp() override {
        if (!hasBash())
            GTEST_SKIP() << "the cases are made and decoded by shell tools (objcopy, sed), and there is no bash here";
        std::filesystem::copy(std::string(QUORVEL_SOURCE_DIR) + "/examples", dir(""),
                              std::filesystem::copy_options::recursive);
        for (const char *out : {"flash.bin", "flash.hex", "flash.srec"}) {
            CliResult r = merge(out);
            ASSERT_EQ(r.status, 0) << r.err;
        }
    }
    CliResult merge(const std::string &flashFile) {
        return runBash("SOURCE_DATE_EPOCH=1577836800 " + std::string(QUORVEL_CLI_PATH) + " merge -q --manifest " +
                       dir("release.json") + " --out-dir " + dir("out") + " --out-flash " + dir("out/" + flashFile));
    }
    std::string dir(const std::string &name) const { return tmp.file("release/" + name); }
    std::string record() const { return dir("out/release.record.json"); }
    // A readback: the raw programmer file with one byte changed at `offset`.
    std::string flipped(uint32_t offset, uint8_t value) const {
        Bytes b = readFile(dir("out/flash.bin"));
        b.at(offset) = value;
        writeFile(dir("out/dump.bin"), b);
        return dir("out/dump.bin");
    }
    TempDir tmp;
};

TEST_F(VerifyRelease, RecordAndProgrammerFilesAgreeAndVerifyNamesEachDifference) {
    // The record is the same for the same release merged again.
    const Bytes first = readFile(record());
    ASSERT_EQ(merge("flash.bin").status, 0);
    EXPECT_EQ(readFile(record()), first);
    // An independent decoder of the two text formats gives the raw file (up
    // to its last data byte; the rest is erased).
    const Bytes raw = readFile(dir("out/flash.bin"));
    ASSERT_EQ(raw.size(), 4u << 20);
    for (const char *f : {"ihex flash.hex", "srec flash.srec"}) {
        const std::string kind = std::string(f).substr(0, 4), name = std::string(f).substr(5);
        CliResult r = runBash("cd " + dir("out") + " && objcopy -I " + kind + " -O binary --gap-fill 0xFF " + name +
                              " decoded.bin");
        ASSERT_EQ(r.status, 0) << r.err;
        Bytes decoded = readFile(dir("out/decoded.bin")), expected = raw;
        expected.resize(decoded.size());
        EXPECT_EQ(decoded, expected) << f;
        EXPECT_TRUE(std::all_of(raw.begin() + long(decoded.size()), raw.end(), [](uint8_t b) { return b == 0xFF; }));
    }

    struct Case {
        const char *name;
        std::function<std::vector<std::string>()> args;
        int status;
        std::vector<std::string> says;
    };
    auto readback = [&](std::string path) { return std::vector<std::string>{"--readback", path}; };
    const std::vector<Case> cases = {
        {"folder", [] { return std::vector<std::string>{}; }, 0, {": matches"}},
        {"merge again", [] { return std::vector<std::string>{"--remerge"}; }, 0, {"merged again", ": matches"}},
        {"raw readback", [&] { return readback(dir("out/flash.bin")); }, 0, {": matches"}},
        {"HEX readback", [&] { return readback(dir("out/flash.hex")); }, 0, {"not checked: 0x04033700-0x0437FFFF", ": matches"}},
        {"S-record readback", [&] { return readback(dir("out/flash.srec")); }, 0, {": matches"}},
        {"part of the flash at --at",
         [&] {
             Bytes b = readFile(dir("out/flash.bin"));
             writeFile(dir("out/part.bin"), Bytes(b.begin() + 0x370000, b.begin() + 0x380000));
             return std::vector<std::string>{"--readback", dir("out/part.bin"), "--at", "0x04370000"};
         },
         0, {"not checked: 0x04000000-0x0436FFFF", "not checked: 0x04380000-0x043FFFFF", ": matches"}},
        {"readback with the images' digests left to a folder check",
         [&] { return std::vector<std::string>{"--readback", dir("out/flash.bin"), "--skip-image-digests"}; }, 0,
         {"not checked: the images against their recorded digests (--skip-image-digests)", ": matches"}},
        {"code section", [&] { return readback(flipped(0x1000, 0x00)); }, 1,
         {"differs: 0x04001000-0x04001000 in code section: 1 bytes differ, release B7, device 00; 6 bits cleared"}},
        {"CUS record", [&] { return readback(flipped(0x33000, 0x00)); }, 1, {"0x04033000-0x04033000 in CUS area, record 3"}},
        {"RAI sector", [&] { return readback(flipped(0x380100, 0x5A)); }, 1,
         {"0x04380100-0x04380100 in RAI sector 1", "4 set that the release clears (bits the release programs to 0 read 1"}},
        {"E2P partition", [&] { return readback(flipped(0x3D0010, 0x00)); }, 1,
         {"0x043D0010-0x043D0010 in E2P partition, journal record 1"}},
        {"bad HEX checksum",
         [&] {
             runBash("cd " + dir("out") + " && sed '2s/.$/0/' flash.hex > bad.hex");
             return readback(dir("out/bad.hex"));
         },
         1, {"bad.hex: line 2: bad checksum"}},
        {"raw readback past the flash", [&] { return std::vector<std::string>{"--readback", dir("out/flash.bin"), "--at", "0x04000010"}; },
         1, {"pass the end of the flash"}},
        {"--at outside the flash", [&] { return std::vector<std::string>{"--readback", dir("out/flash.bin"), "--at", "0x1000"}; },
         2, {"--at: 0x00001000 lies outside the flash"}},
        {"changed input",
         [&] {
             runBash("echo '0x1 %u8' >> " + dir("release/extra.e2p"));
             return std::vector<std::string>{};
         },
         1, {"differs: input ../release/extra.e2p: changed", "the images are stale"}},
        {"image changed past what a part readback reads of it",
         [&] {
             Bytes b = readFile(dir("out/flash.bin"));
             writeFile(dir("out/part.bin"), Bytes(b.begin() + 0x380000, b.begin() + 0x390000));
             Bytes rai = readFile(dir("out/rai.img"));
             rai.at(0x20000) ^= 0xFF;
             writeFile(dir("out/rai.img"), rai);
             return std::vector<std::string>{"--readback", dir("out/part.bin"), "--at", "0x04380000"};
         },
         1, {"differs: rai image rai.img: changed"}},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args{"verify", "--record", record()};
        for (const std::string &a : c.args()) args.push_back(a);
        CliResult r = runCli(args);
        EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.out << r.err;
        for (const std::string &s : c.says) EXPECT_TRUE(contains(r.out + r.err, s)) << c.name << ": " << s << "\n" << r.out << r.err;
    }
    // The record of a merge that failed for a missing input reads back and says so.
    std::filesystem::remove(dir("release/extra.e2p"));
    EXPECT_EQ(runBash("SOURCE_DATE_EPOCH=1577836800 " + std::string(QUORVEL_CLI_PATH) + " merge -q --manifest " +
                      dir("release.json") + " --out-dir " + dir("failed"))
                  .status,
              1);
    CliResult failed = runCli({"verify", "--record", dir("failed/release.record.json")});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(contains(failed.out, "differs: the merge of this release failed: error -1462")) << failed.out << failed.err;
    // Another format version is refused by name.
    std::string text(first.begin(), first.end());
    text.replace(text.find("\"version\": 1"), 12, "\"version\": 2");
    writeFile(dir("out/v2.json"), Bytes(text.begin(), text.end()));
    CliResult r = runCli({"verify", "--record", dir("out/v2.json")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "a release record of format version 2; this quorvel reads version 1")) << r.err;
}

} // namespace
} // namespace clitest
