#pragma once
#include <QObject>
#include <QTimer>
#include <functional>

namespace qzr {

// Runs a display refresh once the event loop turns, however often it was
// asked for meanwhile. A reply log that changes seven times per request (and
// a settings memo that grows line by line) is laid out once, not each time.
class DeferredRefresh
{
public:
    DeferredRefresh(QObject *context, std::function<void()> refresh)
        : m_context(context), m_refresh(std::move(refresh)) {}

    void request()
    {
        if (m_pending)
            return;
        m_pending = true;
        QTimer::singleShot(0, m_context, [this] {
            m_pending = false;
            m_refresh();
        });
    }

private:
    QObject *m_context;
    std::function<void()> m_refresh;
    bool m_pending = false;
};

} // namespace qzr
