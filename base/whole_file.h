// Whole-file reads, each with a bound: the command's and its release
// report's inputs (refused by their size before a byte is read, failures
// thrown as InputError naming the path) and the library's description files
// (read as a stream, never more than their bound).
#pragma once

#include "base/file.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv {

// A file could not be read or written, or does not hold what it should.
// `cause` says why in the user's terms (the file, where in it, what was
// expected and found, or the system's reason); "" when the message says all.
struct InputError : std::runtime_error {
    explicit InputError(const std::string &message, std::string cause = "")
        : std::runtime_error(message), cause(std::move(cause)) {}
    std::string cause;
};

// The most bytes a file of one kind may hold, and what messages call it.
struct ReadBound {
    uint64_t maxBytes;
    const char *what;
};

// Reads a regular file of at most `bound.maxBytes` bytes. A folder, a device,
// a pipe or a larger file is refused before anything is read.
std::vector<uint8_t> readWholeFile(const std::string &path, const ReadBound &bound);
std::string readTextFile(const std::string &path, const ReadBound &bound);

// How reading a whole stream ended.
enum class ReadEnd { whole, cut, tooLong };

// Reads the whole stream, but never more than `limit` bytes: `cut` when it
// ends before the length it had when it was opened (a read error), `tooLong`
// when it gives more than `limit` (a device or a pipe, or a file that grew).
// `expected` receives that length (-1 when the stream has none).
ReadEnd readWholeStream(File &f, std::string &out, uint64_t limit, int64_t &expected);

} // namespace qv
