#include "diagnostics/Diagnostics.h"

#include <cerrno>
#include <cstring>

namespace qzr::diagnostics {

QString pingLine(int bytes, const QString &from, int sequence, int ttl, int roundTripMs)
{
    // Under a millisecond reads "time<1 ms".
    const bool underOneMs = roundTripMs < 1;
    return QString::asprintf("%d bytes from %s: icmp_seq=%d ttl=%d time%s%d ms", bytes,
                             from.toLatin1().constData(), sequence, ttl, underOneMs ? "<" : "=",
                             underOneMs ? 1 : roundTripMs);
}

QString pingLine(const icmp::EchoAnswer &answer)
{
    return pingLine(answer.bytesReceived, answer.fromAddress, answer.sequence, answer.ttl, answer.roundTripMs);
}

QString datagramText(const QByteArray &datagram)
{
    const qsizetype end = datagram.indexOf('\0');
    return QString::fromLatin1(end < 0 ? datagram : datagram.left(end));
}

QString serviceUrl(const QString &lastCameraIp, const QString &lastCameraPort)
{
    return QStringLiteral("HTTP://") + lastCameraIp + QLatin1Char(':') + lastCameraPort
        + QStringLiteral("/cgi-bin/display.cgi?service.html");
}

QString testResult(const QString &logText)
{
    return logText.mid(20, 2);
}

QString bindFailureReason(int osErrno)
{
    if (osErrno == EADDRINUSE)
        return QStringLiteral("Could not bind socket. Address and port are already in use.");
    QString reason = QString::fromLocal8Bit(std::strerror(osErrno));
    if (!reason.endsWith(QLatin1Char('.')))
        reason += QLatin1Char('.');
    return QStringLiteral("Could not bind socket. ") + reason;
}

QString udpLogOffMessage(const QString &reason, quint16 port)
{
    return reason
        + QStringLiteral("\r\nDatagrams to UDP port %1 are not shown in the reply log; everything else "
                         "works. Start the tool with --udp-port N to listen on another port.")
              .arg(port);
}

} // namespace qzr::diagnostics
