// The RAI sectors one by one, and the zoomed strips of the RAI and CUS areas.
#include "report/format.h"
#include "report/areas.h"
#include "report/html.h"
#include "report/map.h"

namespace qvcli {
namespace {

constexpr double kWidth = kDrawingWidth, kLeft = 10, kTop = 4, kHeight = 44;

std::string sectorTitle(const RaiStoreContents &img, const RaiSector &sec, uint64_t start, uint64_t end) {
    std::string more = std::to_string(sec.items.size()) + " items, " + std::to_string(sectorUsedBytes(sec)) +
                       " of " + std::to_string(sectorCapacity(img)) + " bytes used";
    if (!sec.problem.empty()) more += "\n" + sec.problem;
    return blockTitle("RAI sector " + std::to_string(sec.index) + ": " + raiSectorKindName(sec.kind), start, end, more);
}

std::string stripHeading(const std::string &what, uint64_t start, uint64_t end) {
    return "<h3 class=\"strip\">" + esc(what) + " <span>" + esc(rangeText(start, end)) + "</span></h3>\n";
}

// Sector numbers under the RAI strip, about sixteen of them.
std::string sectorNumbers(const Scale &s, const RaiStoreContents &img) {
    const size_t n = img.sectors.size();
    size_t step = 1;
    while (n / step > 16) step *= 2;
    std::string out;
    for (size_t i = 0; i < n; i += step) {
        const uint64_t a = uint64_t(img.layout.base) + img.sectors[i].offset + img.layout.sectorSize / 2;
        out += text(s.x(a), kTop + kHeight + kTextSize + 2, "tick", std::to_string(i), "middle");
    }
    return out;
}

const char *recordClass(const CusIdent &ident) {
    const std::string kind = cusRecordKind(ident);
    return kind == "DSP patch" ? "rec-dsp" : kind == "MCP tables" ? "rec-mcp" : "rec-cus";
}

std::string cusRecord(const Scale &s, const CodeImageContents &c, uint64_t at, size_t i, double y, double h) {
    const CusRecord &r = c.records[i];
    const std::string ident = identText(r.ident.data());
    std::string more = cusRecordKind(r.ident) + std::string(", length ") + std::to_string(r.length) + ", link " +
                       hex(r.linkWord, 8);
    if (!r.chunks.empty()) more += ", " + std::to_string(r.chunks.size() + 1) + " chunks";
    const std::string title = blockTitle("record " + std::to_string(i + 1) + ": " + ident, at + r.offset, at + r.next, more);
    std::string out = block(s, at + r.offset, at + r.next, y, h, recordClass(r.ident), title);
    const double x0 = s.x(at + r.offset), x1 = s.x(at + r.next);
    if (x1 - x0 > 1.25 * kCharWidth * double(ident.size()) + 8) // bold capitals
        out += text((x0 + x1) / 2, y + h / 2 + kTextSize / 3, "inlabel", ident, "middle");
    return out + "\n";
}

} // namespace

std::string raiSectorRects(const ReleaseModel &m, const Scale &s, double y, double h) {
    const RaiStoreContents &img = *m.rai;
    std::string out;
    for (const RaiSector &sec : img.sectors) {
        const uint64_t start = uint64_t(img.layout.base) + sec.offset, end = start + img.layout.sectorSize;
        out += block(s, start, end, y, h, std::string("rai-sector s-") + sectorClass(sec.kind),
                     sectorTitle(img, sec, start, end));
        const double used = double(sectorUsedBytes(sec)) / double(std::max<uint64_t>(1, sectorCapacity(img)));
        if (used > 0) out += rect(s.x(start), y + h * (1 - used), s.x(end) - s.x(start), h * used, "fill");
        out += "\n";
    }
    return out;
}

std::string renderRaiStrip(const ReleaseModel &m, double fullScalePixels) {
    if (!m.rai || m.rai->sectors.empty()) return "";
    const RaiStoreContents &img = *m.rai;
    const uint64_t start = img.layout.base, end = start + uint64_t(img.sectors.size()) * img.layout.sectorSize;
    const Scale s{start, end, kLeft, kWidth - 2 * kLeft};
    const std::string what = strprintf("RAI area, zoomed (%.0f pixels wide at full scale):", fullScalePixels);
    return stripHeading(what, start, end) +
           svgFrame(kWidth, kTop + kHeight + kTextSize + 8, "RAI area, one block per sector",
                    raiSectorRects(m, s, kTop, kHeight) + sectorNumbers(s, img));
}

std::string cusRecordRects(const ReleaseModel &m, const Scale &s, double y, double h) {
    const CodeImageContents &c = *m.code;
    const uint64_t at = m.codeAddress, start = at + c.cusfOffset, end = at + c.fileSize;
    std::string out = block(s, start, start + 8, y, h, "cus-head", blockTitle("\"CUSF\" and the CUS position", start, start + 8));
    for (size_t i = 0; i < c.records.size(); ++i) out += cusRecord(s, c, at, i, y, h);
    if (at + c.recordsEnd < end)
        out += block(s, at + c.recordsEnd, end, y, h, "cus-fill",
                     blockTitle(c.hasMcus ? "closing fill and \"MCUS\"" : "bytes after the records", at + c.recordsEnd, end));
    return out;
}

std::string renderCusStrip(const ReleaseModel &m, double fullScalePixels) {
    if (!m.code || !m.code->hasCusArea || fullScalePixels >= kThinCusPixels) return "";
    const CodeImageContents &c = *m.code;
    const uint64_t start = m.codeAddress + c.cusfOffset, end = m.codeAddress + c.fileSize;
    const Scale s{start, std::max(end, start + 1), kLeft, kWidth - 2 * kLeft};
    const std::string what = strprintf("CUS area, zoomed (%.1f pixels wide at full scale):", fullScalePixels);
    return stripHeading(what, start, end) +
           svgFrame(kWidth, kTop + kHeight + 6, "CUS area and its records", cusRecordRects(m, s, kTop, kHeight));
}

} // namespace qvcli
