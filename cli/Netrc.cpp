#include "cli/Netrc.h"

#include "protocol/ConnectionInput.h"

#include <QFile>
#include <QHostAddress>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qzr::cli {

namespace {

// A call interrupted by a signal is tried again, this many times at most.
constexpr int kMaxInterruptedCalls = 100;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

struct Word
{
    QByteArray bytes;
    int line = 0;
};

// The words of a netrc file, one after the other. Every loop moves on by
// at least one byte, so none runs longer than the file.
class WordReader
{
public:
    WordReader(const QByteArray &bytes, const QString &path) : m_bytes(bytes), m_path(path) {}

    [[noreturn]] void fail(int line, const QString &what) const
    {
        throw NetrcError(QStringLiteral("%1, line %2: %3").arg(m_path).arg(line).arg(what));
    }

    // The next word, or none at the end of the file.
    std::optional<Word> next()
    {
        skipBlanksAndComments();
        if (m_pos >= m_bytes.size())
            return std::nullopt;
        Word word;
        word.line = m_line;
        if (m_bytes.at(m_pos) == '"')
            word.bytes = quotedWord();
        else
            word.bytes = plainWord();
        return word;
    }

    // The word a keyword takes, which must be there.
    QString valueOf(const Word &keyword)
    {
        const std::optional<Word> value = next();
        if (!value)
            fail(keyword.line, QStringLiteral("'%1' without its word").arg(QString::fromLatin1(keyword.bytes)));
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString text = decoder(value->bytes);
        if (decoder.hasError())
            fail(value->line, QStringLiteral("a word that is not UTF-8 text"));
        return text;
    }

    // After "macdef NAME": the rest of its line, then every line up to and
    // including the next one that holds only blanks (or the end of the file).
    void skipMacro()
    {
        skipLine();
        while (m_pos < m_bytes.size()) {
            qsizetype end = m_bytes.indexOf('\n', m_pos);
            if (end < 0)
                end = m_bytes.size();
            bool blank = true;
            for (qsizetype i = m_pos; i < end && blank; ++i)
                blank = isBlank(m_bytes.at(i));
            m_pos = end;
            skipLine();
            if (blank)
                break;
        }
    }

private:
    // Past the next line end (or to the end of the file).
    void skipLine()
    {
        const qsizetype end = m_bytes.indexOf('\n', m_pos);
        if (end < 0) {
            m_pos = m_bytes.size();
            return;
        }
        m_pos = end + 1;
        ++m_line;
    }

    void skipBlanksAndComments()
    {
        while (m_pos < m_bytes.size()) {
            const char c = m_bytes.at(m_pos);
            if (c == '#') {
                // To the line end, which the next round takes.
                const qsizetype end = m_bytes.indexOf('\n', m_pos);
                m_pos = end < 0 ? m_bytes.size() : end;
                continue;
            }
            if (!isBlank(c))
                return;
            if (c == '\n')
                ++m_line;
            ++m_pos;
        }
    }

    void append(QByteArray &word, char c, int line) const
    {
        if (word.size() >= kMaxNetrcWordBytes)
            fail(line, QStringLiteral("a word longer than %1 bytes").arg(kMaxNetrcWordBytes));
        word += c;
    }

    QByteArray plainWord()
    {
        QByteArray word;
        while (m_pos < m_bytes.size() && !isBlank(m_bytes.at(m_pos)))
            append(word, m_bytes.at(m_pos++), m_line);
        return word;
    }

    QByteArray quotedWord()
    {
        const QString unclosed = QStringLiteral("a quoted word without its closing \"");
        QByteArray word;
        ++m_pos; // the opening quote
        for (;;) {
            if (m_pos >= m_bytes.size() || m_bytes.at(m_pos) == '\n')
                fail(m_line, unclosed);
            char c = m_bytes.at(m_pos++);
            if (c == '"')
                break;
            if (c == '\\') {
                if (m_pos >= m_bytes.size() || m_bytes.at(m_pos) == '\n')
                    fail(m_line, unclosed);
                const char escaped = m_bytes.at(m_pos++);
                c = escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped == 't' ? '\t' : escaped;
            }
            append(word, c, m_line);
        }
        if (m_pos < m_bytes.size() && !isBlank(m_bytes.at(m_pos)))
            fail(m_line, QStringLiteral("a quoted word goes on past its closing quote"));
        return word;
    }

    const QByteArray &m_bytes;
    const QString m_path;
    qsizetype m_pos = 0;
    int m_line = 1;
};

int lineAt(const QByteArray &bytes, qsizetype position)
{
    return int(QByteArrayView(bytes).first(position).count('\n')) + 1;
}

} // namespace

QList<NetrcEntry> parseNetrc(const QByteArray &bytes, const QString &path)
{
    WordReader reader(bytes, path);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        reader.fail(lineAt(bytes, nul), QStringLiteral("a NUL byte; a netrc file is text"));

    QList<NetrcEntry> entries;
    bool inEntry = false;
    while (const std::optional<Word> word = reader.next()) {
        const QByteArray &keyword = word->bytes;
        if (keyword == "machine" || keyword == "default") {
            NetrcEntry entry;
            entry.isDefault = keyword == "default";
            entry.line = word->line;
            if (!entry.isDefault)
                entry.machine = reader.valueOf(*word);
            entries << entry;
            inEntry = true;
        } else if (keyword == "login" || keyword == "password" || keyword == "account") {
            if (!inEntry)
                reader.fail(word->line, QStringLiteral("'%1' outside a 'machine' or 'default' entry")
                                            .arg(QString::fromLatin1(keyword)));
            const QString value = reader.valueOf(*word);
            if (keyword == "account")
                continue; // the cameras have none
            NetrcEntry &entry = entries.last();
            std::optional<QString> &field = keyword == "login" ? entry.login : entry.password;
            if (field)
                reader.fail(word->line, QStringLiteral("a second '%1' for one entry").arg(QString::fromLatin1(keyword)));
            field = value;
        } else if (keyword == "macdef") {
            reader.valueOf(*word);
            reader.skipMacro();
            // What follows a macro belongs to no entry until the next one.
            inEntry = false;
        } else {
            // The word itself is not shown: it may be a piece of a password.
            reader.fail(word->line, QStringLiteral("a word that is no netrc keyword (machine, default, login, "
                                                   "password, account, macdef); a word with blanks needs quotes"));
        }
    }
    return entries;
}

QList<NetrcEntry> readNetrcFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    for (int attempt = 0; attempt < kMaxInterruptedCalls; ++attempt) {
        // Not blocking: a FIFO is refused below instead of waiting for a writer.
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0 || errno != EINTR)
            break;
    }
    if (fd < 0)
        throw NetrcError(QStringLiteral("cannot read %1: %2").arg(path, systemText(errno)));

    QByteArray bytes;
    int error = 0;
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        error = errno;
    } else if (S_ISDIR(status.st_mode)) {
        error = EISDIR;
    } else if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        throw NetrcError(QStringLiteral("cannot read %1: not a regular file").arg(path));
    } else {
        // One byte past the limit tells a file that is too large.
        bytes.resize(kMaxNetrcFileBytes + 1);
        qsizetype total = 0;
        int interrupted = 0;
        while (total < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + total, size_t(bytes.size() - total));
            if (got < 0 && errno == EINTR && ++interrupted < kMaxInterruptedCalls)
                continue;
            if (got < 0) {
                error = errno;
                break;
            }
            if (got == 0)
                break;
            total += got;
        }
        bytes.truncate(total);
    }
    ::close(fd);
    if (error != 0)
        throw NetrcError(QStringLiteral("cannot read %1: %2").arg(path, systemText(error)));
    if (bytes.size() > kMaxNetrcFileBytes)
        throw NetrcError(QStringLiteral("%1, line %2: the file is larger than %3 KiB; not read")
                             .arg(path)
                             .arg(lineAt(bytes, kMaxNetrcFileBytes))
                             .arg(kMaxNetrcFileBytes / 1024));
    return parseNetrc(bytes, path);
}

bool sameCameraHost(const QString &first, const QString &second)
{
    const std::optional<QString> a = cameraHost(first);
    const std::optional<QString> b = cameraHost(second);
    if (!a || !b)
        return false;
    if (a->contains(u':') || b->contains(u':')) {
        const QHostAddress left(*a);
        const QHostAddress right(*b);
        return !left.isNull() && !right.isNull() && left.protocol() == right.protocol() && left == right
            && left.scopeId() == right.scopeId();
    }
    return a->compare(*b, Qt::CaseInsensitive) == 0;
}

const NetrcEntry *netrcEntryFor(const QList<NetrcEntry> &entries, const QString &host)
{
    const NetrcEntry *fallback = nullptr;
    for (const NetrcEntry &entry : entries) {
        if (entry.isDefault) {
            if (!fallback)
                fallback = &entry;
        } else if (sameCameraHost(entry.machine, host)) {
            return &entry;
        }
    }
    return fallback;
}

} // namespace qzr::cli
