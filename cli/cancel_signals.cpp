#include "cli/cancel_signals.h"

#include <type_traits>

namespace qvcli {
namespace {

static_assert(std::is_same_v<std::sig_atomic_t, int>, "the merge request polls a volatile int");

// Written by the handler, read by the merge between blocks.
volatile std::sig_atomic_t g_signal = 0;

void recordSignal(int signo) { g_signal = signo; }

void install(int signo, struct sigaction &old) {
    struct sigaction sa {};
    sa.sa_handler = recordSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(signo, &sa, &old);
}

} // namespace

CancelOnSignals::CancelOnSignals() {
    g_signal = 0;
    install(SIGINT, oldInt_);
    install(SIGTERM, oldTerm_);
}

CancelOnSignals::~CancelOnSignals() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
}

const volatile int *CancelOnSignals::flag() const { return &g_signal; }

int CancelOnSignals::signal() const { return g_signal; }

} // namespace qvcli
