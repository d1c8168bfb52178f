#include "video/StreamSource.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

namespace qzr::video {

namespace {

QString percentEncoded(const QString &text)
{
    // Everything outside the unreserved set is encoded, so ':', '@', '/' and
    // '%' in a password cannot change how the address is split.
    return QString::fromLatin1(text.toUtf8().toPercentEncoding());
}

// Position just after "scheme://", or -1.
qsizetype authorityStart(const QString &url)
{
    const qsizetype schemeEnd = url.indexOf(QStringLiteral("://"));
    return schemeEnd < 0 ? -1 : schemeEnd + 3;
}

} // namespace

UrlStreamSource::UrlStreamSource(QString url, QString user, QString password,
                                 RtspTransport transport)
    : m_url(std::move(url)), m_user(std::move(user)), m_password(std::move(password)),
      m_transport(transport)
{
}

QString UrlStreamSource::description() const
{
    return redacted(m_url);
}

QString UrlStreamSource::urlWithCredentials(const QString &url, const QString &user,
                                            const QString &password)
{
    const qsizetype start = authorityStart(url);
    if (start < 0 || (user.isEmpty() && password.isEmpty()))
        return url;
    const QString plain = redacted(url);
    QString userInfo = percentEncoded(user);
    if (!password.isEmpty())
        userInfo += QLatin1Char(':') + percentEncoded(password);
    return plain.left(start) + userInfo + QLatin1Char('@') + plain.mid(start);
}

QString UrlStreamSource::redacted(const QString &url)
{
    const qsizetype start = authorityStart(url);
    if (start < 0)
        return url;
    qsizetype authorityEnd = url.indexOf(QLatin1Char('/'), start);
    if (authorityEnd < 0)
        authorityEnd = url.size();
    const qsizetype at = url.lastIndexOf(QLatin1Char('@'), authorityEnd - 1);
    if (at < start)
        return url;
    return url.left(start) + url.mid(at + 1);
}

int UrlStreamSource::open(AVFormatContext **context)
{
    AVDictionary *options = nullptr;
    if (m_url.startsWith(QLatin1String("rtsp"), Qt::CaseInsensitive))
        av_dict_set(&options, "rtsp_transport",
                    m_transport == RtspTransport::Tcp ? "tcp" : "udp", 0);
    // Socket I/O timeout in microseconds: only a backstop. The receiver's own
    // deadlines (opening, no data) must end a silent connection first, so that
    // it counts as "No data"; FFmpeg's time-out ends the open with "Invalid
    // data", which would be taken for a bad stream.
    av_dict_set(&options, "timeout", QByteArray::number(qint64(kSocketTimeoutMs) * 1000).constData(), 0);
    // Low delay: no input buffering, minimal probing, no reordering wait.
    av_dict_set(&options, "fflags", "nobuffer", 0);
    av_dict_set(&options, "probesize", "32", 0);
    av_dict_set(&options, "analyzeduration", "0", 0);
    av_dict_set(&options, "max_delay", "0", 0);
    av_dict_set(&options, "reorder_queue_size", "0", 0);
    const QByteArray address = urlWithCredentials(m_url, m_user, m_password).toUtf8();
    const int result = avformat_open_input(context, address.constData(), nullptr, &options);
    av_dict_free(&options);
    return result;
}

FileStreamSource::FileStreamSource(QString path, bool loopAtFrameRate)
    : m_path(std::move(path)), m_loop(loopAtFrameRate)
{
}

int FileStreamSource::open(AVFormatContext **context)
{
    const QByteArray path = m_path.toUtf8();
    int result = avformat_open_input(context, path.constData(), nullptr, nullptr);
    if (result < 0)
        return result;
    result = avformat_find_stream_info(*context, nullptr);
    if (result < 0)
        avformat_close_input(context);
    return result;
}

} // namespace qzr::video
