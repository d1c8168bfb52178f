#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTimer>

#include "CameraSimulator.h"
#include "FaultMode.h"
#include "HttpWire.h"
#include "RequestLog.h"

#include <array>
#include <memory>

class QTcpSocket;
class QThread;

namespace qzr::sim {

class Listener;
class MulticastSender;
class RtspServer;
struct EncoderStream;

inline constexpr quint16 kDefaultPort = 8080;
// How long network.interface.status=restart keeps the camera unreachable.
inline constexpr int kDefaultRestartMs = 5000;

struct ServerOptions {
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = kDefaultPort; // 0 picks a free port
    FaultSetting fault;          // FaultMode::Refuse binds the port, then stops listening
    QString logPath;             // empty: no request log
    int restart_ms = kDefaultRestartMs; // unreachable time of a network restart
    // The thread that holds the listening socket and accepts connections,
    // which are then served on the server's own thread; nullptr: the
    // server's own thread. A fleet puts all its listening sockets on one
    // thread, so that the threads that answer poll only their connections.
    // It must run an event loop until the server is gone.
    QThread *acceptThread = nullptr;
    // requests() holds every request since the last clearRequests(). The
    // simulator as a program never reads it and turns it off, so that a
    // long run does not grow without end.
    bool keepRequests = true;
};

// The HTTP side of one simulated camera. Lives in one thread; every method
// must be called from that thread (SimThread wraps it for other threads).
class SimServer : public QObject
{
    Q_OBJECT
public:
    explicit SimServer(const CameraOptions &camera = {}, QObject *parent = nullptr);
    ~SimServer() override;

    bool start(const ServerOptions &options);
    quint16 port() const { return m_port; }
    bool isListening() const { return m_listening; }
    void stopListening();   // closes the listening socket and every connection
    bool resumeListening(); // listens again on the same address and port
    // True while a network restart keeps the camera unreachable.
    bool isRestarting() const { return m_restartTimer.isActive(); }

    void setFault(const FaultSetting &fault);
    FaultSetting fault() const { return m_fault; }

    CameraSimulator &camera() { return m_camera; }
    QList<ReceivedRequest> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    int connectionCount() const { return m_connectionCount; }
    qint64 bytesReceived() const { return m_bytesReceived; }

    // RTSP video (/channel1../channel3) on the HTTP side's address; port 0
    // picks a free one. Returns the bound port, 0 on failure; one start per
    // server. The mounts follow the encoder values and the password: every
    // change made through this server (parameter writes, admin set) reaches
    // the RTSP side before the reply is sent; after changing camera() directly,
    // call syncRtsp() (which also brings the multicast senders up to date).
    // The camera reports the bound port as network.rtsp.port. fleetIndex
    // gives camera k of a fleet a picture of its own (PictureLook); every
    // picture carries the camera's address and HTTP port. After stopRtsp()
    // it may start again (on the same port, say).
    quint16 startRtsp(quint16 port, int fleetIndex = 0);
    void stopRtsp();
    quint16 rtspPort() const;
    void syncRtsp();
    int rtspClientCount() const;

    // Multicast RTP (MulticastSender.h): channel c is sent to
    // network.destination(c).address/.port while its status is "start" and
    // encoder c is on, on the loopback interface only. Independent of RTSP;
    // brought up to date by syncRtsp() after every parameter request.
    void syncMulticast();
    void stopMulticast();
    QList<int> multicastSending() const;            // channels whose pipeline runs
    qint64 multicastPacketsSent(int channel) const; // RTP packets sent, cumulative

signals:
    // Each request as it was recorded (also when requests() does not keep it).
    void requestRecorded(const qzr::sim::ReceivedRequest &request);
    // The camera now serves on another port (network.http.port took effect
    // with a restart).
    void portChanged(quint16 port);

private:
    struct Connection {
        int number = 0;
        QByteArray buffer;
        int requestCount = 0;
        bool hung = false;
        bool closing = false;
    };

    struct AppliedFault {
        FaultMode mode = FaultMode::None;
        bool fromNth = false;
    };

    struct Inbox;
    // Serves a connection the listener accepted (on the accepting thread).
    void adoptConnection(qintptr descriptor);
    // Listens on address and port; returns the bound port, 0 on failure
    // with its reason in *error.
    quint16 listen(const QHostAddress &address, quint16 port, QString *error);
    void onReadyRead(QTcpSocket *socket);
    void onDisconnected(QTcpSocket *socket);

    void handleRequest(QTcpSocket *socket, Connection &connection, const HttpRequest &request);
    void handleAdminRequest(QTcpSocket *socket, Connection &connection, const HttpRequest &request,
                            ReceivedRequest &record);
    void handleCameraRequest(QTcpSocket *socket, Connection &connection, const HttpRequest &request,
                             ReceivedRequest &record);
    AppliedFault takeFault(const HttpRequest &request);
    // /__camsim/refuse: the writes this camera refuses from now on; none
    // given, it refuses nothing its rules allow.
    void refuseWrites(const QList<ParamItem> &items);
    // Carries out a restart that a request commanded, after its reply was
    // written: every connection closes once its reply is out.
    void restartNetwork(NetworkRestart restart);
    // Listens on network.http.port, or again on the old port when that
    // cannot be bound (the stored value then tells the port served).
    void listenOnStoredPort();

    HttpResponse cameraResponse(const HttpRequest &request);
    HttpResponse faultResponse(FaultMode mode, QTcpSocket *socket, const HttpRequest &request) const;
    HttpResponse unauthorizedResponse() const;
    HttpResponse serviceResponse() const;
    bool isAuthorized(const HttpRequest &request) const;

    void send(QTcpSocket *socket, Connection &connection, const QByteArray &bytes, bool close);
    void hangUp(QTcpSocket *socket, Connection &connection);
    void record(ReceivedRequest &record);

    CameraSimulator m_camera;
    Listener *m_listener = nullptr; // created by start(), on options.acceptThread
    std::shared_ptr<Inbox> m_inbox;  // shared with the listener's hand-off
    bool m_listening = false;
    QHostAddress m_address;
    quint16 m_port = 0;
    FaultSetting m_fault;
    int m_restart_ms = kDefaultRestartMs;
    QTimer m_restartTimer;
    RequestLog m_log;
    QHash<QTcpSocket *, Connection> m_connections;
    QList<ReceivedRequest> m_requests;
    bool m_keepRequests = true;
    int m_connectionCount = 0;
    qint64 m_bytesReceived = 0;
    std::unique_ptr<RtspServer> m_rtsp;
    std::unique_ptr<MulticastSender> m_multicast;
};

} // namespace qzr::sim
