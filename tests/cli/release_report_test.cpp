// The release report of the example release: drawn by a real browser with
// map text a person can read, one block per RAI sector in the state inspect
// reads, what the code image records and the CUS records by kind, nothing
// fetched from elsewhere, the same page without merging, and a failed
// merge's page.
#include "cli_run.h"
#include "release_builder.h"

#include "base/system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <zlib.h>

#include <regex>
#include <set>
#include <sstream>

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
    if (!hasBash()) return "";
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

// Runs the browser on `page` in a window `width` pixels wide with `what`
// (--screenshot=FILE or --dump-dom); its stdout.
std::string runBrowser(const std::string &shell, const std::string &page, int width, const std::string &what) {
    const std::string cmd = "timeout 120 " + shell + " --headless --no-sandbox --disable-gpu --hide-scrollbars "
                            "--window-size=" + std::to_string(width) + ",1000 " + what + " file://" + page + " 2>/dev/null";
    CliResult r = runBash(cmd);
    EXPECT_EQ(r.status, 0) << cmd;
    return r.out;
}

TEST_F(ReleaseReport, ABrowserDrawsTheFlashMapWithTextOfAtLeast12Pixels) {
    ASSERT_EQ(merge->status, 0) << merge->err;
    const std::string shell = browser();
    if (shell.empty())
        GTEST_SKIP() << "neither chromium-headless-shell nor chromium is installed (or bash, which starts it): the page "
                        "is not drawn";
    // The smallest text of the drawings as shown, in a wide and a narrow window.
    const std::string measured = tmp->file("measured.html");
    writeText(measured, *page + "<script>let min = 1e9; for (const t of document.querySelectorAll('svg text')) "
                                "min = Math.min(min, parseFloat(getComputedStyle(t).fontSize) * t.getScreenCTM().a); "
                                "document.body.dataset.minText = min.toFixed(1);</script>");
    for (int width : {1400, 700}) {
        const std::vector<std::string> px = allOf(runBrowser(shell, measured, width, "--dump-dom"), "data-min-text=\"([0-9.]+)\"");
        ASSERT_EQ(px.size(), 1u) << width;
        EXPECT_GE(std::stod(px[0]), 12.0) << "in a window " << width << " pixels wide";
    }
    const std::string png = tmp->file("page.png");
    runBrowser(shell, tmp->file("merged.html"), 1400, "--screenshot=" + png);
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

TEST_F(ReleaseReport, TheHeaderNamesTheToolAndWhatTheCodeImageRecordsAndEachCusRecordKindHasItsColour) {
    ASSERT_EQ(merge->status, 0) << merge->err;
    // "SIZE MMDDYY HH:MM" as the code image holds it.
    // Both follow the code file's last-write time, which is the checkout's.
    const Json code = runCli({"inspect", tmp->file("code.img"), "--json"}).json();
    std::istringstream record(code["sizeDate"].get<std::string>());
    char checksum[16];
    std::snprintf(checksum, sizeof checksum, "0x%08x", code["storedChecksum"].get<unsigned>());
    std::string size, date, time;
    record >> size >> date >> time;
    const std::string recorded = date.substr(0, 2) + "/" + date.substr(2, 2) + "/" + date.substr(4, 2) + " " + time;
    EXPECT_TRUE(contains(*page, "<p class=\"facts\">quorvel " + std::string(quorvel_version()) +
                                    " \u00b7 recorded time <code>" + recorded +
                                    "</code> (MM/DD/YY) \u00b7 code image checksum <code>" + checksum + "</code> \u00b7 version "
                                    "words versionAddr <code>0x00010207</code>, versionAddr1 <code>0x02000105</code></p>"))
        << *page;
    EXPECT_EQ(allOf(*page, "<td>(<code>0x100002.</code> [^<]*)</td>"),
              (std::vector<std::string>{"<code>0x1000023</code> code image", "<code>0x1000025</code> E2P image",
                                        "<code>0x1000024</code> RAI image"}));
    EXPECT_EQ(allOf(*page, "<rect [^>]*class=\"(rec-[a-z]+)\""),
              (std::vector<std::string>{"rec-dsp", "rec-mcp", "rec-cus", "rec-cus"}));
    std::set<std::string> colours;
    for (const std::string cls : {"cus-head", "rec-dsp", "rec-mcp", "rec-cus", "cus-fill"}) {
        EXPECT_TRUE(contains(*page, "<i class=\"sw " + cls + "\">")) << cls << " has no legend entry";
        const std::vector<std::string> colour = allOf(*page, "--" + cls + ":(#[0-9a-f]{6})");
        if (!colour.empty()) colours.insert(colour[0]);
    }
    EXPECT_EQ(colours.size(), 5u) << "a colour of its own for each kind";
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
    // Absolute with its drive on Windows: a manifest's "/work/..." lies on
    // the manifest's own drive there.
    const std::string dir = qv::sys::utf8Path(std::filesystem::absolute(qv::sys::fsPath(QUORVEL_SOURCE_DIR))) + "/examples/";
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

// A failed merge replaces no output: the page says so, shows the files as
// they are, and no "none" problems card under the failure.
TEST(ReleaseReportFailures, TheEarlierFilesAreUnchangedAndThePageSaysSo) {
    const std::string dir = std::string(QUORVEL_SOURCE_DIR) + "/examples/release/";
    std::vector<FatSector> many; // more sectors than the example's RAI area holds
    for (uint32_t n = 0; n < 400; ++n) many.push_back({n, Bytes(512, uint8_t(n))});
    const struct {
        const char *what;
        bool earlier; // the release was merged into the folder before
        std::vector<std::string> images;
        const char *error, *note;
    } kRows[] = {
        {"a missing code file, nothing merged before", false, {dir + "firmware.bn"}, "error -1462: ",
         "not written: the merge failed"},
        {"the RAI area overflows after the code and E2P images", true, {dir + "firmware.bin", "many.fat"},
         "error -151: mergeRAI: ", "unchanged by the failed merge: the file from before it"},
    };
    for (const auto &row : kRows) {
        TempDir t;
        writeFile(t.file("many.fat"), fatFile(22, many));
        ASSERT_TRUE(!row.earlier || runCli({"merge", "--manifest", kManifest, "--out-dir", t.path(), "-q"}).status == 0);
        const Bytes code = row.earlier ? readFile(t.file("code.img")) : Bytes();
        std::vector<std::string> args = {"merge", "--manifest", kManifest, "--out-dir", t.path(), "--report", t.file("r.html")};
        for (const std::string &image : row.images) args.insert(args.end(), {"--image", image.starts_with("/") ? image : t.file(image)});
        CliResult r = runCli(args);
        EXPECT_EQ(r.status, 1) << row.what;
        EXPECT_TRUE(contains(r.err, row.error)) << row.what << ": " << r.err;
        EXPECT_TRUE(!row.earlier || readFile(t.file("code.img")) == code) << row.what << ": the code image changed";
        const std::string page = readText(t.file("r.html"));
        EXPECT_TRUE(contains(page, "<p class=\"status bad\">The merge failed: <code>" + std::string(row.error))) << row.what;
        EXPECT_TRUE(contains(page, "No output was replaced: the files below are the ones from before this merge")) << row.what;
        EXPECT_EQ(allOf(page, "<td>(" + std::string(row.note) + ")</td>").size(), 3u) << row.what << "\n" << page;
        EXPECT_FALSE(contains(page, "<h3>Problems</h3><p class=\"figure\">none")) << row.what;
    }
}

} // namespace
} // namespace clitest
