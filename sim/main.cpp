#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <memory>
#include <vector>

#include "BuildVersion.h"
#include "protocol/Version.h"
#include "DiscoveryResponder.h"
#include "SimConfig.h"
#include "SimLogging.h"
#include "SimServer.h"

namespace {

using qzr::sim::SimServer;
using Fleet = std::vector<std::unique_ptr<SimServer>>;

// Starts config.cameras servers on consecutive ports from config.server.port.
// With port 0 the first camera takes a free port and the others must get the
// ports after it; when one is taken the whole run is dropped and tried again.
// Refuse mode is applied only once every port is bound, so the ports are held
// while the run is being collected.
Fleet startFleet(const qzr::sim::SimConfig &config)
{
    const int count = config.cameras;
    qzr::sim::ServerOptions options = config.server;
    options.logPath.clear(); // written by main() with each camera's port
    const bool refuse = options.fault.mode == qzr::sim::FaultMode::Refuse;
    if (refuse)
        options.fault = {};
    const int attempts = config.server.port == 0 && count > 1 ? 64 : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        Fleet fleet;
        bool ok = true;
        for (int k = 0; k < count && ok; ++k) {
            qzr::sim::ServerOptions cameraOptions = options;
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
            auto server = std::make_unique<SimServer>(qzr::sim::fleetCamera(config, k));
            ok = server->start(cameraOptions);
            if (ok)
                fleet.push_back(std::move(server));
        }
        if (ok) {
            if (refuse) {
                for (auto &server : fleet)
                    server->stopListening();
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
        auto responder = std::make_unique<qzr::sim::DiscoveryResponder>();
        const QString endpoint = qzr::sim::endpointFor(qzr::sim::fleetCamera(config, k).mac, host, port);
        if (!responder->start(options, endpoint, claimsFirst ? cameraHost(config, 0) : host,
                              claimsFirst ? fleet.front()->port() : port)) {
            std::fprintf(stderr, "qzr-camsim: WS-Discovery: %s\n", qPrintable(responder->errorText()));
            return false;
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
    Fleet fleet = startFleet(parsed.config);
    if (fleet.empty()) {
        if (parsed.config.cameras > 1)
            std::fprintf(stderr, "qzr-camsim: cannot listen on %d consecutive ports\n", parsed.config.cameras);
        return 1;
    }
    if (log.isOpen()) {
        for (auto &server : fleet) {
            SimServer *camera = server.get();
            QObject::connect(camera, &SimServer::requestRecorded, camera, [camera, &log] {
                const QList<qzr::sim::ReceivedRequest> requests = camera->requests();
                if (requests.isEmpty())
                    return;
                QJsonObject line = QJsonDocument::fromJson(qzr::sim::RequestLog::toJsonLine(requests.last())).object();
                line.insert(QStringLiteral("port"), int(camera->port()));
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
    SimServer &server = *fleet.front();
    // Line 1: the HTTP port (with --cameras N, of the first camera; the others
    // follow on port+1 .. port+N-1). Line 2 (with --rtsp-port only): "rtsp PORT".
    std::printf("%u\n", unsigned(server.port()));
    if (parsed.config.rtspPort) {
        const quint16 rtspPort = server.startRtsp(*parsed.config.rtspPort);
        if (rtspPort == 0) {
            std::fflush(stdout);
            std::fprintf(stderr, "qzr-camsim: cannot serve RTSP on port %u\n", unsigned(*parsed.config.rtspPort));
            return 1;
        }
        std::printf("rtsp %u\n", unsigned(rtspPort));
    }
    std::fflush(stdout);
    return QCoreApplication::exec();
}
