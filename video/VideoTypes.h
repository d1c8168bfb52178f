#pragma once

#include <QImage>
#include <QMetaType>
#include <QSize>
#include <QString>

namespace qzr::video {

// Why reception failed. The reconnect policy and the viewer's notice read it.
enum class VideoErrorCategory {
    Refused,      // nothing listens at the address (TCP connection refused)
    Unauthorised, // the camera rejected the credentials (401/403)
    NotFound,     // no such stream on the camera (404)
    NoData,       // nothing arrived in time: unreachable host, frozen stream
    StreamLost,   // an open stream ended (server closed the connection)
    BadStream,    // no video stream, unsupported codec or undecodable data
    Redirected,   // the camera named another address: not followed
};

// Short user-facing text ("Connection refused", "Unauthorised", ...).
QString errorCategoryText(VideoErrorCategory category);

struct VideoError
{
    VideoErrorCategory category = VideoErrorCategory::BadStream;
    // Transient errors usually clear by themselves (fast retry); fatal ones
    // need a change at the camera or in the settings (slow retry).
    bool fatal = false;
    // Milliseconds until the next attempt; negative when none follows.
    int retryInMs = -1;
    QString detail; // FFmpeg's text, never holding credentials
};

// Reconnect policy: fast backoff for transient failures, a slow steady retry
// for fatal ones, because a camera being reconfigured (encoder preset, new
// password from the IP settings window) answers 401/404 for a few seconds.
struct RetryPolicy
{
    int firstDelayMs = 250;   // transient: 250, 500, 1000, 2000, 2000, ...
    int maxDelayMs = 2000;
    int fatalDelayMs = 5000;  // 401, 403, 404 and bad streams
    bool retryFatal = true;

    static bool isFatal(VideoErrorCategory category);
    // Delay before attempt number `failures` + 1 after `failures` failures in a row (>= 1).
    int delayMs(VideoErrorCategory category, int failures) const;
};

// Measured over the last second of reception.
struct FrameStats
{
    double receivedFps = 0;     // pictures decoded per second
    double decodeMsPerFrame = 0; // decode plus RGB conversion, per picture
    qint64 droppedFrames = 0;   // since start: undecodable packets, pictures
                                // dropped while waiting for a key frame, and
                                // pictures replaced before the viewer took them
};

// One decoded picture converted to RGB32 at the requested output size.
struct VideoFrame
{
    QImage image;           // QImage::Format_RGB32
    QSize sourceSize;       // the stream's own picture size
    QString codecName;      // "h264", "mjpeg", "mpeg4"
    int motionLevel = 0;    // 0..100: mean luma change from the previous picture
    qint64 sequence = 0;    // counts decoded pictures from 1
};

} // namespace qzr::video

Q_DECLARE_METATYPE(qzr::video::VideoError)
Q_DECLARE_METATYPE(qzr::video::FrameStats)
