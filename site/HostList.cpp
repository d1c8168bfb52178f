#include "site/HostList.h"

#include "protocol/CameraFailure.h"
#include "protocol/ConnectionInput.h"
#include "protocol/ShownText.h"

#include <QFile>
#include <QHash>

namespace qzr::site {

QString SiteCamera::address() const
{
    return cameraAddressText(host, port);
}

namespace {

// Splits "HOST", "HOST:PORT", "[V6]" or "[V6]:PORT"; an IPv6 address
// without brackets has no port.
void splitEntry(const QString &entry, QString &host, QString &port)
{
    if (entry.startsWith(QLatin1Char('['))) {
        const qsizetype close = entry.indexOf(QLatin1Char(']'));
        host = close < 0 ? entry : entry.mid(1, close - 1);
        const QString rest = close < 0 ? QString() : entry.mid(close + 1);
        port = rest.startsWith(QLatin1Char(':')) ? rest.mid(1) : rest;
        if (close < 0 || (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':'))))
            host = entry; // malformed: the rule refuses it below
        return;
    }
    if (entry.count(QLatin1Char(':')) == 1) {
        host = entry.section(QLatin1Char(':'), 0, 0);
        port = entry.section(QLatin1Char(':'), 1);
        return;
    }
    host = entry;
    port.clear();
}

} // namespace

HostList parseHostList(const QString &text, int defaultPort)
{
    HostList list;
    QHash<QString, int> seenOnLine;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines.at(n);
        const qsizetype comment = line.indexOf(QLatin1Char('#'));
        if (comment >= 0)
            line.truncate(comment);
        const auto fail = [&](const QString &why) {
            list.cameras.clear();
            list.error = QStringLiteral("line %1: %2").arg(n + 1).arg(why);
            return list;
        };
        for (const QString &part : line.split(QLatin1Char(','))) {
            const QString entry = part.trimmed();
            if (entry.isEmpty())
                continue;
            QString hostText;
            QString portText;
            splitEntry(entry, hostText, portText);
            const std::optional<QString> host = cameraHost(hostText);
            if (!host)
                return fail(QStringLiteral("'%1' is not an IP address or host name").arg(shownText(entry)));
            int port = defaultPort;
            if (!portText.isEmpty()) {
                bool ok = false;
                port = portText.toInt(&ok);
                if (!ok || port < kMinPort || port > kMaxPort || portText.size() > 5)
                    return fail(notAPortText(shownText(portText)).chopped(1));
            }
            const SiteCamera camera{*host, port};
            const QString key = camera.address().toLower();
            if (const auto seen = seenOnLine.constFind(key); seen != seenOnLine.cend())
                return fail(QStringLiteral("%1 is listed twice (first on line %2)").arg(camera.address()).arg(*seen));
            if (list.cameras.size() >= kMaxHostListCameras)
                return fail(QStringLiteral("more than %1 cameras").arg(kMaxHostListCameras));
            seenOnLine.insert(key, n + 1);
            list.cameras << camera;
        }
    }
    if (list.cameras.isEmpty())
        list.error = QStringLiteral("the list names no camera");
    return list;
}

HostList readHostListFile(const QString &path, int defaultPort)
{
    HostList list;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        list.error = QStringLiteral("Cannot open file %1: %2").arg(path, file.errorString());
        return list;
    }
    if (file.size() > kMaxHostListBytes) {
        list.error = QStringLiteral("%1 is larger than a host list may be (%2 bytes at most)")
                         .arg(path)
                         .arg(kMaxHostListBytes);
        return list;
    }
    const QByteArray bytes = file.read(kMaxHostListBytes + 1);
    if (bytes.size() > kMaxHostListBytes) {
        list.error = QStringLiteral("%1 is larger than a host list may be (%2 bytes at most)")
                         .arg(path)
                         .arg(kMaxHostListBytes);
        return list;
    }
    return parseHostList(QString::fromUtf8(bytes), defaultPort);
}

} // namespace qzr::site
