#include "SimServer.h"

#include <QMutex>
#include <QMutexLocker>
#include <QTcpSocket>
#include <QThread>

#include <unistd.h>

#include "DeviceService.h"
#include "Listener.h"
#include "MulticastSender.h"
#include "OnThread.h"
#include "ParamQuery.h"
#include "RtspServer.h"
#include "SimLogging.h"

namespace qzr::sim {

namespace {

// Whether a query can change what the streams send: a write ("KEY=VALUE")
// of anything but the scene, focus and lens keys ("camera.").
bool changesStreams(const QByteArray &query)
{
    for (const QByteArray &part : query.split('&')) {
        if (part.contains('=') && !part.startsWith("camera."))
            return true;
    }
    return false;
}

const QByteArray kParamPath = "/api/param";
const QByteArray kServicePath = "/cgi-bin/display.cgi";
const QByteArray kDeviceServicePath = "/onvif/device_service";
const QByteArray kAdminPrefix = "/__camsim/";
const QByteArray kAdminFault = "/__camsim/fault";
const QByteArray kAdminState = "/__camsim/state";
const QByteArray kAdminSet = "/__camsim/set";
const QByteArray kAdminFocus = "/__camsim/focus";
const QByteArray kAdminRefuse = "/__camsim/refuse";
const QByteArray kAdminAccept = "/__camsim/accept";
const QByteArray kAdminIgnore = "/__camsim/ignore";
const QByteArray kRealm = "Basic realm=\"QZ-R\"";
const QByteArray kGarbageStatusLine = "HTTP/1.1 2OO OK";
const QByteArray kRedirectPath = "/redirected";
const QString kNoFault = QStringLiteral("none");
const QString kHttpPortKey = QStringLiteral("network.http.port");

QByteArray okBody()
{
    return "ok\r\n";
}

} // namespace

// Where the listener hands its connections: the server, while it exists.
struct SimServer::Inbox {
    QMutex mutex;
    SimServer *server = nullptr;
};

SimServer::SimServer(const CameraOptions &camera, QObject *parent)
    : QObject(parent), m_camera(camera), m_inbox(std::make_shared<Inbox>()), m_restartTimer(this),
      m_multicast(std::make_unique<MulticastSender>())
{
    m_inbox->server = this;
    m_restartTimer.setSingleShot(true);
    connect(&m_restartTimer, &QTimer::timeout, this, &SimServer::listenOnStoredPort);
}

SimServer::~SimServer()
{
    stopMulticast();
    stopRtsp();
    for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it)
        it.key()->abort();
    {
        const QMutexLocker lock(&m_inbox->mutex);
        m_inbox->server = nullptr;
    }
    if (m_listener && m_listener->thread() == QThread::currentThread())
        delete m_listener;
    else if (m_listener)
        m_listener->deleteLater(); // closed on the accepting thread
}

quint16 SimServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    Listener *listener = m_listener;
    const auto [bound, reason] = runOnThreadOf(listener, [listener, address, port] {
        if (listener->listen(address, port))
            return std::pair(listener->serverPort(), QString());
        return std::pair(quint16(0), listener->errorString());
    });
    m_listening = bound != 0;
    if (error)
        *error = reason;
    return bound;
}

bool SimServer::start(const ServerOptions &options)
{
    if (!options.logPath.isEmpty() && !m_log.open(options.logPath))
        return false;
    m_address = options.address;
    m_keepRequests = options.keepRequests;
    if (!m_listener) {
        m_listener = new Listener([inbox = m_inbox](qintptr descriptor) {
            const QMutexLocker lock(&inbox->mutex);
            SimServer *server = inbox->server;
            if (!server) {
                ::close(int(descriptor));
            } else if (server->thread() == QThread::currentThread()) {
                server->adoptConnection(descriptor);
            } else {
                QMetaObject::invokeMethod(
                    server, [server, descriptor] { server->adoptConnection(descriptor); }, Qt::QueuedConnection);
            }
        });
        if (options.acceptThread)
            m_listener->moveToThread(options.acceptThread);
    }
    QString error;
    m_port = listen(options.address, options.port, &error);
    if (m_port == 0) {
        qCWarning(lcSim) << "cannot listen on" << options.address << options.port << error;
        return false;
    }
    m_restart_ms = qMax(0, options.restart_ms);
    m_camera.setValue(kHttpPortKey, QString::number(m_port));
    qCInfo(lcSim) << "camera listening on" << m_address.toString() << m_port;
    if (options.fault.mode == FaultMode::Refuse) {
        stopListening();
    } else {
        setFault(options.fault);
    }
    return true;
}

void SimServer::stopListening()
{
    if (Listener *listener = m_listener)
        runOnThreadOf(listener, [listener] { listener->close(); });
    m_listening = false;
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        it->closing = true;
        it.key()->disconnectFromHost();
    }
    qCInfo(lcSim) << "camera stopped listening";
}

bool SimServer::resumeListening()
{
    if (m_listening)
        return true;
    if (!m_listener)
        return false; // never started
    QString error;
    if (listen(m_address, m_port, &error) == 0) {
        qCWarning(lcSim) << "cannot listen again on port" << m_port << error;
        return false;
    }
    qCInfo(lcSim) << "camera listening again on" << m_port;
    return true;
}

void SimServer::setFault(const FaultSetting &fault)
{
    m_fault = fault;
    if (m_fault.mode == FaultMode::Refuse || m_fault.mode == FaultMode::RefuseAfterReply)
        m_fault = {};
    qCInfo(lcSim) << "fault mode" << faultModeName(fault.mode) << "nth" << fault.nth;
}

void SimServer::adoptConnection(qintptr descriptor)
{
    // Accepted on another thread just before the camera stopped listening.
    if (!m_listening) {
        ::close(int(descriptor));
        return;
    }
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        qCWarning(lcSim) << "cannot serve an accepted connection:" << socket->errorString();
        ::close(int(descriptor));
        delete socket;
        return;
    }
    Connection connection;
    connection.number = ++m_connectionCount;
    m_connections.insert(socket, connection);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    // Queued, so that a Connection held by reference is never erased under it.
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onDisconnected(socket); },
            Qt::QueuedConnection);
    qCDebug(lcSim) << "connection" << connection.number << "accepted";
}

void SimServer::onDisconnected(QTcpSocket *socket)
{
    const auto it = m_connections.constFind(socket);
    if (it != m_connections.cend())
        qCDebug(lcSim) << "connection" << it->number << "closed";
    m_connections.remove(socket);
    socket->deleteLater();
}

void SimServer::onReadyRead(QTcpSocket *socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    Connection &connection = *found;
    const QByteArray bytes = socket->readAll();
    m_bytesReceived += bytes.size();
    if (connection.hung || connection.closing)
        return;
    connection.buffer += bytes;
    while (!connection.closing && !connection.hung) {
        const ParseResult parsed = parseHttpRequest(connection.buffer);
        if (parsed.status == ParseStatus::Incomplete)
            return;
        if (parsed.status == ParseStatus::Malformed) {
            qCWarning(lcSim) << "connection" << connection.number << "sent a malformed request";
            send(socket, connection,
                 serializeResponse(HttpResponse::error(400, "Bad Request"), {{}, true}), true);
            return;
        }
        connection.buffer.remove(0, parsed.consumed);
        handleRequest(socket, connection, parsed.request);
    }
}

void SimServer::handleRequest(QTcpSocket *socket, Connection &connection, const HttpRequest &request)
{
    ++connection.requestCount;
    ReceivedRequest entry;
    entry.raw = request.raw;
    entry.target = decodeComponent(request.target);
    entry.connection = connection.number;
    entry.time = QDateTime::currentDateTimeUtc();
    entry.fault = kNoFault;
    qCDebug(lcSim) << "connection" << connection.number << request.method << entry.target;
    if (request.path().startsWith(kAdminPrefix))
        handleAdminRequest(socket, connection, request, entry);
    else
        handleCameraRequest(socket, connection, request, entry);
    restartNetwork(m_camera.takePendingRestart());
}

void SimServer::handleAdminRequest(QTcpSocket *socket, Connection &connection,
                                   const HttpRequest &request, ReceivedRequest &entry)
{
    const QByteArray path = request.path();
    const QList<ParamItem> items = parseParamQuery(request.query());
    HttpResponse response = HttpResponse::text(okBody());
    bool stopAfterReply = false;
    if (path == kAdminFault) {
        FaultSetting fault;
        std::optional<FaultMode> mode;
        for (const ParamItem &item : items) {
            if (item.key == QLatin1String("mode"))
                mode = faultModeFromName(item.value);
            else if (item.key == QLatin1String("nth"))
                fault.nth = qMax(0, item.value.toInt());
        }
        if (!mode) {
            response = HttpResponse::error(400, "Bad Request");
        } else {
            fault.mode = *mode;
            stopAfterReply = fault.mode == FaultMode::Refuse || fault.mode == FaultMode::RefuseAfterReply;
            setFault(fault);
        }
    } else if (path == kAdminState) {
        response = HttpResponse::text(m_camera.dump().join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
    } else if (path == kAdminSet) {
        for (const ParamItem &item : items)
            m_camera.setValue(item.key, item.value);
        syncRtsp();
    } else if (path == kAdminRefuse) {
        refuseWrites(items);
    } else if (path == kAdminAccept) {
        if (items.isEmpty())
            m_camera.clearAcceptedWrites();
        for (const ParamItem &item : items)
            m_camera.acceptWrite(item.key, item.value);
    } else if (path == kAdminIgnore) {
        if (items.isEmpty())
            m_camera.clearIgnoredWrites();
        for (const ParamItem &item : items)
            m_camera.ignoreWrite(item.key, item.value);
    } else if (path == kAdminFocus) {
        for (const ParamItem &item : items) {
            if (item.key == QLatin1String("result")) {
                const bool error = item.value == QLatin1String("OBJECT_ERROR");
                m_camera.setFocusResult(error ? FocusResult::ObjectError : FocusResult::Stop);
            } else if (item.key == QLatin1String("polls")) {
                m_camera.setFocusPolls(qMax(0, item.value.toInt()));
            }
        }
    } else {
        response = HttpResponse::error(404, "Not Found");
    }
    WireOptions wire;
    wire.connectionClose = request.wantsClose();
    send(socket, connection, serializeResponse(response, wire), wire.connectionClose);
    entry.answered = true;
    record(entry);
    if (stopAfterReply)
        stopListening();
}

void SimServer::refuseWrites(const QList<ParamItem> &items)
{
    if (items.isEmpty())
        m_camera.clearRefusedWrites();
    for (const ParamItem &item : items)
        m_camera.refuseWrite(item.key, item.value);
}

SimServer::AppliedFault SimServer::takeFault(const HttpRequest &request)
{
    if (m_fault.nth <= 0)
        return {m_fault.mode, false};
    if (request.path() != kParamPath || --m_fault.nth > 0)
        return {};
    const FaultMode mode = m_fault.mode;
    m_fault = {};
    return {mode, true};
}

void SimServer::handleCameraRequest(QTcpSocket *socket, Connection &connection,
                                    const HttpRequest &request, ReceivedRequest &entry)
{
    const AppliedFault fault = takeFault(request);
    const bool closeIdle = fault.mode == FaultMode::CloseIdle
                           && (fault.fromNth || connection.requestCount > 1);
    entry.fault = (fault.mode == FaultMode::CloseIdle && !closeIdle) ? kNoFault
                                                                     : faultModeName(fault.mode);
    WireOptions wire;
    wire.connectionClose = request.wantsClose();
    bool close = wire.connectionClose;
    bool answered = true;
    HttpResponse response;

    switch (fault.mode) {
    case FaultMode::Hang:
        connection.hung = true;
        record(entry);
        return;
    case FaultMode::CloseIdle:
        if (closeIdle) {
            hangUp(socket, connection);
            record(entry);
            return;
        }
        response = cameraResponse(request);
        break;
    case FaultMode::Redirect:
    case FaultMode::Unauthorized:
    case FaultMode::NotFound:
    case FaultMode::ServerError:
        response = faultResponse(fault.mode, socket, request);
        break;
    default:
        response = cameraResponse(request);
        break;
    }

    switch (fault.mode) {
    case FaultMode::Http10:
        wire.statusLine = "HTTP/1.0 " + QByteArray::number(response.status) + ' ' + response.reason;
        close = true;
        break;
    case FaultMode::ConnectionClose:
        wire.connectionClose = close = true;
        break;
    case FaultMode::Chunked:
        wire.chunked = true;
        break;
    case FaultMode::GarbageStatus:
        wire.statusLine = kGarbageStatusLine;
        break;
    case FaultMode::EmptyBody:
        wire.emptyBody = true;
        break;
    default:
        break;
    }

    QByteArray bytes = serializeResponse(response, wire);
    if (fault.mode == FaultMode::CloseMidReply) {
        bytes = serializeHead(response, wire) + response.body.left(response.body.size() / 2);
        close = true;
        answered = false;
    }
    send(socket, connection, bytes, close);
    entry.answered = answered;
    record(entry);
}

HttpResponse SimServer::cameraResponse(const HttpRequest &request)
{
    // The ONVIF device service that WS-Discovery's XAddrs name (SOAP over POST).
    if (request.path() == kDeviceServicePath && request.method == "POST") {
        const qsizetype headEnd = request.raw.indexOf("\r\n\r\n");
        const QByteArray body = headEnd < 0 ? QByteArray() : request.raw.mid(headEnd + 4);
        const DeviceServiceReply soap = deviceServiceReply(body, m_camera, QDateTime::currentDateTimeUtc());
        HttpResponse response;
        response.status = soap.status;
        response.reason = soap.reason;
        response.addHeader("Content-Type", "application/soap+xml; charset=utf-8");
        response.body = soap.body;
        return response;
    }
    if (request.method != "GET") {
        HttpResponse response = HttpResponse::error(405, "Method Not Allowed");
        response.addHeader("Allow", "GET");
        return response;
    }
    if (!isAuthorized(request))
        return unauthorizedResponse();
    const QByteArray path = request.path();
    if (path == kParamPath) {
        HttpResponse response = HttpResponse::html(200, "OK", m_camera.handleParamQuery(request.query()));
        if (changesStreams(request.query()))
            syncRtsp();
        return response;
    }
    if (path == kServicePath)
        return serviceResponse();
    return HttpResponse::error(404, "Not Found");
}

HttpResponse SimServer::faultResponse(FaultMode mode, QTcpSocket *socket, const HttpRequest &request) const
{
    switch (mode) {
    case FaultMode::Redirect: {
        HttpResponse response = HttpResponse::error(302, "Found");
        response.addHeader("Location", "http://" + socket->localAddress().toString().toLatin1()
                                                 + ':' + QByteArray::number(socket->localPort())
                                                 + kRedirectPath + request.target);
        return response;
    }
    case FaultMode::Unauthorized:
        return unauthorizedResponse();
    case FaultMode::NotFound:
        return HttpResponse::error(404, "Not Found");
    default:
        return HttpResponse::error(500, "Internal Server Error");
    }
}

HttpResponse SimServer::unauthorizedResponse() const
{
    HttpResponse response = HttpResponse::error(401, "Unauthorized");
    response.addHeader("WWW-Authenticate", kRealm);
    return response;
}

HttpResponse SimServer::serviceResponse() const
{
    const QByteArray model = m_camera.value(QStringLiteral("system.model")).value_or(QString()).toUtf8();
    return HttpResponse::html(200, "OK",
                              "<html><head><title>" + model + " service</title></head><body><h1>"
                                  + model + " service page</h1></body></html>\r\n");
}

bool SimServer::isAuthorized(const HttpRequest &request) const
{
    const QByteArray authorization = request.header("Authorization");
    constexpr char kBasic[] = "Basic ";
    if (!authorization.startsWith(kBasic))
        return false;
    const QByteArray credentials = QByteArray::fromBase64(authorization.mid(int(qstrlen(kBasic))).trimmed());
    const int colon = credentials.indexOf(':');
    if (colon < 0)
        return false;
    return m_camera.checkCredentials(QString::fromUtf8(credentials.left(colon)),
                                     QString::fromUtf8(credentials.mid(colon + 1)));
}

void SimServer::send(QTcpSocket *socket, Connection &connection, const QByteArray &bytes, bool close)
{
    socket->write(bytes);
    // Out at once, not on the next turn of the event loop: a fleet's
    // thousands of replies each save a write notifier's round.
    socket->flush();
    if (close)
        hangUp(socket, connection);
}

void SimServer::hangUp(QTcpSocket *socket, Connection &connection)
{
    connection.closing = true;
    connection.buffer.clear();
    socket->disconnectFromHost();
}

void SimServer::record(ReceivedRequest &entry)
{
    if (m_keepRequests)
        m_requests << entry;
    m_log.append(entry);
    emit requestRecorded(entry);
}

quint16 SimServer::startRtsp(quint16 port, int fleetIndex)
{
    if (m_rtsp && m_rtsp->isRunning())
        return m_rtsp->port();
    m_rtsp = std::make_unique<RtspServer>(); // a stopped one is replaced
    std::array<EncoderStream, kRtspChannelCount> streams;
    for (int channel = 1; channel <= kRtspChannelCount; ++channel)
        streams[size_t(channel - 1)] = EncoderStream::fromCamera(m_camera, channel);
    const QHostAddress address = m_address.isNull() ? QHostAddress(QHostAddress::LocalHost) : m_address;
    const QHostAddress shown = address == QHostAddress(QHostAddress::AnyIPv4) || address == QHostAddress(QHostAddress::Any)
                                   ? QHostAddress(QHostAddress::LocalHost)
                                   : address;
    const quint16 bound = m_rtsp->start(address, port, m_camera.user(), m_camera.password(), streams,
                                        PictureLook::forCamera(fleetIndex, shown.toString(), m_port));
    if (bound == 0) {
        qCWarning(lcSim) << "cannot start RTSP on port" << port;
    } else {
        m_camera.setValue(QStringLiteral("network.rtsp.port"), QString::number(bound));
        qCInfo(lcSim) << "RTSP listening on" << address.toString() << bound;
    }
    return bound;
}

void SimServer::stopRtsp()
{
    if (m_rtsp)
        m_rtsp->stop();
}

quint16 SimServer::rtspPort() const
{
    return m_rtsp && m_rtsp->isRunning() ? m_rtsp->port() : quint16(0);
}

void SimServer::syncRtsp()
{
    syncMulticast();
    if (!m_rtsp || !m_rtsp->isRunning())
        return;
    for (int channel = 1; channel <= kRtspChannelCount; ++channel)
        m_rtsp->setStream(channel, EncoderStream::fromCamera(m_camera, channel));
    m_rtsp->setCredentials(m_camera.user(), m_camera.password());
}

void SimServer::syncMulticast()
{
    for (int channel = 1; channel <= kRtspChannelCount; ++channel) {
        const auto get = [&](const char *suffix) {
            return m_camera.value(QStringLiteral("network.destination(%1).%2").arg(channel).arg(QLatin1String(suffix)))
                .value_or(QString());
        };
        MulticastDestination destination;
        destination.started = get("status") == QLatin1String("start");
        destination.group = get("address");
        destination.port = get("port").toUShort();
        if (destination.started) // what is sent; nothing while stopped
            destination.settings = EncoderStream::fromCamera(m_camera, channel);
        m_multicast->apply(channel, destination);
    }
}

void SimServer::stopMulticast()
{
    m_multicast->stop();
}

QList<int> SimServer::multicastSending() const
{
    QList<int> channels;
    for (int channel = 1; channel <= kRtspChannelCount; ++channel) {
        if (m_multicast->isSending(channel))
            channels << channel;
    }
    return channels;
}

qint64 SimServer::multicastPacketsSent(int channel) const
{
    return m_multicast->packetsSent(channel);
}

int SimServer::rtspClientCount() const
{
    return m_rtsp ? m_rtsp->clientCount() : 0;
}

void SimServer::restartNetwork(NetworkRestart restart)
{
    if (restart == NetworkRestart::None)
        return;
    // The reply is written but not yet sent: closing lets it go out first,
    // and nothing listens any more by the time the client has read it.
    stopListening();
    if (restart == NetworkRestart::Http) {
        listenOnStoredPort();
        return;
    }
    qCInfo(lcSim) << "network restart: unreachable for" << m_restart_ms << "ms";
    m_restartTimer.start(m_restart_ms);
}

void SimServer::listenOnStoredPort()
{
    if (m_listening)
        return;
    bool ok = false;
    const int stored = m_camera.value(kHttpPortKey).value_or(QString()).toInt(&ok);
    if (ok && stored >= 1 && stored <= 65535 && quint16(stored) != m_port) {
        QString error;
        if (listen(m_address, quint16(stored), &error) != 0) {
            m_port = quint16(stored);
            qCInfo(lcSim) << "camera listening on its new port" << m_port;
            emit portChanged(m_port);
            return;
        }
        qCWarning(lcSim) << "cannot listen on the new port" << stored << error
                         << "- staying on" << m_port;
    }
    if (resumeListening())
        m_camera.setValue(kHttpPortKey, QString::number(m_port));
}

} // namespace qzr::sim
