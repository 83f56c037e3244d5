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

// Runs the command with `args` (each one quoted for the shell).
CliResult runCli(const std::vector<std::string> &args);
// Runs `script` with bash.
CliResult runBash(const std::string &script);

bool contains(const std::string &text, const std::string &part);

} // namespace clitest
