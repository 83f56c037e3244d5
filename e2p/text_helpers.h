// Small text and file helpers of the description-file parser.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The pieces of `text` cut at any character of `separators`, one at a time
// and without copies. The text and every piece are trimmed of spaces, tabs
// and line feeds; runs of trimmed characters around a separator vanish, so an
// empty piece appears only where two separators meet ("a::b" with ":" gives
// "a", "", "b"). A line of any length is read in constant memory this way.
class Pieces {
public:
    Pieces(std::string_view text, std::string_view separators);
    // Stores the next piece and returns true; false after the last.
    bool next(std::string_view &piece);

private:
    std::string_view text_, separators_;
    size_t b_ = 0, e_ = 0;
    bool done_ = false;
};

// All the pieces of `text` (see Pieces) into `list`, which is emptied first.
void SplitString(std::string_view text, std::vector<std::string> &list, std::string_view separators);

// The token at `index`, or the empty string when the index is outside the list.
std::string GetToken(const std::vector<std::string> &list, int index);

// Hexadecimal digits to a 32-bit value: a leading "0x" is dropped, every other
// character that is not a hex digit counts 0, bits shifted out beyond 32 are lost.
int32_t HexStrToInt(std::string_view text);

// Base-10 reading like the C library's: leading white space, optional sign,
// digits up to the first other character (none gives 0), saturated to the
// signed 32-bit range.
int32_t DecStrToInt(std::string_view text);

// Length of the regular file at `path`; 0 when there is none (or it is a directory).
uint64_t GetFileLength(const std::string &path);
// True when `path` names an existing file that is not a directory.
bool IsFileExist(const std::string &path);
// True when `path` names a directory.
bool IsDirectory(const std::string &path);

// Directory for temporary files: $TMPDIR when set and not empty, else /tmp
// (Windows: the system's temporary folder).
std::string GetTempDir();
// Creates a new, unique, empty file in GetTempDir() whose name begins with
// `prefix` (the system's temporary-name service makes it) and returns its
// path; the empty string when none can be made.
std::string GetTempFilePath(const std::string &prefix);

} // namespace qv
