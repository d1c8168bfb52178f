#include "SimConfig.h"

#include "protocol/ConnectionInput.h"

#include <QCommandLineParser>

namespace qzr::sim {

namespace {

struct Options {
    QCommandLineOption address{QStringLiteral("address"),
                               QStringLiteral("Address to listen on (default 127.0.0.1)."),
                               QStringLiteral("ip"), QStringLiteral("127.0.0.1")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("TCP port; 0 picks a free one (default %1). The bound port "
                                           "is printed alone on the first line of standard output.")
                                .arg(kDefaultPort),
                            QStringLiteral("n"), QString::number(kDefaultPort)};
    QCommandLineOption rtspPort{QStringLiteral("rtsp-port"),
                                QStringLiteral("Serve RTSP video (/channel1../channel3) on this TCP "
                                               "port; 0 picks a free one, printed as \"rtsp PORT\" "
                                               "on the second line of standard output. "
                                               "With --cameras, camera k serves on this "
                                               "port + k (each on a free one with 0; with "
                                               "--address-per-camera all on this port) and "
                                               "reports it as network.rtsp.port. "
                                               "Without it: no RTSP."),
                                QStringLiteral("n")};
    QCommandLineOption cameras{QStringLiteral("cameras"),
                               QStringLiteral("Serve this many independent cameras (1..%1, default 1) "
                                              "on consecutive ports: --port, --port+1, ... With "
                                              "--port 0 a free run of ports is chosen and its first "
                                              "port printed. Camera k (from 0) gets the MAC with its "
                                              "last byte + k.")
                                   .arg(kMaxCameras),
                               QStringLiteral("n"), QStringLiteral("1")};
    QCommandLineOption model{QStringLiteral("model"), QStringLiteral("Camera model (default QZ-R410)."),
                             QStringLiteral("name"), QStringLiteral("QZ-R410")};
    QCommandLineOption mac{QStringLiteral("mac"), QStringLiteral("MAC address (default 00:11:22:33:44:55)."),
                           QStringLiteral("mac"), QStringLiteral("00:11:22:33:44:55")};
    QCommandLineOption user{QStringLiteral("user"), QStringLiteral("User name (default admin)."),
                            QStringLiteral("name"), QStringLiteral("admin")};
    QCommandLineOption password{QStringLiteral("password"), QStringLiteral("Password (default kqm)."),
                                QStringLiteral("text"), QStringLiteral("kqm")};
    QCommandLineOption focusPolls{QStringLiteral("focus-polls"),
                                  QStringLiteral("Status reads that report \"run\" after an auto "
                                                 "focus starts (default 3)."),
                                  QStringLiteral("n"), QStringLiteral("3")};
    QCommandLineOption focusError{QStringLiteral("focus-error"),
                                  QStringLiteral("Auto focus ends with OBJECT_ERROR instead of stop.")};
    QCommandLineOption fault{QStringLiteral("fault"),
                             QStringLiteral("Fault mode at start: %1.").arg(faultModeNames().join(QStringLiteral(", "))),
                             QStringLiteral("mode"), QStringLiteral("none")};
    QCommandLineOption faultNth{QStringLiteral("fault-nth"),
                                QStringLiteral("Apply the fault only to the nth /api/param request."),
                                QStringLiteral("n"), QStringLiteral("0")};
    QCommandLineOption restartSeconds{QStringLiteral("restart-seconds"),
                                      QStringLiteral("Seconds the camera stays unreachable after "
                                                     "network.interface.status=restart, as while it "
                                                     "reboots (0..3600, fractions allowed, default %1).")
                                          .arg(kDefaultRestartMs / 1000.0),
                                      QStringLiteral("s"), QString::number(kDefaultRestartMs / 1000.0)};
    QCommandLineOption noDiscovery{QStringLiteral("no-discovery"),
                                   QStringLiteral("Take no part in WS-Discovery (no Probe answers, Hello or Bye).")};
    QCommandLineOption discovery{QStringLiteral("discovery"),
                                 QStringLiteral("Take part in WS-Discovery also with more than %1 cameras "
                                                "(by default only fleets up to %1 do).")
                                     .arg(kMaxDiscoveryCameras)};
    QCommandLineOption discoveryInterface{QStringLiteral("discovery-interface"),
                                          QStringLiteral("Join the WS-Discovery group and announce on this "
                                                         "interface; repeat for several (default lo only)."),
                                          QStringLiteral("name")};
    QCommandLineOption discoveryPort{QStringLiteral("discovery-port"),
                                     QStringLiteral("UDP port of WS-Discovery (default 3702)."),
                                     QStringLiteral("n"), QStringLiteral("3702")};
    QCommandLineOption addressPerCamera{QStringLiteral("address-per-camera"),
                                        QStringLiteral("With --cameras: camera k listens on --address + k, "
                                                       "all on the one --port (127.0.0.10, .11, ... on 8080).")};
    QCommandLineOption conflict{QStringLiteral("conflict"),
                                QStringLiteral("With --cameras 2 or more: the last camera claims camera 0's "
                                               "address (its XAddrs name camera 0's address and port).")};
    QCommandLineOption ignoreFirstProbe{QStringLiteral("ignore-first-probe"),
                                        QStringLiteral("Camera k (from 0) leaves the first Probe it hears "
                                                       "unanswered; repeat for several."),
                                        QStringLiteral("k")};
    QCommandLineOption sweepOnly{QStringLiteral("sweep-only"),
                                 QStringLiteral("Camera k (from 0) answers HTTP only, not WS-Discovery; "
                                                "repeat for several."),
                                 QStringLiteral("k")};
    QCommandLineOption log{QStringLiteral("log"),
                           QStringLiteral("Append one JSON line per request to this file."),
                           QStringLiteral("file")};
};

std::optional<int> intOption(const QCommandLineParser &parser, const QCommandLineOption &option,
                             int low, int high)
{
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

ConfigResult parseCommandLine(const QStringList &arguments)
{
    Options options;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated QZ-R network camera (parameter interface)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({options.address, options.port, options.model, options.mac, options.user,
                       options.password, options.focusPolls, options.focusError, options.fault,
                       options.faultNth, options.log, options.rtspPort, options.cameras,
                       options.restartSeconds, options.noDiscovery, options.discovery, options.discoveryInterface,
                       options.discoveryPort, options.addressPerCamera, options.conflict,
                       options.ignoreFirstProbe, options.sweepOnly});
    ConfigResult result;
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parser.showHelp(0); // exits
    }
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion(); // exits
    SimConfig &config = result.config;
    // The tool's own address rule: IPv4 as four decimal octets, or IPv6.
    const QString addressText = parser.value(options.address).trimmed();
    const std::optional<quint32> ipv4 = ipv4Value(addressText);
    const QHostAddress address = ipv4 ? QHostAddress(*ipv4)
        : addressText.contains(QLatin1Char(':')) && cameraHost(addressText) ? QHostAddress(addressText)
                                                                           : QHostAddress();
    const auto port = intOption(parser, options.port, 0, 65535);
    const auto rtspPort = intOption(parser, options.rtspPort, 0, 65535);
    const auto polls = intOption(parser, options.focusPolls, 0, 1000000);
    const auto nth = intOption(parser, options.faultNth, 0, 1000000);
    const auto fault = faultModeFromName(parser.value(options.fault));
    const auto cameras = intOption(parser, options.cameras, 1, kMaxCameras);
    bool restartOk = false;
    const double restartSeconds = parser.value(options.restartSeconds).toDouble(&restartOk);
    constexpr double kMaxRestartSeconds = 3600;
    if (address.isNull())
        result.error = QStringLiteral("invalid --address");
    else if (!port)
        result.error = QStringLiteral("invalid --port");
    else if (parser.isSet(options.rtspPort) && !rtspPort)
        result.error = QStringLiteral("invalid --rtsp-port");
    else if (!polls)
        result.error = QStringLiteral("invalid --focus-polls");
    else if (!nth)
        result.error = QStringLiteral("invalid --fault-nth");
    else if (!fault)
        result.error = QStringLiteral("unknown --fault mode; one of: ") + faultModeNames().join(QStringLiteral(", "));
    else if (!restartOk || !(restartSeconds >= 0 && restartSeconds <= kMaxRestartSeconds))
        result.error = QStringLiteral("invalid --restart-seconds (0..3600)");
    else if (!cameras)
        result.error = QStringLiteral("invalid --cameras (1..%1)").arg(kMaxCameras);
    else if (*cameras > 1 && rtspPort && *rtspPort != 0 && !parser.isSet(options.addressPerCamera)
             && *rtspPort + *cameras - 1 > 65535)
        result.error =
            QStringLiteral("--rtsp-port %1 with --cameras %2 runs past port 65535").arg(*rtspPort).arg(*cameras);
    else if (*cameras > 1 && *port != 0 && *port + *cameras - 1 > 65535)
        result.error = QStringLiteral("--port %1 with --cameras %2 runs past port 65535").arg(*port).arg(*cameras);
    else if (*cameras > 1 && fleetMac(parser.value(options.mac), 1).isEmpty())
        result.error = QStringLiteral("--mac must end in a hex byte (like :55) with --cameras");
    const auto discoveryPort = intOption(parser, options.discoveryPort, 1, 65535);
    QList<int> ignoreFirst, sweepOnly;
    const auto cameraIndexes = [&](const QCommandLineOption &option, QList<int> &into) {
        for (const QString &text : parser.values(option)) {
            bool ok = false;
            const int index = text.toInt(&ok);
            if (!ok || index < 0 || !cameras || index >= *cameras)
                return false;
            into.append(index);
        }
        return true;
    };
    if (!result.error.isEmpty()) {
    } else if (!discoveryPort) {
        result.error = QStringLiteral("invalid --discovery-port");
    } else if (!cameraIndexes(options.ignoreFirstProbe, ignoreFirst)) {
        result.error = QStringLiteral("--ignore-first-probe needs a camera number from 0 to --cameras - 1");
    } else if (!cameraIndexes(options.sweepOnly, sweepOnly)) {
        result.error = QStringLiteral("--sweep-only needs a camera number from 0 to --cameras - 1");
    } else if (parser.isSet(options.conflict) && *cameras < 2) {
        result.error = QStringLiteral("--conflict needs --cameras 2 or more");
    } else if (parser.isSet(options.addressPerCamera)
               && (address.protocol() != QAbstractSocket::IPv4Protocol
                   || (address.toIPv4Address() & 0xFFu) + quint32(*cameras) - 1 > 254)) {
        result.error = QStringLiteral("--address-per-camera needs an IPv4 --address with room for --cameras "
                                      "addresses below .255");
    }
    if (!result.error.isEmpty())
        return result;
    // A thousand responders would answer every Probe a thousand times and
    // double the process's sockets: large fleets are found by sweeps.
    config.discovery.enabled = !parser.isSet(options.noDiscovery)
                               && (*cameras <= kMaxDiscoveryCameras || parser.isSet(options.discovery));
    if (parser.isSet(options.noDiscovery) && parser.isSet(options.discovery)) {
        result.error = QStringLiteral("--discovery and --no-discovery exclude each other");
        return result;
    }
    if (parser.isSet(options.discoveryInterface))
        config.discovery.interfaces = parser.values(options.discoveryInterface);
    config.discovery.port = quint16(*discoveryPort);
    config.addressPerCamera = parser.isSet(options.addressPerCamera);
    config.conflict = parser.isSet(options.conflict);
    config.ignoreFirstProbe = ignoreFirst;
    config.sweepOnly = sweepOnly;

    config.server.address = address;
    config.server.port = quint16(*port);
    config.server.fault = FaultSetting{*fault, *nth};
    if (parser.isSet(options.rtspPort))
        config.rtspPort = quint16(*rtspPort);
    config.server.logPath = parser.value(options.log);
    config.server.restart_ms = qRound(restartSeconds * 1000);
    config.camera.model = parser.value(options.model);
    config.camera.mac = parser.value(options.mac);
    config.camera.user = parser.value(options.user);
    config.camera.password = parser.value(options.password);
    config.camera.focusPolls = *polls;
    config.camera.focusResult = parser.isSet(options.focusError) ? FocusResult::ObjectError : FocusResult::Stop;
    config.cameras = *cameras;
    result.ok = true;
    return result;
}

QString fleetMac(const QString &mac, int index)
{
    if (index == 0)
        return mac;
    const qsizetype n = mac.size();
    if (n < 3 || (mac.at(n - 3) != QLatin1Char(':') && mac.at(n - 3) != QLatin1Char('-')))
        return {};
    bool ok = false;
    const int last = mac.right(2).toInt(&ok, 16);
    if (!ok || mac.at(n - 2) == QLatin1Char('+') || mac.at(n - 2) == QLatin1Char('-'))
        return {};
    bool lower = false;
    for (const QChar c : mac)
        lower = lower || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
    auto hexByte = [lower](int value) {
        const QString byte = QStringLiteral("%1").arg(value % 256, 2, 16, QLatin1Char('0'));
        return lower ? byte : byte.toUpper();
    };
    QString head = mac.left(n - 2);
    if (index >= 256 && n >= 6 && (mac.at(n - 6) == QLatin1Char(':') || mac.at(n - 6) == QLatin1Char('-'))) {
        const int before = mac.mid(n - 5, 2).toInt(&ok, 16);
        if (ok && mac.at(n - 5) != QLatin1Char('+') && mac.at(n - 5) != QLatin1Char('-'))
            head = mac.left(n - 5) + hexByte(before + index / 256) + mac.at(n - 3);
    }
    return head + hexByte(last + index);
}

CameraOptions fleetCamera(const SimConfig &config, int index)
{
    CameraOptions camera = config.camera;
    camera.mac = fleetMac(config.camera.mac, index);
    return camera;
}

} // namespace qzr::sim
