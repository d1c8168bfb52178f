#include "SimThread.h"

#include "OnThread.h"

#include <type_traits>

namespace qzr::sim {

SimThread::SimThread(const CameraOptions &camera, const ServerOptions &server)
    : m_serverOptions(server), m_server(new SimServer(camera))
{
    m_thread.setObjectName(QStringLiteral("qzr-camsim"));
    m_server->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_server, &QObject::deleteLater);
}

SimThread::~SimThread()
{
    stop();
    if (!m_thread.isFinished() && !m_thread.isRunning())
        delete m_server; // never started: the object has no thread to delete it
}

template <typename Function>
auto SimThread::onServerThread(Function function) const
{
    using Result = std::invoke_result_t<Function>;
    // Blocking on a thread that does not run would never return.
    if (!m_thread.isRunning())
        return Result();
    return runOnThreadOf(m_server, function);
}

quint16 SimThread::start(quint16 port)
{
    if (m_thread.isRunning() || m_thread.isFinished())
        return m_port; // one run per SimThread
    m_thread.start();
    ServerOptions options = m_serverOptions;
    options.port = port;
    const bool started = onServerThread([this, options] { return m_server->start(options); });
    m_port = started ? onServerThread([this] { return m_server->port(); }) : quint16(0);
    return m_port;
}

void SimThread::stop()
{
    if (!m_thread.isRunning())
        return;
    onServerThread([this] {
        m_server->stopListening();
        m_server->stopRtsp();
        m_server->stopMulticast();
    });
    m_thread.quit();
    m_thread.wait();
}

quint16 SimThread::currentPort() const
{
    return onServerThread([this] { return m_server->port(); });
}

quint16 SimThread::startRtsp(quint16 port, int fleetIndex)
{
    m_rtspPort = onServerThread([this, port, fleetIndex] { return m_server->startRtsp(port, fleetIndex); });
    return m_rtspPort;
}

void SimThread::stopRtsp()
{
    onServerThread([this] { m_server->stopRtsp(); });
}

int SimThread::rtspClientCount() const
{
    return onServerThread([this] { return m_server->rtspClientCount(); });
}

QList<int> SimThread::multicastSending() const
{
    return onServerThread([this] { return m_server->multicastSending(); });
}

qint64 SimThread::multicastPacketsSent(int channel) const
{
    return onServerThread([this, channel] { return m_server->multicastPacketsSent(channel); });
}

QList<ReceivedRequest> SimThread::requests() const
{
    return onServerThread([this] { return m_server->requests(); });
}

void SimThread::clearRequests()
{
    onServerThread([this] { m_server->clearRequests(); });
}

int SimThread::connectionCount() const
{
    return onServerThread([this] { return m_server->connectionCount(); });
}

qint64 SimThread::bytesReceived() const
{
    return onServerThread([this] { return m_server->bytesReceived(); });
}

void SimThread::setFault(FaultMode mode, int nth)
{
    onServerThread([this, mode, nth] { m_server->setFault(FaultSetting{mode, nth}); });
}

FaultSetting SimThread::fault() const
{
    return onServerThread([this] { return m_server->fault(); });
}

std::optional<QString> SimThread::value(const QString &key) const
{
    return onServerThread([this, key] { return m_server->camera().value(key); });
}

std::optional<QString> SimThread::savedValue(const QString &key) const
{
    return onServerThread([this, key] { return m_server->camera().savedValue(key); });
}

void SimThread::setValue(const QString &key, const QString &value)
{
    onServerThread([this, key, value] {
        m_server->camera().setValue(key, value);
        m_server->syncRtsp();
    });
}

void SimThread::setFocusResult(FocusResult result)
{
    onServerThread([this, result] { m_server->camera().setFocusResult(result); });
}

void SimThread::setFocusPolls(int polls)
{
    onServerThread([this, polls] { m_server->camera().setFocusPolls(polls); });
}

void SimThread::refuseWrite(const QString &key, const QString &value)
{
    onServerThread([this, key, value] { m_server->camera().refuseWrite(key, value); });
}

void SimThread::acceptWrite(const QString &key, const QString &value)
{
    onServerThread([this, key, value] { m_server->camera().acceptWrite(key, value); });
}

void SimThread::ignoreWrite(const QString &key, const QString &value)
{
    onServerThread([this, key, value] { m_server->camera().ignoreWrite(key, value); });
}

void SimThread::stopListening()
{
    onServerThread([this] { m_server->stopListening(); });
}

bool SimThread::resumeListening()
{
    return onServerThread([this] { return m_server->resumeListening(); });
}

bool SimThread::isListening() const
{
    return onServerThread([this] { return m_server->isListening(); });
}

} // namespace qzr::sim
