#include "report/html.h"

#include "report/format.h"

namespace qvcli {

std::string esc(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string kb(uint64_t bytes) {
    const double k = double(bytes) / 1024.0;
    if (k >= 1024.0 * 10) return strprintf("%.0f MiB", k / 1024.0);
    if (k >= 1024.0) return strprintf("%.1f MiB", k / 1024.0);
    if (bytes % 1024 == 0 || k >= 100.0) return strprintf("%.0f KiB", k);
    return strprintf("%.1f KiB", k);
}

std::string rangeText(uint64_t start, uint64_t end) {
    const uint64_t size = end > start ? end - start : 0;
    return hex(start, 8) + " \u2013 " + hex(end, 8) + ", " + hex(size) + " bytes (" + kb(size) + ")";
}

std::string table(const std::vector<std::string> &head, const std::vector<std::vector<std::string>> &rows,
                  const std::string &cls) {
    std::string out = cls.empty() ? "<table>" : "<table class=\"" + cls + "\">";
    out += "<thead><tr>";
    for (const std::string &h : head) out += "<th>" + h + "</th>";
    out += "</tr></thead><tbody>\n";
    for (const auto &row : rows) {
        out += "<tr>";
        for (const std::string &cell : row) out += "<td>" + cell + "</td>";
        out += "</tr>\n";
    }
    return out + "</tbody></table>\n";
}

std::string folded(const std::string &summary, const std::string &body) {
    return "<details><summary>" + summary + "</summary>\n" + body + "</details>\n";
}

std::string mono(const std::string &text) { return "<code>" + esc(text) + "</code>"; }

} // namespace qvcli
