#include "protocol/ReplyLog.h"

#include "protocol/CodePage.h"

namespace qzr {

void ReplyLog::setText(const QString &text)
{
    // Lines end at CR LF, LF or CR.
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    lines << text.mid(start);
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() == 1 && lines.first().isEmpty())
        lines.clear();
    m_lines = std::move(lines);
    changed();
}

void ReplyLog::deleteLine(int index)
{
    if (index < 0 || index >= m_lines.size())
        return;
    m_lines.removeAt(index);
    changed();
}

void ReplyLog::appendLine(const QString &line)
{
    m_lines.append(line);
    changed();
}

void ReplyLog::trimReply()
{
    for (int i = 0; i < 4; ++i)
        deleteLine(0);
    for (int i = 0; i < 2; ++i)
        deleteLine(1);
}

void ReplyLog::changed()
{
    if (m_onChange)
        m_onChange();
}

QString bodyText(const QByteArray &body)
{
    return fromCameraBytes(body);
}

QString valueFrom(const QString &text, int start)
{
    if (start < 1)
        start = 1;
    const qsizetype from = start - 1;
    if (from >= text.size())
        return QString();
    const qsizetype end = text.indexOf(QLatin1Char('&'), from);
    return end < 0 ? text.mid(from) : text.mid(from, end - from);
}

QStringList refusedKeys(const QByteArray &body)
{
    static const QString kRefusedEnd = QLatin1Char('=') + QLatin1String(kRefusedValue) + QLatin1Char('&');
    QStringList keys;
    for (QString line : bodyText(body).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.size() > kRefusedEnd.size() && line.endsWith(kRefusedEnd))
            keys << line.left(line.size() - kRefusedEnd.size());
    }
    return keys;
}

QString refusedText(const QStringList &keys, const QString &request)
{
    return QStringLiteral("The camera refused %1 (%2)").arg(keys.join(QStringLiteral(", ")), request);
}

} // namespace qzr
