// How the command fails. Every subcommand reports through two exceptions,
// InputError (base/whole_file.h) and UsageError, which main turns into a
// message on stderr and an exit status: 1 for a failed merge or an input file
// that cannot be read or is not what it should be, 2 for a wrong command
// line, manifest or JSON value. Where the failure has a cause (the file,
// where in it, what was expected and found) a line "cause: CAUSE" follows
// the error line. With --json the error is also printed on stdout as
// {"error": {"code": CODE, "message": MESSAGE, "cause": CAUSE}} ("cause" only
// when there is one): CODE is the library's negative result for a failed
// merge, else the exit status.
#pragma once

#include "report/command_files.h"

#include <exception>
#include <stdexcept>
#include <string>

namespace qvcli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// A usage error: a bad option, manifest or JSON value. The message names the
// option or the field.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Prints "error: MESSAGE" and, when there is one, "cause: CAUSE" on stderr
// (and the JSON error with `json`) and returns `status`.
int reportError(int status, const std::string &message, bool json, const std::string &cause = "");
// The JSON error alone, on stdout.
void printJsonError(long code, const std::string &message, const std::string &cause = "");
// The "cause: CAUSE" line on stderr, when there is a cause.
void printCause(const std::string &cause);

// Runs one subcommand body and turns its exceptions into its exit status:
// UsageError 2, InputError and anything else that escapes (out of memory
// included) 1.
template <class Body> int guarded(bool json, Body &&body) {
    try {
        return body();
    } catch (const UsageError &e) {
        return reportError(kExitUsage, e.what(), json);
    } catch (const InputError &e) {
        return reportError(kExitFailed, e.what(), json, e.cause);
    } catch (const std::exception &e) {
        return reportError(kExitFailed, e.what(), json);
    }
}

} // namespace qvcli
