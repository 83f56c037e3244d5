// What the command tells a person about itself. The command's own options
// (as each --help lists them, from the parser that runs) are the one list of
// flags: each help gives examples and the exit statuses and names no flag
// but its own; the man page's section of each subcommand documents exactly
// its flags and the page names no flag the command refuses; the bash
// completion offers exactly them, and after each flag what its value is
// (files, folders, fixed words), paths with blanks included. --version
// prints the library's version.
#include "cli_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace clitest {
namespace {

const std::string kTop = QUORVEL_SOURCE_DIR;
const std::vector<std::string> kSubcommands = {"merge", "flashinfo", "inspect", "report", "export", "verify", "diff"};

using Names = std::set<std::string>;

// The options a help lists, each name with the value it takes ("FILE", "N",
// ... or "" for a switch): the lines under "Options:" (and "Positionals:"
// with `positionals`), names split at commas.
std::map<std::string, std::string> listedOptions(const std::string &help, bool positionals = false) {
    std::map<std::string, std::string> out;
    std::istringstream in(help);
    bool inList = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "Options:" || line == "Subcommands:" || (positionals && line == "Positionals:")) inList = true;
        else if (line.empty() || line[0] != ' ') inList = false;
        else if (inList) {
            std::istringstream words(line);
            std::string names, value;
            words >> names >> value;
            if (!std::regex_match(value, std::regex("[A-Z]+")) || value == "REQUIRED") value.clear();
            for (std::istringstream parts(names); std::getline(parts, names, ',');) out[names] = value;
        }
    }
    return out;
}

Names namesOf(const std::map<std::string, std::string> &options) {
    Names out;
    for (const auto &[name, value] : options) out.insert(name);
    return out;
}

std::string help(const std::string &sub) { return (sub.empty() ? runCli({"--help"}) : runCli({sub, "--help"})).out; }

// The flags a text names: "-x" or "--word-word" standing apart from words.
Names flagsIn(const std::string &text) {
    Names out;
    static const std::regex flag("(^|[^A-Za-z0-9_-])(--?[A-Za-z][A-Za-z0-9-]*)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), flag); it != std::sregex_iterator(); ++it)
        out.insert((*it)[2]);
    return out;
}

// The man page with roff's "\-" as '-' and its font changes taken out.
std::string manText() {
    std::string man = qvtest::readText(kTop + "/docs/quorvel.1");
    man = std::regex_replace(man, std::regex(R"(\\-)"), "-");
    return std::regex_replace(man, std::regex(R"(\\f[BIRP])"), "");
}

// The man page's section ".SH TITLE", up to the next section.
std::string manSection(const std::string &man, const std::string &title) {
    const size_t start = man.find("\n.SH " + title + "\n");
    if (start == std::string::npos) return "";
    return man.substr(start + 1, man.find("\n.SH ", start + 1) - start);
}

// The flags a man page section documents: those on the tag line of each .TP.
Names documentedFlags(const std::string &section) {
    Names out;
    std::istringstream in(section);
    bool tag = false;
    for (std::string line; std::getline(in, line); tag = line == ".TP")
        if (tag) out.merge(flagsIn(line));
    return out;
}

std::string upper(std::string s) {
    for (char &c : s) c = char(std::toupper(uint8_t(c)));
    return s;
}

// What the completion offers for the command line `words` (the last one
// being completed, as the shell hands it over: quotes and backslashes in),
// run in `dir`; one name per line, sorted.
std::string completions(const std::vector<std::string> &words, const std::string &dir = ".") {
    std::string array;
    for (const std::string &w : words) array += " '" + std::regex_replace(w, std::regex("'"), "'\\''") + "'";
    CliResult r = runBash("cd '" + dir + "' && source " + kTop + "/cli/quorvel.bash; COMP_WORDS=(" + array +
                          "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _quorvel; "
                          "[ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort");
    return r.out;
}

Names offeredFlags(const std::string &sub) {
    std::vector<std::string> words = {"quorvel"};
    if (!sub.empty()) words.push_back(sub);
    words.push_back(sub.empty() ? "" : "-");
    Names out;
    std::istringstream in(completions(words));
    for (std::string name; std::getline(in, name);) out.insert(name);
    return out;
}

TEST(Help, EachHelpHasExamplesAndExitStatusesAndNamesOnlyItsOwnFlags) {
    for (const std::string sub : {"", "merge", "flashinfo", "inspect", "report", "export", "verify", "diff"}) {
        const std::string text = help(sub);
        EXPECT_TRUE(contains(text, "\nExit status: 0 ")) << text;
        EXPECT_TRUE(sub.empty() || contains(text, "\nExamples:\n  quorvel " + sub + " ")) << text;
        const Names own = namesOf(listedOptions(text));
        EXPECT_GT(own.size(), 2u) << text;
        for (const std::string &flag : flagsIn(text))
            EXPECT_TRUE(own.count(flag)) << "quorvel " << sub << " --help names " << flag << ", which it refuses";
    }
}

// A flag is added in three places: its subcommand's file in cli/ (which the
// help shows), the subcommand's section of docs/quorvel.1 and its list in
// cli/quorvel.bash; this test fails until the three agree. The completion
// is a bash script: without bash (Windows) the help and the man page agree.
TEST(Help, TheManPageAndTheCompletionListExactlyTheCommandsFlags) {
    const std::string man = manText();
    Names all = namesOf(listedOptions(help("")));
    if (hasBash()) {
        EXPECT_EQ(offeredFlags(""), all) << "the completion of \"quorvel \"";
    }
    for (const std::string &sub : kSubcommands) {
        const Names flags = namesOf(listedOptions(help(sub)));
        all.insert(flags.begin(), flags.end());
        Names documented = documentedFlags(manSection(man, upper(sub)));
        documented.insert({"-h", "--help"}); // documented once for every subcommand
        EXPECT_EQ(documented, flags) << "the man page's section " << upper(sub);
        for (const std::string &flag : flagsIn(manSection(man, upper(sub))))
            EXPECT_TRUE(flags.count(flag)) << "the man page's section " << upper(sub) << " names " << flag
                                           << ", which quorvel " << sub << " refuses";
        if (hasBash()) {
            EXPECT_EQ(offeredFlags(sub), flags) << "the completion of \"quorvel " << sub << " -\"";
        }
    }
    for (const std::string &flag : flagsIn(man))
        EXPECT_TRUE(all.count(flag)) << "the man page names " << flag << ", which no subcommand takes";
}

// After each flag that takes a value the completion offers what the value is;
// a path is matched as the shell will read it.
TEST(Help, TheCompletionOffersWhatEachValueIs) {
    if (!hasBash()) GTEST_SKIP() << "the completion is a bash script, and there is no bash here";
    qvtest::TempDir dir;
    qvtest::writeText(dir.file("a file.txt"), "");
    std::filesystem::create_directory(dir.file("a dir"));
    const std::map<std::string, std::string> byValue = {
        {"FILE", "a dir\na file.txt\n"}, {"DIR", "a dir\n"}, {"KIND", "code\ne2p\nflashinfo\nrai\n"},
        {"ADDR", ""},                    {"N", ""},          {"BYTES", ""},
        {"DUMP", "a dir\na file.txt\n"}, {"FORMAT", "ihex\nraw\nsrec\n"},
        {"OLD", "a dir\na file.txt\n"},  {"NEW", "a dir\na file.txt\n"},
    };
    for (const std::string &sub : kSubcommands)
        for (const auto &[flag, value] : listedOptions(help(sub), true)) {
            if (value.empty()) continue;
            ASSERT_TRUE(byValue.count(value)) << flag << " takes " << value << ": say here what completes it";
            const std::vector<std::string> words = flag.starts_with("-") ? std::vector<std::string>{"quorvel", sub, flag, ""}
                                                                         : std::vector<std::string>{"quorvel", sub, ""};
            EXPECT_EQ(completions(words, dir.path()), byValue.at(value)) << "quorvel " << sub << " " << flag;
        }
    const struct {
        std::vector<std::string> words;
        const char *offered;
    } kPaths[] = {
        {{"quorvel", "inspect", "a\\ f"}, "a file.txt\n"},
        {{"quorvel", "inspect", "\"a f"}, "a file.txt\n"},
        {{"quorvel", "inspect", "'a "}, "a dir\na file.txt\n"},
        {{"quorvel", "merge", "--out-dir", "a\\ "}, "a dir\n"},
        {{"quorvel", "merge", "--log", "=", "a\\ f"}, "a file.txt\n"},
        {{"quorvel", "report", "--out-dir", "="}, "a dir\n"},
    };
    for (const auto &row : kPaths) EXPECT_EQ(completions(row.words, dir.path()), row.offered) << row.words.back();
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
