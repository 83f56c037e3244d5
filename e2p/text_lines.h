// Lines of a description text as the platform's text mode delivers them: a
// line ends at a line feed, a carriage return right before the line feed is
// dropped, and a byte 0x1A ends the text like the end of the file. A last
// line without a line feed counts when it is not empty.
#pragma once

#include <cstddef>
#include <string_view>

namespace qv {

class TextLines {
public:
    explicit TextLines(std::string_view text);
    // Stores the next line and returns true; false at the end of the text.
    bool next(std::string_view &line);
    // The number of the line `next` stored last, counted from 1.
    size_t number() const { return number_; }

private:
    std::string_view rest_;
    size_t number_ = 0;
};

} // namespace qv
