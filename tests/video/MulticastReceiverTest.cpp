#include <QNetworkInterface>
#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

#include "SimThread.h"
#include "video/MulticastStreamSource.h"
#include "video/StreamSettings.h"
#include "windowsupport/TLiveViewer.h"
#include "video/VideoReceiver.h"

using namespace qzr::video;

namespace {

const QString kGroup = QStringLiteral("225.0.1.1");
const QString kNoDataNotice = QStringLiteral("No data \u2013 retrying\u2026");

// A UDP port nobody uses right now, with its neighbour (RTCP) free too.
quint16 freeUdpPort()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        QUdpSocket probe;
        if (!probe.bind(QHostAddress::AnyIPv4, 0))
            continue;
        const quint16 port = probe.localPort();
        if (port >= 65534)
            continue;
        QUdpSocket next;
        if (next.bind(QHostAddress::AnyIPv4, quint16(port + 1)))
            return port;
    }
    return 0;
}

int colourVariety(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += image.height() / 8 + 1)
        for (int x = 0; x < image.width(); x += image.width() / 8 + 1)
            colours.insert(image.pixel(x, y) & 0xF0F0F0);
    return colours.size();
}

bool allBlack(const QImage &image)
{
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            if (qGray(image.pixel(x, y)) > 24)
                return false;
    return true;
}

} // namespace

// The viewer receiving the simulator's multicast RTP on the loopback interface.
class MulticastReceiverTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void sdpDescribesGroupPortAndCodec();
    void interfaceFollowsCameraAddress();
    void viewerShowsGroupPicturesAndNoticeWhenStopped();
    void writingMultiPortRestartsOnNewGroupPort();
    void motionJpegGroup();

private:
    void setDestination(int channel, quint16 port, const char *status)
    {
        const QString prefix = QStringLiteral("network.destination(%1).").arg(channel);
        m_sim->setValue(prefix + QStringLiteral("address"), kGroup);
        m_sim->setValue(prefix + QStringLiteral("port"), QString::number(port));
        m_sim->setValue(prefix + QStringLiteral("status"), QString::fromLatin1(status));
    }
    void startViewer(TLiveViewer &viewer, quint16 port)
    {
        viewer.setProperty("IP", QStringLiteral("127.0.0.1"));
        viewer.setProperty("OpPassword", QStringLiteral("kqm"));
        viewer.setProperty("Channel", QStringLiteral("1"));
        viewer.setProperty("RcvMode", 1);
        viewer.setProperty("MultiIP", kGroup);
        viewer.setProperty("MultiPort", int(port));
        viewer.resize(322, 242);
        viewer.show();
        viewer.setProperty("DispWidth", 320);
        viewer.setProperty("DispHeight", 240);
        QVERIFY(QMetaObject::invokeMethod(&viewer, "StartLive"));
    }

    std::unique_ptr<qzr::sim::SimThread> m_sim;
    StreamSettings m_savedSettings;
};

void MulticastReceiverTest::initTestCase()
{
    if (!QNetworkInterface::interfaceFromName(QStringLiteral("lo")).isValid())
        QSKIP("no loopback interface named lo");
    m_savedSettings = StreamSettings::current();
    m_sim = std::make_unique<qzr::sim::SimThread>();
    QVERIFY(m_sim->start(0) != 0);
    // Encoders 1 and 2 H.264 in two sizes, encoder 3 Motion JPEG; small pictures.
    const char *types[] = {"h264baseline", "h264high", "jpeg"};
    const char *sizes[] = {"640x360", "qvga", "qvga"};
    for (int channel = 1; channel <= 3; ++channel) {
        const QString encoder = QStringLiteral("encode(%1).").arg(channel);
        m_sim->setValue(encoder + QStringLiteral("type"), QString::fromLatin1(types[channel - 1]));
        m_sim->setValue(encoder + QStringLiteral("framesize"), QString::fromLatin1(sizes[channel - 1]));
        m_sim->setValue(encoder + QStringLiteral("bitrate"), QStringLiteral("1000000"));
        m_sim->setValue(encoder + QStringLiteral("quality"), QStringLiteral("80k"));
    }
}

void MulticastReceiverTest::cleanupTestCase()
{
    m_sim.reset();
}

void MulticastReceiverTest::cleanup()
{
    StreamSettings::current() = m_savedSettings;
    QTRY_COMPARE_WITH_TIMEOUT(VideoReceiver::activeThreadCount(), 0, 1000);
    for (int channel = 1; channel <= 3; ++channel)
        m_sim->setValue(QStringLiteral("network.destination(%1).status").arg(channel), QStringLiteral("stop"));
    QVERIFY(m_sim->multicastSending().isEmpty());
}

void MulticastReceiverTest::sdpDescribesGroupPortAndCodec()
{
    const QByteArray h264 = MulticastStreamSource::sdp(QStringLiteral("225.0.2.1"), 59152,
                                                      MulticastCodec::H264, QStringLiteral("127.0.0.1"));
    QCOMPARE(h264, QByteArray("v=0\r\n"
                              "o=- 0 0 IN IP4 127.0.0.1\r\n"
                              "s=QZ-R multicast\r\n"
                              "c=IN IP4 225.0.2.1/0\r\n"
                              "t=0 0\r\n"
                              "m=video 59152 RTP/AVP 96\r\n"
                              "a=rtpmap:96 H264/90000\r\n"
                              "a=fmtp:96 packetization-mode=1\r\n"));
    const QByteArray jpeg = MulticastStreamSource::sdp(QStringLiteral("225.0.4.1"), 29152, MulticastCodec::Jpeg);
    QVERIFY(jpeg.contains("m=video 29152 RTP/AVP 26\r\n"));
    QVERIFY(jpeg.contains("a=rtpmap:26 JPEG/90000\r\n"));
    QVERIFY(jpeg.contains("c=IN IP4 225.0.4.1/0\r\n"));
}

void MulticastReceiverTest::interfaceFollowsCameraAddress()
{
    QCOMPARE(MulticastStreamSource::localAddressFor(QStringLiteral("127.0.0.1")), QStringLiteral("127.0.0.1"));
    QCOMPARE(MulticastStreamSource::localAddressFor(QStringLiteral("127.3.4.5")), QStringLiteral("127.0.0.1"));
    QVERIFY(MulticastStreamSource::localAddressFor(QString()).isEmpty());
    QVERIFY(MulticastStreamSource::localAddressFor(QStringLiteral("camera.local")).isEmpty());
    // A camera at one of this host's own addresses is reached from that address.
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
            QCOMPARE(MulticastStreamSource::localAddressFor(address.toString()), address.toString());
            break;
        }
    }
    const MulticastStreamSource chosen(kGroup, 49152, QStringLiteral("127.0.0.1"));
    QCOMPARE(chosen.interfaceAddress(), QStringLiteral("127.0.0.1"));
    const MulticastStreamSource overridden(kGroup, 49152, QStringLiteral("127.0.0.1"), MulticastCodec::H264,
                                           QStringLiteral("10.1.2.3"));
    QCOMPARE(overridden.interfaceAddress(), QStringLiteral("10.1.2.3"));
}

void MulticastReceiverTest::viewerShowsGroupPicturesAndNoticeWhenStopped()
{
    const quint16 port = freeUdpPort();
    QVERIFY(port != 0);
    setDestination(1, port, "start");
    QCOMPARE(m_sim->multicastSending(), QList<int>{1});

    auto viewer = std::make_unique<TLiveViewer>();
    startViewer(*viewer, port);
    QVERIFY(viewer->receiver());
    QVERIFY(viewer->receiver()->sourceDescription().contains(kGroup));
    QTRY_VERIFY_WITH_TIMEOUT(viewer->framesShown() > 0, 10000);
    QVERIFY(viewer->noticeText().isEmpty());
    const QImage picture = viewer->currentPicture();
    QCOMPARE(picture.size(), QSize(320, 240));
    QVERIFY(!allBlack(picture));
    QVERIFY(colourVariety(picture) >= 3);

    // The destination stops: nothing arrives, the viewer says so and keeps trying.
    setDestination(1, port, "stop");
    QVERIFY(m_sim->multicastSending().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(viewer->noticeText(), kNoDataNotice, 10000);
    QCOMPARE(VideoReceiver::activeThreadCount(), 1);

    // Started again, the pictures come back.
    const qint64 shown = viewer->framesShown();
    setDestination(1, port, "start");
    QTRY_VERIFY_WITH_TIMEOUT(viewer->framesShown() > shown, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(viewer->noticeText().isEmpty(), 5000);

    // Releasing the viewer ends its thread (and so leaves the group).
    viewer.reset();
    QTRY_COMPARE_WITH_TIMEOUT(VideoReceiver::activeThreadCount(), 0, 1000);
}

void MulticastReceiverTest::writingMultiPortRestartsOnNewGroupPort()
{
    const quint16 port1 = freeUdpPort();
    const quint16 port2 = freeUdpPort();
    QVERIFY(port1 != 0 && port2 != 0 && port1 != port2);
    setDestination(1, port1, "start");
    setDestination(2, port2, "start");
    QCOMPARE(m_sim->multicastSending(), (QList<int>{1, 2}));

    TLiveViewer viewer;
    startViewer(viewer, port1);
    QTRY_VERIFY_WITH_TIMEOUT(viewer.framesShown() > 0, 10000);
    QSignalSpy first(viewer.receiver(), &VideoReceiver::frameReady);
    QVERIFY(first.wait(5000));
    QCOMPARE(first.last().at(0).value<VideoFrame>().sourceSize, QSize(640, 360));

    const int starts = viewer.receptionStarts();
    viewer.setProperty("MultiPort", int(port2));
    QCOMPARE(viewer.receptionStarts(), starts + 1);
    QSignalSpy second(viewer.receiver(), &VideoReceiver::frameReady);
    QVERIFY(second.wait(10000));
    QCOMPARE(second.last().at(0).value<VideoFrame>().sourceSize, QSize(320, 240)); // encoder 2
    QCOMPARE(VideoReceiver::activeThreadCount(), 1);

    // Writing the same value again changes nothing.
    viewer.setProperty("MultiPort", int(port2));
    viewer.setProperty("MultiIP", kGroup);
    QCOMPARE(viewer.receptionStarts(), starts + 1);
}

void MulticastReceiverTest::motionJpegGroup()
{
    StreamSettings::current().multicastCodec = MulticastCodec::Jpeg;
    const quint16 port = freeUdpPort();
    QVERIFY(port != 0);
    setDestination(3, port, "start");
    TLiveViewer viewer;
    startViewer(viewer, port);
    QSignalSpy frames(viewer.receiver(), &VideoReceiver::frameReady);
    QVERIFY(frames.wait(10000));
    const VideoFrame frame = frames.last().at(0).value<VideoFrame>();
    QCOMPARE(frame.codecName, QStringLiteral("mjpeg"));
    QCOMPARE(frame.sourceSize, QSize(320, 240));
    QVERIFY(!allBlack(frame.image));
}

QTEST_MAIN(MulticastReceiverTest)
#include "MulticastReceiverTest.moc"
