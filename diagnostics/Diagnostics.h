#pragma once
#include "diagnostics/IcmpEcho.h"

#include <QByteArray>
#include <QString>

// The main window's link checks as plain rules: the ping result line and its
// list, the connection check's timer, the UDP log's text and the service
// page's address.
namespace qzr::diagnostics {

// "Check connection" pings once, this long after the box is checked.
constexpr int kCheckConnectionTickMs = 10;
// The ping list is emptied when it would hold more lines than this.
constexpr int kPingListMaxLines = 4;
// Where the UDP log listens unless told otherwise.
constexpr quint16 kDefaultUdpLogPort = 80;
// The longest datagram the UDP log takes in; longer ones are cut.
constexpr int kMaxDatagramBytes = 8192;

inline QString noConnectionLogText() { return QStringLiteral("NO Ethernet Connection !"); }
inline QString noConnectionMessage()
{
    return QStringLiteral("No connection to this IP possible, check camera and PC settings !");
}

// One line of the ping list: "40 bytes from 192.168.0.57: icmp_seq=1 ttl=64
// time=3 ms", or "time<1 ms" when the round trip took less than a
// millisecond.
QString pingLine(int bytes, const QString &from, int sequence, int ttl, int roundTripMs);
QString pingLine(const icmp::EchoAnswer &answer);

// True when a list holding lineCount lines is to be emptied.
inline bool pingListOverflows(int lineCount) { return lineCount > kPingListMaxLines; }

// A datagram as the log shows it: 8-bit text up to its first zero byte.
QString datagramText(const QByteArray &datagram);

// The camera's service page at the last-used address ("HTTP://:/..." when
// no camera operation has run yet).
QString serviceUrl(const QString &lastCameraIp, const QString &lastCameraPort);

// The reply key "Test" reads, and what it keeps: the two characters at
// positions 21 and 22 of the log's text (the start of encoder 3's frame size).
inline QString testKey() { return QStringLiteral("encode(3).framesize"); }
QString testResult(const QString &logText);

// Why the UDP log could not start: the well-known text for a port in use,
// otherwise the system's own reason.
QString bindFailureReason(int osErrno);

// The one message shown when the UDP log is off: the reason, what it means
// and how to choose another port.
QString udpLogOffMessage(const QString &reason, quint16 port);

} // namespace qzr::diagnostics
