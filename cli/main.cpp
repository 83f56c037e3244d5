// The quorvel command: subcommands over the library.
#include "cli/commands.h"
#include "cli/errors.h"
#include "cli/help_text.h"

#include <quorvel/quorvel.h>

#include <CLI/CLI.hpp>

#include "base/system.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// Whether --json was asked for anywhere on the command line: a line the
// option parser refuses still gets its error as JSON.
bool wantsJson(int argc, const char *const *argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--json") == 0) return true;
    return false;
}

} // namespace

int main(int argc, char **rawArgv) {
    // The arguments in UTF-8, as every path of the library and the command is.
    const std::vector<std::string> args = qv::sys::arguments(argc, rawArgv);
    std::vector<const char *> pointers;
    for (const std::string &a : args) pointers.push_back(a.c_str());
    const char *const *argv = pointers.data();
    CLI::App app{"quorvel: merge a firmware release into NOR flash images, and inspect them", "quorvel"};
    app.require_subcommand(1);
    app.set_version_flag("-V,--version", std::string("quorvel ") + quorvel_version(), "print the version and exit");
    int status = qvcli::kExitOk;
    qvcli::addMergeCommand(app, status);
    qvcli::addFlashInfoCommand(app, status);
    qvcli::addInspectCommand(app, status);
    qvcli::addReportCommand(app, status);
    qvcli::addExportCommand(app, status);
    qvcli::addVerifyCommand(app, status);
    qvcli::addDiffCommand(app, status);
    app.footer(qvcli::kMainFooter); // after the subcommands, which would take it over
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        int code = app.exit(e);
        if (code == 0) return qvcli::kExitOk;
        if (wantsJson(argc, argv)) qvcli::printJsonError(qvcli::kExitUsage, e.what());
        return qvcli::kExitUsage;
    }
    return status;
}
