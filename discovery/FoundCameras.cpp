#include "discovery/FoundCameras.h"

#include "discovery/WsDiscovery.h"

#include <QSet>

#include <climits>
#include <algorithm>

namespace qzr::discovery {

namespace {

void addUnique(QStringList &list, const QStringList &items)
{
    for (const QString &item : items) {
        if (!item.isEmpty() && !list.contains(item))
            list.append(item);
    }
}

// Takes other's sources, interfaces and (when it has one) identity.
void mergeInto(FoundCamera &kept, const FoundCamera &other)
{
    kept.foundBy |= other.foundBy;
    addUnique(kept.xaddrs, other.xaddrs);
    addUnique(kept.heardOn, other.heardOn);
    if (!kept.identity.done && other.identity.done)
        kept.identity = other.identity;
}

// Orders IPv4 addresses by value, before anything else (IPv6, names).
bool addressLess(const QString &a, const QString &b)
{
    QHostAddress ha, hb;
    const bool a4 = ha.setAddress(a) && ha.protocol() == QAbstractSocket::IPv4Protocol;
    const bool b4 = hb.setAddress(b) && hb.protocol() == QAbstractSocket::IPv4Protocol;
    if (a4 != b4)
        return a4;
    if (a4)
        return ha.toIPv4Address() < hb.toIPv4Address();
    return a < b;
}

} // namespace

QString foundByText(unsigned foundBy)
{
    QStringList parts;
    if (foundBy & FoundByProbe)
        parts << QStringLiteral("ws-discovery");
    if (foundBy & FoundByHello)
        parts << QStringLiteral("hello");
    if (foundBy & FoundBySweep)
        parts << QStringLiteral("sweep");
    return parts.join(QLatin1Char(','));
}

QStringList flagNames(const FoundCamera &camera)
{
    QStringList names;
    if (camera.flags & FlagAddressConflict)
        names << QStringLiteral("address conflict");
    if (camera.flags & FlagOtherSubnet)
        names << QStringLiteral("other subnet (%1)").arg(camera.otherSubnetInterface);
    if (camera.flags & FlagFactoryAddress)
        names << QStringLiteral("factory address");
    if (camera.flags & FlagLoginNeeded)
        names << QStringLiteral("login needed");
    if (camera.flags & FlagEndpointConflict)
        names << QStringLiteral("endpoint conflict");
    if (camera.flags & FlagMacConflict)
        names << QStringLiteral("MAC conflict");
    if (camera.flags & FlagHttps)
        names << QStringLiteral("https, not read");
    if (camera.flags & FlagHostName)
        names << QStringLiteral("host name, not resolved");
    if (camera.flags & FlagNotRead)
        names << QStringLiteral("not read");
    return names;
}

QString flagsText(const FoundCamera &camera)
{
    return flagNames(camera).join(QStringLiteral(", "));
}

QString flagsExplanation(const FoundCamera &camera)
{
    QStringList paragraphs;
    if (camera.flags & FlagAddressConflict)
        paragraphs << QStringLiteral("Address conflict: more than one camera answers at %1. Give each camera "
                                     "its own address (IP Setup > Change Camera IP address), one camera "
                                     "connected at a time.").arg(camera.target());
    if (camera.flags & FlagOtherSubnet)
        paragraphs << QStringLiteral("Other subnet: %1 lies outside the subnet of interface %2, so this PC "
                                     "cannot reach it directly. Add an address in the camera's subnet, "
                                     "for example: %3").arg(camera.address, camera.otherSubnetInterface,
                                                            camera.suggestedCommand);
    if (camera.flags & FlagFactoryAddress)
        paragraphs << QStringLiteral("Factory address: the camera still has %1. Change it before you "
                                     "connect the next new camera.").arg(QLatin1String(kFactoryAddress));
    if (camera.flags & FlagLoginNeeded)
        paragraphs << QStringLiteral("Login needed: the camera answers only with a user name and password "
                                     "(401). Enter the camera's credentials in the main window and read its "
                                     "details.");
    if (camera.flags & FlagEndpointConflict)
        paragraphs << QStringLiteral("Endpoint conflict: another device answers with this camera's endpoint "
                                     "(%1) from another address. One of them may be posing as the camera: "
                                     "check the MAC before you use it.").arg(camera.endpoint);
    if (camera.flags & FlagMacConflict)
        paragraphs << QStringLiteral("MAC conflict: the MAC %1 answers at more than one address. One of "
                                     "them may be posing as the camera.").arg(camera.identity.mac);
    if (camera.flags & FlagHttps)
        paragraphs << QStringLiteral("https: the camera offers only an https address; the tool reads "
                                     "cameras over plain HTTP, so it was not read.");
    if (camera.flags & FlagHostName)
        paragraphs << QStringLiteral("Host name: the camera names the host %1, not an address. The tool "
                                     "neither looks the name up nor reads it.").arg(camera.address);
    if (camera.flags & FlagNotRead)
        paragraphs << QStringLiteral("Not read: the model, firmware and MAC could not be read from %1:%2: %3")
                          .arg(camera.readHost())
                          .arg(camera.port)
                          .arg(QString(camera.identity.error).replace(QLatin1String("\r\n"), QLatin1String(" / ")));
    return paragraphs.join(QLatin1Char('\n'));
}

ChosenXAddr chooseXAddr(const QStringList &xaddrs, const QString &sender, const QString &interfaceName,
                        const QList<LocalInterface> &interfaces)
{
    ChosenXAddr best;
    int bestRank = INT_MAX;
    for (const QString &xaddr : xaddrs) {
        const XAddrTarget target = xaddrTarget(xaddr);
        if (target.host.isEmpty())
            continue;
        const bool https = target.https;
        ChosenXAddr candidate;
        candidate.host = target.host;
        candidate.port = target.port;
        candidate.https = https;
        QHostAddress address;
        int rank = 0;
        if (!address.setAddress(candidate.host)) {
            candidate.hostName = true;
            rank = 40;
        } else if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            bool onSubnet = false;
            for (const LocalInterface &interface : interfaces)
                onSubnet = onSubnet || (interface.name == interfaceName && inSubnet(address, interface));
            const bool linkLocal = address.isInSubnet(QHostAddress(QStringLiteral("169.254.0.0")), 16);
            rank = onSubnet ? 0 : candidate.host == sender ? 1 : linkLocal ? 3 : 2;
        } else {
            rank = 4;
            if (address.isLinkLocal() && address.scopeId().isEmpty() && !interfaceName.isEmpty()) {
                address.setScopeId(interfaceName);
                candidate.host = address.toString();
            }
        }
        rank += https ? 10 : 0;
        if (rank < bestRank) {
            bestRank = rank;
            best = candidate;
        }
    }
    return best;
}

namespace {

QString announcementKey(const QString &endpoint, const QString &sender, const QString &target)
{
    return endpoint.isEmpty() ? QStringLiteral("a|%1|%2").arg(sender, target)
                              : QStringLiteral("e|%1|%2").arg(endpoint, sender);
}

QString sweepKey(const QString &address, int port)
{
    return QStringLiteral("s|%1:%2").arg(address).arg(port);
}

} // namespace

FoundCameraList::Added FoundCameraList::add(const Announcement &announcement, const QList<LocalInterface> &interfaces)
{
    const ChosenXAddr target = chooseXAddr(announcement.xaddrs, announcement.sender, announcement.interfaceName,
                                           interfaces);
    const QString key = announcementKey(announcement.endpoint, announcement.sender,
                                        target.host + QLatin1Char(':') + QString::number(target.port));
    const auto known = m_byKey.constFind(key);
    if (known != m_byKey.constEnd()) {
        FoundCamera &camera = m_cameras[known.value()];
        camera.foundBy |= announcement.how;
        if (announcement.metadataVersion > camera.metadataVersion) {
            camera.metadataVersion = announcement.metadataVersion;
            // Its addresses changed (a new port, say): it is where it now
            // says it is, and what was read at the old place no longer counts.
            if (!target.host.isEmpty() && (target.host != camera.address || target.port != camera.port)) {
                camera.address = target.host;
                camera.port = target.port;
                camera.xaddrs = announcement.xaddrs.mid(0, kMaxXAddrsPerEndpoint);
                camera.flags &= ~(FlagHttps | FlagHostName);
                if (target.https)
                    camera.flags |= FlagHttps;
                if (target.hostName)
                    camera.flags |= FlagHostName;
                camera.identity = {};
                addUnique(camera.heardOn, {announcement.interfaceName});
                return Added::Moved;
            }
        }
        if (camera.xaddrs.size() < kMaxXAddrsPerEndpoint)
            addUnique(camera.xaddrs, announcement.xaddrs.mid(0, kMaxXAddrsPerEndpoint - camera.xaddrs.size()));
        addUnique(camera.heardOn, {announcement.interfaceName});
        return Added::Known;
    }
    if (m_cameras.size() >= kMaxListedCameras) {
        ++m_notListed;
        return Added::Full;
    }
    FoundCamera camera;
    camera.key = key;
    camera.endpoint = announcement.endpoint;
    camera.sender = announcement.sender;
    camera.xaddrs = announcement.xaddrs.mid(0, kMaxXAddrsPerEndpoint);
    camera.hardware = scopeValue(announcement.scopes, QStringLiteral("hardware"));
    camera.name = scopeValue(announcement.scopes, QStringLiteral("name"));
    addUnique(camera.heardOn, {announcement.interfaceName});
    camera.foundBy = announcement.how;
    camera.metadataVersion = announcement.metadataVersion;
    camera.address = target.host;
    camera.port = target.port;
    if (target.https)
        camera.flags |= FlagHttps;
    if (target.hostName)
        camera.flags |= FlagHostName;
    // What the sweep found where this camera is read is this camera.
    const auto swept = m_byKey.constFind(sweepKey(camera.readHost(), camera.port));
    if (swept != m_byKey.constEnd()) {
        mergeInto(camera, m_cameras.at(swept.value()));
        m_cameras.removeAt(swept.value());
        index();
    }
    for (const FoundCamera &other : std::as_const(m_cameras)) {
        if (other.readHost() == camera.readHost() && other.port == camera.port) {
            camera.foundBy |= other.foundBy & FoundBySweep;
            if (!camera.identity.done && other.identity.done)
                camera.identity = other.identity;
        }
    }
    m_byKey.insert(key, m_cameras.size());
    m_cameras.append(camera);
    return Added::New;
}

bool FoundCameraList::addAnnouncement(const QString &endpoint, const QStringList &xaddrs,
                                      const QString &interfaceName, FoundBy how)
{
    const ChosenXAddr target = chooseXAddr(xaddrs, {}, interfaceName, {});
    return add({endpoint, xaddrs, {}, target.host, interfaceName, how}) == Added::New;
}

bool FoundCameraList::removeEndpoint(const QString &endpoint, const QString &sender)
{
    if (endpoint.isEmpty())
        return false;
    const qsizetype removed = m_cameras.removeIf([&](const FoundCamera &camera) {
        return camera.endpoint == endpoint && (sender.isEmpty() || camera.sender == sender);
    });
    if (removed > 0)
        index();
    return removed > 0;
}

bool FoundCameraList::addSweepHit(const QString &address, int port)
{
    bool listed = false;
    for (FoundCamera &camera : m_cameras) {
        if (camera.readHost() == address && camera.port == port) {
            camera.foundBy |= FoundBySweep;
            listed = true;
        }
    }
    if (listed)
        return false;
    if (m_cameras.size() >= kMaxListedCameras) {
        ++m_notListed;
        return false;
    }
    FoundCamera camera;
    camera.key = sweepKey(address, port);
    camera.address = address;
    camera.port = port;
    camera.foundBy = FoundBySweep;
    m_byKey.insert(camera.key, m_cameras.size());
    m_cameras.append(camera);
    return true;
}

void FoundCameraList::setIdentity(const QString &host, int port, const Identity &identity)
{
    for (FoundCamera &camera : m_cameras) {
        if (camera.readHost() == host && camera.port == port)
            camera.identity = identity;
    }
}

void FoundCameraList::clear()
{
    m_cameras.clear();
    m_byKey.clear();
    m_notListed = 0;
}

void FoundCameraList::index()
{
    m_byKey.clear();
    for (qsizetype i = 0; i < m_cameras.size(); ++i)
        m_byKey.insert(m_cameras.at(i).key, i);
}

void FoundCameraList::applyFlags(const QList<LocalInterface> &interfaces)
{
    // Who claims what: endpoints and MACs per address and port, the
    // addresses per endpoint and per MAC.
    QHash<QString, QSet<QString>> endpointsAt, macsAt, sendersOf, addressesOfMac;
    QSet<quint32> taken;
    for (const LocalInterface &interface : interfaces)
        taken.insert(interface.address.toIPv4Address());
    for (const FoundCamera &camera : std::as_const(m_cameras)) {
        const QString target = camera.target();
        const QString mac = camera.identity.mac.toUpper();
        if (!camera.endpoint.isEmpty()) {
            endpointsAt[target].insert(camera.endpoint);
            sendersOf[camera.endpoint].insert(camera.readHost());
        }
        if (!mac.isEmpty()) {
            macsAt[target].insert(mac);
            addressesOfMac[mac].insert(camera.readHost());
        }
        const QHostAddress address(camera.address);
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            taken.insert(address.toIPv4Address());
    }
    for (FoundCamera &camera : m_cameras) {
        camera.flags &= FlagHttps | FlagHostName;
        camera.otherSubnetInterface.clear();
        camera.suggestedCommand.clear();
        if (camera.identity.loginNeeded)
            camera.flags |= FlagLoginNeeded;
        else if (camera.identity.done && !camera.identity.error.isEmpty())
            camera.flags |= FlagNotRead;
        if (camera.address == QLatin1String(kFactoryAddress))
            camera.flags |= FlagFactoryAddress;
        const QString target = camera.target();
        if (!camera.address.isEmpty()
            && (endpointsAt.value(target).size() > 1 || macsAt.value(target).size() > 1))
            camera.flags |= FlagAddressConflict;
        if (!camera.endpoint.isEmpty() && sendersOf.value(camera.endpoint).size() > 1)
            camera.flags |= FlagEndpointConflict;
        if (!camera.identity.mac.isEmpty() && addressesOfMac.value(camera.identity.mac.toUpper()).size() > 1)
            camera.flags |= FlagMacConflict;

        // Heard on interfaces none of whose subnets holds it.
        const QHostAddress address(camera.address);
        if (address.protocol() != QAbstractSocket::IPv4Protocol || camera.heardOn.isEmpty())
            continue;
        const LocalInterface *first = nullptr;
        bool reachable = false;
        for (const QString &name : std::as_const(camera.heardOn)) {
            for (const LocalInterface &interface : interfaces) {
                if (interface.name != name)
                    continue;
                if (!first)
                    first = &interface;
                reachable = reachable || inSubnet(address, interface);
            }
        }
        if (first && !reachable) {
            camera.flags |= FlagOtherSubnet;
            camera.otherSubnetInterface = first->name;
            camera.suggestedCommand = addAddressCommand(*first, address, taken);
        }
    }
}

QList<FoundCamera> FoundCameraList::cameras() const
{
    QList<FoundCamera> sorted = m_cameras;
    std::stable_sort(sorted.begin(), sorted.end(), [](const FoundCamera &a, const FoundCamera &b) {
        if (a.address != b.address)
            return addressLess(a.address, b.address);
        if (a.port != b.port)
            return a.port < b.port;
        return a.endpoint < b.endpoint;
    });
    return sorted;
}

} // namespace qzr::discovery
