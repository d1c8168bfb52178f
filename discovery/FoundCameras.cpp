#include "discovery/FoundCameras.h"

#include "discovery/WsDiscovery.h"

#include <QSet>
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
        paragraphs << QStringLiteral("Login needed: the camera refused the user name and password (401). "
                                     "Enter the camera's credentials in the main window and search again.");
    return paragraphs.join(QLatin1Char('\n'));
}

bool FoundCameraList::addAnnouncement(const QString &endpoint, const QStringList &xaddrs,
                                      const QString &interfaceName, FoundBy how)
{
    const XAddrTarget target = preferredTarget(xaddrs);
    for (FoundCamera &camera : m_cameras) {
        // Without an endpoint address (a faulty reply) the camera is known by
        // where it answers.
        const bool same = endpoint.isEmpty()
            ? camera.endpoint.isEmpty() && !target.host.isEmpty() && camera.address == target.host
                  && camera.port == target.port
            : camera.endpoint == endpoint;
        if (same) {
            camera.foundBy |= how;
            addUnique(camera.xaddrs, xaddrs);
            addUnique(camera.heardOn, {interfaceName});
            if (camera.address.isEmpty() && !target.host.isEmpty()) {
                camera.address = target.host;
                camera.port = target.port;
            }
            return false;
        }
    }
    FoundCamera camera;
    camera.endpoint = endpoint;
    camera.xaddrs = xaddrs;
    addUnique(camera.heardOn, {interfaceName});
    camera.foundBy = how;
    camera.address = target.host;
    camera.port = target.port;
    // An entry of the sweep alone at the same address is this camera.
    for (qsizetype i = 0; i < m_cameras.size(); ++i) {
        const FoundCamera &other = m_cameras.at(i);
        if (other.endpoint.isEmpty() && !camera.address.isEmpty() && other.address == camera.address
            && other.port == camera.port) {
            mergeInto(camera, other);
            m_cameras.removeAt(i);
            break;
        }
    }
    // What is known of the address already holds for this camera too: the
    // sweep reached it, and its identity was read there.
    for (const FoundCamera &other : std::as_const(m_cameras)) {
        if (camera.address.isEmpty() || other.address != camera.address || other.port != camera.port)
            continue;
        camera.foundBy |= other.foundBy & FoundBySweep;
        if (!camera.identity.done && other.identity.done)
            camera.identity = other.identity;
    }
    m_cameras.append(camera);
    return true;
}

bool FoundCameraList::removeEndpoint(const QString &endpoint)
{
    return m_cameras.removeIf([&](const FoundCamera &camera) {
               return !endpoint.isEmpty() && camera.endpoint == endpoint;
           }) > 0;
}

bool FoundCameraList::addSweepHit(const QString &address, int port)
{
    bool listed = false;
    for (FoundCamera &camera : m_cameras) {
        if (camera.address == address && camera.port == port) {
            camera.foundBy |= FoundBySweep;
            listed = true;
        }
    }
    if (listed)
        return false;
    FoundCamera camera;
    camera.address = address;
    camera.port = port;
    camera.foundBy = FoundBySweep;
    m_cameras.append(camera);
    return true;
}

void FoundCameraList::setIdentity(const QString &address, int port, const Identity &identity)
{
    for (FoundCamera &camera : m_cameras) {
        if (camera.address == address && camera.port == port)
            camera.identity = identity;
    }
    if (identity.mac.isEmpty())
        return;
    // A camera the sweep reached at another address than it announced.
    for (qsizetype i = m_cameras.size() - 1; i >= 0; --i) {
        const FoundCamera &swept = m_cameras.at(i);
        if (!swept.endpoint.isEmpty() || swept.identity.mac != identity.mac)
            continue;
        const auto announced = std::find_if(m_cameras.begin(), m_cameras.end(), [&](const FoundCamera &c) {
            return !c.endpoint.isEmpty() && c.identity.mac == identity.mac && c.address != swept.address;
        });
        if (announced != m_cameras.end()) {
            announced->foundBy |= swept.foundBy;
            m_cameras.removeAt(i);
        }
    }
}

void FoundCameraList::applyFlags(const QList<LocalInterface> &interfaces)
{
    for (FoundCamera &camera : m_cameras) {
        camera.flags = 0;
        camera.otherSubnetInterface.clear();
        camera.suggestedCommand.clear();
        if (camera.identity.loginNeeded)
            camera.flags |= FlagLoginNeeded;
        if (camera.address == QLatin1String(kFactoryAddress))
            camera.flags |= FlagFactoryAddress;

        // Two endpoint identities or two MACs behind one address and port.
        QSet<QString> endpoints, macs;
        for (const FoundCamera &other : std::as_const(m_cameras)) {
            if (other.address != camera.address || other.port != camera.port)
                continue;
            if (!other.endpoint.isEmpty())
                endpoints.insert(other.endpoint);
            if (!other.identity.mac.isEmpty())
                macs.insert(other.identity.mac.toUpper());
        }
        if (!camera.address.isEmpty() && (endpoints.size() > 1 || macs.size() > 1))
            camera.flags |= FlagAddressConflict;

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
            camera.suggestedCommand = addAddressCommand(*first, address);
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
