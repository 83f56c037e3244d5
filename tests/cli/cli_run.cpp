#include "cli_run.h"

#include "base/system.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdio>
#include <sys/wait.h>
#endif

namespace clitest {
namespace {

#ifdef _WIN32

// One argument as CommandLineToArgvW reads it back: in double quotes, a
// quote escaped with a backslash, and the backslashes before a quote (or
// before the closing one) doubled.
std::wstring quote(const std::wstring &s) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : s) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    return out.append(2 * backslashes, L'\\') + L"\"";
}

std::wstring wide(const std::string &utf8) { return qv::sys::fsPath(utf8).wstring(); }

// A file the child writes one of its streams into.
struct Capture {
    HANDLE handle;
    explicit Capture(const std::string &path) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        handle = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~Capture() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    Capture(const Capture &) = delete;
    Capture &operator=(const Capture &) = delete;
};

// The command writes its streams as text: each "\n" reaches the file as
// "\r\n". The tests expect the lines themselves, so the "\r" goes; a line
// that ends without one is a fault of the command on Windows.
std::string lines(const std::string &text, const char *stream) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            ADD_FAILURE() << "a line on " << stream << " ends in \\n without \\r: " << text;
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

CliResult start(const std::vector<std::string> &args) {
    qvtest::TempDir tmp;
    std::wstring line = quote(wide(QUORVEL_CLI_PATH));
    for (const std::string &a : args) line += L" " + quote(wide(a));
    CliResult r;
    {
        const Capture out(tmp.file("stdout")), err(tmp.file("stderr"));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = out.handle;
        si.hStdError = err.handle;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
            ADD_FAILURE() << "cannot start " << QUORVEL_CLI_PATH << ": " << qv::sys::lastError();
            return r;
        }
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(pi.hProcess, &code)) r.status = int(code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    r.out = lines(qvtest::readText(tmp.file("stdout")), "stdout");
    r.err = lines(qvtest::readText(tmp.file("stderr")), "stderr");
    return r;
}

#else

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

#endif

} // namespace

Json CliResult::json() const { return Json::parse(out); }

#ifdef _WIN32

CliResult runCli(const std::vector<std::string> &args) { return start(args); }

bool hasBash() { return false; }

CliResult runBash(const std::string &) {
    ADD_FAILURE() << "no bash on Windows: the test should have skipped";
    return {};
}

#else

CliResult runCli(const std::vector<std::string> &args) {
    std::string cmd = quote(QUORVEL_CLI_PATH);
    for (const std::string &a : args) cmd += " " + quote(a);
    return runCommandLine(cmd);
}

bool hasBash() { return true; }

CliResult runBash(const std::string &script) { return runCommandLine("bash -c " + quote(script)); }

#endif

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

} // namespace clitest
