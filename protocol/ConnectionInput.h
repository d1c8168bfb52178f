#pragma once
#include <QString>

#include <optional>

namespace qzr {

// The lowest and highest camera HTTP port.
inline constexpr int kMinPort = 1;
inline constexpr int kMaxPort = 65535;

// The camera address as it goes into the request: the text trimmed of
// surrounding blanks, when it is an IPv4 address, an IPv6 address or a host
// name (letters, digits, "-" and "."); nothing for anything else ("", "a/b",
// "127.0.0.1#x", "999.1.1.1"), so that no part of it can reach the URL.
std::optional<QString> cameraHost(const QString &text);

// "Camera IP: '127.0.0.1/' is not an IP address or host name".
QString notAHostText(const QString &field, const QString &text);

// "'99999' is not a valid port number (1 to 65535).".
QString notAPortText(const QString &text);

// The port of a port text: "'8o' is not a valid integer value" for a text
// that is no whole number, notAPortText for one outside 1 to 65535; both
// thrown as CameraError.
int portOrThrow(const QString &text);

} // namespace qzr
