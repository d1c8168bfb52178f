#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QRandomGenerator>

#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <algorithm>
#include <memory>
#include <vector>

#include "BuildVersion.h"
#include "protocol/Version.h"
#include "DiscoveryResponder.h"
#include "OnThread.h"
#include "SimConfig.h"
#include "SimLogging.h"
#include "SimServer.h"

namespace {

using qzr::sim::runOnThreadOf;
using qzr::sim::SimServer;

// A camera is deleted on its own thread; a worker thread that ends deletes
// what is left to it.
struct ServerDeleter
{
    void operator()(SimServer *server) const
    {
        if (server->thread() == QThread::currentThread())
            delete server;
        else
            server->deleteLater();
    }
};
using Fleet = std::vector<std::unique_ptr<SimServer, ServerDeleter>>;

// The threads that serve a fleet: camera k on thread k modulo their number,
// so that a thousand cameras are not answered by one thread alone, and one
// more that holds every camera's listening socket, so that those answering
// poll only their connections. A single camera stays on the main thread (its
// RTSP side too).
class Workers
{
public:
    explicit Workers(int cameras)
    {
        // Many more threads than cores: Qt's event loop polls every socket
        // of its thread on each turn, so a thread serves at most about 16
        // cameras of a thousand (a thousand cameras cloned at once answer
        // about a third faster with 64 threads than with 8).
        const int count = cameras > 1 ? std::min(kMaxWorkers, cameras) : 0;
        for (int i = 0; i < count; ++i) {
            auto thread = std::make_unique<QThread>();
            thread->setObjectName(QStringLiteral("qzr-camsim-%1").arg(i));
            thread->start();
            m_threads.push_back(std::move(thread));
        }
        if (count > 0) {
            m_accepting = std::make_unique<QThread>();
            m_accepting->setObjectName(QStringLiteral("qzr-camsim-accept"));
            m_accepting->start();
        }
    }
    ~Workers()
    {
        // The cameras end with their threads and hand their listening
        // sockets to the accepting thread to close: it ends last.
        for (auto &thread : m_threads) {
            thread->quit();
            thread->wait();
        }
        if (m_accepting) {
            m_accepting->quit();
            m_accepting->wait();
        }
    }
    Workers(const Workers &) = delete;
    Workers &operator=(const Workers &) = delete;

    // The thread camera k is served on; nullptr: the main thread.
    QThread *threadFor(int k) const
    {
        return m_threads.empty() ? nullptr : m_threads.at(size_t(k) % m_threads.size()).get();
    }
    // The thread that accepts every camera's connections; nullptr: each
    // camera's own thread.
    QThread *acceptingThread() const { return m_accepting.get(); }

private:
    static constexpr int kMaxWorkers = 64;
    std::vector<std::unique_ptr<QThread>> m_threads;
    std::unique_ptr<QThread> m_accepting;
};

// The first port of a run of `count` ports below the range the system hands
// out for outgoing connections, so that the clients' own ports (a fleet's
// hundreds of connections) do not keep landing in the run.
quint16 runBelowEphemeralPorts(int count)
{
    int low = 32768;
    QFile range(QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"));
    if (range.open(QIODevice::ReadOnly)) {
        bool ok = false;
        const int first = QString::fromLatin1(range.readAll()).simplified().section(QLatin1Char(' '), 0, 0).toInt(&ok);
        if (ok)
            low = first;
    }
    constexpr int kLowest = 10000;
    if (low - count <= kLowest)
        return 0; // no room: let the system pick
    return quint16(QRandomGenerator::global()->bounded(kLowest, low - count));
}

// Starts config.cameras servers on consecutive ports from config.server.port.
// With port 0 the first camera takes a free port and the others must get the
// ports after it; when one is taken the whole run is dropped and tried again.
// Refuse mode is applied only once every port is bound, so the ports are held
// while the run is being collected.
Fleet startFleet(const qzr::sim::SimConfig &config, const Workers &workers)
{
    const int count = config.cameras;
    qzr::sim::ServerOptions options = config.server;
    options.logPath.clear(); // written by main() with each camera's port
    options.acceptThread = workers.acceptingThread();
    options.keepRequests = false; // only the request log shows them
    const bool refuse = options.fault.mode == qzr::sim::FaultMode::Refuse;
    if (refuse)
        options.fault = {};
    const int attempts = config.server.port == 0 && count > 1 ? 64 : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        Fleet fleet;
        bool ok = true;
        for (int k = 0; k < count && ok; ++k) {
            qzr::sim::ServerOptions cameraOptions = options;
            if (k == 0 && attempts > 1 && !config.addressPerCamera)
                cameraOptions.port = runBelowEphemeralPorts(count);
            if (k > 0 && config.addressPerCamera) {
                cameraOptions.address = QHostAddress(config.server.address.toIPv4Address() + quint32(k));
                cameraOptions.port = fleet.front()->port();
            } else if (k > 0) {
                const int port = int(fleet.front()->port()) + k;
                ok = port <= 65535;
                cameraOptions.port = quint16(port);
            }
            if (!ok)
                break;
            std::unique_ptr<SimServer, ServerDeleter> server(new SimServer(qzr::sim::fleetCamera(config, k)));
            if (QThread *thread = workers.threadFor(k))
                server->moveToThread(thread);
            SimServer *camera = server.get();
            ok = runOnThreadOf(camera, [camera, cameraOptions] { return camera->start(cameraOptions); });
            if (ok)
                fleet.push_back(std::move(server));
        }
        if (ok) {
            if (refuse) {
                for (auto &server : fleet) {
                    SimServer *camera = server.get();
                    runOnThreadOf(camera, [camera] { camera->stopListening(); });
                }
            }
            return fleet;
        }
    }
    return {};
}

using Responders = std::vector<std::unique_ptr<qzr::sim::DiscoveryResponder>>;

// The address camera k serves on, as its XAddrs name it.
QString cameraHost(const qzr::sim::SimConfig &config, int k)
{
    QHostAddress address = config.server.address;
    if (address.isNull() || address == QHostAddress(QHostAddress::AnyIPv4) || address == QHostAddress(QHostAddress::Any))
        address = QHostAddress(QHostAddress::LocalHost);
    if (config.addressPerCamera)
        address = QHostAddress(address.toIPv4Address() + quint32(k));
    return address.toString();
}

// Every camera that takes part in WS-Discovery answers Probes and says Hello.
bool startDiscovery(const qzr::sim::SimConfig &config, const Fleet &fleet, Responders &responders)
{
    if (!config.discovery.enabled)
        return true;
    const int count = int(fleet.size());
    for (int k = 0; k < count; ++k) {
        if (config.sweepOnly.contains(k))
            continue;
        const QString host = cameraHost(config, k);
        const quint16 port = fleet.at(size_t(k))->port();
        const bool claimsFirst = config.conflict && k == count - 1;
        qzr::sim::DiscoveryOptions options = config.discovery;
        options.ignoreFirstProbe = config.ignoreFirstProbe.contains(k);
        const qzr::sim::CameraOptions camera = qzr::sim::fleetCamera(config, k);
        options.model = camera.model; // its Scopes name it
        auto responder = std::make_unique<qzr::sim::DiscoveryResponder>();
        const QString endpoint = qzr::sim::endpointFor(camera.mac, host, port);
        if (!responder->start(options, endpoint, claimsFirst ? cameraHost(config, 0) : host,
                              claimsFirst ? fleet.front()->port() : port)) {
            std::fprintf(stderr, "qzr-camsim: WS-Discovery: %s\n", qPrintable(responder->errorText()));
            return false;
        }
        // A new HTTP port is announced (the camera's own, not one it claims).
        if (!claimsFirst) {
            qzr::sim::DiscoveryResponder *announcer = responder.get();
            QObject::connect(fleet.at(size_t(k)).get(), &qzr::sim::SimServer::portChanged, announcer,
                             [announcer](quint16 newPort) { announcer->moveTo(newPort); });
        }
        responders.push_back(std::move(responder));
    }
    return true;
}

// SIGTERM and SIGINT say Bye for every camera, then end the process as the
// signal would have.
int g_signalPipe[2] = {-1, -1};

void onSignal(int signal)
{
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    qzr::setGitDescription(QZR_GIT_DESCRIPTION);
    // Each request is a debug line: quiet unless QT_LOGGING_RULES asks for it,
    // so that a fleet of cameras does not spend its time writing them.
    QLoggingCategory::setFilterRules(QStringLiteral("qzr.sim.debug=false"));
    // Qt's own poll loop: the GLib one registers and unregisters a socket
    // notifier in a list that grows with every camera, on every reply. The
    // video runs on GLib loops of its own (GLibLoopThread).
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qzr-camsim"));
    QCoreApplication::setApplicationVersion(qzr::versionText());
    const qzr::sim::ConfigResult parsed = qzr::sim::parseCommandLine(QCoreApplication::arguments());
    if (!parsed.ok) {
        std::fprintf(stderr, "qzr-camsim: %s\n", qPrintable(parsed.error));
        return 2;
    }
    // One request log for all cameras; every line carries the camera's "port".
    QFile log;
    if (!parsed.config.server.logPath.isEmpty()) {
        log.setFileName(parsed.config.server.logPath);
        if (!log.open(QIODevice::WriteOnly | QIODevice::Append)) {
            std::fprintf(stderr, "qzr-camsim: cannot open request log %s: %s\n",
                         qPrintable(log.fileName()), qPrintable(log.errorString()));
            return 1;
        }
    }
    Workers workers(parsed.config.cameras);
    Fleet fleet = startFleet(parsed.config, workers);
    if (fleet.empty()) {
        if (parsed.config.cameras > 1)
            std::fprintf(stderr, "qzr-camsim: cannot listen on %d consecutive ports\n", parsed.config.cameras);
        return 1;
    }
    QMutex logMutex; // the cameras' threads share the log
    if (log.isOpen()) {
        for (auto &server : fleet) {
            SimServer *camera = server.get();
            QObject::connect(camera, &SimServer::requestRecorded, camera,
                             [camera, &log, &logMutex](const qzr::sim::ReceivedRequest &request) {
                QJsonObject line = QJsonDocument::fromJson(qzr::sim::RequestLog::toJsonLine(request)).object();
                line.insert(QStringLiteral("port"), int(camera->port()));
                const QMutexLocker lock(&logMutex);
                log.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
                log.flush();
            });
        }
    }
    Responders responders;
    if (!startDiscovery(parsed.config, fleet, responders))
        return 1;
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (!responders.empty() && ::pipe(g_signalPipe) == 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, [&responders] {
            char signal = 0;
            if (::read(g_signalPipe[0], &signal, 1) != 1)
                return;
            for (auto &responder : responders)
                responder->stop();
            std::signal(signal, SIG_DFL);
            std::raise(signal);
        });
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
    }
    // Line 1: the HTTP port (with --cameras N, of the first camera; the others
    // follow on port+1 .. port+N-1). Line 2 (with --rtsp-port only): "rtsp PORT"
    // (of the first camera; each camera reports its own as network.rtsp.port).
    std::printf("%u\n", unsigned(fleet.front()->port()));
    if (parsed.config.rtspPort) {
        const quint16 first = *parsed.config.rtspPort;
        quint16 firstBound = 0;
        for (int k = 0; k < int(fleet.size()); ++k) {
            const quint16 wanted = first == 0 || parsed.config.addressPerCamera ? first : quint16(first + k);
            SimServer *camera = fleet.at(size_t(k)).get();
            const quint16 bound = runOnThreadOf(camera, [camera, wanted, k] { return camera->startRtsp(wanted, k); });
            if (bound == 0) {
                std::fflush(stdout);
                std::fprintf(stderr, "qzr-camsim: cannot serve RTSP on port %u for the camera on port %u\n",
                             unsigned(wanted), unsigned(camera->port()));
                return 1;
            }
            if (k == 0)
                firstBound = bound;
        }
        std::printf("rtsp %u\n", unsigned(firstBound));
    }
    std::fflush(stdout);
    return QCoreApplication::exec();
}
