#pragma once
#include <QHostAddress>
#include <QList>
#include <QString>

#include <optional>

namespace qzr::discovery {

// The largest range one sweep covers: a /22, 1024 addresses.
inline constexpr int kMinSweepPrefix = 22;
inline constexpr int kDefaultSweepPort = 80;

// "CIDR[:PORT]", e.g. "192.168.0.0/24" or "127.0.0.0/27:8080".
struct SweepRange
{
    QHostAddress network;
    int prefixLength = 32;
    int port = kDefaultSweepPort;

    // The host addresses of the range: without the network and broadcast
    // addresses when the range has more than two.
    QList<QHostAddress> addresses() const;
    QString text() const;
};

// Reads "CIDR[:PORT]"; on failure error says why and nullopt is returned.
std::optional<SweepRange> parseSweepRange(const QString &text, QString *error);

} // namespace qzr::discovery
