#pragma once
// The properties every input must keep, shared by the libFuzzer targets and
// the bounded random-input test. Each returns an empty text when the input
// behaved, else what went wrong.
#include "protocol/ReplyLog.h"
#include "settingsfile/SettingsFile.h"
#include "encoder/SettingsText.h"

#include <QByteArray>
#include <QString>

namespace qzr::fuzzchecks {

// Settings file bytes: the reader and the check either accept the file (and
// then the upload list has its 32 requests and the bytes written back read
// the same) or name one bad line.
inline QString checkSettingsBytes(const QByteArray &bytes)
{
    using namespace qzr::settingsfile;
    const QStringList lines = splitSettingsBytes(bytes);
    for (const QString &line : lines)
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            return QStringLiteral("a line holds a line break");
    const std::optional<QString> problem = validateSettings(lines);
    if (problem) {
        if (!problem->startsWith(QStringLiteral("Line ")))
            return QStringLiteral("message names no line: ") + *problem;
        return QString();
    }
    if (lines.size() != kFileLineCount)
        return QStringLiteral("accepted a file of %1 lines").arg(lines.size());
    if (uploadSteps(lines).size() != 2 * 3 + 2 * int(kSceneValueKeys.size()))
        return QStringLiteral("upload list has the wrong length");
    const std::optional<QByteArray> written = encodeSettingsFile(lines);
    if (!written || splitSettingsBytes(*written) != lines)
        return QStringLiteral("accepted file does not survive a write and read");
    if (!compareSettings(lines, lines).isEmpty())
        return QStringLiteral("a file differs from itself");
    return QString();
}

// Reply bytes: the first two bytes pick a start, the rest is the reply.
inline QString checkReplyBytes(const QByteArray &bytes)
{
    const int start = bytes.size() >= 2 ? (int(uchar(bytes.at(0))) << 8 | uchar(bytes.at(1))) - 8 : 1;
    const QString text = bodyText(bytes.mid(2));
    const QString value = valueFrom(text, start);
    if (value.contains(QLatin1Char('&')))
        return QStringLiteral("value holds &");
    const int from = std::max(start, 1) - 1;
    if (!value.isEmpty() && text.mid(from, value.size()) != value)
        return QStringLiteral("value is not the text at its start");
    ReplyLog log;
    int changes = 0;
    log.setChangeHandler([&changes] { ++changes; });
    log.setText(text);
    const int before = int(log.lines().size());
    log.trimReply();
    const int afterFirst = std::max(0, before - 4);
    const int expected = afterFirst <= 1 ? afterFirst : std::max(1, afterFirst - 2);
    if (log.lines().size() != expected)
        return QStringLiteral("trim left %1 lines of %2").arg(log.lines().size()).arg(before);
    valueFrom(log.text(), start);
    return QString();
}

} // namespace qzr::fuzzchecks
