// Pieces of the flash drawings: a scale from flash addresses to x positions,
// rectangles with hover titles, text and the drawing's frame.
#pragma once

#include <cstdint>
#include <string>

namespace qvcli {

// Every drawing is kDrawingWidth units wide and is never shown narrower than
// kMinDrawingPixels (it scrolls instead), so its text, kTextSize units high,
// is at least 12 px on screen.
inline constexpr double kDrawingWidth = 1000, kMinDrawingPixels = 800, kTextSize = 15;
// About the width of one character of that text, for laying labels out.
inline constexpr double kCharWidth = 0.6 * kTextSize;

// Flash addresses [from, to) laid onto [x0, x0 + width).
struct Scale {
    uint64_t from = 0, to = 1;
    double x0 = 0, width = 1000;
    double x(uint64_t a) const;
    double pixelsOf(uint64_t bytes) const { return double(bytes) * width / double(to - from); }
};

// A hover title for a block of flash: its name, then start, end and size in
// hex and in KiB, then `more` on a line of its own when given.
std::string blockTitle(const std::string &name, uint64_t start, uint64_t end, const std::string &more = "");
// A rectangle of at least one pixel's width; `title` is already a title text.
std::string rect(double x, double y, double w, double h, const std::string &cls, const std::string &title = "");
// The rectangle of flash [start, end) on `s`, between y and y + h.
std::string block(const Scale &s, uint64_t start, uint64_t end, double y, double h, const std::string &cls,
                  const std::string &title);
std::string text(double x, double y, const std::string &cls, const std::string &s, const char *anchor = "start");
// An <svg> of this size whose contents scale with the page's width.
std::string svgFrame(double width, double height, const std::string &label, const std::string &body);

} // namespace qvcli
