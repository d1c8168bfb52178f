#pragma once
#include "discovery/LocalInterfaces.h"

#include <QHash>
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
    FlagAddressConflict = 1u << 0,  // two endpoints or MACs at one address and port
    FlagOtherSubnet = 1u << 1,
    FlagFactoryAddress = 1u << 2,
    FlagLoginNeeded = 1u << 3,
    FlagEndpointConflict = 1u << 4, // its endpoint is claimed from another address too
    FlagMacConflict = 1u << 5,      // its MAC answers at another address too
    FlagHttps = 1u << 6,            // offers https only: not read
    FlagHostName = 1u << 7,         // names a host, not an address: neither resolved nor read
    FlagNotRead = 1u << 8,          // its model, firmware and MAC could not be read (not a 401)
};

// The most cameras one search lists; what comes after is counted, not listed.
inline constexpr int kMaxListedCameras = 4096;

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
    QString key;              // the same entry in every list of one search
    QString address;          // from the XAddrs or the sweep
    int port = 80;
    QString endpoint;         // WS-Discovery endpoint, "urn:uuid:..."; empty from the sweep
    QString sender;           // where its message came from; empty from the sweep
    QStringList xaddrs;
    QString hardware;         // what its Scopes tell without a login
    QString name;
    QStringList heardOn;      // interfaces whose probe or listener heard it
    unsigned foundBy = 0;
    Identity identity;
    unsigned flags = 0;
    QString otherSubnetInterface; // the interface that heard it, with FlagOtherSubnet
    QString suggestedCommand;     // adds an address in the camera's subnet
    uint metadataVersion = 0;     // the highest MetadataVersion heard from it

    QString target() const { return address + QLatin1Char(':') + QString::number(port); }
    // The one address the tool reads from: where the camera's message came
    // from (an XAddr may name any host), or the swept address.
    QString readHost() const { return sender.isEmpty() ? address : sender; }
    // Whether the tool reads it at all (not https, not a host name).
    bool readable() const { return !readHost().isEmpty() && !(flags & (FlagHttps | FlagHostName)); }
    // The model read, else the hardware its Scopes name.
    QString model() const { return identity.model.isEmpty() ? hardware : identity.model; }
};

// One ProbeMatch or Hello endpoint, as heard.
struct Announcement
{
    QString endpoint;
    QStringList xaddrs;
    QStringList scopes;
    QString sender;           // the address the datagram came from
    QString interfaceName;    // the interface that heard it
    FoundBy how = FoundByProbe;
    uint metadataVersion = 0; // its MetadataVersion; 0 when it names none
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
// The XAddr a camera is listed at: an IPv4 address in the subnet of an
// interface that heard it, then the address its message came from, other
// IPv4 addresses, link-local ones, IPv6 (a link-local one gets the zone of
// the interface that heard it), https and host names last.
struct ChosenXAddr
{
    QString host;
    int port = 80;
    bool https = false;
    bool hostName = false;
};
ChosenXAddr chooseXAddr(const QStringList &xaddrs, const QString &sender, const QString &interfaceName,
                        const QList<LocalInterface> &interfaces);

// The list a search builds up: one entry per endpoint and the address its
// messages come from (so that a second device claiming a camera's endpoint
// is a second entry, flagged), or, from the sweep only, per address and
// port; at most kMaxListedCameras entries.
class FoundCameraList
{
public:
    // Moved: a known endpoint with a higher MetadataVersion that names
    // another address or port (a new HTTP port, say); listed there from now
    // on, its identity to be read again.
    enum class Added { New, Known, Moved, Full };
    // A ProbeMatch or Hello endpoint.
    Added add(const Announcement &announcement, const QList<LocalInterface> &interfaces = {});
    // The same, for a message from the host its first XAddr names.
    bool addAnnouncement(const QString &endpoint, const QStringList &xaddrs, const QString &interfaceName,
                         FoundBy how);
    // A Bye: the endpoint leaves the list, only where it was heard from
    // `sender` (empty: from anywhere). True when it was listed.
    bool removeEndpoint(const QString &endpoint, const QString &sender = {});
    // A sweep answer: joins the entries already read at that address and
    // port, or makes one. True when the entry is new.
    bool addSweepHit(const QString &address, int port);
    // The identity read from host:port, for every entry read there.
    void setIdentity(const QString &host, int port, const Identity &identity);

    // Sets every entry's flags from the list and the interfaces that heard
    // them (also the PC's addresses, which a suggested address avoids).
    void applyFlags(const QList<LocalInterface> &interfaces);

    // Sorted by address (numerically for IPv4), then port, then endpoint.
    QList<FoundCamera> cameras() const;
    // Unsorted, as they came (cheap: no copy of the entries' texts).
    const QList<FoundCamera> &entries() const { return m_cameras; }
    int size() const { return int(m_cameras.size()); }
    // Cameras that answered after the list was full.
    int notListed() const { return m_notListed; }
    void clear();

private:
    void index();

    QList<FoundCamera> m_cameras;
    QHash<QString, qsizetype> m_byKey;
    int m_notListed = 0;
    quint64 m_nextKey = 0;
};

} // namespace qzr::discovery
