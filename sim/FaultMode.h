#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace qzr::sim {

// How the simulated camera misbehaves on the HTTP side.
enum class FaultMode {
    None,             // normal camera
    Refuse,           // not listening at all (connections are refused)
    RefuseAfterReply, // run time only: answer the admin request, then stop listening
    Hang,             // read the request and never answer
    CloseMidReply,    // send the head and half of the body, then close
    Http10,           // "HTTP/1.0 200 OK", then close
    ConnectionClose,  // "Connection: close" header, then close
    Chunked,          // body sent with Transfer-Encoding: chunked
    Redirect,         // "302 Found" with a Location header
    Unauthorized,     // "401 Unauthorized" whatever the credentials
    NotFound,         // "404 Not Found"
    ServerError,      // "500 Internal Server Error"
    GarbageStatus,    // status line "HTTP/1.1 2OO OK"
    EmptyBody,        // the normal status with Content-Length: 0
    CloseIdle,        // close a kept-alive connection after reading its next request
};

// The name used on the command line and on the admin path ("close-mid-reply").
QString faultModeName(FaultMode mode);
std::optional<FaultMode> faultModeFromName(const QString &name);
QStringList faultModeNames();

// A fault as configured: persistent when nth is 0, otherwise it hits only the
// nth /api/param request from the moment it was set (1 = the next one).
struct FaultSetting {
    FaultMode mode = FaultMode::None;
    int nth = 0;
};

} // namespace qzr::sim
