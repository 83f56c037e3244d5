#include "report/svg.h"

#include "report/format.h"
#include "report/html.h"

#include <algorithm>

namespace qvcli {

double Scale::x(uint64_t a) const {
    const uint64_t c = std::clamp(a, from, to);
    return x0 + double(c - from) * width / double(to - from);
}

std::string blockTitle(const std::string &name, uint64_t start, uint64_t end, const std::string &more) {
    std::string t = name + "\nstart " + hex(start, 8) + ", end " + hex(end, 8) + "\nsize " +
                    hex(end > start ? end - start : 0) + " (" + kb(end > start ? end - start : 0) + ")";
    return more.empty() ? t : t + "\n" + more;
}

std::string rect(double x, double y, double w, double h, const std::string &cls, const std::string &title) {
    std::string r = strprintf("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" class=\"%s\"", x, y,
                            std::max(w, 1.0), h, cls.c_str());
    return title.empty() ? r + "/>" : r + "><title>" + esc(title) + "</title></rect>";
}

std::string block(const Scale &s, uint64_t start, uint64_t end, double y, double h, const std::string &cls,
                  const std::string &title) {
    return rect(s.x(start), y, s.x(end) - s.x(start), h, cls, title);
}

std::string text(double x, double y, const std::string &cls, const std::string &s, const char *anchor) {
    return strprintf("<text x=\"%.1f\" y=\"%.1f\" class=\"%s\" text-anchor=\"%s\">", x, y, cls.c_str(), anchor) +
           esc(s) + "</text>";
}

std::string svgFrame(double width, double height, const std::string &label, const std::string &body) {
    // Inline in an HTML page the drawing needs no namespace declaration.
    return strprintf("<svg viewBox=\"0 0 %.0f %.0f\" role=\"img\" aria-label=\"",
                   width, height) +
           esc(label) + "\">\n" + body + "</svg>\n";
}

} // namespace qvcli
