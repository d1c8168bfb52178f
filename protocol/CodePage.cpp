#include "protocol/CodePage.h"

#include "protocol/CameraError.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace qzr {

namespace {

constexpr const char *kCodePageName = "windows-1252";

// Bytes 0x00-0x7F are the same characters in the code page as in ASCII;
// most replies and values hold no other, and need no converter then.
bool isAscii(const QByteArray &bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80; });
}

bool isAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

QString fromCameraBytes(const QByteArray &bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder decoder(kCodePageName);
    return decoder.decode(bytes);
}

std::optional<QByteArray> toCameraBytes(const QString &text)
{
    if (isAscii(text))
        return text.toLatin1();
    QStringEncoder encoder(kCodePageName);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

std::optional<QString> firstCharOutsideCodePage(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A surrogate pair is one character.
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        if (!toCameraBytes(character))
            return character;
        i += length - 1;
    }
    return std::nullopt;
}

QString outsideCodePageText(const QString &field, const QString &text, const QString &character)
{
    return QStringLiteral("%1: '%2' holds \"%3\", which the camera's code page (Windows-1252) cannot hold")
        .arg(field, text, character);
}

QByteArray toCameraBytesOrThrow(const QString &field, const QString &text)
{
    if (const std::optional<QByteArray> bytes = toCameraBytes(text))
        return *bytes;
    throw CameraError(outsideCodePageText(field, text, firstCharOutsideCodePage(text).value_or(QString())));
}

} // namespace qzr
