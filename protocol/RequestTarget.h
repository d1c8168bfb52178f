#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

namespace qzr {

// Builds the request target of the camera's parameter interface,
// "/api/param?" followed by a key (a read) or by assignments joined by "&"
// (a write). Keys and values go on the wire as built, except for the few
// characters that cannot stand in an HTTP request target: those are
// percent-encoded with upper-case hex (see encodeTargetText).
class ParamQuery
{
public:
    static constexpr const char *kPath = "/api/param?";

    ParamQuery() = default;

    // A read of one key: "/api/param?encode(1).framerate".
    static ParamQuery read(const QString &key);

    // Appends one assignment; several are joined by "&" in one request.
    ParamQuery &set(const QString &key, const QString &value);

    // Appends a key without a value (a read) to the same request.
    ParamQuery &key(const QString &key);

    bool isEmpty() const { return m_items.isEmpty(); }

    // The query as the user would read it (unencoded), for messages and logs.
    QString text() const;

    // "/api/param?" + the encoded query: the exact bytes after "GET ".
    // Throws CameraError, naming the key, for a character that the camera's
    // code page cannot hold.
    QByteArray target() const;

private:
    struct Item
    {
        QString key;
        QString value;
        bool hasValue = false;
    };
    QList<Item> m_items;
};

// A query or request target for messages and logs: the value of every key
// that names a password ("system.password.operator(0)=NEW") is shown as
// "***", whatever its case; everything else is kept.
QString withSecretsMasked(const QString &query);

// Percent-encodes, byte by byte, what cannot stand in a request target:
// space, '#', '\\', '"', '<', '>', '%', control characters and bytes above
// 0x7E; with insideValue also '&', so that a value holding "&" never becomes
// a second assignment. Everything else is kept as it is.
QByteArray encodeTargetBytes(const QByteArray &bytes, bool insideValue);

// The same for a text, sent in the camera's code page (CodePage.h). A
// character the code page cannot hold throws CameraError naming field, so
// that nothing is sent.
QByteArray encodeTargetText(const QString &text, bool insideValue, const QString &field);

// A query typed as a whole ("a=1&b=2"): the "&" and "=" are the caller's own
// separators and are kept; the other characters are encoded as above.
QByteArray targetForRawQuery(const QString &query);

} // namespace qzr
