#include "network/MulticastFields.h"

#include "protocol/ConnectionInput.h"

#include <QRegularExpression>
#include <QStringList>

namespace qzr::network {

namespace {

// An IPv4 address by the tool's one address rule (no leading zeros, which
// the viewer's address parser would read as octal), from 224.0.0.0 to
// 239.255.255.255.
bool isMulticastGroup(const QString &text)
{
    const std::optional<quint32> address = ipv4Value(text);
    if (!address)
        return false;
    const quint32 first = *address >> 24;
    return first >= 224 && first <= 239;
}

} // namespace

std::optional<QString> multicastFieldProblem(const QString &group, const QString &port)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,5}$"));
    const int portNumber = digits.match(port).hasMatch() ? port.toInt() : 0;
    if (portNumber < 1 || portNumber > 65535)
        return QStringLiteral("\"Multicast Port\" must be a whole number from 1 to 65535, not \"%1\". "
                              "Nothing was sent to the camera.").arg(port);
    if (!isMulticastGroup(group))
        return QStringLiteral("\"Multicast IP\" must be a multicast group address from 224.0.0.0 to "
                              "239.255.255.255, not \"%1\". Nothing was sent to the camera.").arg(group);
    return std::nullopt;
}

} // namespace qzr::network
