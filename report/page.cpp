// The page around the parts: head, inline style, the map with the margins
// beside it, the files, the flash description and the folded details.
#include "report/read_files.h"
#include "report/format.h"
#include "report/html.h"
#include "report/map.h"
#include "report/release_report.h"
#include "report/render.h"
#include "report/style.h"

namespace qvcli {
namespace {

std::string flashLine(const ReleaseModel &m) {
    if (!m.flash) return "flash description unreadable";
    return "chip " + hex(m.flash->desc.chipId, 4) + ", " + kb(m.flashEnd - m.bankBase) + " of NOR flash at " +
           hex(m.bankBase, 8) + ", " + std::to_string(m.regions.size()) + (m.regions.size() == 1 ? " region, " : " regions, ") +
           (m.flash->desc.interleaved() ? "interleaved layout" : "plain layout");
}

std::string status(const ReleaseModel &m) {
    if (!m.merge)
        return "<p class=\"status info\">Built from the release's outputs on disk; no merge ran for this page.</p>\n";
    if (m.merge->result == 0)
        return "<p class=\"status ok\">Merged: result 0. The outputs below are the ones this merge wrote.</p>\n";
    return "<p class=\"status bad\">The merge failed: " + mono("error " + std::to_string(m.merge->result) + ": " + m.merge->message) +
           ". The outputs below show what was written before the failure.</p>\n";
}

std::string section(const std::string &title, const std::string &body) {
    return "<section><h2>" + esc(title) + "</h2>\n" + body + "</section>\n";
}

} // namespace

std::string renderPage(const ReleaseModel &m) {
    const std::string name = m.source.empty() ? "merge by flags" : m.source;
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>Release report: " +
                      esc(name) + "</title>\n<style>" + pageStyle() + "</style></head><body>\n";
    out += "<header><h1>Release report</h1><p class=\"sub\">" + mono(name) + " \u00b7 " + esc(flashLine(m)) +
           (m.record.empty() ? "" : " \u00b7 release record " + mono(m.record)) + "</p>\n" + status(m) + "</header>\n";
    out += "<div class=\"top\"><section class=\"map\"><h2>Flash map</h2>\n" + renderFlashMap(m) +
           "</section>\n<aside><h2>Margins and warnings</h2>\n" + renderMargins(m) + "</aside></div>\n";
    out += section("Inputs", renderInputs(m)) + section("Outputs", renderOutputs(m));
    out += section("Flash description", renderFlashInfo(m)) + section("Details", renderDetails(m));
    return out + "</body></html>\n";
}

void writeReleaseReport(const std::string &path, const MergeArgs &args, const std::string &manifest,
                        const FlashSource &flash, std::optional<MergeRun> run) {
    const std::string page = renderPage(gatherRelease(args, manifest, flash, std::move(run)));
    writeWholeFile(path, Bytes(page.begin(), page.end()));
}

} // namespace qvcli
