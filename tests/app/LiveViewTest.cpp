// The live view of the main window against the simulated camera's video.
#include "CameraWindows.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "app/Unit6.h"
#include "app/Unit9.h"
#include "video/StreamSettings.h"
#include "windowsupport/TLiveViewer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QLineEdit>
#include "tests/support/ConnectWatch.h"

#include <QtTest>

namespace {
constexpr int kPictureWaitMs = 15000;

TLiveViewer *liveViewer(const QPointer<TLiveViewer> &viewer)
{
    return qobject_cast<TLiveViewer *>(viewer.data());
}

// True when the viewer painted something other than black.
bool showsPicture(QWidget *viewer)
{
    const QImage image = viewer->grab().toImage();
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            if (qGray(image.pixel(x, y)) > 40)
                return true;
    return false;
}
int cam3Windows()
{
    int count = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        count += qobject_cast<TForm6 *>(window) != nullptr;
    return count;
}

// The whole text fits the edit field of the combo, so it shows from its start.
bool showsWhole(const QComboBox *combo)
{
    const QLineEdit *edit = combo->lineEdit();
    // The field keeps a margin of 2 at each side and room for the cursor.
    return edit->width() - 2 * 2 - 1 >= edit->fontMetrics().horizontalAdvance(edit->text());
}
} // namespace

using qzr::testsupport::ConnectWatch;

class LiveViewTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startShowsTheCamerasPicture();
    void stopReleasesTheViewerAndItsSession();
    void everyStartGetsAFreshWindowAndReleasesTheEarlier();
    void listPromptsShowWhole();
    void channelButtonsRestartOnTheNewChannel();
    void channelWithNoViewRunningIsRememberedForTheNextStart();
    void overlayListWritesTheOverlayProperties();
    void fullScreenTakesTheCamerasFrameSizeAndEscapeReturns();
    void lostStreamShowsANoticeAndComesBack();
    void fullHdWindowAndClosingReleasesItsViewer();
    void saveSettingsStopsARunningView();

private:
    void startLiveView()
    {
        Form3->Button1Click();   // choose the camera, as a newcomer does
        Form1->Button2Click();
    }

    CameraWindows m_camera;
};

void LiveViewTest::init()
{
    QVERIFY(m_camera.startCamera());
    const quint16 rtsp = m_camera.sim->startRtsp(0);
    QVERIFY(rtsp != 0);
    qzr::video::StreamSettings::current().urlTemplate =
        QStringLiteral("rtsp://{ip}:%1/channel{channel}").arg(rtsp);
    // Small pictures keep the tests light.
    for (int channel = 1; channel <= 2; ++channel) {
        m_camera.sim->setValue(QStringLiteral("encode(%1).type").arg(channel), "h264high");
        m_camera.sim->setValue(QStringLiteral("encode(%1).framesize").arg(channel), "640x360");
    }
    m_camera.openWindows();
}

void LiveViewTest::cleanup()
{
    m_camera.close();
}

void LiveViewTest::startShowsTheCamerasPicture()
{
    TForm6 *before = Form6;
    ConnectWatch::clear();
    startLiveView();
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QVERIFY(Form6 != before);   // a fresh window for each start
    QVERIFY(Form6->isVisible());
    TLiveViewer *viewer = liveViewer(Form6->LiveViewer1);
    QVERIFY(viewer);
    QCOMPARE(viewer->IP(), QString("127.0.0.1"));
    QCOMPARE(viewer->OpPassword(), QString("kqm"));
    QCOMPARE(viewer->Channel(), QString("1"));
    QCOMPARE(viewer->size(), QSize(640, 360));
    QCOMPARE(viewer->DispWidth(), 640);
    QCOMPARE(viewer->DispHeight(), 360);
    QCOMPARE(viewer->DispTitle() + viewer->DispPosTitle() + viewer->DispTimeCode() + viewer->DispMotion(), 0);
    QCOMPARE(Form1->Button2->text(), QString("Stop Live Stream"));
    QCOMPARE(qzr::shared().LiveViewActive, 1);
    QVERIFY(!Form1->Image1->isVisible());
    QVERIFY(Form1->Button7->isVisible());
    QVERIFY(Form1->CheckBox7->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(viewer->framesShown() > 3, kPictureWaitMs);
    QVERIFY(showsPicture(viewer));
    // The parameter interface and the RTSP port of the camera chosen, and
    // nothing else: the password has nowhere else to go.
    const QString rtsp = QStringLiteral("tcp 127.0.0.1:%1").arg(m_camera.sim->rtspPort());
    QVERIFY2(ConnectWatch::destinations().contains(rtsp), qPrintable(ConnectWatch::destinations().join(", ")));
    QCOMPARE(ConnectWatch::elsewhere("127.0.0.1", {m_camera.sim->port(), m_camera.sim->rtspPort()}), QStringList());
}

void LiveViewTest::stopReleasesTheViewerAndItsSession()
{
    startLiveView();
    QPointer<TLiveViewer> viewer = Form6->LiveViewer1;
    QTRY_VERIFY_WITH_TIMEOUT(liveViewer(viewer)->framesShown() > 0, kPictureWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_camera.sim->rtspClientCount(), 1, 5000);
    Form1->Button2Click();
    QVERIFY(viewer.isNull());
    QVERIFY(!Form6->isVisible());
    QCOMPARE(Form1->Button2->text(), QString("Start Live Stream"));
    QCOMPARE(qzr::shared().LiveViewActive, 0);
    QVERIFY(Form1->Image1->isVisible());
    QVERIFY(!Form1->Button7->isVisible());
    QVERIFY(!Form1->CheckBox7->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(m_camera.sim->rtspClientCount(), 0, 5000);
    // Writes aimed at the released viewer are skipped.
    Form1->Button16Click();
    QVERIFY(m_camera.dialogs->errors.isEmpty());
}

void LiveViewTest::everyStartGetsAFreshWindowAndReleasesTheEarlier()
{
    Form3->Button1Click();
    QList<QPointer<TForm6>> used;
    for (int start = 0; start < 6; ++start) {
        Form1->Button2Click();
        QVERIFY2(!used.contains(Form6), "each start gets a fresh CAM 3 window");
        used << Form6;
        QVERIFY(liveViewer(Form6->LiveViewer1)->isLive());
        // The stopped one before it has gone; only the running one is left.
        QTRY_COMPARE(cam3Windows(), 1);
        for (int i = 0; i + 1 < used.size(); ++i)
            QVERIFY(used[i].isNull());
        Form1->Button2Click();
    }
    QVERIFY2(!used.last().isNull(), "the current window stays until the next start");
}

void LiveViewTest::listPromptsShowWhole()
{
    startLiveView();
    QCOMPARE(Form1->ComboBox8->currentText(), QString("Video Overlay ( Time... )"));
    QCOMPARE(Form1->ComboBox10->currentText(), QString("Streaming Channel"));
    QVERIFY(Form1->ComboBox8->isVisible() && Form1->ComboBox10->isVisible());
    QVERIFY2(showsWhole(Form1->ComboBox8), "the overlay prompt is cut");
    QVERIFY2(showsWhole(Form1->ComboBox10), "the channel prompt is cut");
    // Side by side in the right column, inside the window.
    QVERIFY(!Form1->ComboBox8->geometry().intersects(Form1->ComboBox10->geometry()));
    QVERIFY(Form1->centralWidget()->rect().contains(Form1->ComboBox8->geometry()));
}

void LiveViewTest::channelButtonsRestartOnTheNewChannel()
{
    startLiveView();
    Form1->Button22Click();   // "Ch 2"
    TLiveViewer *viewer = liveViewer(Form6->LiveViewer1);
    QVERIFY(viewer);
    QCOMPARE(viewer->Channel(), QString("2"));
    QCOMPARE(Form1->Button2->text(), QString("Stop Live Stream"));
    QTRY_VERIFY_WITH_TIMEOUT(viewer->framesShown() > 0, kPictureWaitMs);
}

void LiveViewTest::channelWithNoViewRunningIsRememberedForTheNextStart()
{
    Form3->Button1Click();
    Form1->Button22Click();
    QCOMPARE(Form1->Button2->text(), QString("Start Live Stream"));
    QCOMPARE(qzr::shared().LiveViewActive, 0);
    Form1->Button2Click();
    QCOMPARE(liveViewer(Form6->LiveViewer1)->Channel(), QString("2"));
}

void LiveViewTest::overlayListWritesTheOverlayProperties()
{
    startLiveView();
    TLiveViewer *viewer = liveViewer(Form6->LiveViewer1);
    Form1->ComboBox8->setCurrentIndex(1);
    Form1->ComboBox8Change();
    QCOMPARE(viewer->TimeFormat(), 2);
    QCOMPARE(viewer->DispTitle(), 40);
    QCOMPARE(viewer->DispPosTitle(), 40);
    QCOMPARE(viewer->DispTimeCode(), 1);
    QCOMPARE(viewer->DispMotion(), 40);
    Form1->ComboBox8->setCurrentIndex(0);
    Form1->ComboBox8Change();
    QCOMPARE(viewer->DispTitle() + viewer->DispPosTitle() + viewer->DispTimeCode() + viewer->DispMotion(), 0);
    // A restart always begins with the overlay off.
    Form1->ComboBox8->setCurrentIndex(1);
    Form1->ComboBox8Change();
    Form1->Button21Click();
    QCOMPARE(liveViewer(Form6->LiveViewer1)->DispTitle(), 0);
}

void LiveViewTest::fullScreenTakesTheCamerasFrameSizeAndEscapeReturns()
{
    m_camera.sim->setValue("encode(1).framesize", "1280x720");
    startLiveView();
    TLiveViewer *viewer = liveViewer(Form6->LiveViewer1);
    m_camera.sim->clearRequests();
    Form1->Button7->click();
    QCOMPARE(m_camera.sim->requests().value(0).target, QString("/api/param?encode(1).framesize"));
    QCOMPARE(viewer->size(), QSize(1280, 720));
    QCOMPARE(viewer->DispWidth(), 1280);
    QCOMPARE(viewer->DispHeight(), 720);
    QCOMPARE(Form6->geometry(), QGuiApplication::screens().at(0)->geometry());
    // Escape on the main window returns to the normal window.
    QTest::keyClick(Form1->Edit2, Qt::Key_Escape);
    QCOMPARE(Form6->geometry(), QRect(20, 150, 642, 362));
    QCOMPARE(viewer->size(), QSize(640, 360));
    QCOMPARE(viewer->DispWidth(), 640);
}

void LiveViewTest::lostStreamShowsANoticeAndComesBack()
{
    startLiveView();
    TLiveViewer *viewer = liveViewer(Form6->LiveViewer1);
    QTRY_VERIFY_WITH_TIMEOUT(viewer->framesShown() > 0, kPictureWaitMs);
    m_camera.sim->stop();
    QTRY_VERIFY_WITH_TIMEOUT(!viewer->noticeText().isEmpty(), 10000);
    QVERIFY2(viewer->noticeText().contains("retrying"), qPrintable(viewer->noticeText()));
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QVERIFY(m_camera.dialogs->messages.isEmpty());

    // The camera comes back on the same address: the view picks it up again.
    const quint16 rtspPort = quint16(QUrl(qzr::video::StreamSettings::current().urlFor("h", "1")).port());
    qzr::sim::SimThread again;
    QVERIFY(again.start());
    again.setValue("encode(1).framesize", "640x360");
    QCOMPARE(again.startRtsp(rtspPort), rtspPort);
    const qint64 shownBefore = viewer->framesShown();
    QTRY_VERIFY_WITH_TIMEOUT(viewer->framesShown() > shownBefore + 3, kPictureWaitMs);
    QVERIFY(viewer->noticeText().isEmpty());
}

void LiveViewTest::fullHdWindowAndClosingReleasesItsViewer()
{
    Form3->Button1Click();
    Form1->Button13Click();
    QVERIFY(Form9->isVisible());
    TLiveViewer *viewer = liveViewer(Form9->LiveViewer1);
    QVERIFY(viewer);
    QCOMPARE(viewer->Channel(), QString("1"));
    QCOMPARE(viewer->DispWidth(), 1920);
    QCOMPARE(viewer->DispHeight(), 1080);
    QCOMPARE(Form9->size(), QSize(638, 393));
    QTRY_VERIFY_WITH_TIMEOUT(viewer->framesShown() > 0, kPictureWaitMs);
    Form9->close();
    QVERIFY(Form9->LiveViewer1.isNull());
    // The frame-rate display skips the released viewer.
    Form1->Button15Click();
    QVERIFY(m_camera.dialogs->errors.isEmpty());
}

void LiveViewTest::saveSettingsStopsARunningView()
{
    startLiveView();
    QPointer<TLiveViewer> viewer = Form6->LiveViewer1;
    Form3->Button1Click();
    QVERIFY(viewer.isNull());
    QCOMPARE(Form1->Button2->text(), QString("Start Live Stream"));
    QVERIFY(Form1->Button2->isVisible());
}

QTEST_MAIN(LiveViewTest)
#include "LiveViewTest.moc"
