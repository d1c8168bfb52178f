#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "CameraSimulator.h"
#include "DiscoveryResponder.h"
#include "SimServer.h"

namespace qzr::sim {

struct SimConfig {
    CameraOptions camera;
    ServerOptions server;
    std::optional<quint16> rtspPort; // unset: no RTSP; 0 picks a free port
    int cameras = 1;                 // cameras served on ports port, port+1, ...
    // Cameras on consecutive addresses from server.address, all on one port
    // (127.0.0.10, 127.0.0.11, ... on 8080), as a sweep finds them on a LAN.
    bool addressPerCamera = false;
    DiscoveryOptions discovery;      // WS-Discovery of every camera
    bool conflict = false;           // the last camera announces camera 0's address
    QList<int> ignoreFirstProbe;     // cameras (from 0) that leave their first Probe unanswered
    QList<int> sweepOnly;            // cameras that take no part in WS-Discovery
};

inline constexpr int kMaxCameras = 1000;
// The largest fleet that takes part in WS-Discovery unless --discovery.
inline constexpr int kMaxDiscoveryCameras = 256;

// The MAC of camera `index` (0-based) of a --cameras fleet: `mac` with its last
// byte raised by `index` (modulo 256), and from index 256 on the byte before
// it raised by index / 256, so each camera differs. Empty when the
// last byte of `mac` is not two hex digits after ':' or '-' (index > 0 only;
// camera 0 always keeps `mac` as given).
QString fleetMac(const QString &mac, int index);

// The options of camera `index` of the fleet described by `config`.
CameraOptions fleetCamera(const SimConfig &config, int index);

struct ConfigResult {
    bool ok = false;
    bool helpShown = false;
    QString error;
    SimConfig config;
};

// Reads the qzr-camsim command line (arguments include the program name).
// Prints --help itself.
ConfigResult parseCommandLine(const QStringList &arguments);

} // namespace qzr::sim
