#pragma once

#include <QString>

#include "protocol/video/StreamSource.h"

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

    static StreamSettings &current();

    QString urlFor(const QString &ip, const QString &channel) const;
};

} // namespace qzr::video
