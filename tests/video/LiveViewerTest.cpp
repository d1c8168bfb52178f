#include <QElapsedTimer>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QTemporaryDir>
#include <QtTest>

#include "TestStreams.h"
#include "video/StreamSettings.h"
#include "windowsupport/TLiveViewer.h"
#include "windowsupport/ViewerOverlay.h"

using namespace qzr::video;

namespace {

const QRgb kClipColour = qRgb(0x20, 0x40, 0xC0);

bool near(QRgb actual, QRgb expected, int tolerance = 16)
{
    return qAbs(qRed(actual) - qRed(expected)) <= tolerance
        && qAbs(qGreen(actual) - qGreen(expected)) <= tolerance
        && qAbs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

// Pixels in `area` of `image` that are not the clip's colour.
int pixelsOtherThanClip(const QImage &image, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += near(image.pixel(x, y), kClipColour) ? 0 : 1;
    return count;
}

} // namespace

class LiveViewerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void propertiesExistUnderTheirNames_data();
    void propertiesExistUnderTheirNames();
    void startLiveReturnsAtOnceAndPaintsFrames();
    void sizeWrittenAfterStartApplies();
    void overlaysWrittenAfterStartApply();
    void frameRateDisplay();
    void receiveModeWriteRestartsReception();
    void refusedStreamShowsNotice();
    void deletingRunningViewerIsQuick();

    void timeCodeFormats();

private:
    void startViewer(TLiveViewer &viewer, const QString &ip = QStringLiteral("cam"));
    QTemporaryDir m_dir;
    StreamSettings m_savedSettings;
};

void LiveViewerTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QString error;
    // A blue 640x360 clip the viewer plays in a loop, as it would a camera.
    const QString clip = test::makeClip(m_dir.path(), QStringLiteral("cam_1.mp4"),
                                        QStringLiteral("color=c=0x2040C0:size=640x360:rate=15"), 1.0,
                                        test::codecArguments(QStringLiteral("h264")), &error);
    QVERIFY2(!clip.isEmpty(), qPrintable(error));
    m_savedSettings = StreamSettings::current();
}

void LiveViewerTest::init()
{
    StreamSettings::current().urlTemplate = m_dir.filePath(QStringLiteral("{ip}_{channel}.mp4"));
}

void LiveViewerTest::cleanup()
{
    StreamSettings::current() = m_savedSettings;
    QTRY_COMPARE_WITH_TIMEOUT(VideoReceiver::activeThreadCount(), 0, 1000);
}

// The tool's start sequence, as the main window runs it.
void LiveViewerTest::startViewer(TLiveViewer &viewer, const QString &ip)
{
    viewer.setProperty("DispTitle", 0);
    viewer.setProperty("DispPosTitle", 0);
    viewer.setProperty("DispTimeCode", 0);
    viewer.setProperty("DispMotion", 0);
    viewer.setProperty("IP", ip);
    viewer.setProperty("OpPassword", QStringLiteral("kqm"));
    viewer.setProperty("Channel", QStringLiteral("1"));
    viewer.resize(642, 362);
    viewer.show();
    viewer.setProperty("DispHeight", 360);
    viewer.setProperty("DispWidth", 640);
    QVERIFY(QMetaObject::invokeMethod(&viewer, "StartLive"));
}

void LiveViewerTest::propertiesExistUnderTheirNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    const int text = QMetaType::QString;
    const int number = QMetaType::Int;
    QTest::newRow("IP") << "IP" << text << QVariant(QStringLiteral("192.168.0.57"));
    QTest::newRow("MultiIP") << "MultiIP" << text << QVariant(QStringLiteral("225.0.1.1"));
    QTest::newRow("MultiPort") << "MultiPort" << number << QVariant(49152);
    QTest::newRow("DispWidth") << "DispWidth" << number << QVariant(1920);
    QTest::newRow("DispHeight") << "DispHeight" << number << QVariant(1080);
    QTest::newRow("RcvMode") << "RcvMode" << number << QVariant(1);
    QTest::newRow("Channel") << "Channel" << text << QVariant(QStringLiteral("3"));
    QTest::newRow("DispPosTitle") << "DispPosTitle" << number << QVariant(40);
    QTest::newRow("DispTimeCode") << "DispTimeCode" << number << QVariant(1);
    QTest::newRow("DispTitle") << "DispTitle" << number << QVariant(40);
    QTest::newRow("DispMotion") << "DispMotion" << number << QVariant(40);
    QTest::newRow("TimeFormat") << "TimeFormat" << number << QVariant(2);
    QTest::newRow("OpPassword") << "OpPassword" << text << QVariant(QStringLiteral("kqm"));
    QTest::newRow("DispFPS") << "DispFPS" << number << QVariant(254);
}

// Each property the tool writes exists under its name with its type and keeps what is written.
void LiveViewerTest::propertiesExistUnderTheirNames()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(QVariant, value);
    const QMetaObject &meta = TLiveViewer::staticMetaObject;
    QCOMPARE(QString::fromLatin1(meta.className()), QStringLiteral("TLiveViewer"));
    const int index = meta.indexOfProperty(name.toLatin1().constData());
    QVERIFY2(index >= 0, qPrintable(QStringLiteral("no property ") + name));
    const QMetaProperty property = meta.property(index);
    QCOMPARE(property.metaType().id(), type);
    QVERIFY(property.isWritable());
    TLiveViewer viewer;
    QVERIFY(viewer.setProperty(name.toLatin1().constData(), value));
    QCOMPARE(viewer.property(name.toLatin1().constData()), value);
    const int start = meta.indexOfMethod("StartLive()");
    QVERIFY2(start >= 0 && meta.method(start).methodType() == QMetaMethod::Method,
             "StartLive() should be invokable");
}

// StartLive returns without waiting for the stream; decoded pictures are then painted.
void LiveViewerTest::startLiveReturnsAtOnceAndPaintsFrames()
{
    TLiveViewer viewer;
    QElapsedTimer timer;
    timer.start();
    startViewer(viewer);
    QVERIFY2(timer.elapsed() < 200, qPrintable(QStringLiteral("StartLive took %1 ms").arg(timer.elapsed())));
    QTRY_VERIFY_WITH_TIMEOUT(viewer.framesShown() >= 3, 5000);
    const QImage shot = viewer.grab().toImage();
    QVERIFY2(near(shot.pixel(320, 180), kClipColour),
             "the picture's centre should show the stream's colour");
    QVERIFY2(near(shot.pixel(5, 5), kClipColour), "the picture starts at the top left");
    QVERIFY2(near(shot.pixel(641, 361), qRgb(0, 0, 0), 0), "outside the picture is black");
    QCOMPARE(viewer.currentPicture().size(), QSize(640, 360));
    QVERIFY(viewer.noticeText().isEmpty());
}

// DispWidth and DispHeight written on a running view change the painted picture.
void LiveViewerTest::sizeWrittenAfterStartApplies()
{
    TLiveViewer viewer;
    startViewer(viewer);
    QTRY_VERIFY_WITH_TIMEOUT(viewer.framesShown() >= 1, 5000);
    viewer.setProperty("DispWidth", 320);
    viewer.setProperty("DispHeight", 180);
    QTRY_COMPARE_WITH_TIMEOUT(viewer.currentPicture().size(), QSize(320, 180), 5000);
    const QImage shot = viewer.grab().toImage();
    QVERIFY(near(shot.pixel(160, 90), kClipColour));
    QVERIFY2(near(shot.pixel(480, 270), qRgb(0, 0, 0), 0), "beyond the display size is black");
}

// Overlay switches written on a running view draw and remove their texts.
void LiveViewerTest::overlaysWrittenAfterStartApply()
{
    TLiveViewer viewer;
    startViewer(viewer);
    QTRY_VERIFY_WITH_TIMEOUT(viewer.framesShown() >= 1, 5000);
    const QRect topLeft(8, 8, 120, 30);
    const QRect topRight(640 - 130, 8, 120, 14);
    const QRect bottomLeft(8, 360 - 24, 120, 16);
    QImage shot = viewer.grab().toImage();
    QCOMPARE(pixelsOtherThanClip(shot, topLeft), 0);
    QCOMPARE(pixelsOtherThanClip(shot, topRight), 0);
    QCOMPARE(pixelsOtherThanClip(shot, bottomLeft), 0);

    // "Displ. Info ON": time format first, then the overlays.
    viewer.setProperty("TimeFormat", 2);
    viewer.setProperty("DispTitle", 40);
    viewer.setProperty("DispPosTitle", 40);
    viewer.setProperty("DispTimeCode", 1);
    viewer.setProperty("DispMotion", 40);
    shot = viewer.grab().toImage();
    QVERIFY2(pixelsOtherThanClip(shot, topLeft) > 50, "title and picture size should be drawn");
    QVERIFY2(pixelsOtherThanClip(shot, topRight) > 50, "the time code should be drawn");
    QVERIFY2(pixelsOtherThanClip(shot, bottomLeft) > 50, "the motion indicator should be drawn");

    // "Displ. Info OFF".
    viewer.setProperty("DispTitle", 0);
    viewer.setProperty("DispPosTitle", 0);
    viewer.setProperty("DispTimeCode", 0);
    viewer.setProperty("DispMotion", 0);
    shot = viewer.grab().toImage();
    QCOMPARE(pixelsOtherThanClip(shot, topLeft), 0);
    QCOMPARE(pixelsOtherThanClip(shot, topRight), 0);
}

// DispFPS 254 shows the received rate, 255 the decoding load, 0 nothing.
void LiveViewerTest::frameRateDisplay()
{
    TLiveViewer viewer;
    startViewer(viewer);
    viewer.setProperty("DispFPS", 254);
    QTRY_VERIFY_WITH_TIMEOUT(viewer.frameRateText().endsWith(QLatin1String(" fps"))
                                 && viewer.frameRateText() != QLatin1String("0.0 fps"),
                             5000);
    const QRect bottomRight(640 - 60, 360 - 20, 50, 12);
    QVERIFY2(pixelsOtherThanClip(viewer.grab().toImage(), bottomRight) > 20, "the rate should be drawn");
    viewer.setProperty("DispFPS", 255);
    QTRY_VERIFY_WITH_TIMEOUT(viewer.frameRateText().contains(QLatin1String("ms/frame")), 5000);
    viewer.setProperty("DispFPS", 0);
    QTRY_COMPARE_WITH_TIMEOUT(pixelsOtherThanClip(viewer.grab().toImage(), bottomRight), 0, 2000);
}

// Writing RcvMode on a running view starts reception over and pictures keep coming.
void LiveViewerTest::receiveModeWriteRestartsReception()
{
    TLiveViewer viewer;
    startViewer(viewer);
    QTRY_VERIFY_WITH_TIMEOUT(viewer.framesShown() >= 1, 5000);
    const int startsBefore = viewer.receptionStarts();
    viewer.setProperty("RcvMode", 1);
    QCOMPARE(viewer.receptionStarts(), startsBefore + 1);
    const qint64 shown = viewer.framesShown();
    QTRY_VERIFY_WITH_TIMEOUT(viewer.framesShown() > shown, 5000);
    QCOMPARE(VideoReceiver::activeThreadCount(), 1);
}

// A stream that cannot be opened shows a notice on the picture and keeps trying.
void LiveViewerTest::refusedStreamShowsNotice()
{
    StreamSettings::current().urlTemplate =
        QStringLiteral("rtsp://{ip}:%1/channel{channel}").arg(test::closedLoopbackPort());
    TLiveViewer viewer;
    startViewer(viewer, QStringLiteral("127.0.0.1"));
    QTRY_VERIFY_WITH_TIMEOUT(viewer.noticeText().startsWith(QLatin1String("Connection refused")), 5000);
    QVERIFY(viewer.noticeText().contains(QStringLiteral("retrying")));
    const QImage shot = viewer.grab().toImage();
    int lit = 0;
    for (int x = 120; x < 520; ++x)
        lit += qRed(shot.pixel(x, 180)) > 128 ? 1 : 0;
    QVERIFY2(lit > 0, "the notice should be drawn across the picture's middle");
}

// Deleting a running viewer returns quickly and its receiver thread ends.
void LiveViewerTest::deletingRunningViewerIsQuick()
{
    auto *viewer = new TLiveViewer;
    startViewer(*viewer);
    QTRY_VERIFY_WITH_TIMEOUT(viewer->framesShown() >= 1, 5000);
    QCOMPARE(VideoReceiver::activeThreadCount(), 1);
    QElapsedTimer timer;
    timer.start();
    delete viewer;
    const qint64 deleteMs = timer.elapsed();
    qInfo("running viewer deleted in %lld ms", deleteMs);
    QVERIFY2(deleteMs < 1000, qPrintable(QStringLiteral("deleting took %1 ms").arg(deleteMs)));
    QCOMPARE(VideoReceiver::activeThreadCount(), 0);
}

// TimeFormat 0, 1 and 2 give time, date and time, ISO date and time with milliseconds.
void LiveViewerTest::timeCodeFormats()
{
    const QDateTime time(QDate(2024, 3, 9), QTime(14, 5, 7, 89));
    QCOMPARE(overlay::timeCode(0, time), QStringLiteral("14:05:07"));
    QCOMPARE(overlay::timeCode(1, time), QStringLiteral("09.03.2024 14:05:07"));
    QCOMPARE(overlay::timeCode(2, time), QStringLiteral("2024-03-09 14:05:07.089"));
    QCOMPARE(overlay::timeCode(7, time), QStringLiteral("14:05:07"));
}

QTEST_MAIN(LiveViewerTest)
#include "LiveViewerTest.moc"
