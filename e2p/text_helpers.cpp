#include "e2p/text_helpers.h"

#include "base/system.h"

#include <climits>

namespace qv {
namespace {

// Trimming removes spaces, tabs and line feeds (not carriage returns).
bool isTrimmed(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Narrows [b, e) of `text` past trimmed characters at both ends.
void trim(std::string_view text, size_t &b, size_t &e) {
    while (b < e && isTrimmed(text[b])) ++b;
    while (e > b && isTrimmed(text[e - 1])) --e;
}

bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

// First position in [b, e) of a character of `separators`, or e.
size_t findSeparator(std::string_view text, size_t b, size_t e, std::string_view separators) {
    for (; b < e; ++b)
        for (char s : separators)
            if (text[b] == s) return b;
    return e;
}

} // namespace

Pieces::Pieces(std::string_view text, std::string_view separators)
    : text_(text), separators_(separators), e_(text.size()) {
    trim(text_, b_, e_);
}

bool Pieces::next(std::string_view &piece) {
    if (done_) return false;
    const size_t pos = findSeparator(text_, b_, e_, separators_);
    if (pos == e_) {
        done_ = true;
        piece = text_.substr(b_, e_ - b_);
        return b_ < e_;
    }
    size_t pb = b_, pe = pos;
    trim(text_, pb, pe);
    piece = text_.substr(pb, pe - pb);
    b_ = pos + 1;
    trim(text_, b_, e_);
    return true;
}

void SplitString(std::string_view text, std::vector<std::string> &list, std::string_view separators) {
    list.clear();
    Pieces pieces(text, separators);
    for (std::string_view piece; pieces.next(piece);) list.emplace_back(piece);
}

std::string GetToken(const std::vector<std::string> &list, int index) {
    if (index < 0 || size_t(index) >= list.size()) return std::string();
    return list[size_t(index)];
}

int32_t HexStrToInt(std::string_view text) {
    if (text.substr(0, 2) == "0x") text.remove_prefix(2);
    uint32_t v = 0;
    for (char c : text) v = v * 16 + uint32_t(hexDigit(c));
    return int32_t(v);
}

int32_t DecStrToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Magnitude limit: 2^31 for a negative value, 2^31 - 1 otherwise.
    const uint64_t limit = negative ? uint64_t(INT32_MAX) + 1 : uint64_t(INT32_MAX);
    uint64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + uint64_t(text[i] - '0');
        if (v > limit) v = limit; // saturate; later digits cannot bring it back
    }
    return negative ? int32_t(-int64_t(v)) : int32_t(v);
}

uint64_t GetFileLength(const std::string &path) {
    const sys::FileStatus st = sys::fileStatus(path);
    return st.kind == sys::FileKind::folder || st.kind == sys::FileKind::error ? 0 : st.size;
}

bool IsFileExist(const std::string &path) {
    if (path.empty()) return false;
    const sys::FileKind kind = sys::fileStatus(path).kind;
    return kind == sys::FileKind::regular || kind == sys::FileKind::device || kind == sys::FileKind::other;
}

bool IsDirectory(const std::string &path) { return sys::fileStatus(path).kind == sys::FileKind::folder; }

std::string GetTempDir() { return sys::tempDir(); }

std::string GetTempFilePath(const std::string &prefix) { return sys::tempFileName(prefix); }

} // namespace qv
