#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include "SimThread.h"
#include "video/StreamSettings.h"
#include "windowsupport/TLiveViewer.h"
#include "video/VideoReceiver.h"

using namespace qzr::video;

namespace {

int colourVariety(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += image.height() / 8 + 1)
        for (int x = 0; x < image.width(); x += image.width() / 8 + 1)
            colours.insert(image.pixel(x, y) & 0xF0F0F0);
    return colours.size();
}

} // namespace

// The receiver and the viewer against the simulator's RTSP server on loopback.
class RtspReceiverTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void decodesEachChannel_data();
    void decodesEachChannel();
    void wrongPasswordIsUnauthorised();
    void unknownMountIsNotFound();
    void serverGoneIsStreamLost();
    void viewerPaintsCameraStream();

private:
    QString url(int channel) const
    {
        return QStringLiteral("rtsp://127.0.0.1:%1/channel%2").arg(m_sim->rtspPort()).arg(channel);
    }
    std::unique_ptr<qzr::sim::SimThread> m_sim;
};

void RtspReceiverTest::initTestCase()
{
    m_sim = std::make_unique<qzr::sim::SimThread>();
    QVERIFY(m_sim->start(0) != 0);
    // Small pictures keep the test light: one channel per codec. MPEG-4 Part 2
    // is decoded from files only: the simulator's MPEG-4 mount sends no packets yet.
    const char *types[] = {"h264baseline", "jpeg"};
    for (int channel = 1; channel <= 2; ++channel) {
        const QString encoder = QStringLiteral("encode(%1).").arg(channel);
        m_sim->setValue(encoder + QStringLiteral("type"), QString::fromLatin1(types[channel - 1]));
        m_sim->setValue(encoder + QStringLiteral("framesize"), QStringLiteral("640x360"));
        m_sim->setValue(encoder + QStringLiteral("quality"), QStringLiteral("80k"));
    }
    QVERIFY2(m_sim->startRtsp(0) != 0, "the simulator should serve RTSP");
}

void RtspReceiverTest::cleanupTestCase()
{
    m_sim.reset();
}

void RtspReceiverTest::cleanup()
{
    QTRY_COMPARE_WITH_TIMEOUT(VideoReceiver::activeThreadCount(), 0, 1000);
}

void RtspReceiverTest::decodesEachChannel_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<RtspTransport>("transport");
    QTest::newRow("H.264 over TCP") << 1 << "h264" << RtspTransport::Tcp;
    QTest::newRow("H.264 over UDP") << 1 << "h264" << RtspTransport::Udp;
    QTest::newRow("JPEG over TCP") << 2 << "mjpeg" << RtspTransport::Tcp;
}

// Each channel's stream is decoded to pictures of the requested size.
void RtspReceiverTest::decodesEachChannel()
{
    QFETCH(int, channel);
    QFETCH(QString, codec);
    QFETCH(RtspTransport, transport);
    VideoReceiver receiver(std::make_unique<UrlStreamSource>(url(channel), "admin", "kqm", transport));
    receiver.setOutputSize(QSize(320, 180));
    QSignalSpy errors(&receiver, &VideoReceiver::errorOccurred);
    VideoFrame last;
    int delivered = 0;
    connect(&receiver, &VideoReceiver::frameReady, this, [&](const VideoFrame &frame) {
        last = frame;
        ++delivered;
    });
    QElapsedTimer timer;
    timer.start();
    receiver.start();
    QTRY_VERIFY_WITH_TIMEOUT(delivered >= 1, 8000);
    const qint64 firstFrameMs = timer.elapsed();
    QTRY_VERIFY_WITH_TIMEOUT(delivered >= 10, 8000);
    qInfo("first picture after %lld ms", firstFrameMs);
    QVERIFY2(errors.isEmpty(), "the stream should play without errors");
    QCOMPARE(last.codecName, codec);
    QCOMPARE(last.sourceSize, QSize(640, 360));
    QCOMPARE(last.image.size(), QSize(320, 180));
    QVERIFY2(colourVariety(last.image) >= 4, "a test picture should have several colours");

    // Stopping a playing stream interrupts the blocked read and joins the thread.
    timer.restart();
    receiver.stop();
    qInfo("playing stream stopped in %lld ms", timer.elapsed());
    QVERIFY2(timer.elapsed() < 1000, "stopping should take well under a second");
}

// A wrong password gives "unauthorised", fatal, retried slowly.
void RtspReceiverTest::wrongPasswordIsUnauthorised()
{
    VideoReceiver receiver(std::make_unique<UrlStreamSource>(url(1), "admin", "wrong"));
    QSignalSpy errors(&receiver, &VideoReceiver::errorOccurred);
    receiver.start();
    QVERIFY(errors.wait(8000));
    const auto error = errors.first().at(0).value<VideoError>();
    QCOMPARE(error.category, VideoErrorCategory::Unauthorised);
    QVERIFY(error.fatal);
    QCOMPARE(error.retryInMs, RetryPolicy().fatalDelayMs);
}

// An unknown mount gives "not found".
void RtspReceiverTest::unknownMountIsNotFound()
{
    VideoReceiver receiver(std::make_unique<UrlStreamSource>(url(9), "admin", "kqm"));
    QSignalSpy errors(&receiver, &VideoReceiver::errorOccurred);
    receiver.start();
    QVERIFY(errors.wait(8000));
    const auto error = errors.first().at(0).value<VideoError>();
    QCOMPARE(error.category, VideoErrorCategory::NotFound);
    QVERIFY(error.fatal);
}

// The server going away while a stream plays is "stream lost", retried quickly.
void RtspReceiverTest::serverGoneIsStreamLost()
{
    qzr::sim::SimThread sim;
    QVERIFY(sim.start(0) != 0);
    sim.setValue(QStringLiteral("encode(1).type"), QStringLiteral("h264baseline"));
    sim.setValue(QStringLiteral("encode(1).framesize"), QStringLiteral("640x360"));
    const quint16 port = sim.startRtsp(0);
    QVERIFY(port != 0);
    VideoReceiver receiver(std::make_unique<UrlStreamSource>(
        QStringLiteral("rtsp://127.0.0.1:%1/channel1").arg(port), "admin", "kqm"));
    QSignalSpy first(&receiver, &VideoReceiver::firstFrame);
    QSignalSpy errors(&receiver, &VideoReceiver::errorOccurred);
    receiver.start();
    QVERIFY(first.wait(8000));
    sim.stop();
    QVERIFY(errors.wait(8000));
    const auto error = errors.first().at(0).value<VideoError>();
    QVERIFY2(error.category == VideoErrorCategory::StreamLost || error.category == VideoErrorCategory::NoData,
             qPrintable(QStringLiteral("got ") + errorCategoryText(error.category)));
    QVERIFY(!error.fatal);
    QCOMPARE(error.retryInMs, 250);
}

// The viewer shows the camera's stream from the address template, IP, channel and password.
void RtspReceiverTest::viewerPaintsCameraStream()
{
    const StreamSettings saved = StreamSettings::current();
    StreamSettings::current().urlTemplate =
        QStringLiteral("rtsp://{ip}:%1/channel{channel}").arg(m_sim->rtspPort());
    StreamSettings::current().user = QStringLiteral("admin");
    {
        TLiveViewer viewer;
        viewer.setProperty("IP", QStringLiteral("127.0.0.1"));
        viewer.setProperty("OpPassword", QStringLiteral("kqm"));
        viewer.setProperty("Channel", QStringLiteral("2"));
        viewer.resize(642, 362);
        viewer.show();
        viewer.setProperty("DispHeight", 360);
        viewer.setProperty("DispWidth", 640);
        viewer.StartLive();
        QTRY_VERIFY_WITH_TIMEOUT(viewer.framesShown() >= 3, 8000);
        const QImage shot = viewer.grab().toImage();
        QVERIFY2(colourVariety(shot.copy(0, 0, 640, 360)) >= 4, "the painted picture should not be blank");
        QVERIFY(viewer.noticeText().isEmpty());
        QElapsedTimer timer;
        timer.start();
        viewer.setProperty("Channel", QStringLiteral("1")); // applies at the next start only
        viewer.setProperty("OpPassword", QStringLiteral("wrong"));
        viewer.StartLive();
        QTRY_VERIFY_WITH_TIMEOUT(viewer.noticeText().startsWith(QLatin1String("Unauthorised")), 8000);
        QVERIFY(viewer.noticeText().contains(QStringLiteral("retrying")));
    }
    StreamSettings::current() = saved;
}

QTEST_MAIN(RtspReceiverTest)
#include "RtspReceiverTest.moc"
