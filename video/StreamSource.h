#pragma once

#include <QString>

struct AVFormatContext;

namespace qzr::video {

enum class RtspTransport { Tcp, Udp };

// How the receiver opens its input. The receiver owns demuxing and decoding;
// a source only knows where the stream comes from: an RTSP address, a local
// file, or an SDP held in memory for multicast RTP (MulticastStreamSource.h).
// open() runs on the receiver's thread.
class StreamSource
{
public:
    virtual ~StreamSource() = default;

    // For logs and notices; never holds credentials.
    virtual QString description() const = 0;
    // Live sources get the low-delay options, skip stream probing and are
    // reconnected when lost; a non-live source ends at its end of file.
    virtual bool isLive() const = 0;
    // A non-live source that restarts at its end and is read at its own frame
    // rate, so it behaves like a camera (demonstrations and tests).
    virtual bool loops() const { return false; }
    // Opens the input into *context, which the receiver allocated with its
    // interrupt callback set. Returns 0 or an AVERROR code; on failure FFmpeg
    // has freed *context.
    virtual int open(AVFormatContext **context) = 0;
};

// An RTSP (or other network) address; credentials are given apart and put
// percent-encoded into the address handed to FFmpeg only.
class UrlStreamSource : public StreamSource
{
public:
    // FFmpeg's socket time-out: longer than the receiver's deadlines.
    static constexpr int kSocketTimeoutMs = 15000;

    UrlStreamSource(QString url, QString user, QString password,
                    RtspTransport transport = RtspTransport::Tcp);

    QString description() const override;
    bool isLive() const override { return true; }
    int open(AVFormatContext **context) override;

    // The address with "user:password@" inserted after the scheme, both
    // percent-encoded (RFC 3986 unreserved characters kept). No user, no change.
    static QString urlWithCredentials(const QString &url, const QString &user,
                                      const QString &password);
    // The address with any user information removed, for logs.
    static QString redacted(const QString &url);

private:
    QString m_url;
    QString m_user;
    QString m_password;
    RtspTransport m_transport;
};

// A local media file (MP4, AVI, MKV, ...).
class FileStreamSource : public StreamSource
{
public:
    explicit FileStreamSource(QString path, bool loopAtFrameRate = false);

    QString description() const override { return m_path; }
    bool isLive() const override { return false; }
    bool loops() const override { return m_loop; }
    int open(AVFormatContext **context) override;

private:
    QString m_path;
    bool m_loop;
};

} // namespace qzr::video
