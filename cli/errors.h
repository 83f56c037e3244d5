// How the command fails. Every subcommand reports through these two
// exceptions, which main turns into a message on stderr and an exit status:
// 1 for a failed merge or an input file that cannot be read or is not what
// it should be, 2 for a wrong command line, manifest or JSON value.
#pragma once

#include <stdexcept>
#include <string>

namespace qvcli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// A file could not be read or written, or does not hold what it should.
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A usage error: a bad option, manifest or JSON value. The message names the
// option or the field.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Print "error: MESSAGE" on stderr and give the exit status of the failure.
int reportInputError(const InputError &e);
int reportUsageError(const UsageError &e);

// Runs one subcommand body and turns the two exceptions into its exit status.
template <class Body> int guarded(Body &&body) {
    try {
        return body();
    } catch (const UsageError &e) {
        return reportUsageError(e);
    } catch (const InputError &e) {
        return reportInputError(e);
    }
}

} // namespace qvcli
