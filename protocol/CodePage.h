#pragma once
#include <QByteArray>
#include <QString>

#include <optional>

namespace qzr {

// The camera's code page: values travel on the wire, and stand in the
// settings file, as single bytes of Windows-1252, the code page of the
// tool's first users. Every byte 0x00-0xFF has exactly one character here
// (the five bytes that Windows-1252 leaves unassigned keep their C1
// control characters), so bytes taken from the camera or a file come back
// out unchanged: camera bytes -> text -> camera bytes is the identity.

// The text of bytes in the camera's code page.
QString fromCameraBytes(const QByteArray &bytes);

// The bytes of a text in the camera's code page; nothing when a character
// has no byte there (typed text such as "Ω" or "€" written as U+0080).
std::optional<QByteArray> toCameraBytes(const QString &text);

// The first character of text that the camera's code page cannot hold.
std::optional<QString> firstCharOutsideCodePage(const QString &text);

// "FIELD: 'TEXT' holds "Ω", which the camera's code page (Windows-1252)
// cannot hold": the refusal of typed text, naming the field or argument.
QString outsideCodePageText(const QString &field, const QString &text, const QString &character);

// Converts typed text, or throws CameraError with outsideCodePageText.
QByteArray toCameraBytesOrThrow(const QString &field, const QString &text);

} // namespace qzr
