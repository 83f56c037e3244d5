#include "report/map.h"

#include "report/format.h"
#include "report/areas.h"
#include "report/html.h"

#include <algorithm>

namespace qvcli {
namespace {

constexpr double kWidth = kDrawingWidth, kLeft = 10, kBarTop = kTextSize + 10, kBarHeight = 70;
constexpr double kLabelRow = kTextSize + 5; // rows of labels under the bar
constexpr double kSectorPixelsForRai = 6; // RAI sectors thinner than this are zoomed

// Addresses above the bar, every quarter of it: wider apart than an
// address's text and a half, as the first and the last are not centred.
std::string ticks(const Scale &s) {
    constexpr int kParts = 4;
    std::string out;
    for (int i = 0; i <= kParts; ++i) {
        const uint64_t a = s.from + (s.to - s.from) * uint64_t(i) / kParts;
        out += text(s.x(a), kTextSize, "tick", hex(a, 8), i == 0 ? "start" : i == kParts ? "end" : "middle");
    }
    return out;
}

// Sector lines, as many as can be told apart: every 2^k-th sector when the
// sectors are thinner than four pixels.
std::string grid(const ReleaseModel &m, const Scale &s, std::string &caption) {
    std::string d;
    for (const qv::RegionRange &r : m.regions) {
        uint64_t step = 1;
        while (s.pixelsOf(step * r.sectorSize) < 4) step *= 2;
        caption = step == 1 ? "grid: one line per sector" : "grid: a line every " + std::to_string(step) + " sectors";
        for (uint64_t a = r.start + step * r.sectorSize; a < r.end; a += step * r.sectorSize)
            d += strprintf("M%.1f %.0fv%.0f", s.x(a), kBarTop, kBarHeight);
    }
    std::string edges;
    for (const qv::RegionRange &r : m.regions) edges += strprintf("M%.1f %.0fv%.0f", s.x(r.start), kBarTop - 4, kBarHeight + 8);
    return "<path class=\"grid\" d=\"" + d + "\"/><path class=\"edge\" d=\"" + edges + "\"/>\n";
}

// The RAI area as one block with its overall fill, when its sectors are too
// thin to draw one by one (the zoomed strip draws them).
std::string raiBlock(const ReleaseModel &m, const Scale &s, const FlashArea &a) {
    std::string out = block(s, a.start, a.end, kBarTop, kBarHeight, "rai", blockTitle(a.title, a.start, a.end));
    if (!m.rai) return out;
    const double used = raiUsePercent(*m.rai) / 100.0;
    return out + rect(s.x(a.start), kBarTop + kBarHeight * (1 - used), s.x(a.end) - s.x(a.start),
                      kBarHeight * used, "fill");
}

std::string areaBlocks(const ReleaseModel &m, const Scale &s, const std::vector<FlashArea> &areas) {
    std::string out;
    for (const FlashArea &a : areas) {
        const bool sectors = a.name == "RAI" && m.rai && m.rai->layout.sectorSize &&
                             s.pixelsOf(m.rai->layout.sectorSize) >= kSectorPixelsForRai;
        const bool records = a.name == "CUS" && s.pixelsOf(a.end - a.start) >= kThinCusPixels;
        if (sectors) out += raiSectorRects(m, s, kBarTop, kBarHeight);
        else if (a.name == "RAI") out += raiBlock(m, s, a);
        else if (records) out += cusRecordRects(m, s, kBarTop, kBarHeight);
        else out += block(s, a.start, a.end, kBarTop, kBarHeight, a.cls, blockTitle(a.title, a.start, a.end));
        out += "\n";
    }
    return out;
}

// Labels under the bar, each on the first of three rows where it does not
// run into the label before it, with a line up to its area.
std::string labels(const Scale &s, const std::vector<FlashArea> &areas) {
    std::string out;
    double rowEnd[3] = {-1e9, -1e9, -1e9};
    for (const FlashArea &a : areas) {
        const std::string t = a.name + " " + kb(a.end - a.start);
        const double w = kCharWidth * double(t.size()) + 10;
        const double cx = (s.x(a.start) + s.x(a.end)) / 2;
        const double x = std::clamp(cx - w / 2, 0.0, kWidth - w);
        int row = 0;
        while (row < 2 && x < rowEnd[row]) ++row;
        rowEnd[row] = x + w;
        const double y = kBarTop + kBarHeight + kLabelRow + 4 + kLabelRow * row;
        out += strprintf("<path class=\"lead\" d=\"M%.1f %.0fV%.0f\"/>", cx, kBarTop + kBarHeight, y - kTextSize + 2);
        out += text(x + w / 2, y, "label", t, "middle") + "\n";
    }
    return out;
}

using LegendItems = std::vector<std::pair<const char *, const char *>>; // class, words

std::string legend(const LegendItems &items, const std::string &more) {
    std::string out = "<div class=\"legend\">";
    for (const auto &[cls, words] : items) out += std::string("<span><i class=\"sw ") + cls + "\"></i>" + words + "</span>";
    return out + (more.empty() ? "" : "<span>" + esc(more) + "</span>") + "</div>\n";
}

std::string areasLegend(const std::string &gridCaption) {
    static const LegendItems kItems = {{"code", "code section"}, {"cus", "CUS area"},
                                       {"free", "free"},          {"formatted", "RAI sector, formatted"},
                                       {"erased", "erased"},      {"spare", "spare"},
                                       {"fill", "fill level"},    {"trace", "trace area"},
                                       {"e2p", "E2P partition"}};
    return legend(kItems, gridCaption);
}

// The CUS records are drawn by kind, in the bar or in the zoomed strip.
std::string cusRecordsLegend() {
    static const LegendItems kItems = {{"cus-head", "\"CUSF\" and the CUS position"},
                                       {"rec-dsp", "DSP patch record"},
                                       {"rec-mcp", "MCP tables record"},
                                       {"rec-cus", "CUS file record"},
                                       {"cus-fill", "closing fill"}};
    return legend(kItems, "");
}

} // namespace

std::string renderFlashMap(const ReleaseModel &m) {
    if (!m.flash || m.flashEnd <= m.bankBase || m.regions.empty())
        return "<p class=\"none\">No flash map: the flash description could not be read.</p>\n";
    const Scale s{m.bankBase, m.flashEnd, kLeft, kWidth - 2 * kLeft};
    const std::vector<FlashArea> areas = flashAreas(m);
    std::string caption;
    std::string body = ticks(s);
    body += block(s, m.bankBase, m.flashEnd, kBarTop, kBarHeight, "flash",
                  blockTitle("flash (erased)", m.bankBase, m.flashEnd));
    body += areaBlocks(m, s, areas) + grid(m, s, caption) + labels(s, areas);
    const auto rai = findArea(areas, "RAI"), cus = findArea(areas, "CUS");
    const double raiSector = m.rai ? s.pixelsOf(m.rai->layout.sectorSize) : 0;
    return svgFrame(kWidth, kBarTop + kBarHeight + 4 + 3 * kLabelRow + 8, "flash map", body) + areasLegend(caption) +
           (raiSector < kSectorPixelsForRai ? renderRaiStrip(m, rai ? s.pixelsOf(rai->end - rai->start) : 0) : "") +
           renderCusStrip(m, cus ? s.pixelsOf(cus->end - cus->start) : 0) +
           (cus && m.code->hasCusArea ? cusRecordsLegend() : "");
}

} // namespace qvcli
