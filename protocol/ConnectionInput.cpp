#include "protocol/ConnectionInput.h"

#include "protocol/CameraError.h"

#include <QHostAddress>

#include <algorithm>

namespace qzr {

namespace {

bool isHostNameChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-'
           || c == u'.';
}

bool isDigitOrDot(QChar c)
{
    return (c >= u'0' && c <= u'9') || c == u'.';
}

} // namespace

std::optional<QString> cameraHost(const QString &text)
{
    const QString host = text.trimmed();
    if (host.isEmpty())
        return std::nullopt;
    if (host.contains(u':')) {
        const QHostAddress address(host);
        return address.protocol() == QAbstractSocket::IPv6Protocol ? std::optional<QString>(host) : std::nullopt;
    }
    if (!std::all_of(host.begin(), host.end(), isHostNameChar))
        return std::nullopt;
    if (host.startsWith(u'.') || host.startsWith(u'-') || host.contains(QStringLiteral("..")))
        return std::nullopt;
    if (std::all_of(host.begin(), host.end(), isDigitOrDot)) {
        // Digits and dots alone must be a whole dotted IPv4 address.
        const QStringList parts = host.split(u'.');
        if (parts.size() != 4)
            return std::nullopt;
        for (const QString &part : parts) {
            bool ok = false;
            const int value = part.toInt(&ok, 10);
            if (!ok || part.size() > 3 || value > 255)
                return std::nullopt;
        }
    }
    return host;
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
