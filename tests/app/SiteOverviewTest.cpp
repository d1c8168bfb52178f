// "Site Overview": a wall of simulated cameras on loopback, each serving
// video of its own, driven through the window's real controls.
#include "ScriptedDialogs.h"
#include "app/SiteOverviewWindow.h"
#include "app/Unit1.h"
#include "app/WindowSet.h"
#include "sim/SimThread.h"
#include "windowsupport/CameraTile.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

constexpr int kVideoCameras = 15;
constexpr int kPictureWaitMs = 30000;

// The background of a simulated picture, clear of its texts and stamp.
QRgb backgroundOf(const QImage &picture)
{
    return picture.pixel(picture.width() / 16, picture.height() * 7 / 10);
}

int colourDistance(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
}

} // namespace

class SiteOverviewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void tilesShowEachCamerasPictureAndState();
    void lostStreamShowsTheReasonAndRecovers();
    void pagingStopsTheStreamsOfHiddenTiles();
    void doubleClickConnectsTheMainWindow();
    void snapshotIsTheFullPicture();
    void unusableHostListIsNamed();

private:
    // Opens the wall on every camera through "Open host list…".
    bool openWall();
    bool waitForPictures(int first, int count);

    std::vector<std::unique_ptr<qzr::sim::SimThread>> m_video; // cameras 0..14
    std::unique_ptr<qzr::sim::SimThread> m_locked;             // camera 15: another password
    quint16 m_deadPort = 0;                                     // camera 16: nothing listens
    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<qzr::WindowSet> m_windows;
    SiteOverviewWindow *m_wall = nullptr;
};

void SiteOverviewTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    for (int k = 0; k < kVideoCameras; ++k) {
        auto camera = std::make_unique<qzr::sim::SimThread>();
        QVERIFY(camera->start() != 0);
        // Small pictures on channel 1 (the jpeg channel 2 stays at 1080p):
        // the wall picks channel 1 as the lowest resolution that runs.
        camera->setValue(QStringLiteral("encode(1).framesize"), QStringLiteral("640x360"));
        QVERIFY(camera->startRtsp(0, k) != 0);
        m_video.push_back(std::move(camera));
    }
    qzr::sim::CameraOptions locked;
    locked.password = QStringLiteral("secret");
    m_locked = std::make_unique<qzr::sim::SimThread>(locked);
    QVERIFY(m_locked->start() != 0);
    QTcpServer probe; // a port that was free a moment ago, and closed now
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    m_deadPort = probe.serverPort();
    probe.close();
}

void SiteOverviewTest::init()
{
    m_dialogs = std::make_unique<ScriptedDialogs>();
    qzr::StartOptions options;
    options.address = QStringLiteral("127.0.0.1");
    options.port = QString::number(m_video.front()->port());
    m_windows = std::make_unique<qzr::WindowSet>(options);
    m_wall = siteOverviewWindow();
    m_wall->resize(1040, 700);
    m_wall->show();
}

void SiteOverviewTest::cleanup()
{
    m_wall = nullptr;
    m_windows.reset();
    m_dialogs.reset();
}

bool SiteOverviewTest::openWall()
{
    QFile list(m_dir.filePath(QStringLiteral("site.txt")));
    if (!list.open(QIODevice::WriteOnly))
        return false;
    list.write("# the site\n");
    for (const auto &camera : m_video)
        list.write("127.0.0.1:" + QByteArray::number(camera->port()) + "\n");
    list.write("127.0.0.1:" + QByteArray::number(m_locked->port()) + "\n");
    list.write("127.0.0.1:" + QByteArray::number(m_deadPort) + "\n");
    list.close();
    m_dialogs->openAnswer = list.fileName();
    m_wall->OpenHostListButton->click();
    return m_wall->cameraCount() == kVideoCameras + 2;
}

bool SiteOverviewTest::waitForPictures(int first, int count)
{
    QDeadlineTimer deadline(kPictureWaitMs);
    while (!deadline.hasExpired()) {
        bool all = true;
        for (int i = first; i < first + count; ++i)
            all = all && m_wall->tile(i)->picturesShown() > 0;
        if (all)
            return true;
        QTest::qWait(50);
    }
    return false;
}

void SiteOverviewTest::tilesShowEachCamerasPictureAndState()
{
    QVERIFY(openWall());
    QCOMPARE(m_wall->PageLabel->text(), QStringLiteral("Page 1 of 2"));
    // Page 1: cameras 0..15; 14 video cameras and the locked one.
    QVERIFY(waitForPictures(0, 15));
    QTRY_COMPARE_WITH_TIMEOUT(m_wall->tile(15)->stateText(), QStringLiteral("login needed"), 10000);
    QList<QRgb> backgrounds;
    for (int i = 0; i < 15; ++i) {
        CameraTile *tile = m_wall->tile(i);
        QCOMPARE(tile->stateText(), QStringLiteral("live"));
        QCOMPARE(tile->address(), QStringLiteral("127.0.0.1:%1").arg(m_video[size_t(i)]->port()));
        QCOMPARE(tile->model(), QStringLiteral("QZ-R410"));
        QCOMPARE(m_wall->channelOf(i), 1);
        // Each camera came over its own RTSP port.
        QCOMPARE(m_video[size_t(i)]->rtspClientCount(), 1);
        // Scaled by the decoder to the tile, keeping the stream's shape.
        const QImage picture = tile->currentPicture();
        QVERIFY(picture.width() <= tile->width());
        QVERIFY(qAbs(picture.width() * 9 - picture.height() * 16) <= 16 * 2);
        backgrounds << backgroundOf(picture);
    }
    for (int a = 0; a < backgrounds.size(); ++a) {
        for (int b = a + 1; b < backgrounds.size(); ++b)
            QVERIFY2(colourDistance(backgrounds[a], backgrounds[b]) > 30,
                     qPrintable(QStringLiteral("tiles %1 and %2 show the same picture").arg(a).arg(b)));
    }
    // The page's 16 tiles in a 4 x 4 grid.
    QCOMPARE(m_wall->TileGrid->columnCount(), 4);
    QCOMPARE(m_wall->TileGrid->rowCount(), 4);
}

void SiteOverviewTest::lostStreamShowsTheReasonAndRecovers()
{
    QVERIFY(openWall());
    QVERIFY(waitForPictures(0, 1));
    CameraTile *tile = m_wall->tile(0);
    qzr::sim::SimThread &camera = *m_video.front();
    const quint16 rtspPort = camera.rtspPort();
    camera.stopRtsp();
    QTRY_VERIFY_WITH_TIMEOUT(tile->stateText().startsWith(QStringLiteral("no picture: ")), 15000);
    QVERIFY(tile->currentPicture().isNull());
    QCOMPARE(camera.startRtsp(rtspPort, 0), rtspPort);
    const qint64 before = tile->picturesShown();
    QTRY_VERIFY_WITH_TIMEOUT(tile->picturesShown() > before, kPictureWaitMs);
    QCOMPARE(tile->stateText(), QStringLiteral("live"));
}

void SiteOverviewTest::pagingStopsTheStreamsOfHiddenTiles()
{
    QVERIFY(openWall());
    QTRY_VERIFY_WITH_TIMEOUT(m_wall->cameraInfo(16).has_value(), 15000);
    QCOMPARE(m_wall->tile(16)->stateText().left(36), QStringLiteral("not read: refused the connection (So"));
    QVERIFY(waitForPictures(0, 15));
    QVERIFY(!m_wall->tile(16)->isVisible());
    QVERIFY(m_wall->NextPageButton->isEnabled());
    m_wall->NextPageButton->click();
    QCOMPARE(m_wall->PageLabel->text(), QStringLiteral("Page 2 of 2"));
    for (int i = 0; i < 16; ++i) {
        QVERIFY(!m_wall->tile(i)->isVisible());
        QVERIFY(!m_wall->tile(i)->isReceiving());
    }
    // The cameras hear the streams end.
    for (int i = 0; i < 15; ++i)
        QTRY_COMPARE_WITH_TIMEOUT(m_video[size_t(i)]->rtspClientCount(), 0, 10000);
    QVERIFY(m_wall->tile(16)->isVisible());
    m_wall->PreviousPageButton->click();
    QVERIFY(waitForPictures(0, 1));
    QVERIFY(m_wall->tile(0)->isReceiving());
    // Closing the window ends every stream too.
    m_wall->close();
    for (int i = 0; i < 15; ++i)
        QVERIFY(!m_wall->tile(i)->isReceiving());
}

void SiteOverviewTest::doubleClickConnectsTheMainWindow()
{
    QVERIFY(openWall());
    QVERIFY(waitForPictures(2, 1));
    qzr::sim::SimThread &camera = *m_video[2];
    camera.clearRequests();
    CameraTile *tile = m_wall->tile(2);
    QTest::mouseDClick(tile, Qt::LeftButton, {}, tile->rect().center());
    QCOMPARE(Form1->Edit1->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(Form1->Edit2->text(), QString::number(camera.port()));
    QCOMPARE(Form1->Label18->text(), QStringLiteral("Model: QZ-R410"));
    QVERIFY(!camera.requests().isEmpty());
    QCOMPARE(m_dialogs->errors, QStringList());

    // The locked camera asks for a login first; cancelled, nothing is sent.
    m_locked->clearRequests();
    QTRY_VERIFY_WITH_TIMEOUT(m_wall->cameraInfo(15).has_value(), 10000);
    m_dialogs->loginAnswer = false;
    QVERIFY(!m_wall->connectMainWindowTo(15));
    QCOMPARE(m_dialogs->logins, QStringList{QStringLiteral("127.0.0.1:%1|").arg(m_locked->port())});
    QCOMPARE(m_locked->requests().size(), 0);
}

void SiteOverviewTest::snapshotIsTheFullPicture()
{
    QVERIFY(openWall());
    QVERIFY(waitForPictures(1, 1));
    CameraTile *tile = m_wall->tile(1);
    QVERIFY(tile->currentPicture().width() < 640);
    m_dialogs->saveAnswer = m_dir.filePath(QStringLiteral("camera1"));
    std::unique_ptr<QMenu> menu(m_wall->tileMenu(1));
    auto *snapshot = menu->findChild<QAction *>(QStringLiteral("SnapshotAction"));
    QVERIFY(snapshot && snapshot->isEnabled());
    auto *channel2 = menu->findChild<QAction *>(QStringLiteral("Channel2Action"));
    QVERIFY(channel2 && channel2->isEnabled() && !channel2->isChecked());
    QVERIFY(!menu->findChild<QAction *>(QStringLiteral("Channel3Action"))->isEnabled()); // encoder 3 is off
    snapshot->trigger();
    const QString path = m_dir.filePath(QStringLiteral("camera1.png"));
    QTRY_COMPARE_WITH_TIMEOUT(m_dialogs->notices.size(), 1, 15000);
    QCOMPARE(m_dialogs->notices.first(),
             QStringLiteral("Snapshot of 127.0.0.1:%1 saved to %2 (640x360).").arg(m_video[1]->port()).arg(path));
    const QImage saved(path, "PNG");
    QCOMPARE(saved.size(), QSize(640, 360));
    QVERIFY(colourDistance(backgroundOf(saved), backgroundOf(tile->currentPicture())) < 30);
    // The tile goes back to its own size.
    QTRY_VERIFY_WITH_TIMEOUT(tile->currentPicture().width() < 640, 10000);
}

void SiteOverviewTest::unusableHostListIsNamed()
{
    QFile list(m_dir.filePath(QStringLiteral("bad.txt")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("127.0.0.1:8080\n\n127.0.0.010:80\n");
    list.close();
    m_dialogs->openAnswer = list.fileName();
    m_wall->OpenHostListButton->click();
    QCOMPARE(m_dialogs->errors,
             QStringList{list.fileName() + QStringLiteral(": line 3: '127.0.0.010:80' is not an IP address or host name.")});
    QCOMPARE(m_wall->cameraCount(), 0);
}

QTEST_MAIN(SiteOverviewTest)
#include "SiteOverviewTest.moc"
