#include "video/VideoLogging.h"

Q_LOGGING_CATEGORY(lcVideo, "qzr.video", QtInfoMsg)

namespace qzr::video {

MessageThrottle::MessageThrottle(std::chrono::milliseconds period, int distinctPerPeriod)
    : m_period(period), m_distinctPerPeriod(distinctPerPeriod)
{
}

QStringList MessageThrottle::admit(const QString &text, Clock::time_point now)
{
    QStringList lines;
    if (!m_started || now - m_periodStart >= m_period) {
        lines = endPeriod();
        m_started = true;
        m_periodStart = now;
    }
    const auto seen = m_repeats.find(text);
    if (seen != m_repeats.end()) {
        ++seen.value();
    } else if (int(m_order.size()) < m_distinctPerPeriod) {
        m_order.push_back(text);
        m_repeats.insert(text, 0);
        lines << text;
    } else {
        ++m_leftOut;
    }
    return lines;
}

QStringList MessageThrottle::endPeriod()
{
    QStringList lines;
    for (const QString &text : m_order) {
        const int repeats = m_repeats.value(text);
        if (repeats > 0)
            lines << QStringLiteral("(%1 times more: %2)").arg(repeats).arg(text);
    }
    if (m_leftOut > 0)
        lines << QStringLiteral("(%1 other messages left out)").arg(m_leftOut);
    m_order.clear();
    m_repeats.clear();
    m_leftOut = 0;
    return lines;
}

} // namespace qzr::video
