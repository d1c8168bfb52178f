#include "discovery/SweepRange.h"

#include "protocol/ConnectionInput.h"

#include <optional>

namespace qzr::discovery {

QList<QHostAddress> SweepRange::addresses() const
{
    QList<QHostAddress> list;
    const quint32 size = prefixLength >= 32 ? 1u : (1u << (32 - prefixLength));
    const quint32 first = network.toIPv4Address() & (size == 1 ? 0xFFFFFFFFu : ~(size - 1));
    const bool skipEnds = size > 2;
    for (quint32 offset = skipEnds ? 1 : 0; offset < (skipEnds ? size - 1 : size); ++offset)
        list.append(QHostAddress(first + offset));
    return list;
}

QString SweepRange::text() const
{
    return QStringLiteral("%1/%2:%3").arg(network.toString()).arg(prefixLength).arg(port);
}

std::optional<SweepRange> parseSweepRange(const QString &text, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<SweepRange> {
        if (error)
            *error = QStringLiteral("'%1' is not a sweep range: %2").arg(text, why);
        return std::nullopt;
    };
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash <= 0)
        return fail(QStringLiteral("expected ADDRESS/PREFIX[:PORT]"));
    SweepRange range;
    QString prefixText = text.mid(slash + 1);
    const qsizetype colon = prefixText.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        bool ok = false;
        range.port = prefixText.mid(colon + 1).toInt(&ok, 10);
        if (!ok || range.port < 1 || range.port > 65535)
            return fail(QStringLiteral("the port must be 1 to 65535"));
        prefixText = prefixText.left(colon);
    }
    bool ok = false;
    range.prefixLength = prefixText.toInt(&ok, 10);
    if (!ok || range.prefixLength < 0 || range.prefixLength > 32)
        return fail(QStringLiteral("the prefix must be 0 to 32"));
    if (range.prefixLength < kMinSweepPrefix)
        return fail(QStringLiteral("at most a /%1 (1024 addresses) is swept").arg(kMinSweepPrefix));
    // The one address rule: four decimal octets, no octal or short forms.
    const std::optional<quint32> network = ipv4Value(text.left(slash));
    if (!network)
        return fail(QStringLiteral("not an IPv4 address"));
    range.network = QHostAddress(*network);
    const quint32 size = range.prefixLength >= 32 ? 1u : (1u << (32 - range.prefixLength));
    range.network = QHostAddress(range.network.toIPv4Address() & ~(size - 1));
    return range;
}

} // namespace qzr::discovery
