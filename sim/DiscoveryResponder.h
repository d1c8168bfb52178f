#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>

#include "discovery/WsDiscovery.h"

class QUdpSocket;

namespace qzr::sim {

// How a simulated camera takes part in WS-Discovery.
struct DiscoveryOptions {
    bool enabled = true;
    QStringList interfaces{QStringLiteral("lo")}; // where it joins the group and announces itself
    quint16 port = 3702;
    bool ignoreFirstProbe = false; // the first Probe it hears goes unanswered
    // Each ProbeMatch waits a random 0..replyDelayMax_ms, as a camera does so
    // that the answers of a whole fleet do not arrive at once; 0 answers at once.
    int replyDelayMax_ms = 500;
    // What its Scopes tell before anyone logs in: the model (hardware/) and
    // the name (name/; the model when empty). No hardware or name scope
    // when both are empty.
    QString model;
    QString name;
};

// The WS-Discovery side of one simulated camera: answers Probes for network
// video transmitters with a ProbeMatch (its own urn:uuid: endpoint, Types
// dn:NetworkVideoTransmitter tds:Device, Scopes type/video_encoder,
// hardware/MODEL, name/NAME, location/ under onvif://www.onvif.org/, and
// XAddrs http://ADDRESS:PORT/onvif/device_service), sends Hello when it
// starts, again (MetadataVersion raised) when its HTTP port changes, and Bye
// when it stops. Hears only the interfaces it is given.
//
// A Probe is answered when every Type it names is the ONVIF network video
// transmitter or device (whatever prefix the probe binds to their
// namespaces) and every Scope it names is a segment-wise prefix of one of
// the camera's scopes (scheme and host in any case; MatchBy absent, rfc2396
// or rfc3986; strcmp0 compares whole strings; other rules are not answered).
// The answer speaks the probe's discovery version and SOAP version.
class DiscoveryResponder : public QObject
{
    Q_OBJECT
public:
    // ProbeMatches waiting for their delay at most; further probes meanwhile
    // go unanswered.
    static constexpr int kMaxPendingReplies = 256;

    explicit DiscoveryResponder(QObject *parent = nullptr);
    ~DiscoveryResponder() override;

    // endpoint: "urn:uuid:..."; host and port: what the XAddrs name.
    bool start(const DiscoveryOptions &options, const QString &endpoint, const QString &host, quint16 port);
    // Sends Bye and leaves the group; answers still waiting are dropped.
    void stop();
    // The camera now serves on another port: its XAddrs name it from now on,
    // with a higher MetadataVersion, and a Hello says so at once.
    void moveTo(quint16 port);
    quint16 port() const { return m_port; }
    uint metadataVersion() const { return m_metadataVersion; }

    QString endpoint() const { return m_endpoint; }
    QString xaddr() const;
    QStringList scopes() const;
    int probesAnswered() const { return m_answered; }
    QString errorText() const { return m_error; }

private:
    void readProbes();
    void announce(const QByteArray &message);
    void sendReply(const QByteArray &reply, const QHostAddress &to, quint16 port);
    discovery::Endpoint self() const;

    DiscoveryOptions m_options;
    QUdpSocket *m_socket = nullptr;
    QUdpSocket *m_sender = nullptr; // bound to the camera's address: what it sends comes from there
    QList<int> m_interfaceIndexes;
    QString m_endpoint;
    QString m_host;
    quint16 m_port = 0;
    uint m_metadataVersion = 1;
    int m_answered = 0;
    int m_pending = 0;
    bool m_ignoredFirst = false;
    QString m_error;
};

// A stable endpoint for a camera: a name-based UUID of its MAC, address and port.
QString endpointFor(const QString &mac, const QString &host, quint16 port);

} // namespace qzr::sim
