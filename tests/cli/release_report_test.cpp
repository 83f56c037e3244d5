// The release report of the example release: drawn by a real browser, one
// block per RAI sector in the state inspect reads, nothing fetched from
// elsewhere, the same page without merging, and a failed merge's page.
#include "cli_run.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <regex>
#include <set>

namespace clitest {
namespace {

using namespace qvtest;

const std::string kManifest = std::string(QUORVEL_SOURCE_DIR) + "/examples/release.json";

// The pixels of an 8-bit RGB or RGBA PNG as RGB triples (0xRRGGBB), its
// filters undone; empty when the file is not such a PNG.
std::vector<uint32_t> pngPixels(const Bytes &png) {
    if (png.size() < 33 || png[24] != 8 || (png[25] != 2 && png[25] != 6)) return {};
    auto be32 = [&](size_t at) { return uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]; };
    const uint32_t width = be32(16), height = be32(20), channels = png[25] == 6 ? 4 : 3;
    Bytes z;
    for (size_t at = 8; at + 12 <= png.size(); at += 12 + be32(at))
        if (std::equal(&png[at + 4], &png[at + 8], "IDAT")) z.insert(z.end(), &png[at + 8], &png[at + 8 + be32(at)]);
    const size_t stride = size_t(width) * channels;
    Bytes raw(size_t(height) * (stride + 1));
    uLongf rawSize = raw.size();
    if (uncompress(raw.data(), &rawSize, z.data(), z.size()) != Z_OK || rawSize != raw.size()) return {};
    Bytes prev(stride, 0), row(stride);
    std::vector<uint32_t> out;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t filter = raw[y * (stride + 1)];
        const uint8_t *in = &raw[y * (stride + 1) + 1];
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= channels ? row[i - channels] : 0, b = prev[i], c = i >= channels ? prev[i - channels] : 0;
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int pred[] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
            row[i] = uint8_t(in[i] + (filter < 5 ? pred[filter] : 0));
        }
        for (size_t i = 0; i < stride; i += channels) out.push_back(uint32_t(row[i]) << 16 | row[i + 1] << 8 | row[i + 2]);
        prev = row;
    }
    return out;
}

std::string browser() {
    for (const char *name : {"chromium-headless-shell", "chromium"})
        if (std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0) return name;
    return "";
}

// Every match of `pattern`'s first group in `text`, in order.
std::vector<std::string> allOf(const std::string &text, const std::string &pattern) {
    std::vector<std::string> out;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        out.push_back((*it)[1]);
    return out;
}

class ReleaseReport : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tmp = new TempDir;
        merge = new CliResult(runCli({"merge", "--manifest", kManifest, "--out-dir", tmp->path(), "--report",
                                      tmp->file("merged.html"), "-q"}));
        page = new std::string(readText(tmp->file("merged.html")));
    }
    static void TearDownTestSuite() {
        delete page;
        delete merge;
        delete tmp;
    }
    static TempDir *tmp;
    static CliResult *merge;
    static std::string *page;
};
TempDir *ReleaseReport::tmp = nullptr;
CliResult *ReleaseReport::merge = nullptr;
std::string *ReleaseReport::page = nullptr;

TEST_F(ReleaseReport, ABrowserDrawsTheFlashMap) {
    ASSERT_EQ(merge->status, 0) << merge->err;
    const std::string shell = browser();
    if (shell.empty()) GTEST_SKIP() << "neither chromium-headless-shell nor chromium is installed: the page is not drawn";
    const std::string png = tmp->file("page.png");
    const std::string cmd = "timeout 120 " + shell + " --headless --no-sandbox --disable-gpu --hide-scrollbars "
                            "--window-size=1400,1000 --screenshot=" + png + " file://" + tmp->file("merged.html") +
                            " >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const std::vector<uint32_t> pixels = pngPixels(readFile(png));
    ASSERT_EQ(pixels.size(), 1400u * 1000u);
    const std::set<uint32_t> colours(pixels.begin(), pixels.end());
    EXPECT_GT(colours.size(), 50u) << "a blank page";
    // The code section and the formatted RAI sectors in their colours.
    EXPECT_GT(std::count(pixels.begin(), pixels.end(), 0x3d6fb4u), 1000);
    EXPECT_GT(std::count(pixels.begin(), pixels.end(), 0x7fb36au), 100);
}

TEST_F(ReleaseReport, OneBlockPerRaiSectorInTheStateInspectReads) {
    ASSERT_EQ(merge->status, 0) << merge->err;
    CliResult rai = runCli({"inspect", tmp->file("rai.img"), "--flash-info", std::string(QUORVEL_SOURCE_DIR) +
                            "/examples/flash.json", "--e2p-area", tmp->file("e2p_area.merged"), "--json"});
    ASSERT_EQ(rai.status, 0) << rai.err;
    std::vector<std::string> states;
    const Json report = rai.json();
    for (const Json &s : report["sectors"]) {
        const std::string state = s["state"];
        states.push_back(state == "formatted, empty" ? "formatted" : state);
    }
    EXPECT_EQ(allOf(*page, "<rect [^>]*class=\"rai-sector s-([a-z]+)\""), states);
    EXPECT_EQ(states, (std::vector<std::string>{"erased", "formatted", "formatted", "formatted", "spare"}));
}

// The block at 0x50 holds KEYPAD_TIMING, erased in the base.
TEST_F(ReleaseReport, ChangedBlocksNameTheObjectsInThem) {
    EXPECT_TRUE(contains(*page, "<code>KEYPAD_TIMING</code> 65535, 4294967295 \u2192 250, 123456</td>"));
}

TEST_F(ReleaseReport, NothingIsFetchedFromElsewhere) {
    for (const char *ref : {"http", "src=", "<script", "url(", "@import"})
        EXPECT_FALSE(contains(*page, ref)) << ref;
}

// The example's manifest with absolute input paths and its flash description
// inline, in the plain or the interleaved layout.
std::string writeManifest(const TempDir &t, bool interleaved) {
    const std::string dir = std::string(QUORVEL_SOURCE_DIR) + "/examples/";
    Json m = Json::parse(readText(kManifest));
    for (const char *list : {"images", "patches", "cus", "e2pFiles"})
        for (Json &p : m[list]) p = dir + p.get<std::string>();
    for (const char *key : {"e2pBase", "e2pArea"}) m[key] = dir + m[key].get<std::string>();
    m["flashInfo"] = Json::parse(readText(dir + "flash.json"));
    m["flashInfo"]["interleaved"] = interleaved;
    writeText(t.file("release.json"), m.dump());
    return t.file("release.json");
}

TEST(ReleaseReportLayouts, TheReportCommandGivesTheMergesPageWithoutMerging) {
    for (bool interleaved : {false, true}) {
        TempDir t;
        const std::string manifest = writeManifest(t, interleaved);
        CliResult merged = runCli({"merge", "--manifest", manifest, "--report", t.file("merged.html"), "-q"});
        ASSERT_EQ(merged.status, 0) << merged.err;
        CliResult r = runCli({"report", "--manifest", manifest});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "wrote " + t.file("report.html") + "\n");
        const std::regex status("<p class=\"status [a-z]+\">.*</p>");
        EXPECT_EQ(std::regex_replace(readText(t.file("report.html")), status, ""),
                  std::regex_replace(readText(t.file("merged.html")), status, ""))
            << (interleaved ? "interleaved" : "plain");
    }
}

TEST_F(ReleaseReport, AFailedMergeShowsTheFailureAndWhatWasWritten) {
    TempDir t;
    CliResult r = runCli({"merge", "--manifest", kManifest, "--out-dir", t.path(), "--image",
                          std::string(QUORVEL_SOURCE_DIR) + "/examples/release/firmware.bn", "--report", t.file("r.html")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "error -1462: ")) << r.err;
    EXPECT_TRUE(contains(r.err, "firmware.bn: no such file")) << r.err;
    const std::string failed = readText(t.file("r.html"));
    EXPECT_TRUE(contains(failed, "<p class=\"status bad\">The merge failed: <code>error -1462: "));
    EXPECT_TRUE(contains(failed, "<span class=\"bad\">no file</span>")) << "the missing code file";
}

} // namespace
} // namespace clitest
