#pragma once
// Reads of many cameras that one stop() ends at once, from any thread: each
// read runs with its client known, and stopping aborts every client under
// way, so that no read waits out its time-out.
#include "protocol/ParamClient.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSet>

#include <atomic>

namespace qzr {

class StoppableReads
{
public:
    bool stopped() const { return m_stopped; }

    // Runs work(client) unless stopped before or while it starts; false when
    // it did not run.
    template<typename Work>
    bool run(ParamClient &client, Work &&work)
    {
        {
            QMutexLocker lock(&m_mutex);
            if (m_stopped)
                return false;
            m_active.insert(&client);
        }
        work(client);
        QMutexLocker lock(&m_mutex);
        m_active.remove(&client);
        return true;
    }

    void stop()
    {
        QMutexLocker lock(&m_mutex);
        m_stopped = true;
        for (ParamClient *client : std::as_const(m_active))
            client->abort();
    }

private:
    std::atomic<bool> m_stopped{false};
    QMutex m_mutex;
    QSet<ParamClient *> m_active;
};

} // namespace qzr
