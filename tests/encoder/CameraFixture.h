#pragma once
// A simulated camera on loopback and a session connected to it.
#include "protocol/CameraSession.h"
#include "protocol/ReplyLog.h"
#include "protocol/RequestTarget.h"
#include "sim/SimThread.h"

#include <QStringList>

#include <memory>

namespace qzr::encodertest {

struct SimulatedCamera
{
    explicit SimulatedCamera(const sim::CameraOptions &options = {}) : sim(options) {}

    sim::SimThread sim;
    ReplyLog log;
    CameraSession session{log};

    // Starts the camera and points the session at it; false when no port.
    bool start()
    {
        const quint16 port = sim.start(0);
        if (port == 0)
            return false;
        session.applyConnection({QStringLiteral("127.0.0.1"), QString::number(port), QStringLiteral("admin"),
                                 QStringLiteral("kqm")});
        return true;
    }

    // The request targets exactly as they went over the wire, in order.
    QStringList sentTargets() const
    {
        const QByteArray prefix = "GET ";
        const QByteArray suffix = " HTTP/1.1";
        QStringList targets;
        for (const sim::ReceivedRequest &request : sim.requests()) {
            QByteArray line = request.raw.left(request.raw.indexOf("\r\n"));
            if (line.startsWith(prefix) && line.endsWith(suffix))
                line = line.mid(prefix.size(), line.size() - prefix.size() - suffix.size());
            targets << QString::fromLatin1(line);
        }
        return targets;
    }
};

// Built requests as their query texts, and as their request targets.
inline QStringList texts(const QList<ParamQuery> &requests)
{
    QStringList result;
    for (const ParamQuery &request : requests)
        result << request.text();
    return result;
}

inline QStringList targets(const QList<ParamQuery> &requests)
{
    QStringList result;
    for (const ParamQuery &request : requests)
        result << QString::fromLatin1(request.target());
    return result;
}

} // namespace qzr::encodertest
