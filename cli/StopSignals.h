#pragma once
// Ctrl-C and SIGTERM during a run on many cameras: the first signal asks the
// run to stop (no further camera is started, cameras at work stop at their
// next safe point, the report is written); a second one ends the process at
// once, the journal being the record of what was done.
#include <QString>

#include <csignal>

namespace qzr::cli {

class StopSignals
{
public:
    // Takes over SIGINT and SIGTERM until destroyed. `atOnceMessage` is
    // written to standard error when a second signal ends the process.
    explicit StopSignals(const QString &atOnceMessage);
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // The signal that asked for the stop, 0 while none did.
    static int requested();
    // The exit status of a run stopped by that signal: 128 + its number
    // (130 for SIGINT, 143 for SIGTERM).
    static int exitStatus();
    // "SIGINT", "SIGTERM".
    static QString signalName(int signal);
};

// Blocks SIGINT and SIGTERM in the calling thread while it lives, so that
// threads started meanwhile leave the signals to the main thread.
class SignalsBlocked
{
public:
    SignalsBlocked();
    ~SignalsBlocked();
    SignalsBlocked(const SignalsBlocked &) = delete;
    SignalsBlocked &operator=(const SignalsBlocked &) = delete;

private:
    sigset_t m_old;
};

} // namespace qzr::cli
