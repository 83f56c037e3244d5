#include "cli_run.h"

#include <cstdio>
#include <sys/wait.h>

namespace clitest {
namespace {

std::string quote(const std::string &s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

// Runs `cmd` in the shell, its stderr into a file of its own.
CliResult runCommandLine(std::string cmd) {
    qvtest::TempDir tmp;
    const std::string errPath = tmp.file("stderr");
    cmd += " 2>" + quote(errPath);
    CliResult r;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = qvtest::readText(errPath);
    return r;
}

} // namespace

Json CliResult::json() const { return Json::parse(out); }

CliResult runCli(const std::vector<std::string> &args) {
    std::string cmd = quote(QUORVEL_CLI_PATH);
    for (const std::string &a : args) cmd += " " + quote(a);
    return runCommandLine(cmd);
}

CliResult runBash(const std::string &script) { return runCommandLine("bash -c " + quote(script)); }

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

} // namespace clitest
