// Small helpers for writing the release report's HTML and SVG text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvcli {

// Text made safe inside an element or an attribute value.
std::string esc(const std::string &text);
// "64 KiB", "5.7 KiB", "3.2 MiB": bytes in kibibytes and mebibytes.
std::string kb(uint64_t bytes);
// "0x04370000 – 0x043c0000, 0x50000 bytes (320 KiB)": an address range.
std::string rangeText(uint64_t start, uint64_t end);
// One table: a header row and rows of cells that are already HTML.
std::string table(const std::vector<std::string> &head, const std::vector<std::vector<std::string>> &rows,
                  const std::string &cls = "");
// A folded section: <details> with its summary line.
std::string folded(const std::string &summary, const std::string &body);
// Text in a monospace span.
std::string mono(const std::string &text);

} // namespace qvcli
