#include "discovery/LocalInterfaces.h"

#include <QNetworkInterface>

namespace qzr::discovery {

QList<LocalInterface> localInterfaces()
{
    QList<LocalInterface> table;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &system : all) {
        const auto flags = system.flags();
        for (const QNetworkAddressEntry &entry : system.addressEntries()) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            LocalInterface item;
            item.name = system.name();
            item.index = system.index();
            item.address = entry.ip();
            item.prefixLength = entry.prefixLength();
            item.up = flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning);
            item.multicast = flags.testFlag(QNetworkInterface::CanMulticast);
            item.loopback = flags.testFlag(QNetworkInterface::IsLoopBack);
            table.append(item);
        }
    }
    return table;
}

QList<LocalInterface> selectInterfaces(const QList<LocalInterface> &table, const QStringList &requested,
                                       QString *error)
{
    QList<LocalInterface> chosen;
    const auto add = [&chosen](const LocalInterface &item) {
        for (const LocalInterface &already : chosen) {
            if (already.name == item.name && already.address == item.address)
                return;
        }
        chosen.append(item);
    };
    if (requested.isEmpty()) {
        QStringList reasons;
        for (const LocalInterface &item : table) {
            if (item.up && item.multicast)
                add(item);
            else if (!item.up)
                reasons << QStringLiteral("%1 is down").arg(item.name);
            else
                reasons << QStringLiteral("%1 has no multicast flag").arg(item.name);
        }
        if (chosen.isEmpty() && error) {
            reasons.removeDuplicates();
            *error = QStringLiteral("no interface can send the probe: %1")
                         .arg(reasons.isEmpty() ? QStringLiteral("this computer has no IPv4 interface")
                                                : reasons.join(QStringLiteral(", ")));
        }
        return chosen;
    }
    for (const QString &request : requested) {
        const QHostAddress asAddress(request);
        bool known = false;
        for (const LocalInterface &item : table) {
            if (item.name == request || (!asAddress.isNull() && item.address.isEqual(asAddress))) {
                add(item);
                known = true;
            }
        }
        if (!known) {
            if (error)
                *error = QStringLiteral("no IPv4 interface or address '%1' on this computer").arg(request);
            return {};
        }
        for (const LocalInterface &item : table) {
            if ((item.name == request || (!asAddress.isNull() && item.address.isEqual(asAddress))) && !item.up) {
                if (error)
                    *error = QStringLiteral("no interface can send the probe: %1 is down").arg(item.name);
                return {};
            }
        }
    }
    return chosen;
}

bool inSubnet(const QHostAddress &address, const LocalInterface &interface)
{
    return address.protocol() == QAbstractSocket::IPv4Protocol
        && address.isInSubnet(interface.address, interface.prefixLength);
}

QString addAddressCommand(const LocalInterface &interface, const QHostAddress &cameraAddress,
                          const QSet<quint32> &taken)
{
    const quint32 camera = cameraAddress.toIPv4Address();
    const quint32 network = camera & 0xFFFFFF00u;
    // A host address near the top of the camera's /24 that nothing found uses.
    quint32 host = 0;
    for (quint32 last = 250; last >= 1 && !host; --last) {
        const quint32 candidate = network | last;
        if (candidate != camera && !taken.contains(candidate))
            host = candidate;
    }
    for (quint32 last = 254; last > 250 && !host; --last) {
        if ((network | last) != camera && !taken.contains(network | last))
            host = network | last;
    }
    if (!host)
        return {};
    const QString pcAddress = QHostAddress(host).toString();
#ifdef Q_OS_WIN
    return QStringLiteral("netsh interface ipv4 add address \"%1\" %2 255.255.255.0").arg(interface.name, pcAddress);
#else
    return QStringLiteral("sudo ip addr add %1/24 dev %2").arg(pcAddress, interface.name);
#endif
}

} // namespace qzr::discovery
