// Margins and warnings beside the flash map: how much room the code image
// leaves below the RAI area, how full the RAI area and the E2P journal are,
// and every problem the readers found.
#include "report/format.h"
#include "report/areas.h"
#include "report/html.h"
#include "report/render.h"

namespace qvcli {
namespace {

constexpr double kFullPercent = 90; // a fuller RAI area or E2P journal is warned about

struct Card {
    std::string level; // ok, warn, bad
    std::string title, figure, words;
};

std::string cardHtml(const Card &c) {
    return "<div class=\"card " + c.level + "\"><h3>" + esc(c.title) + "</h3><p class=\"figure\">" + esc(c.figure) +
           "</p><p>" + c.words + "</p></div>\n";
}

Card codeToRai(const ReleaseModel &m) {
    const uint64_t end = m.codeAddress + codeImageBytes(*m.code), rai = m.map->raiBase;
    const uint64_t sector = m.rai ? m.rai->layout.sectorSize : 0;
    if (end > rai)
        return {"bad", "Code image to RAI area", "overlap " + kb(end - rai),
                "the code image ends at " + mono(hex(end, 8)) + ", past the RAI area's start at " + mono(hex(rai, 8))};
    const uint64_t free = rai - end;
    std::string words = hex(free) + " bytes free between the code image's end at " + mono(hex(end, 8)) +
                        " and the RAI area at " + mono(hex(rai, 8));
    if (sector) words += strprintf(", %.1f sectors", double(free) / double(sector));
    const bool tight = sector && free < sector;
    if (tight) words += ": less than one sector";
    return {tight ? "warn" : "ok", "Code image to RAI area", kb(free) + " free", words};
}

Card raiUse(const RaiStoreContents &img) {
    const double pct = raiUsePercent(img);
    const int64_t more = qv::fsSectorsThatFit(img.memAvail);
    std::string words = std::to_string(img.validItems) + " valid items (" + std::to_string(img.validDataBytes) +
                        " data bytes), " + std::to_string(img.deletedItems) + " deleted, in " +
                        std::to_string(img.sectors.size()) + " sectors (the spare left out of the figure); the store "
                        "would still take " + std::to_string(more) + " more 512-byte sectors";
    if (pct > kFullPercent) words += strprintf(": over %.0f %% full", kFullPercent);
    return {pct > kFullPercent ? "warn" : "ok", "RAI area", strprintf("%.1f %% used", pct), words};
}

Card journalUse(const E2pJournal &j) {
    const uint32_t room = j.logicalSize >= 2 ? j.logicalSize - 2 : 0;
    const double pct = room ? 100.0 * double(j.endAt) / double(room) : 100.0;
    std::string words = std::to_string(j.records.size()) + " records up to " + mono(hex(j.endAt, 4)) + " of " +
                        mono(hex(room, 4)) + " logical bytes before the end mark; the journal ends with: " +
                        esc(j.endReason);
    if (pct > kFullPercent) words += strprintf(": over %.0f %% full", kFullPercent);
    return {pct > kFullPercent ? "warn" : "ok", "E2P journal", strprintf("%.1f %% used", pct), words};
}

Card problems(const ReleaseModel &m) {
    if (m.problems.empty()) return {"ok", "Problems", "none", "the readers found nothing wrong in the outputs"};
    std::string words = "<ul>";
    for (const std::string &p : m.problems) words += "<li>" + esc(p) + "</li>";
    return {"bad", "Problems", std::to_string(m.problems.size()) + " found", words + "</ul>"};
}

} // namespace

std::string renderMargins(const ReleaseModel &m) {
    std::string out;
    if (m.code && m.map) out += cardHtml(codeToRai(m));
    if (m.rai) out += cardHtml(raiUse(*m.rai));
    if (m.journal) out += cardHtml(journalUse(*m.journal));
    // Under a failed merge "none" would read as all being well.
    if (m.problems.empty() && m.merge && m.merge->result != 0)
        return out.empty() ? "<p class=\"none\">No output on disk to weigh.</p>\n" : out;
    return out + cardHtml(problems(m));
}

} // namespace qvcli
