// What the command tells a person about itself: each help gives examples and
// the exit statuses, and every flag it lists is also in the man page and
// offered by the bash completion; --version prints the library's version.
#include "cli_run.h"

#include <gtest/gtest.h>

#include <sstream>

namespace clitest {
namespace {

const std::string kTop = QUORVEL_SOURCE_DIR;

// The flags (and, in the top-level help, the subcommands) a help lists: the
// first word of each line under "Options:" or "Subcommands:", split at commas.
std::vector<std::string> listedNames(const std::string &help) {
    std::vector<std::string> names;
    std::istringstream in(help);
    bool inList = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "Options:" || line == "Subcommands:") inList = true;
        else if (line.empty() || line[0] != ' ') inList = false;
        else if (inList) {
            std::istringstream words(line);
            std::string first;
            words >> first;
            for (std::istringstream parts(first); std::getline(parts, first, ',');) names.push_back(first);
        }
    }
    return names;
}

// What the completion offers after "quorvel SUBCOMMAND -" (or "quorvel ").
std::string completions(const std::string &sub) {
    const std::string words = sub.empty() ? "quorvel ''" : "quorvel " + sub + " -";
    CliResult r = runBash("source " + kTop + "/cli/quorvel.bash; COMP_WORDS=(" + words +
                          "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _quorvel; echo \" ${COMPREPLY[*]} \"");
    return r.out;
}

// How the man page's roff writes a flag: every '-' as "\-".
std::string roff(const std::string &flag) {
    std::string out;
    for (char c : flag) out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

TEST(Help, EachHelpHasExamplesAndExitStatusesAndItsFlagsAreInTheManPageAndTheCompletion) {
    const std::string man = qvtest::readText(kTop + "/docs/quorvel.1");
    for (const std::string sub : {"", "merge", "flashinfo", "inspect", "diff"}) {
        CliResult r = sub.empty() ? runCli({"--help"}) : runCli({sub, "--help"});
        ASSERT_EQ(r.status, 0) << sub;
        EXPECT_TRUE(contains(r.out, "Exit status: 0 ")) << r.out;
        if (!sub.empty()) {
            EXPECT_TRUE(contains(r.out, "Examples:\n  quorvel " + sub + " ")) << r.out;
        }
        const std::string offered = completions(sub);
        const std::vector<std::string> names = listedNames(r.out);
        EXPECT_GT(names.size(), 2u) << r.out;
        for (const std::string &name : names) {
            EXPECT_TRUE(contains(man, roff(name))) << sub << ": " << name << " is not in the man page";
            EXPECT_TRUE(contains(offered, " " + name + " ")) << sub << ": " << name << " is not completed";
        }
    }
}

TEST(Help, VersionIsTheLibrarysVersion) {
    for (const char *flag : {"--version", "-V"}) {
        CliResult r = runCli({flag});
        EXPECT_EQ(r.status, 0) << flag;
        EXPECT_EQ(r.out, std::string("quorvel ") + quorvel_version() + "\n") << flag;
    }
}

} // namespace
} // namespace clitest
