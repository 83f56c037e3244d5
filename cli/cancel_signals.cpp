#include "cli/cancel_signals.h"

#include <type_traits>

#ifdef _WIN32
#include <windows.h>
#endif

namespace qvcli {
namespace {

static_assert(std::is_same_v<std::sig_atomic_t, int>, "the merge request polls a volatile int");

// Written by the handler, read by the merge between blocks. The command runs
// one merge at a time, so the handlers it replaced are kept here too.
volatile std::sig_atomic_t g_signal = 0;

#ifdef _WIN32
// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI recordConsoleEvent(DWORD event) {
    g_signal = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
    return TRUE;
}

void install() { SetConsoleCtrlHandler(recordConsoleEvent, TRUE); }
void restore() { SetConsoleCtrlHandler(recordConsoleEvent, FALSE); }
#else
struct sigaction g_oldInt {}, g_oldTerm {};

void recordSignal(int signo) { g_signal = signo; }

void install(int signo, struct sigaction &old) {
    struct sigaction sa {};
    sa.sa_handler = recordSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(signo, &sa, &old);
}

void install() {
    install(SIGINT, g_oldInt);
    install(SIGTERM, g_oldTerm);
}

void restore() {
    sigaction(SIGINT, &g_oldInt, nullptr);
    sigaction(SIGTERM, &g_oldTerm, nullptr);
}
#endif

} // namespace

CancelOnSignals::CancelOnSignals() {
    g_signal = 0;
    install();
}

CancelOnSignals::~CancelOnSignals() { restore(); }

const volatile int *CancelOnSignals::flag() const { return &g_signal; }

int CancelOnSignals::signal() const { return g_signal; }

} // namespace qvcli
