#include "protocol/ConnectionInput.h"

#include "protocol/CameraError.h"

#include <QStringList>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>

namespace qzr {

namespace {

constexpr int kMaxHostNameLength = 253;
constexpr int kMaxLabelLength = 63;
constexpr int kMaxZoneLength = 15; // an interface name (IFNAMSIZ - 1)

bool isLabelChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isZoneChar(QChar c)
{
    return isLabelChar(c) || c == u'_' || c == u'.';
}

bool isIpv6(const QString &host)
{
    const qsizetype percent = host.indexOf(u'%');
    const QString address = percent < 0 ? host : host.left(percent);
    if (percent >= 0) {
        const QString zone = host.mid(percent + 1);
        if (zone.isEmpty() || zone.size() > kMaxZoneLength || !std::all_of(zone.begin(), zone.end(), isZoneChar))
            return false;
    }
    // Hex digits, colons and the dots of an IPv4 tail only: the text goes
    // to inet_pton as a C string, which would end at a NUL.
    const auto isAddressChar = [](QChar c) {
        return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F') || c == u':' || c == u'.';
    };
    if (!std::all_of(address.begin(), address.end(), isAddressChar))
        return false;
    in6_addr bytes{};
    return ::inet_pton(AF_INET6, address.toLatin1().constData(), &bytes) == 1;
}

bool isHostName(const QString &host)
{
    if (host.size() > kMaxHostNameLength)
        return false;
    const QStringList labels = host.split(u'.');
    for (const QString &label : labels) {
        if (label.isEmpty() || label.size() > kMaxLabelLength || label.startsWith(u'-') || label.endsWith(u'-')
            || !std::all_of(label.begin(), label.end(), isLabelChar))
            return false;
    }
    // A name of digits alone in its last label, or one the resolver's
    // inet_aton reads as a number (hex, octal, short forms), would name a
    // numeric address other than the strict form.
    if (std::all_of(labels.last().begin(), labels.last().end(), isDigit))
        return false;
    in_addr number{};
    return ::inet_aton(host.toLatin1().constData(), &number) == 0;
}

} // namespace

std::optional<quint32> ipv4OctetValue(const QString &text)
{
    // No leading zero: "010" would be read as octal.
    if (text.isEmpty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), isDigit)
        || (text.size() > 1 && text.front() == u'0'))
        return std::nullopt;
    const quint32 octet = text.toUInt();
    return octet <= 255 ? std::optional<quint32>(octet) : std::nullopt;
}

std::optional<quint32> ipv4Value(const QString &text)
{
    const QStringList parts = text.split(u'.');
    if (parts.size() != 4)
        return std::nullopt;
    quint32 value = 0;
    for (const QString &part : parts) {
        const std::optional<quint32> octet = ipv4OctetValue(part);
        if (!octet)
            return std::nullopt;
        value = (value << 8) | *octet;
    }
    return value;
}

std::optional<QString> cameraHost(const QString &text)
{
    const QString host = text.trimmed();
    if (host.isEmpty())
        return std::nullopt;
    if (host.contains(u':'))
        return isIpv6(host) ? std::optional<QString>(host) : std::nullopt;
    if (std::all_of(host.begin(), host.end(), [](QChar c) { return isDigit(c) || c == u'.'; }))
        return ipv4Value(host) ? std::optional<QString>(host) : std::nullopt;
    return isHostName(host) ? std::optional<QString>(host) : std::nullopt;
}

QString notAHostText(const QString &field, const QString &text)
{
    return QStringLiteral("%1: '%2' is not an IP address or host name").arg(field, text);
}

QString notAPortText(const QString &text)
{
    // The error report adds no period after ")": the text brings its own.
    return QStringLiteral("'%1' is not a valid port number (%2 to %3).").arg(text).arg(kMinPort).arg(kMaxPort);
}

int portOrThrow(const QString &text)
{
    const int port = toIntegerOrThrow(text);
    if (port < kMinPort || port > kMaxPort)
        throw CameraError(notAPortText(text));
    return port;
}

} // namespace qzr
