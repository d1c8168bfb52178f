#pragma once
// The cameras of a site as a host list names them: one camera per line (or
// separated by commas), HOST, HOST:PORT or [IPV6]:PORT, blank lines and
// "#" comments skipped. Every address goes by the one address rule
// (protocol/ConnectionInput.h).
#include <QList>
#include <QString>

namespace qzr::site {

struct SiteCamera
{
    QString host; // as cameraHost() gives it
    int port = 80;

    // "127.0.0.1:8080", "[fe80::1]:80".
    QString address() const;
    bool operator==(const SiteCamera &other) const { return host == other.host && port == other.port; }
};

// What a host list holds, or why it cannot be used.
struct HostList
{
    QList<SiteCamera> cameras;
    QString error; // "line 3: '127.0.0.010' is not an IP address or host name"
    bool ok() const { return error.isEmpty(); }
};

// A host list file holds at most this many bytes and cameras.
inline constexpr qint64 kMaxHostListBytes = 1024 * 1024;
inline constexpr int kMaxHostListCameras = 1000;

// The cameras a list names; defaultPort for entries without a port. An
// address or port that breaks the rules, a camera listed twice or more than
// kMaxHostListCameras cameras: the error names the line.
HostList parseHostList(const QString &text, int defaultPort);
// The same for a file, read only when it is no larger than kMaxHostListBytes.
HostList readHostListFile(const QString &path, int defaultPort);

} // namespace qzr::site
