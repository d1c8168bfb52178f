#pragma once
// Every connection this test process opens, as the system sees it: the
// process's connect() is this one, which notes where each socket goes and
// then connects it. libcurl, FFmpeg and Qt all reach the network through
// it, so a test can check that nothing went anywhere but to the camera.
// Include it in exactly one file of a test executable, and link that
// executable with ENABLE_EXPORTS so that the libraries find it.
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace qzr::testsupport {

class ConnectWatch
{
public:
    // "tcp 127.0.0.1:554", "udp [::1]:5000", in the order they were made.
    static QStringList destinations()
    {
        QMutexLocker lock(&mutex());
        return seen();
    }
    static void clear()
    {
        QMutexLocker lock(&mutex());
        seen().clear();
    }
    // Those whose address is not `address` or, for TCP, whose port is not
    // one of `tcpPorts` (any port when empty).
    static QStringList elsewhere(const QString &address, const QList<quint16> &tcpPorts)
    {
        QStringList stray;
        for (const QString &destination : destinations()) {
            const QString where = destination.section(QLatin1Char(' '), 1);
            const QString host = where.section(QLatin1Char(':'), 0, -2);
            const quint16 port = quint16(where.section(QLatin1Char(':'), -1).toUInt());
            const bool tcp = destination.startsWith(QLatin1String("tcp"));
            if (host != address || (tcp && !tcpPorts.isEmpty() && !tcpPorts.contains(port)))
                stray << destination;
        }
        return stray;
    }

    static void note(int fd, const sockaddr *address)
    {
        char text[INET6_ADDRSTRLEN] = {};
        quint16 port = 0;
        QString host;
        if (address->sa_family == AF_INET) {
            const auto *v4 = reinterpret_cast<const sockaddr_in *>(address);
            ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
            host = QString::fromLatin1(text);
            port = ntohs(v4->sin_port);
        } else if (address->sa_family == AF_INET6) {
            const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(address);
            ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
            host = QStringLiteral("[%1]").arg(QString::fromLatin1(text));
            port = ntohs(v6->sin6_port);
        } else {
            return; // local sockets (the display, D-Bus) are no network
        }
        int type = 0;
        socklen_t length = sizeof type;
        ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length);
        QMutexLocker lock(&mutex());
        seen() << QStringLiteral("%1 %2:%3").arg(type == SOCK_DGRAM ? "udp" : "tcp", host).arg(port);
    }

private:
    static QMutex &mutex()
    {
        static QMutex lock;
        return lock;
    }
    static QStringList &seen()
    {
        static QStringList list;
        return list;
    }
};

} // namespace qzr::testsupport

extern "C" int connect(int fd, const struct sockaddr *address, socklen_t length)
{
    using Connect = int (*)(int, const struct sockaddr *, socklen_t);
    static const auto real = reinterpret_cast<Connect>(::dlsym(RTLD_NEXT, "connect"));
    if (address)
        qzr::testsupport::ConnectWatch::note(fd, address);
    return real(fd, address, length);
}
