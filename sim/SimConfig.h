#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "CameraSimulator.h"
#include "SimServer.h"

namespace qzr::sim {

struct SimConfig {
    CameraOptions camera;
    ServerOptions server;
    std::optional<quint16> rtspPort; // unset: no RTSP; 0 picks a free port
};

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
