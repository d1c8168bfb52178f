#pragma once
#include "protocol/ParamClient.h"

#include <QString>

namespace qzr {

// The names of the connection settings as the user gives them, for the next
// step a failure message suggests: the main window's labels by default.
struct ConnectionNames
{
    QString address = QStringLiteral("Camera IP");
    QString port = QStringLiteral("HTTP Port");
    QString credentials = QStringLiteral("User and Password");
};

// "127.0.0.1:8080", "[::1]:80": the camera as messages name it.
QString cameraAddressText(const QString &host, int port);

// What went wrong with a request and what to check next, without the camera:
// "refused the login (401 Unauthorized): check User and Password",
// "did not answer within 30 s". The reply's own failure text stays inside.
QString failureDescription(const HttpReply &reply, int replyTimeoutMs, const ConnectionNames &names);

// "30 s", "0.5 s": a time limit as messages give it.
QString secondsText(int milliseconds);

} // namespace qzr
