#pragma once

#include <QString>

#include "video/MulticastStreamSource.h"
#include "video/StreamSource.h"

namespace qzr::video {

// How a viewer turns the camera address and channel into a stream. One set
// for the process, filled by the application at start-up (--stream-url or
// QZR_STREAM_URL, and the main window's user field); the password is the
// viewer's OpPassword. Read and written on the GUI thread only.
struct StreamSettings
{
    static constexpr const char *kDefaultUrlTemplate = "rtsp://{ip}:554/channel{channel}";

    // "{ip}" and "{channel}" are replaced. A template without "://" names a
    // local media file, played in a loop at its own frame rate.
    QString urlTemplate = QString::fromLatin1(kDefaultUrlTemplate);
    QString user = QStringLiteral("admin");
    // Transport of unicast RTSP (RcvMode 0).
    RtspTransport transport = RtspTransport::Tcp;
    // Multicast reception (RcvMode 1): the local IPv4 address of the interface
    // to join the group on; empty: the one through which the camera's address
    // is reached (127.0.0.1 for a camera on loopback).
    QString multicastInterface;
    // What the camera sends to the group: H.264 (payload type 96) or Motion JPEG.
    MulticastCodec multicastCodec = MulticastCodec::H264;

    static StreamSettings &current();

    QString urlFor(const QString &ip, const QString &channel) const;
};

} // namespace qzr::video
