#pragma once
#include "discovery/FoundCameras.h"
#include "protocol/ParamClient.h"

#include <QString>

// The reads a search makes of each address, through the normal parameter
// client (one client per read; a search runs each read on a camera of its
// fleet, protocol/FleetLoop.h, where a call waits on the read's fiber).
namespace qzr::discovery {

// The answer of one address to the sweep's read of the model.
struct SweepAnswer
{
    bool camera = false;      // a model value, or 401
    bool loginNeeded = false;
    QString model;
};

// The value of key in a reply body, by the tool's reply rule.
QString replyValue(const QByteArray &body, const QString &key);

// Reads system.model from host:port. Anything but a model value or a 401 is
// no camera.
SweepAnswer sweepAddress(ParamClient &client, const QString &host, int port);

// Reads model, firmware revision and MAC; "login needed" on 401. Stops at
// the first failure and says why.
Identity readIdentity(ParamClient &client, const QString &host, int port);

} // namespace qzr::discovery
