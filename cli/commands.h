// The subcommands of the quorvel command. Each registers itself on the app
// and leaves its exit status for main: 0 success, 1 failure, 2 usage error.
#pragma once

#include <CLI/CLI.hpp>

namespace qvcli {

void addMergeCommand(CLI::App &app);
int exitCode();
void setExitCode(int code);

} // namespace qvcli
