#pragma once
#include <QString>
#include <stdexcept>

namespace qzr {

// What kind of failure a GET ended with, for messages that say what to check.
enum class RequestFailure {
    None,
    Status,          // the camera answered with a status other than 2xx
    Refused,         // the connection was refused
    ConnectTimeout,  // the connection was not made in time
    Unreachable,     // host or network unreachable, no route
    ReplyTimeout,    // the request went out and no reply came in time
    Closed,          // the camera closed or reset the connection
    Malformed,       // the reply cannot be read
    NameNotFound,    // a host name that no name server knows
    Cancelled,       // the user cancelled the request
    Other,
};


// A failure that ends the running camera operation. The text is shown by the
// application-wide error report exactly as given (it adds the final ".").
class CameraError : public std::runtime_error
{
public:
    explicit CameraError(const QString &text)
        : std::runtime_error(text.toStdString()), m_text(text), m_description(text) {}
    // A failure of one camera's request: "127.0.0.1:80 refused the login ...".
    CameraError(const QString &camera, const QString &description, RequestFailure failure)
        : CameraError(camera + QLatin1Char(' ') + description)
    {
        m_description = description;
        m_failure = failure;
    }
    // A request the user cancelled.
    static CameraError cancelled(const QString &text)
    {
        CameraError error(text);
        error.m_failure = RequestFailure::Cancelled;
        return error;
    }
    const QString &text() const { return m_text; }
    // The text without the camera, for lists whose rows already name it.
    const QString &description() const { return m_description; }
    // How the request failed; None for failures of other kinds.
    RequestFailure failure() const { return m_failure; }

private:
    RequestFailure m_failure = RequestFailure::None;
    QString m_text;
    QString m_description;
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
