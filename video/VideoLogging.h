#pragma once
#include <QHash>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>

#include <chrono>
#include <vector>

// Logging category of the live video subsystem. Stream addresses are logged
// without their credentials.
Q_DECLARE_LOGGING_CATEGORY(lcVideo)

namespace qzr::video {

// Keeps a flood of decoder messages (a broken or hostile stream can cause
// thousands a second) out of the log. Within each period a message is let
// through the first time it comes; when the period is over, how often each
// came again is told in one line each, and messages beyond the first
// `distinctPerPeriod` different ones are only counted.
class MessageThrottle
{
public:
    using Clock = std::chrono::steady_clock;

    explicit MessageThrottle(std::chrono::milliseconds period = std::chrono::seconds(10),
                             int distinctPerPeriod = 20);

    // The lines to log now that `text` came: those about the period that
    // ended before `now`, if any, then `text` if it is let through.
    QStringList admit(const QString &text, Clock::time_point now);

private:
    QStringList endPeriod();

    const std::chrono::milliseconds m_period;
    const int m_distinctPerPeriod;
    bool m_started = false;
    Clock::time_point m_periodStart;
    std::vector<QString> m_order; // messages let through in this period, in order
    QHash<QString, int> m_repeats;
    int m_leftOut = 0;
};

} // namespace qzr::video
