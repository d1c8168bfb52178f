#pragma once
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// WS-Discovery (2005/04) over SOAP-over-UDP: the messages the tool sends and
// the ones it understands, widget-free.
namespace qzr::discovery {

inline constexpr quint16 kDiscoveryPort = 3702;
inline const QHostAddress kDiscoveryGroup{QStringLiteral("239.255.255.250")};

inline constexpr const char *kSoap12Namespace = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr const char *kSoap11Namespace = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr const char *kAddressingNamespace = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr const char *kDiscoveryNamespace = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr const char *kNetworkWsdlNamespace = "http://www.onvif.org/ver10/network/wsdl";
inline constexpr const char *kDiscoveryTo = "urn:schemas-xmlsoap-org:ws:2005:04:discovery";
inline constexpr const char *kAnonymousRole = "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous";

// Datagrams above this size are dropped unread; real replies are a few KiB.
inline constexpr int kMaxDatagramBytes = 32 * 1024;
// Endpoints and XAddrs kept from one message at most.
inline constexpr int kMaxEndpointsPerMessage = 64;
inline constexpr int kMaxXAddrsPerEndpoint = 16;

enum class MessageKind { Invalid, Probe, ProbeMatches, Hello, Bye, Other };

// One endpoint as a ProbeMatch, Hello or Bye describes it.
struct Endpoint
{
    QString address;          // EndpointReference/Address, "urn:uuid:..."
    QStringList types;        // as written, "dn:NetworkVideoTransmitter"
    QStringList scopes;
    QStringList xaddrs;       // transport addresses of the device service
    QString metadataVersion;
};

struct Message
{
    MessageKind kind = MessageKind::Invalid;
    QString messageId;
    QString relatesTo;
    QString action;
    QStringList probeTypes;   // the Types of a Probe
    QList<Endpoint> endpoints;
};

// "urn:uuid:" followed by a fresh random UUID.
QString newMessageId();

// The Probe for network video transmitters, SOAP 1.2.
QByteArray probeMessage(const QString &messageId);

// The answers a device gives (used by the simulator and by tests).
QByteArray probeMatchesMessage(const QString &messageId, const QString &relatesTo, const Endpoint &endpoint);
QByteArray helloMessage(const QString &messageId, const Endpoint &endpoint);
QByteArray byeMessage(const QString &messageId, const QString &endpointAddress);

// Reads a datagram: SOAP 1.1 or 1.2 envelopes, any namespace prefixes.
// Oversized, malformed or foreign datagrams come back as Invalid.
Message parseMessage(const QByteArray &datagram);

// Where an XAddr points: host and port (80 when the URL has none).
struct XAddrTarget
{
    QString host;
    int port = 80;
    bool ipv4 = false;
};

// The target of the first IPv4 XAddr, else of the first usable one; an
// empty host when none is usable.
XAddrTarget preferredTarget(const QStringList &xaddrs);

} // namespace qzr::discovery
