#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace qzr {

// The reply log: the text area in which every reply is placed, trimmed and
// read. It holds lines; its text is the lines joined by CR LF. Every change
// of its text is announced (the main window advances its progress bar by one
// step per change and shows the text).
class ReplyLog
{
public:
    using ChangeHandler = std::function<void()>;

    void setChangeHandler(ChangeHandler handler) { m_onChange = std::move(handler); }

    // Replaces the whole text. Lines may be separated by CR LF, LF or CR; a
    // final line break does not start another line.
    void setText(const QString &text);
    void clear() { setText(QString()); }

    // Deletes the line at index (0-based); a line that does not exist is left
    // alone and nothing changes.
    void deleteLine(int index);

    // Adds one line at the end.
    void appendLine(const QString &line);

    // The reply trim: delete the first line four times, then the second line
    // twice, so reply line 5 and lines 8 onward remain.
    void trimReply();

    QString text() const { return m_lines.join(QStringLiteral("\r\n")); }
    const QStringList &lines() const { return m_lines; }

private:
    void changed();

    QStringList m_lines;
    ChangeHandler m_onChange;
};

// The reply body as text: one character per byte, in the camera's code page
// (CodePage.h), so that every byte comes back out unchanged.
QString bodyText(const QByteArray &body);

// The reply-value rule: every character of text from the 1-based position
// start up to, not including, the first "&" at or after it; line breaks are
// no stop. Stops at the end of the text at the latest.
QString valueFrom(const QString &text, int start);

// The value a camera answers for a key it refuses or does not know:
// "KEY=NG&".
inline constexpr char kRefusedValue[] = "NG";

// The keys of the reply's lines "KEY=NG&", in reply order.
QStringList refusedKeys(const QByteArray &body);

// "The camera refused encode(1).status (encode(1).status=save)": the keys
// and the request they were refused in.
QString refusedText(const QStringList &keys, const QString &request);

// The default start of a key's value: the first character after "KEY=".
inline int defaultValueStart(const QString &key) { return int(key.size()) + 2; }

} // namespace qzr
