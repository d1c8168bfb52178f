#include "protocol/ReplyLog.h"

#include <QRegularExpression>

namespace qzr {

void ReplyLog::setText(const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    QStringList lines = text.split(lineBreak);
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() == 1 && lines.first().isEmpty())
        lines.clear();
    m_lines = lines;
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
    return QString::fromLatin1(body);
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

} // namespace qzr
