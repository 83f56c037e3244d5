// The page around the parts: head, inline style, the map with the margins
// beside it, the files, the flash description and the folded details.
#include "report/command_files.h"
#include "report/format.h"
#include "report/html.h"
#include "report/map.h"
#include "report/release_report.h"
#include "report/render.h"
#include "report/style.h"

#include "base/results.h"

#include <sstream>

namespace qvcli {
namespace {

std::string flashLine(const ReleaseModel &m) {
    if (!m.flash) return "flash description unreadable";
    return "chip " + hex(m.flash->desc.chipId, 4) + ", " + kb(m.flashEnd - m.bankBase) + " of NOR flash at " +
           hex(m.bankBase, 8) + ", " + std::to_string(m.regions.size()) + (m.regions.size() == 1 ? " region, " : " regions, ") +
           (m.flash->desc.interleaved() ? "interleaved layout" : "plain layout");
}

// "MM/DD/YY HH:MM" of the size-and-date record ("SIZE MMDDYY HH:MM").
std::string recordedTime(const std::string &record) {
    std::istringstream in(record);
    std::string size, date, time;
    in >> size >> date >> time;
    if (date.size() != 6 || time.size() != 5) return record;
    return date.substr(0, 2) + "/" + date.substr(2, 2) + "/" + date.substr(4, 2) + " " + time;
}

// The tool and what the code image records of the merge that made it.
std::string facts(const ReleaseModel &m) {
    std::string out = "<p class=\"facts\">quorvel " + esc(quorvel_version()) + " \u00b7 ";
    if (!m.code) return out + "no code image</p>\n";
    const CodeImageContents &c = *m.code;
    out += c.sizeDate ? "recorded time " + mono(recordedTime(*c.sizeDate)) + " (MM/DD/YY)"
                      : std::string("no size-and-date record");
    out += " \u00b7 code image checksum ";
    if (!c.storedChecksum) out += "none";
    else if (c.checksumMatches()) out += mono(hex(*c.storedChecksum, 8));
    else out += "<span class=\"bad\">" + mono(hex(*c.storedChecksum, 8)) + " (computed " + mono(hex(c.computedChecksum, 8)) + ")</span>";
    out += " \u00b7 version words ";
    if (!c.versionAddr || !c.versionAddr1) return out + "none</p>\n";
    return out + "versionAddr " + mono(hex(*c.versionAddr, 8)) + ", versionAddr1 " + mono(hex(*c.versionAddr1, 8)) + "</p>\n";
}

std::string status(const ReleaseModel &m) {
    if (!m.merge)
        return "<p class=\"status info\">Built from the release's outputs on disk; no merge ran for this page.</p>\n";
    if (m.merge->result == 0)
        return "<p class=\"status ok\">Merged: result 0. The outputs below are the ones this merge wrote.</p>\n";
    const bool cancelled = m.merge->result == qv::kErrCancelled;
    std::string out = std::string("<p class=\"status bad\">") + (cancelled ? "The merge was cancelled: " : "The merge failed: ") +
                      mono("error " + std::to_string(m.merge->result) + ": " + m.merge->message) + ".";
    if (!m.merge->cause.empty()) out += " <span class=\"cause\">" + esc(m.merge->cause) + "</span>";
    if (earlierFilesKept(m))
        return out + " No output was replaced: the files below are the ones from before this merge, as they are on "
                     "disk.</p>\n";
    return out + " The outputs below show what was written before the failure.</p>\n";
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
           (m.record.empty() ? "" : " \u00b7 release record " + mono(m.record)) + "</p>\n" + facts(m) + status(m) +
           "</header>\n";
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
