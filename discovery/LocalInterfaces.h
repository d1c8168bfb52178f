#pragma once
#include <QHostAddress>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// The PC's IPv4 interfaces as discovery sees them, and the subnet rules that
// depend on them. Widget-free; the table can be built by hand for tests.
namespace qzr::discovery {

struct LocalInterface
{
    QString name;          // "eth0", "lo"
    int index = 0;         // the system's interface index
    QHostAddress address;  // one IPv4 address of the interface
    int prefixLength = 0;
    bool up = false;
    bool multicast = false;
    bool loopback = false;
};

// Every IPv4 address of every interface, one entry per address.
QList<LocalInterface> localInterfaces();

// The interfaces a search uses. Empty `requested`: every interface that is up
// and multicast-capable; none such fails with the reason of each interface
// ("lo has no multicast flag", "eth1 is down"). Otherwise each request names
// an interface or one of its addresses; an unknown one, or one that is down,
// fails with a text naming it (error set, empty list returned).
QList<LocalInterface> selectInterfaces(const QList<LocalInterface> &table, const QStringList &requested,
                                       QString *error);

// Whether address lies in the subnet of the interface.
bool inSubnet(const QHostAddress &address, const LocalInterface &interface);

// The command that gives the interface an address in the camera's subnet
// (taken as a /24, the cameras' factory mask), so that the PC can reach it.
// The address is a free one: counting down from .250, none of `taken` (the
// cameras found and the PC's own addresses, as IPv4 values).
QString addAddressCommand(const LocalInterface &interface, const QHostAddress &cameraAddress,
                          const QSet<quint32> &taken = {});

} // namespace qzr::discovery
