#include "DiscoveryResponder.h"

#include "SimLogging.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QRandomGenerator>
#include <QTimer>
#include <QUdpSocket>
#include <QUrl>
#include <QUuid>
#include <QVariant>

#include <optional>

namespace qzr::sim {

namespace {

const QString kScopeBase = QStringLiteral("onvif://www.onvif.org/");

// A Probe is for us when each type it names is the network video
// transmitter or the device, in the namespaces the probe binds them to.
bool typesMatch(const QList<discovery::QualifiedName> &types)
{
    for (const discovery::QualifiedName &type : types) {
        const bool transmitter = type.namespaceUri == QLatin1String(discovery::kNetworkWsdlNamespace)
                                 && type.localName == QLatin1String("NetworkVideoTransmitter");
        const bool device = type.namespaceUri == QLatin1String(discovery::kDeviceWsdlNamespace)
                            && type.localName == QLatin1String("Device");
        if (!transmitter && !device)
            return false;
    }
    return true;
}

// A scope URI taken apart for the segment-wise comparison: scheme and
// authority as written, path segments percent-decoded (a trailing "/" adds
// no segment). Unset when it is no URI or has a "." or ".." segment.
struct ScopeParts
{
    QString scheme;
    QString authority;
    QStringList segments;
};

std::optional<ScopeParts> splitScope(const QString &uri)
{
    const qsizetype colon = uri.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    ScopeParts parts;
    parts.scheme = uri.left(colon);
    QStringView rest = QStringView(uri).mid(colon + 1);
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest.at(i) == QLatin1Char('?') || rest.at(i) == QLatin1Char('#')) {
            rest = rest.left(i);
            break;
        }
    }
    if (rest.startsWith(QLatin1String("//"))) {
        rest = rest.mid(2);
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        parts.authority = (slash < 0 ? rest : rest.left(slash)).toString();
        rest = slash < 0 ? QStringView() : rest.mid(slash + 1);
    } else if (rest.startsWith(QLatin1Char('/'))) {
        rest = rest.mid(1);
    }
    if (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);
    if (rest.isEmpty())
        return parts;
    for (const QStringView segment : rest.split(QLatin1Char('/'))) {
        const QString decoded = QString::fromUtf8(QByteArray::fromPercentEncoding(segment.toUtf8()));
        if (decoded == QLatin1String(".") || decoded == QLatin1String(".."))
            return std::nullopt;
        parts.segments.append(decoded);
    }
    return parts;
}

// Scheme and authority alike in any case, and the probe's path segments the
// first ones of the camera's, each compared exactly.
bool isSegmentPrefix(const QString &probeScope, const QString &scope)
{
    const std::optional<ScopeParts> probe = splitScope(probeScope);
    const std::optional<ScopeParts> own = splitScope(scope);
    if (!probe || !own || probe->segments.size() > own->segments.size()
        || probe->scheme.compare(own->scheme, Qt::CaseInsensitive) != 0
        || probe->authority.compare(own->authority, Qt::CaseInsensitive) != 0)
        return false;
    for (qsizetype i = 0; i < probe->segments.size(); ++i) {
        if (probe->segments.at(i) != own->segments.at(i))
            return false;
    }
    return true;
}

bool scopeMatches(const QString &probeScope, const QStringList &scopes, const QString &matchBy)
{
    const QString rule = matchBy.section(QLatin1Char('/'), -1);
    const QString base = matchBy.left(matchBy.size() - rule.size() - 1);
    const bool knownBase = matchBy.isEmpty() || base == QLatin1String(discovery::kDiscoveryNamespace)
                           || base == QLatin1String(discovery::kDiscovery2009Namespace);
    if (!knownBase)
        return false;
    for (const QString &scope : scopes) {
        if (matchBy.isEmpty() || rule == QLatin1String("rfc2396") || rule == QLatin1String("rfc3986")) {
            if (isSegmentPrefix(probeScope, scope))
                return true;
        } else if (rule == QLatin1String("strcmp0")) {
            if (probeScope == scope)
                return true;
        } else {
            return false; // a rule this camera does not know: it does not answer
        }
    }
    return false;
}

bool scopesMatch(const QStringList &probeScopes, const QStringList &scopes, const QString &matchBy)
{
    for (const QString &probeScope : probeScopes) {
        if (!scopeMatches(probeScope, scopes, matchBy))
            return false;
    }
    return true;
}

QString scopeText(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

} // namespace

QString endpointFor(const QString &mac, const QString &host, quint16 port)
{
    static const QUuid kNamespace(QStringLiteral("6ba7b811-9dad-11d1-80b4-00c04fd430c8"));
    const QString name = mac + QLatin1Char('/') + host + QLatin1Char(':') + QString::number(port);
    return QStringLiteral("urn:uuid:") + QUuid::createUuidV5(kNamespace, name).toString(QUuid::WithoutBraces);
}

DiscoveryResponder::DiscoveryResponder(QObject *parent)
    : QObject(parent)
{
}

DiscoveryResponder::~DiscoveryResponder()
{
    stop();
}

QString DiscoveryResponder::xaddr() const
{
    return QStringLiteral("http://%1:%2/onvif/device_service").arg(m_host).arg(m_port);
}

QStringList DiscoveryResponder::scopes() const
{
    QStringList list{kScopeBase + QStringLiteral("type/video_encoder")};
    const QString name = m_options.name.isEmpty() ? m_options.model : m_options.name;
    if (!m_options.model.isEmpty())
        list << kScopeBase + QStringLiteral("hardware/") + scopeText(m_options.model);
    if (!name.isEmpty())
        list << kScopeBase + QStringLiteral("name/") + scopeText(name);
    list << kScopeBase + QStringLiteral("location/");
    return list;
}

discovery::Endpoint DiscoveryResponder::self() const
{
    discovery::Endpoint endpoint;
    endpoint.address = m_endpoint;
    endpoint.types = {QStringLiteral("dn:NetworkVideoTransmitter"), QStringLiteral("tds:Device")};
    endpoint.scopes = scopes();
    endpoint.xaddrs = {xaddr()};
    endpoint.metadataVersion = QString::number(m_metadataVersion);
    return endpoint;
}

bool DiscoveryResponder::start(const DiscoveryOptions &options, const QString &endpoint, const QString &host,
                               quint16 port)
{
    m_options = options;
    m_endpoint = endpoint;
    m_host = host;
    m_port = port;
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(QHostAddress::AnyIPv4, options.port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        m_error = QStringLiteral("cannot bind UDP port %1: %2").arg(options.port).arg(m_socket->errorString());
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    m_socket->setSocketOption(QAbstractSocket::MulticastLoopbackOption, QVariant(1));
    m_socket->setSocketOption(QAbstractSocket::MulticastTtlOption, QVariant(1));
    for (const QString &name : options.interfaces) {
        const QNetworkInterface interface = QNetworkInterface::interfaceFromName(name);
        if (!interface.isValid() || !m_socket->joinMulticastGroup(discovery::kDiscoveryGroup, interface)) {
            m_error = QStringLiteral("cannot join the discovery group on %1: %2").arg(name, m_socket->errorString());
            delete m_socket;
            m_socket = nullptr;
            return false;
        }
        m_interfaceIndexes.append(interface.index());
    }
    connect(m_socket, &QUdpSocket::readyRead, this, &DiscoveryResponder::readProbes);
    // A camera's messages come from its own address, as its XAddrs name it.
    m_sender = new QUdpSocket(this);
    if (!m_sender->bind(QHostAddress(m_host), 0)) {
        delete m_sender;
        m_sender = nullptr;
    } else {
        m_sender->setSocketOption(QAbstractSocket::MulticastLoopbackOption, QVariant(1));
        m_sender->setSocketOption(QAbstractSocket::MulticastTtlOption, QVariant(1));
    }
    announce(discovery::helloMessage(discovery::newMessageId(), self()));
    return true;
}

void DiscoveryResponder::stop()
{
    if (!m_socket)
        return;
    announce(discovery::byeMessage(discovery::newMessageId(), m_endpoint));
    // Answers still waiting for their delay go with the socket.
    delete m_socket;
    m_socket = nullptr;
    delete m_sender;
    m_sender = nullptr;
    m_pending = 0;
}

void DiscoveryResponder::moveTo(quint16 port)
{
    if (port == m_port)
        return;
    m_port = port;
    ++m_metadataVersion;
    if (!m_socket)
        return;
    qCInfo(lcSim) << "discovery: announcing the new port" << port;
    announce(discovery::helloMessage(discovery::newMessageId(), self()));
}

void DiscoveryResponder::announce(const QByteArray &message)
{
    QUdpSocket *socket = m_sender ? m_sender : m_socket;
    for (const QString &name : std::as_const(m_options.interfaces)) {
        socket->setMulticastInterface(QNetworkInterface::interfaceFromName(name));
        socket->writeDatagram(message, discovery::kDiscoveryGroup, m_options.port);
    }
}

void DiscoveryResponder::sendReply(const QByteArray &reply, const QHostAddress &to, quint16 port)
{
    (m_sender ? m_sender : m_socket)->writeDatagram(reply, to, port);
    ++m_answered;
}

void DiscoveryResponder::readProbes()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(discovery::kMaxDatagramBytes + 1);
        // The group may be joined elsewhere on this host; only our interfaces count.
        if (datagram.interfaceIndex() != 0 && !m_interfaceIndexes.contains(int(datagram.interfaceIndex())))
            continue;
        const discovery::Message message = discovery::parseMessage(datagram.data());
        if (message.kind != discovery::MessageKind::Probe || !typesMatch(message.probeTypeNames))
            continue;
        const discovery::Endpoint endpoint = self();
        if (!scopesMatch(message.probeScopes, endpoint.scopes, message.probeMatchBy))
            continue;
        if (m_options.ignoreFirstProbe && !m_ignoredFirst) {
            m_ignoredFirst = true;
            qCInfo(lcSim) << "discovery: ignoring the first probe" << message.messageId;
            continue;
        }
        discovery::MessageStyle style;
        style.version = message.version;
        style.soap11 = message.soap11;
        const QByteArray reply =
            discovery::probeMatchesMessage(discovery::newMessageId(), message.messageId, endpoint, style);
        const QHostAddress to = datagram.senderAddress();
        const quint16 port = quint16(datagram.senderPort());
        if (m_options.replyDelayMax_ms <= 0) {
            sendReply(reply, to, port);
            continue;
        }
        if (m_pending >= kMaxPendingReplies)
            continue;
        ++m_pending;
        const int delay = int(QRandomGenerator::global()->bounded(quint32(m_options.replyDelayMax_ms) + 1));
        // Tied to the socket: stop() drops what is still waiting.
        QTimer::singleShot(delay, m_socket, [this, reply, to, port] {
            --m_pending;
            sendReply(reply, to, port);
        });
    }
}

} // namespace qzr::sim
