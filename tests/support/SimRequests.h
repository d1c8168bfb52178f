#pragma once
// Talking to the simulated camera from a test: one raw parameter request,
// and the targets the camera received, in order.
#include "sim/RequestLog.h"
#include "sim/SimThread.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>
#include <QStringList>
#include <QTcpSocket>

namespace qzr::testsupport {

// One GET to 127.0.0.1:port with Basic credentials ("user:password") on a
// connection of its own; returns the reply body ("" when nothing came).
inline QByteArray httpGet(quint16 port, const QByteArray &target, const QByteArray &credentials = "admin:kqm")
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                 "Authorization: Basic " + credentials.toBase64() + "\r\n\r\n");
    QByteArray reply;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && socket.state() == QAbstractSocket::ConnectedState) {
        if (socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            reply += socket.readAll();
    }
    reply += socket.readAll();
    return reply.mid(reply.indexOf("\r\n\r\n") + 4);
}

// The request targets, in the order they came.
inline QStringList targetsOf(const QList<sim::ReceivedRequest> &requests)
{
    QStringList targets;
    for (const sim::ReceivedRequest &request : requests)
        targets << request.target;
    return targets;
}

inline QStringList targetsOf(const sim::SimThread &camera)
{
    return targetsOf(camera.requests());
}

} // namespace qzr::testsupport
