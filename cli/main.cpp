// The quorvel command: subcommands over the library.
#include "cli/commands.h"

#include <CLI/CLI.hpp>

int main(int argc, char **argv) {
    CLI::App app{"quorvel: merge a firmware release into NOR flash images"};
    app.require_subcommand(1);
    qvcli::addMergeCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    return qvcli::exitCode();
}
