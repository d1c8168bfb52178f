#include "settingsfile/SettingsFile.h"

#include "encoder/EncoderRequests.h"
#include "encoder/EncoderTables.h"
#include "protocol/CodePage.h"
#include "settingsfile/SettingsText.h"

#include <QFile>
#include <QSaveFile>

namespace qzr::settingsfile {

namespace {

const QString kJpegCodec = QStringLiteral("jpeg");

// A missing line counts as empty text.
QString lineAt(const QStringList &lines, int lineNumber)
{
    return lineNumber >= 1 && lineNumber <= lines.size() ? lines.at(lineNumber - 1) : QString();
}

bool isMarkerLine(int lineNumber)
{
    for (int k = 1; k <= encoder::kEncoderCount; ++k)
        if (lineNumber == encoderBlockStart(k))
            return true;
    return lineNumber == kSceneMarkerLine;
}

QString expectedMarker(int lineNumber)
{
    if (lineNumber == kSceneMarkerLine)
        return QString::fromLatin1(kSceneMarker);
    return encoderMarker((lineNumber - 1) / kEncoderBlockLength + 1);
}

// Control characters are the bytes 0x00-0x1F and 0x7F: the bytes 0x80-0x9F
// are characters of the camera's code page ("€", "Ÿ", ...).
bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

QString describeChar(QChar c)
{
    if (isControl(c))
        return QStringLiteral("a control character (U+%1)")
            .arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0')));
    return QStringLiteral("\"%1\"").arg(c);
}

bool isForbidden(QChar c)
{
    static const QString kForbidden = QStringLiteral("&=?#");
    return kForbidden.contains(c) || isControl(c);
}

} // namespace

std::optional<QByteArray> encodeSettingsFile(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        const std::optional<QByteArray> lineBytes = toCameraBytes(line);
        if (!lineBytes)
            return std::nullopt;
        bytes += *lineBytes + "\r\n";
    }
    return bytes;
}

QString writeSettingsFile(const QString &path, const QStringList &lines)
{
    const std::optional<QByteArray> bytes = encodeSettingsFile(lines);
    if (!bytes)
        return QStringLiteral("Cannot write file %1: a value holds a character that the camera's code page "
                              "(Windows-1252) cannot hold")
            .arg(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot create file %1: %2").arg(path, file.errorString());
    if (file.write(*bytes) != bytes->size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return QStringLiteral("Cannot write file %1: %2").arg(path, reason);
    }
    if (!file.commit())
        return QStringLiteral("Cannot write file %1: %2").arg(path, file.errorString());
    return QString();
}

QStringList splitSettingsBytes(const QByteArray &bytes)
{
    QStringList lines;
    QByteArray current;
    qsizetype i = 0;
    const qsizetype n = bytes.size();
    bool lineOpen = false;
    while (i < n) {
        const char c = bytes.at(i);
        if (c == '\r' || c == '\n') {
            lines << fromCameraBytes(current);
            current.clear();
            lineOpen = false;
            if (c == '\r' && i + 1 < n && bytes.at(i + 1) == '\n')
                ++i;
        } else {
            current += c;
            lineOpen = true;
        }
        ++i;
    }
    if (lineOpen)
        lines << fromCameraBytes(current);
    return lines;
}

std::optional<QStringList> readSettingsFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open file %1").arg(path);
        return std::nullopt;
    }
    return splitSettingsBytes(file.readAll());
}

std::optional<QString> validateSettings(const QStringList &lines)
{
    const int count = int(lines.size());
    const int checked = std::min(count, kFileLineCount);
    for (int number = 1; number <= checked; ++number) {
        const QString &line = lines.at(number - 1);
        if (isMarkerLine(number)) {
            const QString expected = expectedMarker(number);
            if (line != expected)
                return QStringLiteral("Line %1: expected the marker \"%2\", found \"%3\"").arg(number).arg(expected, line);
            continue;
        }
        for (QChar c : line) {
            if (isForbidden(c))
                return QStringLiteral("Line %1: the value holds %2").arg(number).arg(describeChar(c));
        }
        if (number == kSceneNumberLine) {
            const bool ok = line.size() == 1 && line.at(0) >= QLatin1Char('0') && line.at(0) <= QLatin1Char('7');
            if (!ok)
                return QStringLiteral("Line %1: the scene number must be 0 to 7, found \"%2\"").arg(number).arg(line);
        }
    }
    if (count < kFileLineCount)
        return QStringLiteral("Line %1: missing; the file has %2 lines, %3 are needed")
            .arg(count + 1)
            .arg(count)
            .arg(kFileLineCount);
    if (count > kFileLineCount)
        return QStringLiteral("Line %1: one line too many; the file has %2 lines, %3 are allowed")
            .arg(kFileLineCount + 1)
            .arg(count)
            .arg(kFileLineCount);
    return std::nullopt;
}

QString savedButRefusedText(const QString &path, const QString &problem)
{
    return QStringLiteral("%1 was saved, but an upload refuses it: %2").arg(path, problem);
}

ParamQuery encoderUploadRequest(const QStringList &lines, int encoder)
{
    using encoder::EncoderKey;
    using encoder::encoderKey;
    const int b = encoderBlockStart(encoder);
    const QString codec = lineAt(lines, b + kCodecOffset);
    ParamQuery query;
    query.set(encoderKey(encoder, EncoderKey::Type), codec)
        .set(encoderKey(encoder, EncoderKey::FrameSize), lineAt(lines, b + kFrameSizeOffset))
        .set(encoderKey(encoder, EncoderKey::FrameRate), lineAt(lines, b + kFrameRateOffset))
        .set(encoderKey(encoder, EncoderKey::CbrMode), lineAt(lines, b + kCbrModeOffset));
    if (codec == kJpegCodec) {
        query.set(encoderKey(encoder, EncoderKey::Quality), lineAt(lines, b + kBitrateOrSizeOffset));
    } else {
        query.set(encoderKey(encoder, EncoderKey::Bitrate), lineAt(lines, b + kBitrateOrSizeOffset))
            .set(encoderKey(encoder, EncoderKey::IFrameInterval), lineAt(lines, b + kIFrameIntervalOffset));
    }
    return query;
}

QList<UploadStep> uploadSteps(const QStringList &lines)
{
    QList<UploadStep> steps;
    for (int k = encoder::kFirstEncoder; k <= encoder::kLastEncoder; ++k) {
        steps << UploadStep{encoderUploadRequest(lines, k), kEncoderStorePauseMs, 1};
        steps << UploadStep{encoder::storeRequest(QString::number(k)), 0, 2};
    }
    const QString s = lineAt(lines, kSceneNumberLine);
    for (std::size_t i = 0; i < kSceneValueKeys.size(); ++i) {
        const QString value = lineAt(lines, kFirstSceneValueLine + int(i));
        for (const ParamQuery &request : image::writeAndStore(s, image::sceneKey(s, kSceneValueKeys[i]), value))
            steps << UploadStep{request, 0, 0};
    }
    return steps;
}

QString settingName(const QStringList &lines, int lineNumber)
{
    using encoder::EncoderKey;
    if (lineNumber < 1 || lineNumber > kFileLineCount)
        return QStringLiteral("line %1").arg(lineNumber);
    if (isMarkerLine(lineNumber))
        return QStringLiteral("marker");
    if (lineNumber == kSceneNumberLine)
        return QStringLiteral("scene number");
    if (lineNumber >= kFirstSceneValueLine)
        return image::sceneKey(lineAt(lines, kSceneNumberLine),
                               kSceneValueKeys[std::size_t(lineNumber - kFirstSceneValueLine)]);
    const int k = (lineNumber - 1) / kEncoderBlockLength + 1;
    const int offset = (lineNumber - 1) % kEncoderBlockLength;
    const bool jpeg = lineAt(lines, encoderBlockStart(k) + kCodecOffset) == kJpegCodec;
    EncoderKey key = EncoderKey::Type;
    switch (offset) {
    case kCodecOffset: key = EncoderKey::Type; break;
    case kBitrateOrSizeOffset: key = jpeg ? EncoderKey::Quality : EncoderKey::Bitrate; break;
    case kFrameSizeOffset: key = EncoderKey::FrameSize; break;
    case kCbrModeOffset: key = EncoderKey::CbrMode; break;
    case kIFrameIntervalOffset: key = EncoderKey::IFrameInterval; break;
    default: key = EncoderKey::FrameRate; break;
    }
    return encoder::encoderKey(k, key);
}

QList<SettingDifference> compareSettings(const QStringList &first, const QStringList &second)
{
    QList<SettingDifference> differences;
    const int last = std::max<int>(kFileLineCount, int(std::max(first.size(), second.size())));
    for (int number = 1; number <= last; ++number) {
        const QString a = lineAt(first, number);
        const QString b = lineAt(second, number);
        if (a != b)
            differences << SettingDifference{number, settingName(first, number), a, b};
    }
    return differences;
}

} // namespace qzr::settingsfile
