// Inputs of every kind that a format cannot need, each in a whole merge of
// the example release run in a child process: the result, the message naming
// the file, a log line where the merge says where it stopped, and the child's
// peak memory, which stays below 64 MiB whatever the input. Rows at a bound
// show that the bound itself still passes.
#include "example_release.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qvtest;

namespace {

const std::string kRelease = std::string(QUORVEL_SOURCE_DIR) + "/examples/release/";
constexpr uint64_t kFlash = 64 * 65536;  // the example flash
constexpr uint64_t kBelowRai = 0x370000; // its RAI area starts at 0x4370000, the flash at 0x4000000
constexpr uint64_t kDescriptionBound = uint64_t(8) << 20;
constexpr uint64_t kGiB = uint64_t(1) << 30;
constexpr long kPeakLimitKiB = 64 * 1024;
// AddressSanitizer's shadow memory and quarantine count in the peak, so the
// bound on memory is checked only in plain builds.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCheckPeak = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kCheckPeak = false;
#else
constexpr bool kCheckPeak = true;
#endif
#else
constexpr bool kCheckPeak = true;
#endif

// `head`, then zeros up to `length` bytes, without taking room on the disk.
std::string sparse(const std::string &path, const Bytes &head, uint64_t length) {
    writeFile(path, head);
    std::filesystem::resize_file(path, length);
    return path;
}

std::string put(const std::string &path, const Bytes &data) {
    writeFile(path, data);
    return path;
}

// A DSP patch file whose one patch, for the example's chip version 2, is
// `size` bytes long.
Bytes dspHead(uint32_t size) {
    Bytes b = withHeader(6, {});
    putStr(b, "PATC");
    put32(b, 17); // descriptor: head and one entry
    b.insert(b.end(), {1, 0x44, 0, 0, 0, 0, 0, 0});
    b.insert(b.end(), {1, 1, 0, 0, 2}); // version, one entry, no flags; chip version 2
    put32(b, 64);                       // offset from file offset 16
    put32(b, size);
    return b;
}

// An MCP file whose first table, `size` bytes, matches the example's memory part.
Bytes mcpHead(uint32_t size) {
    Bytes b = withHeader(25, {});
    put32(b, size);
    put32(b, 8); // the DIDR pair right after magic and identifier
    b.resize(32, 0);
    put32(b, 0xBABE);
    put32(b, 0x2C01);
    put16(b, 0x1234);
    put16(b, 0xFFFF);
    return b;
}

// A description file of exactly the bound: one object whose one value line
// holds four million values.
std::string oneHugeObject(const std::string &path) {
    std::string text = "A 100 2 4000000\n";
    const size_t values = (kDescriptionBound - text.size() - 4) / 2;
    text.reserve(kDescriptionBound);
    for (size_t i = 0; i < values; ++i) text += "1 ";
    text += "%u8\n";
    writeText(path, text);
    return path;
}

struct Outcome {
    int result = 0;
    std::string message;
    long peakKiB = 0;
};

// Runs the merge in a child process: what it returned and its peak memory.
Outcome runInChild(ExampleMerge &m) {
    int fds[2];
    if (pipe(fds) != 0) return {-1, "pipe failed", 0};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const std::string out = std::to_string(m.run()) + "\n" + m.message;
        _exit(write(fds[1], out.data(), out.size()) == ssize_t(out.size()) ? 0 : 1);
    }
    close(fds[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const size_t nl = text.find('\n');
    if (nl == std::string::npos) return {-1, "no result from the child", usage.ru_maxrss};
    return {std::stoi(text.substr(0, nl)), text.substr(nl + 1), usage.ru_maxrss};
}

struct Case {
    const char *name;
    std::function<void(ExampleMerge &, const TempDir &)> change;
    int result;
    std::string message; // "@/" stands for the test's folder, "%R" for the release folder
    std::string logLine; // a line the log must hold, when not empty
};

std::string expand(std::string text, const TempDir &dir) {
    for (size_t at; (at = text.find("@/")) != std::string::npos;) text.replace(at, 1, dir.path());
    for (size_t at; (at = text.find("%R")) != std::string::npos;) text.replace(at, 2, kRelease);
    return text;
}

const Case kCases[] = {
    {"description file from a device", [](ExampleMerge &m, const TempDir &) { m.e2pFiles = {"/dev/zero"}; },
     -1401, "mergeE2P: description file /dev/zero gives more than 8388608 bytes", ""},
    {"description file past the bound",
     [](ExampleMerge &m, const TempDir &d) { m.e2pFiles = {sparse(d.file("big.e2p"), {}, kDescriptionBound + 1)}; },
     -1400,
     "mergeE2P: description file @/big.e2p holds 8388609 bytes, more than the 8388608 a description file may hold",
     ""},
    {"description file at the bound, one object of four million values",
     [](ExampleMerge &m, const TempDir &d) { m.e2pFiles = {oneHugeObject(d.file("one.e2p"))}; }, -78,
     "mergeE2P: DownloadE2PFile4Nor() error", ""},
    {"code file from a device", [](ExampleMerge &m, const TempDir &) { m.images[0] = "/dev/zero"; }, -1411,
     "merge_code_cus: code section of /dev/zero passes the flash size of 4194304 bytes while it is copied", ""},
    {"code file of 4 GiB and 4 KiB",
     [](ExampleMerge &m, const TempDir &d) { m.images[0] = sparse(d.file("huge.bin"), {}, 16 + 4 * kGiB + 4096); },
     -1410,
     "merge_code_cus: code section of @/huge.bin holds 4294971392 bytes, more than the flash size of 4194304 bytes",
     ""},
    {"compressed code file expanding past the flash",
     [](ExampleMerge &m, const TempDir &d) {
         m.images[0] = put(d.file("big.wpb"), makeWpb(Bytes(kFlash + 1, 0), QUORVEL_TYPE_CODE));
     },
     -1412, "merge_code_cus: expanded code section of @/big.wpb passes the flash size of 4194304 bytes", ""},
    {"code section filling the flash, CUS area behind it",
     [](ExampleMerge &m, const TempDir &d) { m.images[0] = sparse(d.file("full.bin"), {}, 16 + kFlash); }, -1413,
     "merge_code_cus: the record of %Rdsp.pat would reach past the end of the flash",
     "fms_adWrite: next_rec 0x40083c passes the end of the image at 0x400000"},
    {"DSP patch of 1 GiB",
     [](ExampleMerge &m, const TempDir &d) { m.patches[0] = sparse(d.file("huge.pat"), dspHead(kGiB), 80 + kGiB); },
     -1413, "merge_code_cus: the record of @/huge.pat would reach past the end of the flash", ""},
    {"MCP tables of 1 GiB",
     [](ExampleMerge &m, const TempDir &d) { m.patches[1] = sparse(d.file("huge.mcp"), mcpHead(kGiB), 32 + kGiB); },
     -1413, "merge_code_cus: the record of @/huge.mcp would reach past the end of the flash", ""},
    {"CUS file of 3 GiB",
     [](ExampleMerge &m, const TempDir &d) {
         Bytes head;
         putStr(head, "WCUSLCMCFRED");
         put32(head, uint32_t(3 * kGiB));
         m.cus = {sparse(d.file("huge.cus"), head, 16 + 3 * kGiB)};
     },
     -1413, "merge_code_cus: the record of @/huge.cus would reach past the end of the flash", ""},
    {"code image without CUS area ending at the RAI area",
     [](ExampleMerge &m, const TempDir &d) {
         m.cus.clear();
         m.images[0] = sparse(d.file("edge.bin"), {}, 16 + kBelowRai);
     },
     0, "", ""},
    {"code image without CUS area one byte into the RAI area",
     [](ExampleMerge &m, const TempDir &d) {
         m.cus.clear();
         m.images[0] = sparse(d.file("over.bin"), {}, 16 + kBelowRai + 1);
     },
     -1420, "mergeRAI: code size overflow! @/code.img ends at 0x4370001, above the RAI base 0x4370000", ""},
    {"compressed RAI input expanding past the area",
     [](ExampleMerge &m, const TempDir &d) {
         m.images.push_back(put(d.file("bomb.wpb"), makeWpb(Bytes(16 << 20, 0), 0x1000003)));
     },
     -151, "mergeRAI: dwl_NorFsProcessData error",
     "deWpb: Stopped after 330756 bytes: this input may expand to no more"},
};

TEST(Bounds, EveryInputIsRefusedOrReadWithinItsBound) {
    for (const Case &c : kCases) {
        TempDir dir;
        ExampleMerge m(dir.path());
        c.change(m, dir);
        const Outcome o = runInChild(m);
        EXPECT_EQ(o.result, c.result) << c.name << ": " << o.message;
        EXPECT_EQ(o.message, expand(c.message, dir)) << c.name;
        if (kCheckPeak) {
            EXPECT_LT(o.peakKiB, kPeakLimitKiB) << c.name;
        }
        if (!c.logLine.empty()) {
            const std::vector<std::string> log = readLines(m.log);
            EXPECT_NE(std::find(log.begin(), log.end(), c.logLine), log.end()) << c.name;
        }
    }
}

} // namespace
