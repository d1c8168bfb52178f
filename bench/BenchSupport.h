#pragma once
// What the benchmarks share: CPU time from rusage, waiting on the event
// loop without polling, and a request to a simulated camera.
#include <QByteArray>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <optional>
#include <sys/resource.h>

namespace qzr::bench {

inline double cpuSeconds(const rusage &usage)
{
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// User and system time of this process so far.
inline double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return cpuSeconds(usage);
}

// Runs the event loop for this long.
inline void runEventsFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// One GET with the simulator's Basic credentials on loopback: the reply's
// body, or nothing when the camera did not answer 200 or refused a key.
inline std::optional<QByteArray> simulatorGet(quint16 port, const QByteArray &target)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(3000))
        return std::nullopt;
    socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Basic "
                 + QByteArray("admin:kqm").toBase64() + "\r\nConnection: close\r\n\r\n");
    QByteArray reply;
    for (int i = 0; i < 50 && socket.state() != QAbstractSocket::UnconnectedState; ++i) {
        socket.waitForReadyRead(100);
        reply += socket.readAll();
    }
    reply += socket.readAll();
    if (!reply.startsWith("HTTP/1.1 200") || reply.contains("=NG&"))
        return std::nullopt;
    return reply.mid(reply.indexOf("\r\n\r\n") + 4);
}

} // namespace qzr::bench
