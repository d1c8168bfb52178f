#include "settingsfile/SettingsFile.h"

#include "encoder/EncoderRequests.h"
#include "encoder/EncoderTables.h"
#include "protocol/CodePage.h"
#include "settingsfile/SafeFile.h"
#include "encoder/SettingsText.h"

#include <QFile>

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
    return writeFileAtomically(path, *bytes);
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
    const auto refuse = [error](const QString &text) -> std::optional<QStringList> {
        if (error)
            *error = text;
        return std::nullopt;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // The system's reason, so that the user knows what to mend.
        return refuse(QStringLiteral("Cannot open file %1: %2").arg(path, file.errorString()));
    }
    // Never more than the limit is read, whatever the file claims to be.
    const QByteArray bytes = file.read(kMaxSettingsFileBytes + 1);
    if (bytes.size() > kMaxSettingsFileBytes)
        return refuse(QStringLiteral("%1 is no settings file: it is larger than %2 KiB (a settings file has %3 "
                                     "short lines)")
                          .arg(path)
                          .arg(kMaxSettingsFileBytes / 1024)
                          .arg(kFileLineCount));
    const QStringList lines = splitSettingsBytes(bytes);
    for (qsizetype k = 0; k < lines.size(); ++k) {
        if (lines.at(k).size() > kMaxSettingsLineLength)
            return refuse(QStringLiteral("%1: Line %2: longer than %3 characters; no setting is")
                              .arg(path)
                              .arg(k + 1)
                              .arg(kMaxSettingsLineLength));
    }
    return lines;
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
        steps << UploadStep{encoderUploadRequest(lines, k), kEncoderStorePauseMs, 1, false};
        steps << UploadStep{encoder::storeRequest(QString::number(k)), 0, 2, true};
    }
    const QString s = lineAt(lines, kSceneNumberLine);
    for (std::size_t i = 0; i < kSceneValueKeys.size(); ++i) {
        const QString value = lineAt(lines, kFirstSceneValueLine + int(i));
        bool stores = false; // a write, then its store command
        for (const ParamQuery &request : image::writeAndStore(s, image::sceneKey(s, kSceneValueKeys[i]), value)) {
            steps << UploadStep{request, 0, 0, stores};
            stores = true;
        }
    }
    return steps;
}

namespace {

// "encoder 2", "encoders 1-3".
QString encoderRange(int first, int last)
{
    return first == last ? QStringLiteral("encoder %1").arg(first) : QStringLiteral("encoders %1-%2").arg(first).arg(last);
}

} // namespace

QString uploadProgressText(const QString &sceneNumber, int stepsDone)
{
    constexpr int kEncoderSteps = 2 * encoder::kEncoderCount;
    constexpr int kSceneSettings = int(kSceneValueKeys.size());
    const QString scene = QStringLiteral("scene file %1").arg(sceneNumber);
    if (stepsDone <= 0)
        return QStringLiteral("nothing written");

    const int encoderSteps = std::min(stepsDone, kEncoderSteps);
    const int encodersStored = encoderSteps / 2;
    const bool encoderPending = encoderSteps % 2 == 1;
    QStringList parts;
    if (encodersStored > 0)
        parts << encoderRange(1, encodersStored) + QStringLiteral(" stored");
    if (encoderPending)
        parts << QStringLiteral("encoder %1 written but not stored").arg(encodersStored + 1);
    const int firstUntouched = encodersStored + (encoderPending ? 2 : 1);
    if (firstUntouched <= encoder::kEncoderCount) {
        parts << encoderRange(firstUntouched, encoder::kEncoderCount) + QStringLiteral(" and ") + scene
                     + QStringLiteral(" not written");
        return parts.join(QStringLiteral(", "));
    }

    const int sceneSteps = std::max(0, stepsDone - kEncoderSteps);
    const int settingsStored = std::min(sceneSteps / 2, kSceneSettings);
    const bool settingPending = sceneSteps % 2 == 1 && settingsStored < kSceneSettings;
    if (settingsStored == kSceneSettings)
        return encoderRange(1, encoder::kEncoderCount) + QStringLiteral(" and ") + scene + QStringLiteral(" stored");
    if (settingsStored == 0 && !settingPending)
        parts << scene + QStringLiteral(" not written");
    else
        parts << QStringLiteral("%1: %2 of %3 settings stored%4")
                     .arg(scene)
                     .arg(settingsStored)
                     .arg(kSceneSettings)
                     .arg(settingPending ? QStringLiteral(", 1 written but not stored") : QString());
    return parts.join(QStringLiteral(", "));
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
