#pragma once

#include <QHostAddress>
#include <QString>

#include <array>
#include <memory>

struct _GstElement;

namespace qzr::sim {

class CameraSimulator;

inline constexpr int kRtspChannelCount = 3;

// The settings of one encoder as its RTSP mount uses them, already checked:
// a codec, frame size or number the camera does not know makes the stream "off".
struct EncoderStream {
    enum class Codec { Off, H264High, H264Baseline, Jpeg, Mpeg4 };

    Codec codec = Codec::Off;
    QString type;      // camera text: h264high, h264baseline, jpeg, mpeg4, off
    QString framesize; // camera text: 1920x1080, quadvga, ...
    int width = 0;
    int height = 0;
    int framerate = 15;         // frames per second, 1..60
    QString cbrMode;            // cbr, vbr, afs
    int bitrate = 4000000;      // bit/s
    QString quality;            // JPEG size token 80k..320k
    int jpegQuality = 60;       // jpegenc quality 1..100 from the token
    int iframeInterval = 30;    // frames between key frames

    bool isOff() const { return codec == Codec::Off; }
    bool operator==(const EncoderStream &other) const;
    bool operator!=(const EncoderStream &other) const { return !(*this == other); }

    // From the camera's encode(n).* values (n = 1..3).
    static EncoderStream fromCamera(const CameraSimulator &camera, int encoder);
    static EncoderStream fromValues(const QString &type, const QString &framesize,
                                     const QString &framerate, const QString &cbrMode,
                                     const QString &bitrate, const QString &quality,
                                     const QString &iframeInterval);
};

// "1920x1080", "quadvga" (1280x960), "1280x720", "640x360", "vga" (640x480),
// "qvga" (320x240); false for anything else.
bool frameSizeOf(const QString &framesize, int *width, int *height);

// jpegenc quality for a JPEG size token ("80k" .. "320k"); 60 for others.
int jpegQualityOf(const QString &token);

// What makes one camera's picture its own: a label written large across the
// middle of every frame (the camera's address and port; only letters,
// digits, ".", ":", "[", "]", "-" and spaces are kept) and the background
// colour (0xAARRGGBB) behind the moving ball.
struct PictureLook {
    static constexpr quint32 kDefaultBackground = 0xff203050;
    QString label;
    quint32 background = kDefaultBackground;

    // The look of camera k (from 0) of a fleet serving at address:port:
    // camera 0 keeps the default background, the others each get a hue of
    // their own.
    static PictureLook forCamera(int k, const QString &address, quint16 port);
};

// The gst-launch description of channel's mount ("( ... )"); empty when off.
// The encoder is named "enc" and the payloader "pay0".
QString rtspLaunchDescription(int channel, const EncoderStream &settings, const PictureLook &look = {});

// Draws the frame stamp (FrameStamp.h) into every raw I420 picture entering
// encoder (a GstElement); used by the RTSP mounts and the multicast senders.
void addFrameStampProbe(_GstElement *encoder);

// avenc_mpeg4 (gst-libav 1.22.0 with FFmpeg 5.1) stamps every encoded frame
// with PTS/DTS 2^63 ns, so a synchronising sink waits forever after the first
// frames. For that encoder this gives each output frame back the PTS of its
// input picture; does nothing for any other element.
void addTimestampRepair(_GstElement *encoder);

// An RTSP server (GStreamer's RTSP server library) with one mount per channel,
// /channel1 .. /channel3, Basic authentication, running a GLib main loop in a
// thread of its own. Every public method may be called from any thread except
// the loop's own; the changing ones wait until the loop has applied them.
class RtspServer
{
public:
    RtspServer();
    ~RtspServer();
    RtspServer(const RtspServer &) = delete;
    RtspServer &operator=(const RtspServer &) = delete;

    // Starts the loop thread and listens (port 0 picks a free one). Returns
    // the bound port, 0 on failure. One start per object.
    quint16 start(const QHostAddress &address, quint16 port, const QString &user,
                  const QString &password,
                  const std::array<EncoderStream, kRtspChannelCount> &streams,
                  const PictureLook &look = {});
    // Pushes every client off, stops listening, ends the loop thread.
    void stop();
    quint16 port() const { return m_port; }
    bool isRunning() const;

    // Replaces channel's mount (1..3) when the settings differ from the
    // current ones: new sessions get the new stream, clients playing the
    // old one keep it. "off" removes the mount (DESCRIBE gets 404).
    void setStream(int channel, const EncoderStream &settings);
    void setCredentials(const QString &user, const QString &password);

    // Connected RTSP clients (for tests).
    int clientCount() const;

    struct Loop; // GLib/GStreamer state, touched only on the loop thread

private:
    std::unique_ptr<Loop> m_loop;
    quint16 m_port = 0;
};

} // namespace qzr::sim
