#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>

class QUdpSocket;

namespace qzr::sim {

// How a simulated camera takes part in WS-Discovery.
struct DiscoveryOptions {
    bool enabled = true;
    QStringList interfaces{QStringLiteral("lo")}; // where it joins the group and announces itself
    quint16 port = 3702;
    bool ignoreFirstProbe = false; // the first Probe it hears goes unanswered
};

// The WS-Discovery side of one simulated camera: answers Probes for network
// video transmitters with a ProbeMatch (its own urn:uuid: endpoint and
// XAddrs http://ADDRESS:PORT/onvif/device_service), sends Hello when it starts
// and Bye when it stops. Hears only the interfaces it is given.
class DiscoveryResponder : public QObject
{
    Q_OBJECT
public:
    explicit DiscoveryResponder(QObject *parent = nullptr);
    ~DiscoveryResponder() override;

    // endpoint: "urn:uuid:..."; host and port: what the XAddrs name.
    bool start(const DiscoveryOptions &options, const QString &endpoint, const QString &host, quint16 port);
    // Sends Bye and leaves the group.
    void stop();

    QString endpoint() const { return m_endpoint; }
    QString xaddr() const;
    int probesAnswered() const { return m_answered; }
    QString errorText() const { return m_error; }

private:
    void readProbes();
    void announce(const QByteArray &message);

    DiscoveryOptions m_options;
    QUdpSocket *m_socket = nullptr;
    QList<int> m_interfaceIndexes;
    QString m_endpoint;
    QString m_host;
    quint16 m_port = 0;
    int m_answered = 0;
    bool m_ignoredFirst = false;
    QString m_error;
};

// A stable endpoint for a camera: a name-based UUID of its MAC, address and port.
QString endpointFor(const QString &mac, const QString &host, quint16 port);

} // namespace qzr::sim
