// The simulator's RTSP video, read with libavformat/libavcodec over loopback
// exactly as a viewer would. Every wait is bounded by a deadline.

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "FrameStamp.h"
#include "tests/support/SimRequests.h"
#include "RtspServer.h"
#include "SimThread.h"

using namespace qzr::sim;
using qzr::testsupport::httpGet;

namespace {

constexpr int kOpenDeadlineMs = 15000;

struct Interrupt {
    QDeadlineTimer deadline;
};

int interruptCallback(void *opaque)
{
    return static_cast<Interrupt *>(opaque)->deadline.hasExpired() ? 1 : 0;
}

QString rtspUrl(quint16 port, int channel, const QString &password = QStringLiteral("kqm"),
                const QString &path = {})
{
    const QString tail = path.isEmpty() ? QStringLiteral("channel%1").arg(channel) : path;
    return QStringLiteral("rtsp://admin:%1@127.0.0.1:%2/%3")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(password)))
        .arg(port)
        .arg(tail);
}

// One RTSP/TCP session, opened with a deadline for everything it does.
class RtspClient
{
public:
    ~RtspClient() { close(); }

    // 0 or an AVERROR code.
    int open(const QString &url, int deadlineMs = kOpenDeadlineMs)
    {
        m_interrupt.deadline = QDeadlineTimer(deadlineMs);
        m_format = avformat_alloc_context();
        m_format->interrupt_callback = {interruptCallback, &m_interrupt};
        AVDictionary *options = nullptr;
        av_dict_set(&options, "rtsp_transport", "tcp", 0);
        av_dict_set(&options, "timeout", "5000000", 0);
        av_dict_set(&options, "fflags", "nobuffer", 0);
        const int opened = avformat_open_input(&m_format, url.toUtf8().constData(), nullptr, &options);
        av_dict_free(&options);
        if (opened < 0) {
            m_format = nullptr; // freed by avformat_open_input
            return opened;
        }
        for (unsigned i = 0; i < m_format->nb_streams; ++i) {
            if (m_format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                m_stream = int(i);
                break;
            }
        }
        if (m_stream < 0)
            return AVERROR_STREAM_NOT_FOUND;
        const AVCodecParameters *parameters = m_format->streams[m_stream]->codecpar;
        m_codecId = parameters->codec_id;
        const AVCodec *codec = avcodec_find_decoder(m_codecId);
        if (!codec)
            return AVERROR_DECODER_NOT_FOUND;
        m_decoder = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(m_decoder, parameters);
        return avcodec_open2(m_decoder, codec, nullptr);
    }

    AVCodecID codecId() const { return m_codecId; }

    // Decodes up to count frames within deadlineMs; keeps the last as RGB32.
    // Returns the number decoded; *error gets the read error that ended it.
    int decode(int count, int deadlineMs, int *error = nullptr, std::vector<QImage> *images = nullptr)
    {
        m_interrupt.deadline = QDeadlineTimer(deadlineMs);
        AVPacket *packet = av_packet_alloc();
        AVFrame *frame = av_frame_alloc();
        int decoded = 0;
        int result = 0;
        while (decoded < count) {
            result = av_read_frame(m_format, packet);
            if (result < 0)
                break;
            if (packet->stream_index == m_stream && avcodec_send_packet(m_decoder, packet) >= 0) {
                while (decoded < count && avcodec_receive_frame(m_decoder, frame) >= 0) {
                    ++decoded;
                    m_width = frame->width;
                    m_height = frame->height;
                    if (images)
                        images->push_back(toImage(frame));
                }
            }
            av_packet_unref(packet);
        }
        av_frame_free(&frame);
        av_packet_free(&packet);
        if (error)
            *error = result;
        return decoded;
    }

    int width() const { return m_width; }
    int height() const { return m_height; }

    void close()
    {
        avcodec_free_context(&m_decoder);
        if (m_format) {
            m_interrupt.deadline = QDeadlineTimer(3000); // bounds the TEARDOWN
            avformat_close_input(&m_format);
        }
    }

private:
    static QImage toImage(const AVFrame *frame)
    {
        QImage image(frame->width, frame->height, QImage::Format_RGB32);
        SwsContext *scaler = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
                                            frame->width, frame->height, AV_PIX_FMT_RGB32,
                                            SWS_BILINEAR, nullptr, nullptr, nullptr);
        uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
        int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
        sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
        sws_freeContext(scaler);
        return image;
    }

    Interrupt m_interrupt;
    AVFormatContext *m_format = nullptr;
    AVCodecContext *m_decoder = nullptr;
    AVCodecID m_codecId = AV_CODEC_ID_NONE;
    int m_stream = -1;
    int m_width = 0;
    int m_height = 0;
};


// I420 planes for a frame, converted to RGB32 with the BT.601 limited-range formula.
QImage i420ToRgb(const std::vector<uchar> &y, const std::vector<uchar> &u, const std::vector<uchar> &v,
                 int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int row = 0; row < height; ++row) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(row));
        for (int x = 0; x < width; ++x) {
            const double luma = 1.164 * (y[size_t(row * width + x)] - 16);
            const double cb = u[size_t((row / 2) * (width / 2) + x / 2)] - 128;
            const double cr = v[size_t((row / 2) * (width / 2) + x / 2)] - 128;
            const auto clamp = [](double value) { return qBound(0, int(value + 0.5), 255); };
            line[x] = qRgb(clamp(luma + 1.596 * cr), clamp(luma - 0.392 * cb - 0.813 * cr),
                           clamp(luma + 2.017 * cb));
        }
    }
    return image;
}

} // namespace

class SimRtspTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void frameStampRoundTrip_data();
    void frameStampRoundTrip();
    void frameStampRejectsNoise();
    void frameStampAge();
    void settingsFromCameraValues();
    void launchDescriptions();

    void channelDecodes_data();
    void channelDecodes();
    void wrongPasswordIsUnauthorized();
    void offEncoderIsNotFound();
    void passwordChangeAppliesToRtsp();
    void frameSizeChangeReachesNewSession();
    void frameStampSurvivesH264();
    void executablePrintsRtspPort();
    void fleetCamerasServeVideoOfTheirOwn();

private:
    void restoreEncoders();

    std::unique_ptr<SimThread> m_sim;
    quint16 m_http = 0;
    quint16 m_rtsp = 0;
};

void SimRtspTest::initTestCase()
{
    avformat_network_init();
    av_log_set_level(AV_LOG_QUIET);
    m_sim = std::make_unique<SimThread>();
    m_http = m_sim->start(0);
    QVERIFY(m_http != 0);
    m_rtsp = m_sim->startRtsp(0);
    QVERIFY(m_rtsp != 0);
    QCOMPARE(m_sim->rtspPort(), m_rtsp);
    QCOMPARE(m_sim->startRtsp(0), m_rtsp); // one RTSP server per simulator
}

void SimRtspTest::cleanupTestCase()
{
    m_sim.reset();
    avformat_network_deinit();
}

void SimRtspTest::restoreEncoders()
{
    m_sim->setValue(QStringLiteral("system.password.operator(0)"), QStringLiteral("kqm"));
}

void SimRtspTest::frameStampRoundTrip_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("1080p") << 1920 << 1080;
    QTest::newRow("quadvga") << 1280 << 960;
    QTest::newRow("720p") << 1280 << 720;
    QTest::newRow("vga") << 640 << 480;
    QTest::newRow("360p") << 640 << 360;
    QTest::newRow("qvga") << 320 << 240;
}

void SimRtspTest::frameStampRoundTrip()
{
    QFETCH(int, width);
    QFETCH(int, height);
    const quint64 stamps[] = {0, 1, kFrameStampModulo - 1, 0x5A5A5A5A5AULL, frameStampNow()};
    for (const quint64 stamp : stamps) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor(40, 90, 160));
        encodeFrameStamp(image, stamp);
        QCOMPARE(decodeFrameStamp(image), std::optional<quint64>(stamp));

        // Through I420, as the simulator draws it before encoding.
        std::vector<uchar> y(size_t(width * height), 80), u(size_t(width * height / 4), 100),
            v(size_t(width * height / 4), 170);
        encodeFrameStampI420(y.data(), width, u.data(), width / 2, v.data(), width / 2, width, height, stamp);
        QCOMPARE(decodeFrameStamp(i420ToRgb(y, u, v, width, height)), std::optional<quint64>(stamp));
    }
    // A time beyond 2^40 is stored modulo 2^40.
    QImage image(width, height, QImage::Format_RGB32);
    encodeFrameStamp(image, kFrameStampModulo + 7);
    QCOMPARE(decodeFrameStamp(image), std::optional<quint64>(7));
    // A picture scaled to half size decodes with the scaled block size.
    encodeFrameStamp(image, 123456789);
    const QImage half = image.scaled(width / 2, height / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QCOMPARE(decodeFrameStamp(half, frameStampBlockSize(height) / 2), std::optional<quint64>(123456789));
}

void SimRtspTest::frameStampRejectsNoise()
{
    QImage image(640, 360, QImage::Format_RGB32);
    image.fill(Qt::white);
    QCOMPARE(decodeFrameStamp(image), std::nullopt);
    image.fill(Qt::black);
    QCOMPARE(decodeFrameStamp(image), std::nullopt);
    QCOMPARE(decodeFrameStamp(QImage()), std::nullopt);
    QCOMPARE(decodeFrameStamp(QImage(100, 100, QImage::Format_RGB32)), std::nullopt); // too small

    // One flipped time bit fails the check bits.
    encodeFrameStamp(image, 987654321);
    const int block = frameStampBlockSize(360);
    const int bit = 20; // a time bit
    const QRgb old = image.pixel(bit * block + block / 2, block / 2);
    const QRgb flipped = qGray(old) > 128 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    for (int row = 0; row < block; ++row)
        for (int x = bit * block; x < (bit + 1) * block; ++x)
            image.setPixel(x, row, flipped);
    QCOMPARE(decodeFrameStamp(image), std::nullopt);
}

void SimRtspTest::frameStampAge()
{
    QCOMPARE(frameStampAgeMs(1000, 1250), 250);
    QCOMPARE(frameStampAgeMs(1250, 1000), -250);
    QCOMPARE(frameStampAgeMs(kFrameStampModulo - 100, 50), 150); // across the wrap
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QVERIFY(qAbs(qint64(frameStampNow()) - now % qint64(kFrameStampModulo)) < 1000);
}

void SimRtspTest::settingsFromCameraValues()
{
    CameraSimulator camera;
    const EncoderStream one = EncoderStream::fromCamera(camera, 1);
    QCOMPARE(int(one.codec), int(EncoderStream::Codec::H264High));
    QCOMPARE(one.width, 1920);
    QCOMPARE(one.height, 1080);
    QCOMPARE(one.framerate, 15);
    QCOMPARE(one.bitrate, 4000000);
    QCOMPARE(one.iframeInterval, 30);
    QCOMPARE(int(EncoderStream::fromCamera(camera, 2).codec), int(EncoderStream::Codec::Jpeg));
    QVERIFY(EncoderStream::fromCamera(camera, 3).isOff());

    int width = 0, height = 0;
    QVERIFY(frameSizeOf(QStringLiteral("quadvga"), &width, &height));
    QCOMPARE(QSize(width, height), QSize(1280, 960));
    QVERIFY(frameSizeOf(QStringLiteral("vga"), &width, &height));
    QCOMPARE(QSize(width, height), QSize(640, 480));
    QVERIFY(frameSizeOf(QStringLiteral("qvga"), &width, &height));
    QCOMPARE(QSize(width, height), QSize(320, 240));
    QVERIFY(!frameSizeOf(QStringLiteral("800x600"), &width, &height));

    // Values the camera would refuse (stored through the admin path) give no stream.
    QVERIFY(EncoderStream::fromValues("h264high", "800x600", "15", "cbr", "4000000", "160k", "30").isOff());
    QVERIFY(EncoderStream::fromValues("h265", "vga", "15", "cbr", "4000000", "160k", "30").isOff());
    QCOMPARE(EncoderStream::fromValues("jpeg", "vga", "x", "afs", "", "160k", "").framerate, 15);
    QVERIFY(jpegQualityOf(QStringLiteral("80k")) < jpegQualityOf(QStringLiteral("160k")));
    QVERIFY(jpegQualityOf(QStringLiteral("160k")) < jpegQualityOf(QStringLiteral("320k")));
}

void SimRtspTest::launchDescriptions()
{
    const auto h264 = EncoderStream::fromValues("h264baseline", "1280x720", "10", "cbr", "2048000", "", "60");
    const QString one = rtspLaunchDescription(2, h264);
    QVERIFY2(one.contains("x264enc name=enc tune=zerolatency speed-preset=ultrafast key-int-max=60 bitrate=2048"), qPrintable(one));
    QVERIFY(one.contains("profile=constrained-baseline"));
    QVERIFY(one.contains("rtph264pay name=pay0 pt=96 config-interval=1"));
    QVERIFY(one.contains("width=1280,height=720,framerate=10/1"));
    QVERIFY(one.contains("videotestsrc is-live=true"));
    QVERIFY(one.contains("channel 2"));
    QVERIFY(one.contains("clockoverlay"));

    const QString jpeg = rtspLaunchDescription(1, EncoderStream::fromValues("jpeg", "1920x1080", "5", "afs", "", "320k", ""));
    QVERIFY2(jpeg.contains(QStringLiteral("jpegenc name=enc quality=%1 ! rtpjpegpay name=pay0").arg(jpegQualityOf("320k"))), qPrintable(jpeg));

    const QString mpeg4 = rtspLaunchDescription(3, EncoderStream::fromValues("mpeg4", "vga", "15", "cbr", "512000", "", "30"));
    QVERIFY2(mpeg4.contains("avenc_mpeg4 name=enc bitrate=512000 gop-size=30"), qPrintable(mpeg4));
    QVERIFY(mpeg4.contains("rtpmp4vpay name=pay0 pt=96 config-interval=1"));

    QVERIFY(rtspLaunchDescription(1, EncoderStream::fromValues("off", "vga", "15", "cbr", "512000", "", "30")).isEmpty());
}

void SimRtspTest::channelDecodes_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("framesize");
    QTest::addColumn<int>("codecId");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("1 h264high 1080p") << 1 << "h264high" << "1920x1080" << int(AV_CODEC_ID_H264) << 1920 << 1080;
    QTest::newRow("2 jpeg 1080p") << 2 << "jpeg" << "1920x1080" << int(AV_CODEC_ID_MJPEG) << 1920 << 1080;
    QTest::newRow("3 h264baseline quadvga") << 3 << "h264baseline" << "quadvga" << int(AV_CODEC_ID_H264) << 1280 << 960;
    QTest::newRow("2 h264high qvga") << 2 << "h264high" << "qvga" << int(AV_CODEC_ID_H264) << 320 << 240;
    QTest::newRow("1 jpeg 640x360") << 1 << "jpeg" << "640x360" << int(AV_CODEC_ID_MJPEG) << 640 << 360;
    QTest::newRow("3 mpeg4 vga") << 3 << "mpeg4" << "vga" << int(AV_CODEC_ID_MPEG4) << 640 << 480;
}

void SimRtspTest::channelDecodes()
{
    QFETCH(int, channel);
    QFETCH(QString, type);
    QFETCH(QString, framesize);
    QFETCH(int, codecId);
    QFETCH(int, width);
    QFETCH(int, height);
    const QString prefix = QStringLiteral("encode(%1).").arg(channel);
    const QString oldType = *m_sim->value(prefix + "type");
    const QString oldSize = *m_sim->value(prefix + "framesize");
    const auto restore = qScopeGuard([&] {
        m_sim->setValue(prefix + "type", oldType);
        m_sim->setValue(prefix + "framesize", oldSize);
    });
    m_sim->setValue(prefix + "type", type);
    m_sim->setValue(prefix + "framesize", framesize);
    {
        RtspClient client;
        QCOMPARE(client.open(rtspUrl(m_rtsp, channel)), 0);
        QCOMPARE(int(client.codecId()), codecId);
        std::vector<QImage> images;
        QCOMPARE(client.decode(3, 5000, nullptr, &images), 3);
        QCOMPARE(client.width(), width);
        QCOMPARE(client.height(), height);
        QCOMPARE(images.back().size(), QSize(width, height));
        // The stamp is drawn into every frame, whatever the codec.
        QVERIFY(decodeFrameStamp(images.back()).has_value());
    }
}

void SimRtspTest::wrongPasswordIsUnauthorized()
{
    RtspClient client;
    QCOMPARE(client.open(rtspUrl(m_rtsp, 1, QStringLiteral("wrong"))), AVERROR_HTTP_UNAUTHORIZED);
    RtspClient anonymous;
    QCOMPARE(anonymous.open(QStringLiteral("rtsp://127.0.0.1:%1/channel1").arg(m_rtsp)), AVERROR_HTTP_UNAUTHORIZED);
}

void SimRtspTest::offEncoderIsNotFound()
{
    QCOMPARE(*m_sim->value(QStringLiteral("encode(3).type")), QStringLiteral("off")); // the default
    RtspClient client;
    QCOMPARE(client.open(rtspUrl(m_rtsp, 3)), AVERROR_HTTP_NOT_FOUND);
    RtspClient unknown;
    QCOMPARE(unknown.open(rtspUrl(m_rtsp, 0, QStringLiteral("kqm"), QStringLiteral("channel4"))), AVERROR_HTTP_NOT_FOUND);

    // Switching encoder 1 off over the parameter interface removes its mount.
    QVERIFY(httpGet(m_http, "/api/param?encode(1).type=off").contains("encode(1).type=off&"));
    RtspClient off;
    QCOMPARE(off.open(rtspUrl(m_rtsp, 1)), AVERROR_HTTP_NOT_FOUND);
    QVERIFY(httpGet(m_http, "/api/param?encode(1).type=h264high").contains("encode(1).type=h264high&"));
    RtspClient on;
    QCOMPARE(on.open(rtspUrl(m_rtsp, 1)), 0);
    QCOMPARE(on.decode(1, 10000), 1);
}

void SimRtspTest::passwordChangeAppliesToRtsp()
{
    QVERIFY(httpGet(m_http, "/api/param?system.password.operator(0)=n%40w%20pw")
                .contains("system.password.operator(0)=n@w pw&"));
    RtspClient old;
    QCOMPARE(old.open(rtspUrl(m_rtsp, 1)), AVERROR_HTTP_UNAUTHORIZED);
    RtspClient fresh;
    QCOMPARE(fresh.open(rtspUrl(m_rtsp, 1, QStringLiteral("n@w pw"))), 0);
    QCOMPARE(fresh.decode(1, 10000), 1);
    fresh.close();
    restoreEncoders();
    RtspClient back;
    QCOMPARE(back.open(rtspUrl(m_rtsp, 1)), 0);
}

void SimRtspTest::frameSizeChangeReachesNewSession()
{
    m_sim->setValue(QStringLiteral("encode(1).framesize"), QStringLiteral("1280x720"));
    RtspClient first;
    QCOMPARE(first.open(rtspUrl(m_rtsp, 1)), 0);
    QCOMPARE(first.decode(2, 10000), 2);
    QCOMPARE(QSize(first.width(), first.height()), QSize(1280, 720));
    QCOMPARE(m_sim->rtspClientCount(), 1);

    // A write over the parameter interface, as "Set to Camera" sends it.
    QVERIFY(httpGet(m_http, "/api/param?encode(1).type=h264baseline&encode(1).framesize=640x360"
                            "&encode(1).framerate=10&encode(1).cbr_mode=vbr&encode(1).bitrate=512000"
                            "&encode(1).iframeinterval=10")
                .contains("encode(1).framesize=640x360&"));

    // A viewer already watching keeps its stream; a new session gets the
    // camera's new settings.
    QCOMPARE(first.decode(2, 10000), 2);
    QCOMPARE(QSize(first.width(), first.height()), QSize(1280, 720));
    first.close();

    RtspClient second;
    QCOMPARE(second.open(rtspUrl(m_rtsp, 1)), 0);
    QCOMPARE(second.decode(2, 10000), 2);
    QCOMPARE(QSize(second.width(), second.height()), QSize(640, 360));
    second.close();

    QVERIFY(httpGet(m_http, "/api/param?encode(1).type=h264high&encode(1).framesize=1920x1080"
                            "&encode(1).framerate=15&encode(1).cbr_mode=cbr&encode(1).bitrate=4000000"
                            "&encode(1).iframeinterval=30")
                .contains("encode(1).framesize=1920x1080&"));
}

void SimRtspTest::frameStampSurvivesH264()
{
    QCOMPARE(*m_sim->value(QStringLiteral("encode(1).type")), QStringLiteral("h264high"));
    QCOMPARE(*m_sim->value(QStringLiteral("encode(1).framesize")), QStringLiteral("1920x1080"));
    RtspClient client;
    QElapsedTimer firstFrame;
    firstFrame.start();
    QCOMPARE(client.open(rtspUrl(m_rtsp, 1)), 0);
    std::vector<QImage> images;
    QCOMPARE(client.decode(1, 10000, nullptr, &images), 1);
    qInfo("first 1080p H.264 frame after %lld ms", firstFrame.elapsed());
    QCOMPARE(client.decode(5, 10000, nullptr, &images), 5);
    QCOMPARE(images.size(), size_t(6));
    std::optional<quint64> previous;
    for (const QImage &image : images) {
        const quint64 now = frameStampNow();
        const auto stamp = decodeFrameStamp(image);
        QVERIFY2(stamp.has_value(), "no frame stamp in a decoded H.264 frame");
        const qint64 age = frameStampAgeMs(*stamp, now);
        QVERIFY2(age >= 0 && age < 5000, qPrintable(QStringLiteral("age %1 ms").arg(age)));
        if (previous)
            QVERIFY(frameStampAgeMs(*previous, *stamp) > 0); // later frames, later stamps
        previous = stamp;
    }
}

void SimRtspTest::fleetCamerasServeVideoOfTheirOwn()
{
    // Three cameras in one process, each on its own RTSP port, each
    // reporting it, each with a picture of its own.
    QProcess process;
    process.start(QStringLiteral(QZR_CAMSIM_EXECUTABLE), {"--cameras", "3", "--port", "0", "--rtsp-port", "0",
                                                          "--no-discovery"});
    QVERIFY(process.waitForStarted(5000));
    QByteArray out;
    QDeadlineTimer deadline(15000);
    while (out.count('\n') < 2 && !deadline.hasExpired() && process.state() == QProcess::Running) {
        if (process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            out += process.readAllStandardOutput();
    }
    const QList<QByteArray> lines = out.split('\n');
    QVERIFY2(lines.size() >= 3 && lines[1].startsWith("rtsp "), out.constData());
    const quint16 http = lines[0].toUShort();
    QList<quint16> rtspPorts;
    QList<QRgb> colours;
    for (int k = 0; k < 3; ++k) {
        const quint16 port = quint16(http + k);
        QCOMPARE(httpGet(port, "/api/param?encode(1).framesize=640x360").split('\n').value(4).trimmed(),
                 QByteArray("encode(1).framesize=640x360&"));
        const QByteArray line = httpGet(port, "/api/param?network.rtsp.port").split('\n').value(4).trimmed();
        QVERIFY2(line.startsWith("network.rtsp.port=") && line.endsWith('&'), line.constData());
        const quint16 rtsp = line.mid(18).chopped(1).toUShort();
        QVERIFY(rtsp != 0 && !rtspPorts.contains(rtsp));
        rtspPorts << rtsp;
        RtspClient client;
        QCOMPARE(client.open(rtspUrl(rtsp, 1)), 0);
        std::vector<QImage> images;
        QCOMPARE(client.decode(1, 10000, nullptr, &images), 1);
        QCOMPARE(images.front().size(), QSize(640, 360));
        // The background, clear of the stamp, the clock, the label and the ball's path.
        colours << images.front().pixel(40, 250);
    }
    QCOMPARE(lines[1].mid(5).toUShort(), rtspPorts.first());
    // The first camera keeps the usual picture (0x203050, give or take the codec).
    QVERIFY(qAbs(qRed(colours[0]) - 0x20) < 8 && qAbs(qGreen(colours[0]) - 0x30) < 8
            && qAbs(qBlue(colours[0]) - 0x50) < 8);
    for (int a = 0; a < 3; ++a) {
        for (int b = a + 1; b < 3; ++b) {
            const int distance = qAbs(qRed(colours[a]) - qRed(colours[b])) + qAbs(qGreen(colours[a]) - qGreen(colours[b]))
                                 + qAbs(qBlue(colours[a]) - qBlue(colours[b]));
            QVERIFY2(distance > 60, qPrintable(QStringLiteral("cameras %1 and %2 look alike").arg(a).arg(b)));
        }
    }
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
}

void SimRtspTest::executablePrintsRtspPort()
{
    QProcess process;
    process.start(QStringLiteral(QZR_CAMSIM_EXECUTABLE),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--rtsp-port"), QStringLiteral("0")});
    QVERIFY(process.waitForStarted(5000));
    QByteArray out;
    QDeadlineTimer deadline(10000);
    while (out.count('\n') < 2 && !deadline.hasExpired() && process.state() == QProcess::Running) {
        if (process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            out += process.readAllStandardOutput();
    }
    const QList<QByteArray> lines = out.split('\n');
    QVERIFY2(lines.size() >= 3, out.constData());
    bool ok = false;
    const quint16 http = lines[0].toUShort(&ok);
    QVERIFY(ok && http != 0);
    QVERIFY2(lines[1].startsWith("rtsp "), lines[1].constData());
    const quint16 rtsp = lines[1].mid(5).toUShort(&ok);
    QVERIFY(ok && rtsp != 0 && rtsp != http);
    {
        RtspClient client;
        QCOMPARE(client.open(rtspUrl(rtsp, 2)), 0);
        QCOMPARE(int(client.codecId()), int(AV_CODEC_ID_MJPEG));
        QCOMPARE(client.decode(1, 10000), 1);
        QCOMPARE(QSize(client.width(), client.height()), QSize(1920, 1080));
    }
    process.terminate();
    QVERIFY(process.waitForFinished(5000));

    // Without --rtsp-port the first line is the only one.
    QProcess plain;
    plain.start(QStringLiteral(QZR_CAMSIM_EXECUTABLE), {QStringLiteral("--port"), QStringLiteral("0")});
    QVERIFY(plain.waitForStarted(5000));
    QVERIFY(plain.waitForReadyRead(5000));
    QDeadlineTimer settle(300);
    while (!plain.canReadLine() && !settle.hasExpired())
        plain.waitForReadyRead(int(qMax<qint64>(1, settle.remainingTime())));
    const QByteArray first = plain.readLine();
    QVERIFY(first.trimmed().toUShort() != 0);
    plain.terminate();
    QVERIFY(plain.waitForFinished(5000));
    QVERIFY(!plain.readAllStandardOutput().contains("rtsp"));
}

QTEST_GUILESS_MAIN(SimRtspTest)
#include "SimRtspTest.moc"
