#include "DiscoveryResponder.h"

#include "SimLogging.h"
#include "discovery/WsDiscovery.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>
#include <QVariant>
#include <QUuid>

namespace qzr::sim {

namespace {

// A Probe is for us when it names no type, or a network video transmitter
// or a device, in any prefix.
bool asksForCameras(const QStringList &types)
{
    if (types.isEmpty())
        return true;
    for (const QString &type : types) {
        const QString local = type.section(QLatin1Char(':'), -1);
        if (local == QLatin1String("NetworkVideoTransmitter") || local == QLatin1String("Device"))
            return true;
    }
    return false;
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
    discovery::Endpoint self;
    self.address = m_endpoint;
    self.types = {QStringLiteral("dn:NetworkVideoTransmitter")};
    self.xaddrs = {xaddr()};
    announce(discovery::helloMessage(discovery::newMessageId(), self));
    return true;
}

void DiscoveryResponder::stop()
{
    if (!m_socket)
        return;
    announce(discovery::byeMessage(discovery::newMessageId(), m_endpoint));
    delete m_socket;
    m_socket = nullptr;
}

void DiscoveryResponder::announce(const QByteArray &message)
{
    for (const QString &name : std::as_const(m_options.interfaces)) {
        m_socket->setMulticastInterface(QNetworkInterface::interfaceFromName(name));
        m_socket->writeDatagram(message, discovery::kDiscoveryGroup, m_options.port);
    }
}

void DiscoveryResponder::readProbes()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(discovery::kMaxDatagramBytes + 1);
        // The group may be joined elsewhere on this host; only our interfaces count.
        if (datagram.interfaceIndex() != 0 && !m_interfaceIndexes.contains(int(datagram.interfaceIndex())))
            continue;
        const discovery::Message message = discovery::parseMessage(datagram.data());
        if (message.kind != discovery::MessageKind::Probe || !asksForCameras(message.probeTypes))
            continue;
        if (m_options.ignoreFirstProbe && !m_ignoredFirst) {
            m_ignoredFirst = true;
            qCInfo(lcSim) << "discovery: ignoring the first probe" << message.messageId;
            continue;
        }
        discovery::Endpoint self;
        self.address = m_endpoint;
        self.types = {QStringLiteral("dn:NetworkVideoTransmitter")};
        self.scopes = {QStringLiteral("onvif://www.onvif.org/type/video_encoder"),
                       QStringLiteral("onvif://www.onvif.org/name/Terelle")};
        self.xaddrs = {xaddr()};
        const QByteArray reply = discovery::probeMatchesMessage(discovery::newMessageId(), message.messageId, self);
        m_socket->writeDatagram(reply, datagram.senderAddress(), quint16(datagram.senderPort()));
        ++m_answered;
    }
}

} // namespace qzr::sim
