#include "protocol/RequestTarget.h"

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

QByteArray encodeTargetText(const QString &text, bool insideValue)
{
    static const char kHex[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
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

QByteArray targetForRawQuery(const QString &query)
{
    return QByteArray(ParamQuery::kPath) + encodeTargetText(query, false);
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

QByteArray ParamQuery::target() const
{
    QByteArray out(kPath);
    bool first = true;
    for (const Item &item : m_items) {
        if (!first)
            out.append('&');
        first = false;
        out.append(encodeTargetText(item.key, false));
        if (item.hasValue) {
            out.append('=');
            out.append(encodeTargetText(item.value, true));
        }
    }
    return out;
}

} // namespace qzr
