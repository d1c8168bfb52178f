#pragma once
// The credentials of many cameras in one file (--netrc-file), in the netrc
// format that curl and ftp read:
//
//   machine 10.1.2.3 login admin password "a secret with \"quotes\""
//   machine cam-lobby.site login operator password s3cret
//   default login admin password kqm
//
// Words are separated by blanks and line ends. A word in double quotes may
// hold blanks, and \" \\ \n \r \t inside it stand for ", \, a line end, a
// carriage return and a tab (any other \c for c). "account NAME" is taken
// and ignored; "macdef NAME" skips its line and every one after it up to
// and including the next blank line. A word that starts with "#" outside
// quotes starts a comment to the end of its line.
//
// Hand-written: libcurl reads netrc files only inside its own transfers and
// for the host of the URL, while the tool sets Authorization itself and
// matches a machine by the tool's own address rule.
#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace qzr::cli {

// What --netrc-file reads at most: a larger file, or one word longer than
// this, is refused.
inline constexpr qint64 kMaxNetrcFileBytes = 64 * 1024;
inline constexpr qsizetype kMaxNetrcWordBytes = 1024;

// One "machine" or "default" entry of the file.
struct NetrcEntry
{
    QString machine;              // as written; empty for "default"
    bool isDefault = false;
    std::optional<QString> login; // not given: the call's user
    std::optional<QString> password; // not given: the call's password
    int line = 0;                 // where "machine" or "default" stands
};

// A file that cannot be read or is not a netrc file; the text names the
// file (and the line), never a word of it.
class NetrcError
{
public:
    explicit NetrcError(QString text) : m_text(std::move(text)) {}
    const QString &text() const { return m_text; }

private:
    QString m_text;
};

// The entries of a netrc file's bytes; path names it in the errors. Throws
// NetrcError for a word longer than kMaxNetrcWordBytes, a quoted word
// without its closing quote, a NUL byte or text that is not UTF-8, "login",
// "password" or "account" outside an entry, a keyword without its word, or
// a word that is no keyword where one belongs.
QList<NetrcEntry> parseNetrc(const QByteArray &bytes, const QString &path);

// The entries of the file at path: a regular file of kMaxNetrcFileBytes at
// most. Throws NetrcError naming it with the reason (the system's text for
// a file that cannot be opened or read).
QList<NetrcEntry> readNetrcFile(const QString &path);

// Whether two addresses name the same camera by the tool's address rule
// (protocol/ConnectionInput): both valid, IPv6 addresses compared as
// addresses, IPv4 addresses and host names without regard to case. No name
// is looked up.
bool sameCameraHost(const QString &first, const QString &second);

// The entry for a camera at host, as a host list writes it: the first
// "machine" entry of that address, else the first "default", else none.
const NetrcEntry *netrcEntryFor(const QList<NetrcEntry> &entries, const QString &host);

} // namespace qzr::cli
