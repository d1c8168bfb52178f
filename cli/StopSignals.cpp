#include "cli/StopSignals.h"

#include <csignal>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

#include <atomic>

namespace qzr::cli {

namespace {

std::atomic<int> g_requested{0};
// Written before the handlers are installed, read only by them.
char g_atOnceMessage[2048];
std::size_t g_atOnceLength = 0;
struct sigaction g_previousInt {};
struct sigaction g_previousTerm {};

void onStopSignal(int signal)
{
    int expected = 0;
    if (g_requested.compare_exchange_strong(expected, signal))
        return;
    // The second signal: only async-signal-safe calls from here.
    if (g_atOnceLength > 0) {
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, g_atOnceMessage, g_atOnceLength);
    }
    ::_exit(128 + signal);
}

} // namespace

StopSignals::StopSignals(const QString &atOnceMessage)
{
    const QByteArray message = atOnceMessage.toLocal8Bit().left(int(sizeof g_atOnceMessage));
    std::memcpy(g_atOnceMessage, message.constData(), std::size_t(message.size()));
    g_atOnceLength = std::size_t(message.size());
    g_requested = 0;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &g_previousInt);
    ::sigaction(SIGTERM, &action, &g_previousTerm);
}

StopSignals::~StopSignals()
{
    ::sigaction(SIGINT, &g_previousInt, nullptr);
    ::sigaction(SIGTERM, &g_previousTerm, nullptr);
}

int StopSignals::requested()
{
    return g_requested.load();
}

int StopSignals::exitStatus()
{
    return 128 + g_requested.load();
}

QString StopSignals::signalName(int signal)
{
    switch (signal) {
    case SIGINT: return QStringLiteral("SIGINT");
    case SIGTERM: return QStringLiteral("SIGTERM");
    default: return QStringLiteral("signal %1").arg(signal);
    }
}

SignalsBlocked::SignalsBlocked()
{
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &m_old);
}

SignalsBlocked::~SignalsBlocked()
{
    ::pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
}

} // namespace qzr::cli
