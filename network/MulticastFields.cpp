#include "network/MulticastFields.h"

#include <QRegularExpression>
#include <QStringList>

namespace qzr::network {

namespace {

bool isMulticastGroup(const QString &text)
{
    static const QRegularExpression dotted(QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
    const QRegularExpressionMatch match = dotted.match(text);
    if (!match.hasMatch())
        return false;
    for (int i = 1; i <= 4; ++i) {
        if (match.captured(i).toInt() > 255)
            return false;
    }
    const int first = match.captured(1).toInt();
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
