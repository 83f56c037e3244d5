#include "e2p/text_lines.h"

namespace qv {

TextLines::TextLines(std::string_view text) : rest_(text.substr(0, text.find('\x1A'))) {}

bool TextLines::next(std::string_view &line) {
    if (rest_.empty()) return false;
    ++number_;
    size_t lf = rest_.find('\n');
    if (lf == std::string_view::npos) {
        line = rest_;
        rest_ = {};
        return true;
    }
    line = rest_.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    rest_.remove_prefix(lf + 1);
    return true;
}

} // namespace qv
