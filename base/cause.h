// Why a call failed, in the user's terms: the input as the host named it,
// where in it (offset, record, line, field) and what was expected and found.
// The result code and the message stay the system's; the cause stands beside
// them. The site that sees the fault explains it first; callers further up
// keep that explanation and only add the file's name when the site did not
// know it (a reader handed an open file, an expansion's temporary file).
#pragma once

#include <string>

namespace qv {

// What a cause calls the host's buffers, which have no file name in the
// library: the request's own field names. The command puts the files the
// user named in their place.
inline constexpr const char *kFlashInfoName = "flash_info";
inline constexpr const char *kE2pBaseName = "e2p_base";
inline constexpr const char *kE2pAreaName = "e2p_area";

class Cause {
public:
    // Sets the explanation unless one is already given: the deepest site,
    // which fails first, is the one that knows most.
    void explain(const char *fmt, ...) __attribute__((format(printf, 2, 3)));
    // Names the input the explanation is about, unless it is named already.
    // Without an explanation there is nothing to name.
    void name(const std::string &file);
    // The explanation as one line: "FILE: TEXT", or TEXT when no file is
    // named; "" when nothing was explained.
    std::string line() const;
    bool empty() const { return text_.empty(); }
    void clear() { file_.clear(), text_.clear(); }

private:
    std::string file_, text_;
};

// The system's reason for the last failed call of the C library or the
// system (errno), e.g. "No such file or directory".
std::string systemReason();

} // namespace qv
