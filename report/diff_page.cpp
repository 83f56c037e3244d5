// The comparison of two releases as one self-contained page in the release
// report's style: the two flash maps one above the other, then each part
// that differs as a table.
#include "report/diff.h"
#include "report/format.h"
#include "report/html.h"
#include "report/map.h"
#include "report/style.h"

namespace qvcli {
namespace {

std::string section(const std::string &title, const std::string &body) {
    return "<section><h2>" + esc(title) + "</h2>\n" + body + "</section>\n";
}

std::string none() { return "<p class=\"none\">No change.</p>\n"; }

std::string fields(const std::vector<FieldChange> &f) {
    std::vector<std::vector<std::string>> rows;
    for (const FieldChange &c : f) rows.push_back({esc(c.field), mono(c.before), mono(c.after)});
    return rows.empty() ? none() : table({"field", "old", "new"}, rows);
}

std::string flashPart(const ReleaseDiff &d) {
    std::string out = d.otherFlash ? "<p class=\"status bad\">A different flash: the descriptions name another chip, "
                                     "size or layout.</p>\n"
                                   : "";
    return out + fields(d.flash);
}

std::string codePart(const ReleaseDiff &d) {
    if (d.code.empty() && !d.codeSection.runs && d.cus.empty()) return none();
    std::string out = d.code.empty() ? "" : fields(d.code);
    if (d.codeSection.runs)
        out += strprintf("<p>Code section: %llu bytes differ in %llu ranges: ", static_cast<unsigned long long>(d.codeSection.count),
                         static_cast<unsigned long long>(d.codeSection.runs)) +
               mono(rangesText(d.codeSection, true, " \u2013 ")) + "</p>\n";
    std::vector<std::vector<std::string>> rows;
    for (const CusChange &c : d.cus)
        rows.push_back({changeName(c.change), mono(c.ident), esc(c.kind), esc(c.name),
                        c.change == Change::Added ? "" : std::to_string(c.before),
                        c.change == Change::Removed ? "" : std::to_string(c.after)});
    if (!rows.empty()) out += "<h3>CUS records</h3>\n" + table({"change", "ident", "kind", "file", "old length", "new length"}, rows);
    return out;
}

std::string e2pPart(const ReleaseDiff &d) {
    std::vector<std::vector<std::string>> rows;
    for (const ParamChange &p : d.params)
        rows.push_back({changeName(p.change), mono(p.name), std::to_string(p.address), esc(p.before), esc(p.after)});
    std::string out = rows.empty() ? none() : table({"change", "parameter", "address", "old", "new"}, rows);
    rows.clear();
    for (const E2pChangedBlock &c : d.e2pBlocks)
        rows.push_back({mono(hex(c.address, 4)), mono(hexBytes(c.before, 16)), mono(hexBytes(c.after, 16))});
    if (!rows.empty()) out += "<h3>Changed bytes no object covers</h3>\n" + table({"block", "old", "new"}, rows);
    return out;
}

std::string raiPart(const ReleaseDiff &d) {
    std::vector<std::vector<std::string>> rows;
    for (const FatChange &f : d.fat) {
        auto cell = [](const RangeList &l) { return l.runs ? std::to_string(l.count) + ": " + esc(rangesText(l, false, " \u2013 ")) : "0"; };
        rows.push_back({esc(f.image), std::to_string(f.before) + " \u2192 " + std::to_string(f.after), cell(f.added),
                        cell(f.removed), cell(f.changed)});
    }
    std::string out = rows.empty() ? none() : table({"FAT image", "sectors", "added", "removed", "changed"}, rows);
    if (d.fillBefore && d.fillAfter)
        out += strprintf("<p>Store: %u \u2192 %u items, %.1f %% \u2192 %.1f %% full.</p>\n", d.itemsBefore, d.itemsAfter,
                         *d.fillBefore, *d.fillAfter);
    return out;
}

std::string inputsPart(const ReleaseDiff &d) {
    std::vector<std::vector<std::string>> rows;
    for (const InputChange &i : d.inputs)
        rows.push_back({changeName(i.change), esc(i.role), mono(i.name), i.before.exists ? mono(i.before.sha256) : "",
                        i.after.exists ? mono(i.after.sha256) : ""});
    return rows.empty() ? none() : table({"change", "role", "file", "old SHA-256", "new SHA-256"}, rows);
}

std::string notesPart(const ReleaseDiff &d) {
    std::string out;
    for (const std::string &n : d.notes) out += "<li>" + esc(n) + "</li>\n";
    return out.empty() ? "" : section("Notes", "<ul>\n" + out + "</ul>\n");
}

std::string mapOf(const std::string &which, const ReleaseRead &r) {
    return "<h3>" + esc(which) + ": " + mono(r.disk.source) + "</h3>\n" + renderFlashMap(r.model);
}

} // namespace

std::string renderDiffPage(const ReleaseDiff &d, const ReleaseRead &before, const ReleaseRead &after) {
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>Release comparison: " +
                      esc(d.oldSource) + " \u2192 " + esc(d.newSource) + "</title>\n<style>" + pageStyle() +
                      "</style></head><body>\n";
    out += "<header><h1>Release comparison</h1><p class=\"sub\">" + mono(d.oldSource) + " \u2192 " + mono(d.newSource) +
           "</p>\n" +
           (d.differs() ? "<p class=\"status bad\">The releases differ.</p>\n" : "<p class=\"status ok\">No differences.</p>\n") +
           "</header>\n";
    out += section("Flash maps", mapOf("old", before) + mapOf("new", after));
    out += section("Flash description", flashPart(d)) + section("Code image and CUS area", codePart(d));
    out += section("E2P parameters", e2pPart(d)) + section("RAI area", raiPart(d)) + section("Inputs", inputsPart(d));
    return out + notesPart(d) + "</body></html>\n";
}

} // namespace qvcli
