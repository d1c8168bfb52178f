#include "protocol/CameraFailure.h"

namespace qzr {

namespace {

// The failure text on one line: "Socket Error # 111 Connection refused."
QString oneLine(const QString &text)
{
    return QString(text).replace(QLatin1String("\r\n"), QLatin1String(" ")).simplified();
}

} // namespace

QString cameraAddressText(const QString &host, int port)
{
    const bool ipv6 = host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('['));
    return (ipv6 ? QLatin1Char('[') + host + QLatin1Char(']') : host) + QLatin1Char(':') + QString::number(port);
}

QString secondsText(int milliseconds)
{
    if (milliseconds % 1000 == 0)
        return QStringLiteral("%1 s").arg(milliseconds / 1000);
    return QStringLiteral("%1 s").arg(milliseconds / 1000.0, 0, 'f', milliseconds % 100 == 0 ? 1 : 2);
}

QString failureDescription(const HttpReply &reply, int replyTimeoutMs, const ConnectionNames &names)
{
    const QString reason = oneLine(reply.errorText);
    switch (reply.failure) {
    case RequestFailure::Status:
        switch (reply.statusCode) {
        case 401:
            return QStringLiteral("refused the login (%1): check %2").arg(reason, names.credentials);
        case 403:
            return QStringLiteral("refused the request (%1): check that the user may change settings").arg(reason);
        case 404:
            return QStringLiteral("does not know the request (%1): check that %2 and %3 lead to a QZ-R camera")
                .arg(reason, names.address, names.port);
        default:
            if (reply.statusCode >= 500)
                return QStringLiteral("failed the request (%1): try again, or restart the camera").arg(reason);
            return QStringLiteral("answered %1").arg(reason);
        }
    case RequestFailure::Refused:
        return QStringLiteral("refused the connection (%1): check %2 and %3").arg(reason, names.address, names.port);
    case RequestFailure::ConnectTimeout:
        return QStringLiteral("could not be reached (%1): check %2 and the network").arg(reason, names.address);
    case RequestFailure::Unreachable:
        return QStringLiteral("cannot be reached (%1): check %2 and the PC's network settings").arg(reason, names.address);
    case RequestFailure::ReplyTimeout:
        return QStringLiteral("did not answer within %1").arg(secondsText(replyTimeoutMs));
    case RequestFailure::Closed:
        return QStringLiteral("closed the connection without an answer (%1): try again, or restart the camera")
            .arg(reason);
    case RequestFailure::NameNotFound:
        return QStringLiteral("cannot be found (%1): check %2").arg(reason, names.address);
    case RequestFailure::Cancelled:
        return reason;
    case RequestFailure::Malformed: {
        // "The camera's reply is malformed: REASON." -> "sent a malformed reply: REASON."
        const QLatin1String malformed("The camera's reply is malformed: ");
        if (reason.startsWith(malformed))
            return QStringLiteral("sent a malformed reply: %1").arg(reason.mid(malformed.size()));
        const QLatin1String reply("The camera's reply ");
        if (reason.startsWith(reply))
            return QStringLiteral("sent a reply that %1").arg(reason.mid(reply.size()));
        break;
    }
    case RequestFailure::Other:
    case RequestFailure::None:
        break;
    }
    return QStringLiteral("failed: %1").arg(reason);
}

} // namespace qzr
