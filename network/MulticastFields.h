#pragma once
#include <QString>
#include <optional>

namespace qzr::network {

// The multicast defaults of each streaming channel (1 to 3).
struct MulticastDefaults
{
    const char *group;
    const char *port;
};
// Note the third channel: 225.0.4.1 and 29152.
inline constexpr MulticastDefaults kMulticastDefaults[] = {
    {"225.0.1.1", "49152"}, {"225.0.2.1", "59152"}, {"225.0.4.1", "29152"}};

// Checks the multicast fields before anything is sent: the port a whole
// number from 1 to 65535, the group a dotted IPv4 address in 224.0.0.0/4.
// Returns the message naming the field that is wrong, or nothing.
std::optional<QString> multicastFieldProblem(const QString &group, const QString &port);

} // namespace qzr::network
