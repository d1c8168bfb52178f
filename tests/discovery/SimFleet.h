#pragma once
// A qzr-camsim process serving a fleet on loopback, with WS-Discovery on "lo"
// and a discovery port of the test's own, so that tests running at the same
// time never hear each other. QZR_CAMSIM is the simulator's path.
#include <QProcess>
#include <QStringList>
#include <QUdpSocket>

#include <memory>

namespace qzr::discoverytest {

// A UDP port free on loopback right now, for one test's WS-Discovery.
inline quint16 freeDiscoveryPort()
{
    QUdpSocket socket;
    socket.bind(QHostAddress::AnyIPv4, 0);
    return socket.localPort();
}

class SimFleet
{
public:
    // Starts qzr-camsim with the arguments (plus "--port 0" and the discovery
    // port); true once it serves. Its HTTP port is port().
    bool start(const QStringList &arguments, quint16 discoveryPort)
    {
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::SeparateChannels);
        m_process->setStandardErrorFile(QProcess::nullDevice());
        m_process->start(QStringLiteral(QZR_CAMSIM),
                         arguments + QStringList{"--port", "0", "--discovery-port", QString::number(discoveryPort)});
        if (!m_process->waitForStarted(10'000))
            return false;
        while (!m_process->canReadLine()) {
            if (!m_process->waitForReadyRead(10'000))
                return false;
        }
        m_port = quint16(m_process->readLine().trimmed().toUInt());
        return m_port != 0;
    }

    quint16 port() const { return m_port; }

    // Ends the simulator as a signal does: its cameras say Bye first.
    void stop()
    {
        if (!m_process)
            return;
        m_process->terminate();
        if (!m_process->waitForFinished(10'000)) {
            m_process->kill();
            m_process->waitForFinished(10'000);
        }
        m_process.reset();
    }

    ~SimFleet() { stop(); }

private:
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
};

} // namespace qzr::discoverytest
