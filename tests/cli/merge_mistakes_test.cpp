// Ordinary mistakes on the command line, each made after a good merge into
// the same folder: the command refuses it with a message naming the file or
// the flag, every input and every earlier output stays byte for byte as it
// was, and no file is left behind. A merge cancelled by SIGINT leaves the
// same. Paths are given as users write them: outside ASCII on every system,
// with backslashes and drive letters on Windows.
#include "release_builder.h"

#include "base/system.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;
#endif

namespace clitest {
namespace {

using namespace qvtest;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// Every file below `dir` with its bytes (folders as empty entries), leaving
// out the folder `skip`.
std::map<std::string, Bytes> snapshot(const std::string &dir, const std::string &skip) {
    std::map<std::string, Bytes> files;
    for (const auto &e : fs::recursive_directory_iterator(qv::sys::fsPath(dir))) {
        const std::string rel = qv::sys::utf8Path(fs::relative(e.path(), qv::sys::fsPath(dir)));
        if (rel == skip || rel.starts_with(skip + "/")) continue;
        files[rel] = e.is_regular_file() ? readFile(qv::sys::utf8Path(e.path())) : Bytes();
    }
    return files;
}

#ifndef _WIN32
// True once a temporary file of `image` is in `dir`.
bool temporaryOf(const std::string &dir, const std::string &image) {
    for (const auto &e : fs::directory_iterator(dir))
        if (e.path().filename().string().starts_with("." + image + ".")) return true;
    return false;
}
#endif

// The value after `flag` set to `value` (the pair added when absent).
std::function<void(Args &)> setFlag(const std::string &flag, const std::string &value) {
    return [=](Args &a) {
        auto it = std::find(a.begin(), a.end(), flag);
        if (it == a.end()) a.insert(a.end(), {flag, value});
        else *(it + 1) = value;
    };
}

// The same change without strict inputs, so that the merge itself meets the
// fault (and says why) instead of the checks before it.
std::function<void(Args &)> lenient(std::function<void(Args &)> change) {
    return [=](Args &a) {
        change(a);
        a.push_back("--lenient");
    };
}

std::function<void(Args &)> replacePath(const std::string &from, const std::string &to) {
    return [=](Args &a) { std::replace(a.begin(), a.end(), from, to); };
}

// Another subcommand's command line in place of the merge's.
std::function<void(Args &)> command(Args args) {
    return [=](Args &a) { a = args; };
}

std::function<void(Args &)> dropFlags(std::vector<std::string> flags) {
    return [=](Args &a) {
        for (const std::string &f : flags) {
            auto it = std::find(a.begin(), a.end(), f);
            if (it != a.end()) a.erase(it, it + 2);
        }
    };
}

std::function<void(Args &)> both(std::function<void(Args &)> a, std::function<void(Args &)> b) {
    return [=](Args &args) { a(args), b(args); };
}

// `bytes` with `at` set to `v`.
Bytes patched(Bytes bytes, size_t at, uint8_t v) {
    bytes.at(at) = v;
    return bytes;
}

// `path` with "\\" between its names, as Windows writes it.
std::string backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The example release's CUS file by a drive-letter path: Z: is the root of
// the Unix file system under wine.
const std::string kExampleLogo = "Z:" + backslashed(QUORVEL_SOURCE_DIR "/examples/release/logo.cus");

// Inputs that are wrong in the ways people get them wrong, the release's
// manifest, and the merged RAI image under a FAT image's name.
void writeFixtures(const MergedRelease &m, const std::string &fix) {
    const TestRelease &rel = m.rel;
    const std::string journal = m.output("e2p.img"); // an E2P image the merge wrote
    fs::create_directories(fix + "/folder");
    fs::create_directories(fix + "/fat");
    writeFile(fix + "/fat/user.fat", readFile(m.output("rai.img")));
    writeText(rel.path("release.json"), rel.manifest().dump());
    Bytes content = filled(8192, 0xFF); // parameter content, as a base image holds it
    content[253] = 2, content[254] = 98;
    writeFile(fix + "/content.bin", content);
    writeFile(fix + "/journal.bin", readFile(journal));
    writeFile(fix + "/fw.zbin", makeWpb(rel.codeSection, 0x1000023));
    const Bytes user = readFile(rel.path("user.fat"));
    writeFile(fix + "/half.fat", Bytes(user.begin(), user.begin() + 16 + 516 * 5 + 258));
    writeFile(fix + "/other.pat", patched(readFile(rel.path("dsp.pat")), 49, 5));   // versions 1 and 5
    writeFile(fix + "/idmap.pat", patched(readFile(rel.path("dsp.pat")), 34, 1));   // an empty id map
    writeFile(fix + "/other.mcp", patched(readFile(rel.path("mcp.bin")), 68, 2));   // parts 0x9999, 0x2c02
    Json half = rel.flashJson;
    half["regions"][0]["count"] = 32;
    writeText(fix + "/half.json", half.dump());
    writeText(fix + "/release.json", rel.manifest().dump());
    Bytes zeros{'W', 'C', 'U', 'S', 'L', 'C', 'M', 'C', 'F', 'R', 'E', 'D', 180, 0, 0, 0};
    zeros.resize(16 + 180, 0);
    writeFile(fix + "/zeros.cus", zeros);
    writeFile(fix + "/user.fta", readFile(rel.path("user.fat")));
    writeFile(fix + "/empty.bin", {});
    writeFile(fix + "/kind5.fat", fatFile(5, rel.user));
    writeFile(fix + "/short.bin", Bytes(rel.flashRecord.begin(), rel.flashRecord.begin() + 100));
    writeFile(fix + "/bad.cus", {'W', 'C', 'U', 'S', 'L', 'C', 'M', 'C', 'F', 'R', 'E', 'D', 0xFF, 0xFF, 0xFF, 0x7F});
    writeText(fix + "/bad.e2p", "A 10 1 1\n1 %u8\nB 8192 1 1\n1 %u8\n");
    writeFile(fix + "/twice.fat", fatFile(22, {rel.user[0], rel.user[1], rel.user[0]}));
    Json halfFlash = rel.flashJson;
    halfFlash["regions"][0]["count"] = 32; // 2 MB of regions on a 4 MB flash
    writeText(fix + "/flash.json", halfFlash.dump());
    FlashInfoSpec flash = exampleFlash();
    flash.chipId = 0x0019;
    writeFile(fix + "/chip9.bin", flash.build());
    flash = exampleFlash();
    flash.memParts = {{0x2C05, 0x0001}};
    writeFile(fix + "/part2c05.bin", flash.build());
    Bytes wpb = makeWpb(rel.codeSection, 0x1000023);
    std::fill(wpb.begin() + 144, wpb.begin() + 150, 0xEE);
    writeFile(fix + "/damaged.wpb", wpb);
    writeFile(fix + "/huge.bin", withHeader(0, {}));
    fs::resize_file(fix + "/huge.bin", 16 + (64 << 16) + 1); // one byte more than the flash holds
}

TEST(MergeMistakes, AreRefusedLeavingInputsAndEarlierOutputsAsTheyWere) {
    MergedRelease m;
    ASSERT_EQ(m.result.status, 0) << m.result.err;
    const TestRelease &rel = m.rel;
    const std::string out = m.out, fix = m.tmp.file("fix");
    writeFixtures(m, fix);
    fs::create_directories(m.tmp.file("logs"));
    const auto before = snapshot(m.tmp.path(), "logs");
    const struct {
        const char *mistake;
        std::function<void(Args &)> change;
        int status;
        std::string named;     // the message names this file or flag
        std::string cause{};   // the cause line says this (nothing to check when empty)
        bool windowsOnly = false;
    } rows[] = {
        {"code image over the code file", setFlag("--out-code", rel.path("firmware.bin")), 2, rel.path("firmware.bin")},
        {"E2P image over a description file", setFlag("--out-e2p", rel.path("params.e2p")), 2, rel.path("params.e2p")},
        {"RAI image over a FAT image", setFlag("--out-rai", rel.path("user.fat")), 2, rel.path("user.fat")},
        {"log over a description file", setFlag("--log", rel.path("params.e2p")), 2, rel.path("params.e2p")},
        {"merged area over the DSP patch", setFlag("--e2p-area-out", rel.path("dsp.pat")), 2, rel.path("dsp.pat")},
        {"E2P image over the E2P base", setFlag("--out-e2p", rel.path("e2p_base.bin")), 2, rel.path("e2p_base.bin")},
        {"two images on one path", setFlag("--out-e2p", out + "/code.img"), 2, out + "/code.img"},
        {"log on the code image", setFlag("--log", out + "/code.img"), 2, out + "/code.img"},
        {"merged area on the RAI image", setFlag("--e2p-area-out", out + "/rai.img"), 2, out + "/rai.img"},
        {"report over the code file", setFlag("--report", rel.path("firmware.bin")), 2, rel.path("firmware.bin")},
        {"report over the FlashInfo record", setFlag("--report", rel.path("flash.bin")), 2, rel.path("flash.bin")},
        {"report on the code image", setFlag("--report", out + "/code.img"), 2, out + "/code.img"},
        {"report on the merged area", setFlag("--report", out + "/area.bin"), 2, out + "/area.bin"},
        {"report in a missing folder", setFlag("--report", fix + "/none/r.html"), 2, fix + "/none"},
        {"log names a folder", setFlag("--log", fix + "/folder"), 2, "--log: " + fix + "/folder"},
        {"code image names a folder", setFlag("--out-code", out), 2, "--out-code: " + out},
        {"no RAI image", dropFlags({"--out-rai"}), 2, "--out-rai"},
        {"no E2P image with description files", dropFlags({"--out-e2p"}), 2, "--out-e2p"},
        {"the code image alone", dropFlags({"--out-e2p", "--out-rai"}), 2, "--out-e2p"},
        {"report page over the code image",
         command({"report", "--manifest", rel.path("release.json"), "--out-dir", out, "-o", out + "/code.img"}), 2,
         out + "/code.img"},
        {"report page over the manifest",
         command({"report", "--manifest", rel.path("release.json"), "--out-dir", out, "-o", rel.path("release.json")}),
         2, rel.path("release.json")},
        {"record over its description",
         command({"flashinfo", "--from", rel.path("flash.json"), "-o", rel.path("flash.json")}), 2, rel.path("flash.json")},
        {"record into a folder", command({"flashinfo", "--from", rel.path("flash.json"), "-o", fix + "/folder"}), 2,
         fix + "/folder"},
        {"FAT image over the RAI image inspected",
         command({"inspect", fix + "/fat/user.fat", "--kind", "rai", "--flash-info", rel.path("flash.bin"),
                  "--e2p-area", out + "/area.bin", "--extract-fat", fix + "/fat"}),
         2, fix + "/fat/user.fat"},
        {"mistyped FAT image name", replacePath(rel.path("user.fat"), fix + "/user.fta"), 1, fix + "/user.fta"},
        {"missing patch", replacePath(rel.path("dsp.pat"), fix + "/dsp.pat"), 1, fix + "/dsp.pat",
         "cause: " + fix + "/dsp.pat: the folder " + fix + " holds no dsp.pat\n"},
        {"missing description file", replacePath(rel.path("params.e2p"), fix + "/p.e2p"), 1, fix + "/p.e2p"},
        {"folder as code file", replacePath(rel.path("firmware.bin"), fix + "/folder"), 1, fix + "/folder",
         "cause: " + fix + "/folder: is a folder\n"},
        {"empty code file", replacePath(rel.path("firmware.bin"), fix + "/empty.bin"), 1, fix + "/empty.bin"},
        {"FAT image of a wrong kind", replacePath(rel.path("user.fat"), fix + "/kind5.fat"), 1, fix + "/kind5.fat"},
        {"CUS file cut short", replacePath(rel.path("logo.cus"), fix + "/bad.cus"), 1, fix + "/bad.cus",
         "cause: " + fix + "/bad.cus: chunk 0 at offset 0x8 claims 2147483647 bytes, the file ends at 16\n"},
        {"empty E2P area", lenient(setFlag("--e2p-area", fix + "/empty.bin")), 1, fix + "/empty.bin",
         "cause: " + fix + "/empty.bin: empty; the CUS size and base are written at E2P addresses 223 to 255, "
         "the E2P base image holds 8192 bytes\n"},
        {"description file object outside the E2P", replacePath(rel.path("params.e2p"), fix + "/bad.e2p"), 1,
         fix + "/bad.e2p",
         "cause: " + fix + "/bad.e2p: line 3: object B has address 8192, expected 0 to 8191 or 16384 to 24575\n"},
        {"regions short of the flash's end", lenient(setFlag("--flash-info", fix + "/flash.json")), 1, fix + "/flash.json",
         "cause: " + fix + "/flash.json: the regions cover 0x04000000–0x04200000, the flash ends at 0x04400000\n"},
        {"FAT image holding a sector twice", replacePath(rel.path("user.fat"), fix + "/twice.fat"), 1,
         fix + "/twice.fat",
         "cause: " + fix + "/twice.fat: record 2 at offset 0x418: sector 7 of the user FAT is stored already\n"},
        {"flash of another chip", lenient(setFlag("--flash-info", fix + "/chip9.bin")), 1, rel.path("dsp.pat"),
         "cause: " + rel.path("dsp.pat") +
             ": is built for chip versions 0x1, 0x2; the flash description asks for 0x9 (chipId, low 4 bits)\n"},
        {"flash of other memory parts", lenient(setFlag("--flash-info", fix + "/part2c05.bin")), 1, "gen_mcp",
         "cause: " + rel.path("mcp.bin") + ": 0 of the 1 tables for the flash description's memory parts 0x2c05 "
             "(didr 0x1) found; the file holds 2 tables, for 0x9999 (didr 0x1234 mask 0xffff), 0x2c01 (didr "
             "0x1234 mask 0xffff)\n"},
        {"damaged compressed code file", replacePath(rel.path("firmware.bin"), fix + "/damaged.wpb"), 1,
         fix + "/damaged.wpb",
         "cause: " + fix + "/damaged.wpb: the zlib stream from offset 0x90 is corrupt before offset 0x92, after 0 "
             "bytes expanded: incorrect header check\n"},
        {"code file larger than the flash", replacePath(rel.path("firmware.bin"), fix + "/huge.bin"), 1,
         fix + "/huge.bin",
         "cause: " + fix + "/huge.bin: the file holds 4194321 bytes: its 16-byte header and a code section of "
             "4194305; the flash description's sizeIn64KB 64 gives a flash of 4194304 bytes\n"},
        {"/dev/zero as code file", replacePath(rel.path("firmware.bin"), "/dev/zero"), 1, "/dev/zero"},
        {"/dev/zero as description file", replacePath(rel.path("params.e2p"), "/dev/zero"), 1, "/dev/zero"},
        {"/dev/zero as E2P base", setFlag("--e2p-base", "/dev/zero"), 1, "/dev/zero"},
        {"/dev/zero as FlashInfo", setFlag("--flash-info", "/dev/zero"), 1, "/dev/zero"},
        {"FlashInfo cut short", setFlag("--flash-info", fix + "/short.bin"), 2, "--flash-info: " + fix + "/short.bin"},
        {"E2P base and area swapped", both(setFlag("--e2p-base", rel.path("e2p_area.bin")), setFlag("--e2p-area", fix + "/content.bin")), 1,
         fix + "/content.bin: neither an erased E2P area nor a sound E2P journal (no end mark (FF 7F) in the last two "
               "logical bytes); the E2P base " + rel.path("e2p_area.bin") + " is erased, as an unused E2P area is: "
               "the two given the wrong way round?"},
        {"E2P base given twice", both(setFlag("--e2p-base", fix + "/content.bin"), setFlag("--e2p-area", fix + "/content.bin")), 1,
         "; it holds the same bytes as the E2P base " + fix + "/content.bin: the base image given twice?"},
        {"E2P area given as base", setFlag("--e2p-base", fix + "/journal.bin"), 1,
         fix + "/journal.bin: the E2P base reads as an E2P journal of 3 records and the end mark, not as parameter "
               "content: the E2P area given as the base?"},
        {"FAT image as E2P area", setFlag("--e2p-area", rel.path("user.fat")), 1,
         "); it looks like a FAT image (kind byte 22 or 23 at offset 9)"},
        {"CUS file as code file", replacePath(rel.path("firmware.bin"), rel.path("logo.cus")), 1,
         rel.path("logo.cus") + ": a CUS file (\"WCUS\") given as the code file"},
        {"description file as code file", replacePath(rel.path("firmware.bin"), rel.path("params.e2p")), 1,
         rel.path("params.e2p") + ": an E2P description file (text) given as the code file"},
        {"FlashInfo record as code file", replacePath(rel.path("firmware.bin"), rel.path("flash.bin")), 1,
         rel.path("flash.bin") + ": a FlashInfo record given as the code file"},
        {"FAT image as code file", replacePath(rel.path("firmware.bin"), fix + "/user.fta"), 1,
         fix + "/user.fta: a FAT image (kind byte 22 or 23 at offset 9) given as the code file"},
        {"compressed code file not named .wpb", replacePath(rel.path("firmware.bin"), fix + "/fw.zbin"), 1,
         fix + "/fw.zbin: a compressed input (magic 0x5A57 at offset 16) given as the code file"},
        {"DSP patch as CUS file", replacePath(rel.path("logo.cus"), rel.path("dsp.pat")), 1,
         rel.path("dsp.pat") + ": a DSP patch file (\"PATC\" at offset 16) given as a CUS file"},
        {"FlashInfo record as description file", replacePath(rel.path("params.e2p"), rel.path("flash.bin")), 1,
         rel.path("flash.bin") + ": a FlashInfo record given as an E2P description file"},
        {"FAT image cut in a record", replacePath(rel.path("user.fat"), fix + "/half.fat"), 1,
         fix + "/half.fat: a FAT image cut short: its 2854 bytes are not the 16-byte header and whole 516-byte sector "
               "records (the last record holds 258 bytes)"},
        {"DSP patch for another chip", replacePath(rel.path("dsp.pat"), fix + "/other.pat"), 1,
         fix + "/other.pat: a DSP patch for chip versions 1, 5; the flash description's chip (chip id 2, sub id 1) "
               "needs version 2"},
        {"DSP patch whose id map misses the chip", replacePath(rel.path("dsp.pat"), fix + "/idmap.pat"), 1,
         fix + "/idmap.pat: a DSP patch whose id map has no entry for the flash description's chip (chip id 2, sub id 1)"},
        {"MCP file for other memory parts", replacePath(rel.path("mcp.bin"), fix + "/other.mcp"), 1,
         fix + "/other.mcp: an MCP file with tables for memory parts 0x9999, 0x2c02; the flash description's memory "
               "parts 0x2c01 (didr 0x1234) find 0 of the 1 tables they need"},
        {"flash regions cover half the flash", setFlag("--flash-info", fix + "/half.json"), 1,
         fix + "/half.json: the regions end at 0x4200000, the flash at 0x4400000"},
        {"CUS file as FlashInfo record", setFlag("--flash-info", fix + "/zeros.cus"), 1,
         fix + "/zeros.cus: a CUS file (\"WCUS\") given as the FlashInfo record"},
        {"manifest as flash description", setFlag("--flash-info", fix + "/release.json"), 1,
         fix + "/release.json: a release manifest, not a flash description: merge it with \"quorvel merge --manifest " +
             fix + "/release.json\""},
        {"missing flash description named outside ASCII", setFlag("--flash-info", fix + "/flásh/ïnfo.json"), 1,
         fix + "/flásh/ïnfo.json"},
        {"missing patch, backslashes", replacePath(rel.path("dsp.pat"), backslashed(fix + "/dsp.pat")), 1,
         backslashed(fix + "/dsp.pat"), {}, true},
        {"folder as code file, backslashes", replacePath(rel.path("firmware.bin"), backslashed(fix + "/folder")), 1,
         backslashed(fix + "/folder"), {}, true},
        {"CUS file as code file, drive letter", replacePath(rel.path("firmware.bin"), kExampleLogo), 1,
         kExampleLogo + ": a CUS file (\"WCUS\") given as the code file", {}, true},
        {"no outputs", dropFlags({"--out-code", "--out-e2p", "--out-rai"}), 2, "--out-code"},
        {"log in a missing folder", setFlag("--log", fix + "/none/merge.log"), 2, "--log"},
        {"record over the code file", setFlag("--record", rel.path("firmware.bin")), 2, "--record: " + rel.path("firmware.bin")},
        {"programmer file on the RAI image", setFlag("--out-flash", out + "/rai.img"), 2, "--out-flash: " + out + "/rai.img"},
        {"programmer file over the code file", setFlag("--out-flash", rel.path("firmware.bin")), 2,
         "--out-flash: " + rel.path("firmware.bin")},
    };
    int n = 0;
    for (const auto &row : rows) {
        if (row.windowsOnly && !kWindows) continue;
        Args args = rel.mergeFlags(out);
        setFlag("--log", m.tmp.file("logs/" + std::to_string(++n) + ".log"))(args);
        row.change(args);
        const CliResult r = runCli(args);
        EXPECT_EQ(r.status, row.status) << row.mistake << ": " << r.err;
        EXPECT_TRUE(contains(r.err, row.named)) << row.mistake << ": " << r.err;
        EXPECT_TRUE(contains(r.err, row.cause)) << row.mistake << ": " << r.err;
        EXPECT_TRUE(snapshot(m.tmp.path(), "logs") == before) << row.mistake << ": a file changed, came or went";
    }
    // A code file and outputs named outside ASCII merge to the same images.
    const std::string odd = m.tmp.file("fïx 版"), code = odd + "/fïrmwäre.bin";
    fs::create_directories(qv::sys::fsPath(odd + "/öut"));
    fs::copy_file(qv::sys::fsPath(rel.path("firmware.bin")), qv::sys::fsPath(code));
    fs::last_write_time(qv::sys::fsPath(code), fs::last_write_time(qv::sys::fsPath(rel.path("firmware.bin"))));
    Args named = rel.mergeFlags(odd + "/öut");
    replacePath(rel.path("firmware.bin"), code)(named);
    const CliResult r = runCli(named);
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char *image : {"code.img", "e2p.img", "rai.img"})
        EXPECT_EQ(readFile(odd + "/öut/" + image), readFile(m.output(image))) << image;
    // --lenient sorts by the literal rules: the mistyped FAT image is merged
    // as a second code file and skipped.
    Args lenient = rel.mergeFlags(out);
    replacePath(rel.path("user.fat"), fix + "/user.fta")(lenient);
    lenient.push_back("--lenient");
    EXPECT_EQ(runCli(lenient).status, 0);
}

#ifndef _WIN32
// A compressed code file of `size` zero bytes, written in pieces.
void writeCompressedZeros(const std::string &path, uint64_t size) {
    Bytes file = makeWpb({}, 0x1000023);
    file.resize(144);
    z_stream z{};
    deflateInit(&z, 1);
    const Bytes zeros(1 << 20, 0);
    Bytes buf(1 << 16);
    for (uint64_t left = size; ;) {
        const uInt n = uInt(std::min<uint64_t>(left, zeros.size()));
        left -= n;
        z.next_in = const_cast<Bytef *>(zeros.data());
        z.avail_in = n;
        do {
            z.next_out = buf.data();
            z.avail_out = uInt(buf.size());
            deflate(&z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
            file.insert(file.end(), buf.data(), buf.data() + (buf.size() - z.avail_out));
        } while (z.avail_out == 0);
        if (left == 0) break;
    }
    deflateEnd(&z);
    writeFile(path, file);
}
#endif

TEST(MergeMistakes, SigintCancelsAMergeLeavingEarlierOutputsAndNoTemporaries) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no SIGINT to send: Ctrl+C reaches the processes of a console, and the tests run "
                    "without one";
#else
    MergedRelease m;
    ASSERT_EQ(m.result.status, 0) << m.result.err;
    const uint16_t sectors = 0x4000; // 1 GB of flash
    writeFile(m.tmp.file("big.bin"), uniformFlash(sectors, 0x04000000).build());
    writeCompressedZeros(m.tmp.file("big.wpb"), (uint64_t(sectors) << 16) * 3 / 4);
    const auto before = snapshot(m.out, "");
    const std::vector<std::string> args = {
        QUORVEL_CLI_PATH, "merge", "--flash-info", m.tmp.file("big.bin"), "--e2p-base", m.rel.path("e2p_base.bin"),
        "--e2p-area", m.rel.path("e2p_area.bin"), "--image", m.tmp.file("big.wpb"), "--out-code",
        m.output("code.img"), "--out-e2p", m.output("e2p.img"), "--out-rai", m.output("rai.img"),
        "--e2p-area-out", m.output("area.bin"), "--log", m.tmp.file("big.log"), "--quiet"};
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    // The merge is under way once the code image's temporary is in the folder.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!temporaryOf(m.out, "code.img") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(pid, SIGINT);
    int st = 0;
    ASSERT_EQ(waitpid(pid, &st, 0), pid);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 130) << st;
    EXPECT_TRUE(snapshot(m.out, "") == before) << "a file changed, came or went";
#endif
}

} // namespace
} // namespace clitest
