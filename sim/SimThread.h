#pragma once

#include <QList>
#include <QString>
#include <QThread>

#include <optional>

#include "CameraSimulator.h"
#include "FaultMode.h"
#include "RequestLog.h"
#include "SimServer.h"

namespace qzr::sim {

// Runs a SimServer in a thread of its own with its own event loop, so that a
// test can talk to it with a client that blocks the calling thread. Every
// accessor is safe to call from any other thread; it runs on the server's
// thread and waits for the result. Do not call them from the server's thread.
class SimThread
{
public:
    explicit SimThread(const CameraOptions &camera = {}, const ServerOptions &server = {});
    ~SimThread();
    SimThread(const SimThread &) = delete;
    SimThread &operator=(const SimThread &) = delete;

    // Starts the thread and listens; returns the bound port, 0 on failure.
    // The address, fault and log come from the ServerOptions given above.
    quint16 start(quint16 port = 0);
    void stop(); // stops the RTSP and multicast side too
    quint16 port() const { return m_port; } // the port bound by start()
    // The port served now: network.http.status=restart moves it to
    // network.http.port; 0 when the thread does not run.
    quint16 currentPort() const;

    // RTSP video on the same address, after start(): /channel1../channel3,
    // following the encoder values and password (setValue() included).
    // Returns the bound port (port 0 picks a free one), 0 on failure.
    // fleetIndex: the picture of camera k of a fleet (SimServer::startRtsp).
    // stopRtsp() ends the video (clients lose their streams) until the
    // next startRtsp().
    quint16 startRtsp(quint16 port = 0, int fleetIndex = 0);
    void stopRtsp();
    quint16 rtspPort() const { return m_rtspPort; }
    int rtspClientCount() const;

    // Multicast RTP: network.destination(c).status=start (over HTTP or
    // setValue()) sends channel c to its group and port on the loopback
    // interface while encoder c is on; stop ends it. For tests: the channels
    // whose sender runs, and the RTP packets sent per channel (cumulative,
    // never reset, so a stopped channel's count stays still).
    QList<int> multicastSending() const;
    qint64 multicastPacketsSent(int channel) const;

    QList<ReceivedRequest> requests() const;
    void clearRequests();
    int connectionCount() const;
    qint64 bytesReceived() const;

    void setFault(FaultMode mode, int nth = 0);
    FaultSetting fault() const;

    std::optional<QString> value(const QString &key) const;
    std::optional<QString> savedValue(const QString &key) const;
    void setValue(const QString &key, const QString &value);
    void setFocusResult(FocusResult result);
    // Status reads that answer "run" after the next auto focus starts (day
    // auto focus or back focus); more than the tool's 120 polls makes a run
    // that never ends for it.
    void setFocusPolls(int polls);
    // This camera answers KEY=NG& to a write of exactly value to key.
    void refuseWrite(const QString &key, const QString &value);
    // ... and takes a write of exactly value to key that its rules do not list.
    void acceptWrite(const QString &key, const QString &value);
    // ... and answers a write of exactly value to key as taken, keeping the old value.
    void ignoreWrite(const QString &key, const QString &value);

    void stopListening();
    bool resumeListening();
    bool isListening() const;

private:
    template <typename Function>
    auto onServerThread(Function function) const;

    ServerOptions m_serverOptions;
    QThread m_thread;
    SimServer *m_server = nullptr;
    quint16 m_port = 0;
    quint16 m_rtspPort = 0;
};

} // namespace qzr::sim
