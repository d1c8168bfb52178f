#pragma once
#include <QString>

#include <optional>

namespace qzr {

// The lowest and highest camera HTTP port.
inline constexpr int kMinPort = 1;
inline constexpr int kMaxPort = 65535;

// The one rule for every address the user or a file gives. The address as
// it goes into a request: the text trimmed of surrounding blanks, when it is
// - an IPv4 address of exactly four decimal octets 0 to 255 without leading
//   zeros ("127.0.0.1"; not "127.0.0.010", which a resolver reads as octal
//   and so as another camera, nor "127.1" or "0x7f.0.0.1"),
// - an IPv6 address, with a zone made of interface-name characters
//   ("fe80::1%eth0"), or
// - a host name: labels of letters, digits and "-" (not first or last, 63
//   characters at most), joined by ".", 253 characters at most, and nothing
//   a resolver would read as a number ("0x7f000001", "1.2.3.4.5").
// Nothing for anything else ("", "a/b", "127.0.0.1#x", "999.1.1.1"), so that
// no part of it can reach the URL or another camera.
std::optional<QString> cameraHost(const QString &text);

// The IPv4 address of exactly four decimal octets, as cameraHost takes it;
// nothing for any other text.
std::optional<quint32> ipv4Value(const QString &text);
// One such octet: 1 to 3 digits, 0 to 255, no leading zero.
std::optional<quint32> ipv4OctetValue(const QString &text);

// "Camera IP: '127.0.0.1/' is not an IP address or host name".
QString notAHostText(const QString &field, const QString &text);

// "'99999' is not a valid port number (1 to 65535).".
QString notAPortText(const QString &text);

// The port of a port text: "'8o' is not a valid integer value" for a text
// that is no whole number, notAPortText for one outside 1 to 65535; both
// thrown as CameraError.
int portOrThrow(const QString &text);

} // namespace qzr
