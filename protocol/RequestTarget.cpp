#include "protocol/RequestTarget.h"

#include "protocol/CodePage.h"

#include <QStringList>

namespace qzr {

namespace {

bool mustEncode(unsigned char byte, bool insideValue)
{
    if (byte < 0x20 || byte > 0x7E)
        return true;
    switch (byte) {
    case ' ':
    case '#':
    case '\\':
    case '"':
    case '<':
    case '>':
    case '%':
        return true;
    case '&':
        return insideValue;
    default:
        return false;
    }
}

} // namespace

QByteArray encodeTargetBytes(const QByteArray &bytes, bool insideValue)
{
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (mustEncode(byte, insideValue)) {
            out.append('%');
            out.append(kHex[byte >> 4]);
            out.append(kHex[byte & 0x0F]);
        } else {
            out.append(c);
        }
    }
    return out;
}

QByteArray encodeTargetText(const QString &text, bool insideValue, const QString &field)
{
    return encodeTargetBytes(toCameraBytesOrThrow(field, text), insideValue);
}

QByteArray targetForRawQuery(const QString &query)
{
    return QByteArray(ParamQuery::kPath) + encodeTargetText(query, false, query);
}

ParamQuery ParamQuery::read(const QString &key)
{
    ParamQuery query;
    query.key(key);
    return query;
}

ParamQuery &ParamQuery::set(const QString &key, const QString &value)
{
    m_items.append({key, value, true});
    return *this;
}

ParamQuery &ParamQuery::key(const QString &key)
{
    m_items.append({key, QString(), false});
    return *this;
}

QString ParamQuery::text() const
{
    QStringList parts;
    for (const Item &item : m_items)
        parts << (item.hasValue ? item.key + QLatin1Char('=') + item.value : item.key);
    return parts.join(QLatin1Char('&'));
}

QString withSecretsMasked(const QString &query)
{
    QStringList items = query.split(QLatin1Char('&'));
    for (QString &item : items) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        if (equals >= 0 && item.left(equals).contains(QLatin1String("password"), Qt::CaseInsensitive))
            item = item.left(equals + 1) + QStringLiteral("***");
    }
    return items.join(QLatin1Char('&'));
}

QByteArray ParamQuery::target() const
{
    QByteArray out(kPath);
    bool first = true;
    for (const Item &item : m_items) {
        if (!first)
            out.append('&');
        first = false;
        out.append(encodeTargetText(item.key, false, item.key));
        if (item.hasValue) {
            out.append('=');
            out.append(encodeTargetText(item.value, true, item.key));
        }
    }
    return out;
}

} // namespace qzr
