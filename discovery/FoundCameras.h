#pragma once
#include "discovery/LocalInterfaces.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// The cameras a search found, merged from every source, with their identity
// and flags. Widget-free.
namespace qzr::discovery {

// How a camera was found (several at once).
enum FoundBy : unsigned {
    FoundByProbe = 1u << 0, // answered a WS-Discovery Probe
    FoundByHello = 1u << 1, // announced itself with Hello during the search
    FoundBySweep = 1u << 2, // answered the address sweep
};

enum CameraFlag : unsigned {
    FlagAddressConflict = 1u << 0,
    FlagOtherSubnet = 1u << 1,
    FlagFactoryAddress = 1u << 2,
    FlagLoginNeeded = 1u << 3,
};

inline constexpr const char *kFactoryAddress = "192.168.0.57";

// What the camera told about itself over its parameter interface.
struct Identity
{
    bool done = false;
    bool loginNeeded = false; // 401 with the credentials given
    QString model;
    QString firmware;
    QString mac;
    QString error;            // why it could not be read, when it could not
};

struct FoundCamera
{
    QString address;          // from the XAddrs or the sweep
    int port = 80;
    QString endpoint;         // WS-Discovery endpoint, "urn:uuid:..."; empty from the sweep
    QStringList xaddrs;
    QStringList heardOn;      // interfaces whose probe or listener heard it
    unsigned foundBy = 0;
    Identity identity;
    unsigned flags = 0;
    QString otherSubnetInterface; // the interface that heard it, with FlagOtherSubnet
    QString suggestedCommand;     // adds an address in the camera's subnet

    QString target() const { return address + QLatin1Char(':') + QString::number(port); }
};

// "ws-discovery", "hello", "sweep", joined by ",".
QString foundByText(unsigned foundBy);
// Short names of the flags for tables, joined by ", ".
QString flagsText(const FoundCamera &camera);
// The flag names one by one ("address conflict", ...).
QStringList flagNames(const FoundCamera &camera);
// What each flag means, with the suggested command, one paragraph per flag.
QString flagsExplanation(const FoundCamera &camera);

// The list a search builds up: one entry per endpoint (or, from the sweep
// only, per address and port), sorted by address.
class FoundCameraList
{
public:
    // A ProbeMatch or Hello. Returns true when the entry is new.
    bool addAnnouncement(const QString &endpoint, const QStringList &xaddrs, const QString &interfaceName,
                         FoundBy how);
    // A Bye: the endpoint leaves the list. True when it was listed.
    bool removeEndpoint(const QString &endpoint);
    // A sweep answer: joins the entries already at that address and port, or
    // makes one. True when the entry is new.
    bool addSweepHit(const QString &address, int port);
    // The identity read from address:port, for every entry there. Entries
    // from the sweep alone that turn out to be a listed camera (same MAC)
    // are merged into it.
    void setIdentity(const QString &address, int port, const Identity &identity);

    // Sets every entry's flags from the list and the interfaces that heard them.
    void applyFlags(const QList<LocalInterface> &interfaces);

    // Sorted by address (numerically for IPv4), then port, then endpoint.
    QList<FoundCamera> cameras() const;
    int size() const { return int(m_cameras.size()); }
    void clear() { m_cameras.clear(); }

private:
    QList<FoundCamera> m_cameras;
};

} // namespace qzr::discovery
