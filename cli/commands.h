// The subcommands of the quorvel command. Each registers itself on the app
// and, when it runs, leaves its exit status in `status`: 0 success, 1 a failed
// merge or a bad input file, 2 a usage error (bad option, manifest or JSON).
#pragma once

#include <CLI/CLI.hpp>

namespace qvcli {

void addMergeCommand(CLI::App &app, int &status);
void addFlashInfoCommand(CLI::App &app, int &status);
void addInspectCommand(CLI::App &app, int &status);
void addReportCommand(CLI::App &app, int &status);
void addVerifyCommand(CLI::App &app, int &status);
void addExportCommand(CLI::App &app, int &status);
void addDiffCommand(CLI::App &app, int &status);

} // namespace qvcli
