// SIGINT and SIGTERM while a merge runs (on Windows Ctrl-C and Ctrl-Break,
// and closing the console, through the console's control handler): the
// handler only records the signal in a flag the library polls between
// blocks, so the merge stops at its next check, removes its temporary files
// and leaves every earlier output as it was. The command then exits with
// 128 + the signal's number (130, 143).
#pragma once

#include <csignal>

namespace qvcli {

class CancelOnSignals {
public:
    CancelOnSignals();  // installs the handlers
    ~CancelOnSignals(); // restores the handlers that were there before
    CancelOnSignals(const CancelOnSignals &) = delete;
    CancelOnSignals &operator=(const CancelOnSignals &) = delete;

    // The flag the merge request points at: non-zero once a signal came.
    const volatile int *flag() const;
    // The signal that came, or 0.
    int signal() const;
};

} // namespace qvcli
