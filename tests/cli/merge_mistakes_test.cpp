// Ordinary mistakes on the merge command line, each made after a good merge
// into the same folder: the command refuses it with a message naming the
// file, every input and every earlier output stays byte for byte as it was,
// and no file is left behind. A merge cancelled by SIGINT leaves the same.
#include "release_builder.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace clitest {
namespace {

using namespace qvtest;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// Every file below `dir` with its bytes (folders as empty entries), leaving
// out the folder `skip`.
std::map<std::string, Bytes> snapshot(const std::string &dir, const std::string &skip) {
    std::map<std::string, Bytes> files;
    for (const auto &e : fs::recursive_directory_iterator(dir)) {
        const std::string rel = fs::relative(e.path(), dir).string();
        if (rel == skip || rel.starts_with(skip + "/")) continue;
        files[rel] = e.is_regular_file() ? readFile(e.path().string()) : Bytes();
    }
    return files;
}

// True once a temporary file of `image` is in `dir`.
bool temporaryOf(const std::string &dir, const std::string &image) {
    for (const auto &e : fs::directory_iterator(dir))
        if (e.path().filename().string().starts_with("." + image + ".")) return true;
    return false;
}

// The value after `flag` set to `value` (the pair added when absent).
std::function<void(Args &)> setFlag(const std::string &flag, const std::string &value) {
    return [=](Args &a) {
        auto it = std::find(a.begin(), a.end(), flag);
        if (it == a.end()) a.insert(a.end(), {flag, value});
        else *(it + 1) = value;
    };
}

std::function<void(Args &)> replacePath(const std::string &from, const std::string &to) {
    return [=](Args &a) { std::replace(a.begin(), a.end(), from, to); };
}

std::function<void(Args &)> dropFlags(std::vector<std::string> flags) {
    return [=](Args &a) {
        for (const std::string &f : flags) {
            auto it = std::find(a.begin(), a.end(), f);
            if (it != a.end()) a.erase(it, it + 2);
        }
    };
}

// Inputs that are wrong in the ways people get them wrong.
void writeFixtures(const TestRelease &rel, const std::string &fix) {
    fs::create_directories(fix + "/folder");
    writeFile(fix + "/user.fta", readFile(rel.path("user.fat")));
    writeFile(fix + "/empty.bin", {});
    writeFile(fix + "/kind5.fat", fatFile(5, rel.user));
    writeFile(fix + "/short.bin", Bytes(rel.flashRecord.begin(), rel.flashRecord.begin() + 100));
    writeFile(fix + "/bad.cus", {'W', 'C', 'U', 'S', 'L', 'C', 'M', 'C', 'F', 'R', 'E', 'D', 0xFF, 0xFF, 0xFF, 0x7F});
}

TEST(MergeMistakes, AreRefusedLeavingInputsAndEarlierOutputsAsTheyWere) {
    MergedRelease m;
    ASSERT_EQ(m.result.status, 0) << m.result.err;
    const TestRelease &rel = m.rel;
    const std::string out = m.out, fix = m.tmp.file("fix");
    writeFixtures(rel, fix);
    fs::create_directories(m.tmp.file("logs"));
    const auto before = snapshot(m.tmp.path(), "logs");
    const struct {
        const char *mistake;
        std::function<void(Args &)> change;
        int status;
        std::string named; // the message names this file or flag
    } rows[] = {
        {"code image over the code file", setFlag("--out-code", rel.path("firmware.bin")), 1, rel.path("firmware.bin")},
        {"E2P image over a description file", setFlag("--out-e2p", rel.path("params.e2p")), 1, rel.path("params.e2p")},
        {"RAI image over a FAT image", setFlag("--out-rai", rel.path("user.fat")), 1, rel.path("user.fat")},
        {"log over a description file", setFlag("--log", rel.path("params.e2p")), 1, rel.path("params.e2p")},
        {"merged area over the DSP patch", setFlag("--e2p-area-out", rel.path("dsp.pat")), 1, rel.path("dsp.pat")},
        {"E2P image over the E2P base", setFlag("--out-e2p", rel.path("e2p_base.bin")), 1, rel.path("e2p_base.bin")},
        {"two images on one path", setFlag("--out-e2p", out + "/code.img"), 1, out + "/code.img"},
        {"log on the code image", setFlag("--log", out + "/code.img"), 1, out + "/code.img"},
        {"merged area on the RAI image", setFlag("--e2p-area-out", out + "/rai.img"), 1, out + "/rai.img"},
        {"mistyped FAT image name", replacePath(rel.path("user.fat"), fix + "/user.fta"), 1, fix + "/user.fta"},
        {"missing patch", replacePath(rel.path("dsp.pat"), fix + "/dsp.pat"), 1, fix + "/dsp.pat"},
        {"missing description file", replacePath(rel.path("params.e2p"), fix + "/p.e2p"), 1, fix + "/p.e2p"},
        {"folder as code file", replacePath(rel.path("firmware.bin"), fix + "/folder"), 1, fix + "/folder"},
        {"empty code file", replacePath(rel.path("firmware.bin"), fix + "/empty.bin"), 1, fix + "/empty.bin"},
        {"FAT image of a wrong kind", replacePath(rel.path("user.fat"), fix + "/kind5.fat"), 1, fix + "/kind5.fat"},
        {"CUS file cut short", replacePath(rel.path("logo.cus"), fix + "/bad.cus"), 1, fix + "/bad.cus"},
        {"/dev/zero as code file", replacePath(rel.path("firmware.bin"), "/dev/zero"), 1, "/dev/zero"},
        {"/dev/zero as description file", replacePath(rel.path("params.e2p"), "/dev/zero"), 1, "/dev/zero"},
        {"/dev/zero as E2P base", setFlag("--e2p-base", "/dev/zero"), 1, "/dev/zero"},
        {"/dev/zero as FlashInfo", setFlag("--flash-info", "/dev/zero"), 1, "/dev/zero"},
        {"FlashInfo cut short", setFlag("--flash-info", fix + "/short.bin"), 2, "--flash-info: " + fix + "/short.bin"},
        {"no outputs", dropFlags({"--out-code", "--out-e2p", "--out-rai"}), 2, "--out-code"},
        {"log in a missing folder", setFlag("--log", fix + "/none/merge.log"), 2, "--log"},
        {"record over the code file", setFlag("--record", rel.path("firmware.bin")), 1, rel.path("firmware.bin")},
        {"programmer file on the RAI image", setFlag("--out-flash", out + "/rai.img"), 2, "--out-flash: " + out + "/rai.img"},
        {"programmer file over the code file", setFlag("--out-flash", rel.path("firmware.bin")), 1, rel.path("firmware.bin")},
    };
    int n = 0;
    for (const auto &row : rows) {
        Args args = rel.mergeFlags(out);
        setFlag("--log", m.tmp.file("logs/" + std::to_string(++n) + ".log"))(args);
        row.change(args);
        const CliResult r = runCli(args);
        EXPECT_EQ(r.status, row.status) << row.mistake << ": " << r.err;
        EXPECT_TRUE(contains(r.err, row.named)) << row.mistake << ": " << r.err;
        EXPECT_TRUE(snapshot(m.tmp.path(), "logs") == before) << row.mistake << ": a file changed, came or went";
    }
    // --lenient sorts by the literal rules: the mistyped FAT image is merged
    // as a second code file and skipped.
    Args lenient = rel.mergeFlags(out);
    replacePath(rel.path("user.fat"), fix + "/user.fta")(lenient);
    lenient.push_back("--lenient");
    EXPECT_EQ(runCli(lenient).status, 0);
}

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

TEST(MergeMistakes, SigintCancelsAMergeLeavingEarlierOutputsAndNoTemporaries) {
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
}

} // namespace
} // namespace clitest
