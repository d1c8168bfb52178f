#pragma once
#include <QString>
#include <stdexcept>

namespace qzr {

// A failure that ends the running camera operation. The text is shown by the
// application-wide error report exactly as given (it adds the final ".").
class CameraError : public std::runtime_error
{
public:
    explicit CameraError(const QString &text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString &text() const { return m_text; }

private:
    QString m_text;
};

// "'8o' is not a valid integer value": a text that had to be a whole number.
inline QString notAnIntegerText(const QString &text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

// Converts a decimal text the way every number field of the tool is read:
// optional sign, digits, surrounding blanks allowed; anything else fails.
inline int toIntegerOrThrow(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        throw CameraError(notAnIntegerText(text));
    return value;
}

// The error report appends "." unless the text already ends in a character at
// or below "." (so "Connection refused." and "...value." stay as they are).
inline QString withFinalPeriod(const QString &text)
{
    if (!text.isEmpty() && text.back().unicode() <= u'.')
        return text;
    return text + QLatin1Char('.');
}

} // namespace qzr
