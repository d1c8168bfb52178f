// GLib headers first: they use "signals" as a name, which Qt defines as a macro.
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>
#include <gst/video/video.h>

#include "RtspServer.h"

#include <QColor>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "CameraSimulator.h"
#include "FrameStamp.h"
#include "GLibLoopThread.h"
#include "SimLogging.h"

namespace qzr::sim {

namespace {

constexpr const char *kRole = "viewer";
constexpr const char *kRealm = "QZ-R";
constexpr int kMinFramerate = 1;
constexpr int kMaxFramerate = 60;
constexpr int kMinBitrate = 16000;
constexpr int kMaxBitrate = 20000000;
constexpr int kMinKeyInterval = 1;
constexpr int kMaxKeyInterval = 1000;
constexpr int kVbrQuality = 23; // x264 constant quality for "vbr", bitrate as ceiling

int boundedInt(const QString &text, int fallback, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? qBound(low, value, high) : fallback;
}

QString mountPath(int channel)
{
    return QStringLiteral("/channel%1").arg(channel);
}

QString overlayText(int channel, const EncoderStream &s)
{
    QString text = QStringLiteral("QZ-R channel %1   %2 %3 %4 fps %5")
                       .arg(channel)
                       .arg(s.type, s.framesize)
                       .arg(s.framerate)
                       .arg(s.cbrMode);
    if (s.codec == EncoderStream::Codec::Jpeg)
        return text + QStringLiteral(" %1").arg(s.quality);
    return text + QStringLiteral(" %1 kbit/s I %2").arg(s.bitrate / 1000).arg(s.iframeInterval);
}

} // namespace

bool EncoderStream::operator==(const EncoderStream &o) const
{
    return codec == o.codec && type == o.type && framesize == o.framesize && width == o.width
           && height == o.height && framerate == o.framerate && cbrMode == o.cbrMode
           && bitrate == o.bitrate && quality == o.quality && jpegQuality == o.jpegQuality
           && iframeInterval == o.iframeInterval;
}

bool frameSizeOf(const QString &framesize, int *width, int *height)
{
    struct Size {
        const char *name;
        int width;
        int height;
    };
    static constexpr Size kSizes[] = {{"1920x1080", 1920, 1080}, {"quadvga", 1280, 960},
                                       {"1280x720", 1280, 720},  {"640x360", 640, 360},
                                       {"vga", 640, 480},         {"qvga", 320, 240}};
    for (const Size &size : kSizes) {
        if (framesize == QLatin1String(size.name)) {
            *width = size.width;
            *height = size.height;
            return true;
        }
    }
    return false;
}

int jpegQualityOf(const QString &token)
{
    // 80k..320k: the bigger the picture may be, the higher the quality.
    static const QStringList kTokens = {QStringLiteral("80k"),  QStringLiteral("120k"),
                                        QStringLiteral("160k"), QStringLiteral("200k"),
                                        QStringLiteral("240k"), QStringLiteral("280k"),
                                        QStringLiteral("320k")};
    static constexpr int kQualities[] = {30, 45, 60, 70, 80, 88, 95};
    const int index = int(kTokens.indexOf(token));
    return index < 0 ? 60 : kQualities[index];
}

EncoderStream EncoderStream::fromValues(const QString &type, const QString &framesize,
                                          const QString &framerate, const QString &cbrMode,
                                          const QString &bitrate, const QString &quality,
                                          const QString &iframeInterval)
{
    EncoderStream s;
    s.type = type;
    s.framesize = framesize;
    s.cbrMode = cbrMode;
    s.quality = quality;
    s.framerate = boundedInt(framerate, 15, kMinFramerate, kMaxFramerate);
    s.bitrate = boundedInt(bitrate, 4000000, kMinBitrate, kMaxBitrate);
    s.iframeInterval = boundedInt(iframeInterval, 30, kMinKeyInterval, kMaxKeyInterval);
    s.jpegQuality = jpegQualityOf(quality);
    if (type == QLatin1String("h264high"))
        s.codec = Codec::H264High;
    else if (type == QLatin1String("h264baseline"))
        s.codec = Codec::H264Baseline;
    else if (type == QLatin1String("jpeg"))
        s.codec = Codec::Jpeg;
    else if (type == QLatin1String("mpeg4"))
        s.codec = Codec::Mpeg4;
    else
        s.codec = Codec::Off;
    if (!frameSizeOf(framesize, &s.width, &s.height))
        s.codec = Codec::Off; // a size the camera does not know: no stream
    return s;
}

EncoderStream EncoderStream::fromCamera(const CameraSimulator &camera, int encoder)
{
    const auto get = [&](const char *suffix) {
        return camera.value(QStringLiteral("encode(%1).%2").arg(encoder).arg(QLatin1String(suffix)))
            .value_or(QString());
    };
    return fromValues(get("type"), get("framesize"), get("framerate"), get("cbr_mode"),
                      get("bitrate"), get("quality"), get("iframeinterval"));
}

PictureLook PictureLook::forCamera(int k, const QString &address, quint16 port)
{
    PictureLook look;
    const bool ipv6 = address.contains(QLatin1Char(':'));
    look.label = (ipv6 ? QLatin1Char('[') + address + QLatin1Char(']') : address) + QLatin1Char(':')
                 + QString::number(port);
    if (k > 0) {
        // Hues 47 degrees apart come round again only after 360 cameras.
        const QColor colour = QColor::fromHsv((k * 47) % 360, 200, 150);
        look.background = 0xff000000u | (quint32(colour.red()) << 16) | (quint32(colour.green()) << 8)
                          | quint32(colour.blue());
    }
    return look;
}

QString rtspLaunchDescription(int channel, const EncoderStream &s, const PictureLook &look)
{
    if (s.isOff())
        return {};
    QString encoder;
    switch (s.codec) {
    case EncoderStream::Codec::H264High:
    case EncoderStream::Codec::H264Baseline: {
        const bool vbr = s.cbrMode == QLatin1String("vbr");
        encoder = QStringLiteral("x264enc name=enc tune=zerolatency speed-preset=ultrafast "
                                 "key-int-max=%1 bitrate=%2 %3 ! video/x-h264,profile=%4 ! "
                                 "rtph264pay name=pay0 pt=96 config-interval=1")
                      .arg(s.iframeInterval)
                      .arg(qMax(1, s.bitrate / 1000))
                      .arg(vbr ? QStringLiteral("pass=qual quantizer=%1").arg(kVbrQuality)
                               : QStringLiteral("pass=cbr"))
                      .arg(s.codec == EncoderStream::Codec::H264High
                               ? QStringLiteral("high")
                               : QStringLiteral("constrained-baseline"));
        break;
    }
    case EncoderStream::Codec::Jpeg:
        encoder = QStringLiteral("jpegenc name=enc quality=%1 ! rtpjpegpay name=pay0 pt=26")
                      .arg(s.jpegQuality);
        break;
    case EncoderStream::Codec::Mpeg4:
        encoder = QStringLiteral("avenc_mpeg4 name=enc bitrate=%1 gop-size=%2 max-bframes=0 ! "
                                 "rtpmp4vpay name=pay0 pt=96 config-interval=1")
                      .arg(s.bitrate)
                      .arg(s.iframeInterval);
        break;
    case EncoderStream::Codec::Off:
        return {};
    }
    QString label;
    for (const QChar c : look.label.left(64)) {
        if (c.isLetterOrNumber() || QStringLiteral(".:[]- ").contains(c))
            label += c;
    }
    const QString labelOverlay =
        label.isEmpty() ? QString()
                        : QStringLiteral("textoverlay text=\"%1\" valignment=center halignment=center "
                                         "font-desc=\"Sans 32\" shaded-background=true ! ")
                              .arg(label);
    return QStringLiteral("( videotestsrc is-live=true pattern=ball motion=sweep "
                          "background-color=0x%6 ! "
                          "video/x-raw,format=I420,width=%1,height=%2,framerate=%3/1 ! %7"
                          "textoverlay text=\"%4\" valignment=bottom halignment=left "
                          "font-desc=\"Sans 14\" shaded-background=true ! "
                          "clockoverlay time-format=\"%Y-%m-%d %H:%M:%S\" valignment=top "
                          "halignment=right font-desc=\"Sans 14\" shaded-background=true ! "
                          "%5 )")
        .arg(s.width)
        .arg(s.height)
        .arg(s.framerate)
        .arg(overlayText(channel, s), encoder)
        .arg(look.background, 8, 16, QLatin1Char('0'))
        .arg(labelOverlay);
}

// ---------------------------------------------------------------------------

struct RtspServer::Loop {
    GLibLoopThread glib;
    bool started = false;

    // Loop thread only.
    GstRTSPServer *server = nullptr;
    GstRTSPAuth *auth = nullptr;
    GSource *source = nullptr;
    QByteArray basic;
    std::array<EncoderStream, kRtspChannelCount> streams;
    PictureLook look;

    // Runs function on the loop thread and waits for it.
    void run(const std::function<void()> &function) { glib.run(function); }

    bool listen(const QHostAddress &address, quint16 port, const QString &user,
                const QString &password, const std::array<EncoderStream, kRtspChannelCount> &initial);
    void teardown();
    void applyStream(int channel, const EncoderStream &settings, bool force);
    void applyCredentials(const QString &user, const QString &password);
};

namespace {

// Draws the frame stamp into each raw frame just before the encoder.
GstPadProbeReturn stampProbe(GstPad *pad, GstPadProbeInfo *info, gpointer)
{
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        return GST_PAD_PROBE_OK;
    GstVideoInfo videoInfo;
    const bool ok = gst_video_info_from_caps(&videoInfo, caps);
    gst_caps_unref(caps);
    if (!ok || GST_VIDEO_INFO_FORMAT(&videoInfo) != GST_VIDEO_FORMAT_I420)
        return GST_PAD_PROBE_OK;
    GstBuffer *buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &videoInfo, buffer, GST_MAP_WRITE))
        return GST_PAD_PROBE_OK;
    encodeFrameStampI420(static_cast<uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                         GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0),
                         static_cast<uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 1)),
                         GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 1),
                         static_cast<uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 2)),
                         GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 2), GST_VIDEO_FRAME_WIDTH(&frame),
                         GST_VIDEO_FRAME_HEIGHT(&frame), frameStampNow());
    gst_video_frame_unmap(&frame);
    return GST_PAD_PROBE_OK;
}

// The test picture is live: tell the server it cannot be positioned, so that
// a PLAY never flushes the running pipeline back to 0.
GstPadProbeReturn notSeekableProbe(GstPad *, GstPadProbeInfo *info, gpointer)
{
    if (!(GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_PUSH))
        return GST_PAD_PROBE_OK;
    GstQuery *query = GST_PAD_PROBE_INFO_QUERY(info);
    if (GST_QUERY_TYPE(query) != GST_QUERY_SEEKING)
        return GST_PAD_PROBE_OK;
    GstFormat format = GST_FORMAT_TIME;
    gst_query_parse_seeking(query, &format, nullptr, nullptr, nullptr);
    gst_query_set_seeking(query, format, FALSE, 0, -1);
    return GST_PAD_PROBE_HANDLED;
}

// avenc_mpeg4 of gst-libav 1.22.0 with FFmpeg 5.1 hands out every encoded
// frame with PTS and DTS 2^63 ns (FFmpeg's "no timestamp" taken as a time).
// The RTSP server's and the multicast sink's clock sync then waits for that
// time: after the frames of the preroll nothing more is sent. The encoder
// neither drops nor reorders frames (max-bframes=0), so the n-th frame out
// gets back the PTS and duration of the n-th picture in. The encoder base
// class also moves its output segment by 1000 hours to make room for those
// times (GstVideoEncoder's DTS adjustment); the segment it sends on is
// replaced by the one that came in, which the restored times belong to.
struct InputTimes {
    std::mutex mutex;
    std::deque<std::pair<GstClockTime, GstClockTime>> times; // PTS, duration
    GstSegment segment;
    bool haveSegment = false;
};

void deleteInputTimes(gpointer data)
{
    delete static_cast<std::shared_ptr<InputTimes> *>(data);
}

GstPadProbeReturn rememberInputTime(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    InputTimes &t = **static_cast<std::shared_ptr<InputTimes> *>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        std::lock_guard<std::mutex> lock(t.mutex);
        t.times.emplace_back(GST_BUFFER_PTS(buffer), GST_BUFFER_DURATION(buffer));
        while (t.times.size() > 64) // never grows without bound
            t.times.pop_front();
    } else if (GST_IS_EVENT(GST_PAD_PROBE_INFO_DATA(info))) {
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
            std::lock_guard<std::mutex> lock(t.mutex);
            t.times.clear();
        } else if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            const GstSegment *segment = nullptr;
            gst_event_parse_segment(event, &segment);
            std::lock_guard<std::mutex> lock(t.mutex);
            gst_segment_copy_into(segment, &t.segment);
            t.haveSegment = true;
        }
    }
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn restoreOutputSegment(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    InputTimes &t = **static_cast<std::shared_ptr<InputTimes> *>(data);
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT)
        return GST_PAD_PROBE_OK;
    GstEvent *replacement = nullptr;
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        if (!t.haveSegment)
            return GST_PAD_PROBE_OK;
        replacement = gst_event_new_segment(&t.segment);
    }
    gst_event_set_seqnum(replacement, gst_event_get_seqnum(event));
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = replacement;
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn restoreOutputTime(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    InputTimes &t = **static_cast<std::shared_ptr<InputTimes> *>(data);
    std::pair<GstClockTime, GstClockTime> in{GST_CLOCK_TIME_NONE, GST_CLOCK_TIME_NONE};
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        if (t.times.empty())
            return GST_PAD_PROBE_OK;
        in = t.times.front();
        t.times.pop_front();
    }
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    if (GST_CLOCK_TIME_IS_VALID(pts) && pts <= GstClockTime(G_MAXINT64))
        return GST_PAD_PROBE_OK; // a sane time: keep it
    buffer = gst_buffer_make_writable(buffer);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    GST_BUFFER_PTS(buffer) = in.first;
    GST_BUFFER_DTS(buffer) = in.first;
    if (!GST_BUFFER_DURATION_IS_VALID(buffer))
        GST_BUFFER_DURATION(buffer) = in.second;
    return GST_PAD_PROBE_OK;
}

GstElement *childByName(GstRTSPMedia *media, const char *name)
{
    GstElement *bin = gst_rtsp_media_get_element(media);
    if (!bin)
        return nullptr;
    GstElement *child = GST_IS_BIN(bin) ? gst_bin_get_by_name(GST_BIN(bin), name) : nullptr;
    gst_object_unref(bin);
    return child;
}

void onMediaConfigure(GstRTSPMediaFactory *, GstRTSPMedia *media, gpointer)
{
    GstElement *encoder = childByName(media, "enc");
    if (!encoder)
        return;
    addFrameStampProbe(encoder);
    addTimestampRepair(encoder);
    if (GstPad *pad = gst_element_get_static_pad(encoder, "sink")) {
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_QUERY_UPSTREAM, notSeekableProbe, nullptr, nullptr);
        gst_object_unref(pad);
    }
    gst_object_unref(encoder);
}

// A client joining a running shared stream gets a key frame at once instead
// of waiting for the next one of the interval.
void onPlayRequest(GstRTSPClient *, GstRTSPContext *context, gpointer)
{
    GstRTSPMedia *media = context->media;
    if (!media && context->sessmedia)
        media = gst_rtsp_session_media_get_media(context->sessmedia);
    if (!media)
        return;
    GstElement *payloader = childByName(media, "pay0");
    if (!payloader)
        return;
    if (GstPad *pad = gst_element_get_static_pad(payloader, "sink")) {
        gst_pad_push_event(pad, gst_video_event_new_upstream_force_key_unit(GST_CLOCK_TIME_NONE, TRUE, 0));
        gst_object_unref(pad);
    }
    gst_object_unref(payloader);
}

// Live video cannot be positioned: a PLAY with "Range: npt=0.000-" (as FFmpeg
// sends it) would make the server seek the running pipeline back to 0.
GstRTSPStatusCode onPrePlayRequest(GstRTSPClient *, GstRTSPContext *context, gpointer)
{
    if (context->request)
        gst_rtsp_message_remove_header(context->request, GST_RTSP_HDR_RANGE, -1);
    return GST_RTSP_STS_OK;
}

void onClientConnected(GstRTSPServer *, GstRTSPClient *client, gpointer)
{
    g_signal_connect(client, "pre-play-request", G_CALLBACK(onPrePlayRequest), nullptr);
    g_signal_connect(client, "play-request", G_CALLBACK(onPlayRequest), nullptr);
}

GstRTSPFilterResult removeClient(GstRTSPServer *, GstRTSPClient *, gpointer)
{
    return GST_RTSP_FILTER_REMOVE;
}

GstRTSPFilterResult countClient(GstRTSPServer *, GstRTSPClient *, gpointer count)
{
    ++*static_cast<int *>(count);
    return GST_RTSP_FILTER_KEEP;
}

void initGStreamer()
{
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

} // namespace

void addFrameStampProbe(GstElement *encoder)
{
    if (!encoder)
        return;
    if (GstPad *pad = gst_element_get_static_pad(encoder, "sink")) {
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, stampProbe, nullptr, nullptr);
        gst_object_unref(pad);
    }
}

void addTimestampRepair(GstElement *encoder)
{
    if (!encoder)
        return;
    GstElementFactory *factory = gst_element_get_factory(encoder);
    if (!factory || g_strcmp0(GST_OBJECT_NAME(factory), "avenc_mpeg4") != 0)
        return;
    GstPad *sink = gst_element_get_static_pad(encoder, "sink");
    GstPad *src = gst_element_get_static_pad(encoder, "src");
    if (sink && src) {
        auto times = std::make_shared<InputTimes>();
        gst_pad_add_probe(sink,
                          GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM
                                          | GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                          rememberInputTime, new std::shared_ptr<InputTimes>(times), deleteInputTimes);
        gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_BUFFER, restoreOutputTime,
                          new std::shared_ptr<InputTimes>(times), deleteInputTimes);
        gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, restoreOutputSegment,
                          new std::shared_ptr<InputTimes>(times), deleteInputTimes);
    }
    if (sink)
        gst_object_unref(sink);
    if (src)
        gst_object_unref(src);
}

bool RtspServer::Loop::listen(const QHostAddress &address, quint16 port, const QString &user,
                              const QString &password,
                              const std::array<EncoderStream, kRtspChannelCount> &initial)
{
    server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(server, address.toString().toUtf8().constData());
    gst_rtsp_server_set_service(server, QByteArray::number(port).constData());
    auth = gst_rtsp_auth_new();
    gst_rtsp_auth_set_supported_methods(auth, GST_RTSP_AUTH_BASIC);
    gst_rtsp_auth_set_realm(auth, kRealm);
    gst_rtsp_server_set_auth(server, auth);
    applyCredentials(user, password);
    g_signal_connect(server, "client-connected", G_CALLBACK(onClientConnected), nullptr);
    for (int channel = 1; channel <= kRtspChannelCount; ++channel)
        applyStream(channel, initial[size_t(channel - 1)], true);

    GError *error = nullptr;
    source = gst_rtsp_server_create_source(server, nullptr, &error);
    if (!source) {
        qCWarning(lcSim) << "RTSP: cannot listen on" << address.toString() << port
                         << (error ? error->message : "");
        g_clear_error(&error);
        return false;
    }
    g_source_attach(source, glib.context());
    return true;
}

void RtspServer::Loop::teardown()
{
    if (!server)
        return;
    gst_rtsp_server_client_filter(server, removeClient, nullptr);
    if (source) {
        g_source_destroy(source);
        g_source_unref(source);
        source = nullptr;
    }
    GstRTSPMountPoints *mounts = gst_rtsp_server_get_mount_points(server);
    for (int channel = 1; channel <= kRtspChannelCount; ++channel)
        gst_rtsp_mount_points_remove_factory(mounts, mountPath(channel).toUtf8().constData());
    g_object_unref(mounts);
    g_object_unref(server);
    server = nullptr;
    g_object_unref(auth);
    auth = nullptr;
}

void RtspServer::Loop::applyStream(int channel, const EncoderStream &settings, bool force)
{
    EncoderStream &current = streams[size_t(channel - 1)];
    if (!force && current == settings)
        return;
    current = settings;
    const QByteArray path = mountPath(channel).toUtf8();
    GstRTSPMountPoints *mounts = gst_rtsp_server_get_mount_points(server);
    if (settings.isOff()) {
        gst_rtsp_mount_points_remove_factory(mounts, path.constData());
    } else {
        GstRTSPMediaFactory *factory = gst_rtsp_media_factory_new();
        gst_rtsp_media_factory_set_launch(factory, rtspLaunchDescription(channel, settings, look).toUtf8().constData());
        // Each viewer gets a pipeline of its own: a shared one that the last
        // viewer is just leaving cannot be handed to the next one.
        gst_rtsp_media_factory_set_shared(factory, FALSE);
        gst_rtsp_media_factory_add_role(factory, kRole, GST_RTSP_PERM_MEDIA_FACTORY_ACCESS,
                                        G_TYPE_BOOLEAN, TRUE, GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT,
                                        G_TYPE_BOOLEAN, TRUE, nullptr);
        g_signal_connect(factory, "media-configure", G_CALLBACK(onMediaConfigure), nullptr);
        gst_rtsp_mount_points_add_factory(mounts, path.constData(), factory); // takes it
    }
    // Viewers already watching keep their stream; new sessions get the new
    // settings (pushing clients off mid-stream upsets the server's TCP watch).
    g_object_unref(mounts);
    qCDebug(lcSim) << "RTSP" << path << (settings.isOff() ? QStringLiteral("off") : rtspLaunchDescription(channel, settings, look));
}

void RtspServer::Loop::applyCredentials(const QString &user, const QString &password)
{
    gchar *made = gst_rtsp_auth_make_basic(user.toUtf8().constData(), password.toUtf8().constData());
    const QByteArray basicNow(made);
    g_free(made);
    if (basicNow == basic)
        return;
    if (!basic.isEmpty())
        gst_rtsp_auth_remove_basic(auth, basic.constData());
    GstRTSPToken *token = gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, kRole, nullptr);
    gst_rtsp_auth_add_basic(auth, basicNow.constData(), token);
    gst_rtsp_token_unref(token);
    basic = basicNow;
}

// ---------------------------------------------------------------------------

RtspServer::RtspServer() : m_loop(std::make_unique<Loop>()) {}

RtspServer::~RtspServer()
{
    stop();
}

quint16 RtspServer::start(const QHostAddress &address, quint16 port, const QString &user,
                          const QString &password,
                          const std::array<EncoderStream, kRtspChannelCount> &streams,
                          const PictureLook &look)
{
    Loop &loop = *m_loop;
    if (loop.started)
        return m_port; // one start per object
    loop.started = true;
    loop.look = look;
    initGStreamer();
    loop.glib.start();
    bool listening = false;
    loop.run([&] {
        listening = loop.listen(address, port, user, password, streams);
        if (listening)
            m_port = quint16(gst_rtsp_server_get_bound_port(loop.server));
    });
    if (!listening) {
        stop();
        m_port = 0;
    }
    return m_port;
}

void RtspServer::stop()
{
    Loop &loop = *m_loop;
    loop.glib.stop([&loop] { loop.teardown(); });
}

bool RtspServer::isRunning() const
{
    return m_loop->glib.isRunning();
}

void RtspServer::setStream(int channel, const EncoderStream &settings)
{
    if (channel < 1 || channel > kRtspChannelCount)
        return;
    m_loop->run([&] {
        if (m_loop->server)
            m_loop->applyStream(channel, settings, false);
    });
}

void RtspServer::setCredentials(const QString &user, const QString &password)
{
    m_loop->run([&] {
        if (m_loop->auth)
            m_loop->applyCredentials(user, password);
    });
}

int RtspServer::clientCount() const
{
    int count = 0;
    m_loop->run([&] {
        if (m_loop->server)
            gst_rtsp_server_client_filter(m_loop->server, countClient, &count);
    });
    return count;
}

} // namespace qzr::sim
