#include "ParamQuery.h"


namespace qzr::sim {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kReplyHead[][40] = {"<html>", "<head><title>QZ-R param</title></head>", "<body>",
                                   "<pre>"};
constexpr char kReplyTail[][16] = {"</pre>", "</body></html>"};

} // namespace

QString decodeComponent(const QByteArray &raw)
{
    // One character per byte: the camera keeps the bytes it was sent.
    return QString::fromLatin1(QByteArray::fromPercentEncoding(raw));
}

QList<ParamItem> parseParamQuery(const QByteArray &rawQuery)
{
    QList<ParamItem> items;
    for (const QByteArray &rawItem : rawQuery.split('&')) {
        if (rawItem.isEmpty())
            continue;
        ParamItem item;
        const int equals = rawItem.indexOf('=');
        if (equals < 0) {
            item.key = decodeComponent(rawItem);
        } else {
            item.isWrite = true;
            item.key = decodeComponent(rawItem.left(equals));
            item.value = decodeComponent(rawItem.mid(equals + 1));
        }
        items << item;
    }
    return items;
}

QByteArray paramReplyBody(const QList<ParamReplyLine> &lines)
{
    QByteArray body;
    for (const char *line : kReplyHead)
        body += QByteArray(line) + kLineEnd;
    for (const ParamReplyLine &line : lines)
        body += (line.key + QLatin1Char('=') + line.value + QLatin1Char('&')).toLatin1() + kLineEnd;
    for (const char *line : kReplyTail)
        body += QByteArray(line) + kLineEnd;
    return body;
}

} // namespace qzr::sim
