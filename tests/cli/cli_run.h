// Running the built quorvel command from the tests: its exit status, what it
// printed on stdout and on stderr.
#pragma once

#include "support/support.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace clitest {

using qvtest::Bytes;
using Json = nlohmann::ordered_json;

struct CliResult {
    int status = -1;
    std::string out, err;
    Json json() const; // stdout parsed as JSON
};

// Runs the command with `args`, each one reaching it as it is: through the
// shell on POSIX systems, started directly on Windows (where the lines of its
// output come back without their "\r").
CliResult runCli(const std::vector<std::string> &args);
// Whether runBash can run: a POSIX system. Tests that need bash skip without.
bool hasBash();
// Runs `script` with bash.
CliResult runBash(const std::string &script);

bool contains(const std::string &text, const std::string &part);

} // namespace clitest
