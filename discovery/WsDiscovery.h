#pragma once
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// WS-Discovery over SOAP-over-UDP: the messages the tool sends and the ones
// it understands, widget-free. Cameras speak the 2005/04 draft (addressing
// 2004/08) or WS-Discovery 1.1 (2009/01, addressing 2005/08), in SOAP 1.2 or
// SOAP 1.1 envelopes; both are read, and answers can be written in either.
namespace qzr::discovery {

inline constexpr quint16 kDiscoveryPort = 3702;
inline const QHostAddress kDiscoveryGroup{QStringLiteral("239.255.255.250")};

inline constexpr const char *kSoap12Namespace = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr const char *kSoap11Namespace = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr const char *kAddressingNamespace = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr const char *kDiscoveryNamespace = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr const char *kNetworkWsdlNamespace = "http://www.onvif.org/ver10/network/wsdl";
inline constexpr const char *kDeviceWsdlNamespace = "http://www.onvif.org/ver10/device/wsdl";
inline constexpr const char *kDiscoveryTo = "urn:schemas-xmlsoap-org:ws:2005:04:discovery";
inline constexpr const char *kAnonymousRole = "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous";
// WS-Discovery 1.1 and the addressing it goes with.
inline constexpr const char *kAddressing2005Namespace = "http://www.w3.org/2005/08/addressing";
inline constexpr const char *kDiscovery2009Namespace = "http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01";
inline constexpr const char *kDiscovery2009To = "urn:docs-oasis-open-org:ws-dd:ns:discovery:2009:01";
inline constexpr const char *kAnonymous2005 = "http://www.w3.org/2005/08/addressing/anonymous";

// Datagrams above this size are dropped unread; real replies are a few KiB.
inline constexpr int kMaxDatagramBytes = 32 * 1024;
// Endpoints and XAddrs kept from one message at most.
inline constexpr int kMaxEndpointsPerMessage = 64;
inline constexpr int kMaxXAddrsPerEndpoint = 16;
// Scopes and Types kept from one endpoint (or one Probe) at most.
inline constexpr int kMaxScopesPerEndpoint = 32;
inline constexpr int kMaxTypesPerEndpoint = 16;
// A value scopeValue() returns is cut to this many characters.
inline constexpr int kMaxScopeValueChars = 256;

enum class MessageKind { Invalid, Probe, ProbeMatches, Hello, Bye, Other };

// The WS-Discovery a message speaks: the 2005/04 draft or 1.1 (2009/01).
enum class DiscoveryVersion { V2005, V2009 };

// How a message is written: discovery version and SOAP envelope.
struct MessageStyle
{
    DiscoveryVersion version = DiscoveryVersion::V2005;
    bool soap11 = false;
};

// A type as a Probe names it, its prefix resolved in the Probe's own
// namespace declarations (an unbound prefix leaves the namespace empty).
struct QualifiedName
{
    QString namespaceUri;
    QString localName;
};

// One endpoint as a ProbeMatch, Hello or Bye describes it.
struct Endpoint
{
    QString address;          // EndpointReference/Address, "urn:uuid:..."
    QStringList types;        // as written, "dn:NetworkVideoTransmitter"
    QStringList scopes;       // URIs, "onvif://www.onvif.org/hardware/QZ-R410"
    QStringList xaddrs;       // transport addresses of the device service
    QString metadataVersion;
};

struct Message
{
    MessageKind kind = MessageKind::Invalid;
    QString messageId;
    QString relatesTo;
    QString action;
    QStringList probeTypes;   // the Types of a Probe, as written
    QList<QualifiedName> probeTypeNames; // the same, prefixes resolved
    QStringList probeScopes;  // the Scopes of a Probe
    QString probeMatchBy;     // its MatchBy attribute; empty when absent
    QList<Endpoint> endpoints;
    // What the message spoke, so that an answer can be given in kind. A
    // message of another vocabulary (kind Other) keeps the defaults.
    DiscoveryVersion version = DiscoveryVersion::V2005;
    bool soap11 = false;
};

// "urn:uuid:" followed by a fresh random UUID.
QString newMessageId();

// The Probe for network video transmitters; by default 2005/04 in SOAP 1.2.
QByteArray probeMessage(const QString &messageId, const MessageStyle &style = {});

// The answers a device gives (used by the simulator and by tests); by
// default 2005/04 in SOAP 1.2. Types written with the prefix "dn" or "tds"
// are bound to the ONVIF network or device namespace.
QByteArray probeMatchesMessage(const QString &messageId, const QString &relatesTo, const Endpoint &endpoint,
                               const MessageStyle &style = {});
QByteArray helloMessage(const QString &messageId, const Endpoint &endpoint, const MessageStyle &style = {});
QByteArray byeMessage(const QString &messageId, const QString &endpointAddress, const MessageStyle &style = {});

// Reads a datagram: both discovery versions, SOAP 1.1 or 1.2 envelopes, any
// namespace prefixes. Oversized, malformed or foreign datagrams come back as
// Invalid. A Probe naming more Types or Scopes than the bounds above comes
// back as Other (it cannot be honoured in full).
Message parseMessage(const QByteArray &datagram);

// The value of the first scope "onvif://www.onvif.org/KIND/VALUE" with a
// non-empty VALUE: the last path segment, percent-decoded as UTF-8, control
// characters dropped, at most kMaxScopeValueChars characters. Empty when
// there is none. kind: "hardware", "name", "location", ...
QString scopeValue(const QStringList &scopes, const QString &kind);

// Where an XAddr points: host and port (80 when the URL has none, 443 for
// https).
struct XAddrTarget
{
    QString host;
    int port = 80;
    bool ipv4 = false;
    bool https = false;
};

// The target of one XAddr (an http or https URL with a host); an empty host
// when it is not usable.
XAddrTarget xaddrTarget(const QString &xaddr);

// The target of the first IPv4 XAddr, else of the first usable one; an
// empty host when none is usable.
XAddrTarget preferredTarget(const QStringList &xaddrs);

} // namespace qzr::discovery
