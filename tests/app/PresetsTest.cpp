// The "Demo Settings" presets against the simulated camera: the requests in
// order with their pauses, the camera's encoders afterwards, the viewer
// windows they open and a failure ending a preset.
#include "CameraWindows.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit6.h"
#include "app/Unit8.h"
#include "app/Unit9.h"
#include "video/StreamSettings.h"
#include "windowsupport/TLiveViewer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using PresetAction = void (TForm1::*)();
Q_DECLARE_METATYPE(PresetAction)

namespace {
TLiveViewer *liveViewer(const QPointer<TLiveViewer> &viewer)
{
    return qobject_cast<TLiveViewer *>(viewer.data());
}

QList<QByteArray> targetsOf(std::initializer_list<const char *> queries)
{
    QList<QByteArray> targets;
    for (const char *query : queries)
        targets << QByteArray("/api/param?") + query;
    return targets;
}

// Each preset's requests as the camera receives them, in order.
const QList<QByteArray> kConfigure2Streams = targetsOf({
    "encode(1).type=h264high&encode(2).type=h264high&encode(3).type=off",
    "encode(1).framesize=1920x1080&encode(2).framesize=640x360",
    "encode(1).framerate=15&encode(2).framerate=15",
    "encode(1).cbr_mode=cbr&encode(2).cbr_mode=cbr",
    "encode(1).bitrate=3584000&encode(2).bitrate=512000",
    "encode(1).iframeinterval=30&encode(2).iframeinterval=30",
    "encode(1).status=save",
    "encode(2).status=save",
    "encode(3).status=save",
});
const QList<QByteArray> kConfigure3Streams = targetsOf({
    "encode(1).type=h264high&encode(2).type=h264high&encode(3).type=h264high",
    "encode(1).framesize=1920x1080&encode(2).framesize=1280x720&encode(3).framesize=640x360",
    "encode(1).framerate=15&encode(2).framerate=15&encode(3).framerate=15",
    "encode(1).cbr_mode=cbr&encode(2).cbr_mode=cbr&encode(3).cbr_mode=cbr",
    "encode(1).bitrate=2048000&encode(2).bitrate=1024000&encode(3).bitrate=512000",
    "encode(1).iframeinterval=30&encode(2).iframeinterval=30&encode(3).iframeinterval=30",
    "encode(1).status=save",
    "encode(2).status=save",
    "encode(3).status=save",
});
const QList<QByteArray> kConfigure2x25fps = targetsOf({
    "encode(1).type=h264high&encode(2).type=h264high&encode(3).type=off",
    "encode(1).framesize=1280x720&encode(2).framesize=640x360",
    "encode(1).framerate=25&encode(2).framerate=25",
    "encode(1).cbr_mode=vbr&encode(2).cbr_mode=vbr",
    "encode(1).bitrate=3072000&encode(2).bitrate=1024000",
    "encode(1).iframeinterval=30&encode(2).iframeinterval=30",
    "encode(1).status=save",
    "encode(2).status=save",
    "encode(3).status=save",
});
const QList<QByteArray> kLowLightDemo = targetsOf({
    "encode(1).type=h264high&encode(2).type=off&encode(3).type=off",
    "encode(1).framesize=1920x1080",
    "encode(1).framerate=15",
    "encode(1).cbr_mode=cbr",
    "encode(1).bitrate=4096000",
    "encode(1).iframeinterval=30",
    "camera.scene(0).status=initialize",
    "camera.scene(0).status=goto",
    "camera.scene(0).image.brightness=autoH",
    "camera.scene(0).image.senseup_limit=4",
    "camera.scene(0).auto_exposure.priority=motion",
    "camera.scene(0).shutter=30",
    "camera.scene(0).image.true_daynight=autoL",
    "camera.scene(0).status=save",
    "encode(1).status=save",
    "encode(2).status=save",
    "encode(3).status=save",
});
const QList<QByteArray> kTerelleDefault = targetsOf({
    "encode(1).type=h264high&encode(1).framesize=1920x1080&encode(1).framerate=15&encode(1).cbr_mode=cbr"
    "&encode(1).bitrate=4096000&encode(1).iframeinterval=30&encode(1).status=save",
    "encode(2).type=off",
    "encode(3).type=off",
    "encode(1).status=save",
    "encode(2).status=save",
    "encode(3).status=save",
});
const QList<QByteArray> kFlickerless = targetsOf({
    "camera.scene(0).shutter=flickerless",
    "camera.scene(0).status=save",
});

int cam3Windows()
{
    int count = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        count += qobject_cast<TForm6 *>(window) != nullptr;
    return count;
}
} // namespace

class PresetsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void presetSendsItsRequestsInOrderWithPauses_data();
    void presetSendsItsRequestsInOrderWithPauses();
    void pausesReallySeparateTheRequests();
    void threeStreamsConfigureTheCameraAndOpenMovingPictures();
    void twoStreamsAsksToWaitOnlyWhenAViewRan();
    void aFailingRequestEndsThePreset();
    void aRefusedSettingEndsThePresetWithoutCompletion();
    void defaultSettingLeavesARunningViewAlone();
    void lowLightDemoStartsTheLiveView();
    void twoStreamsStartDirectTakesOverARunningView();
    void startDirectOpensViewersWithoutTouchingTheCamera();

private:
    QList<QByteArray> targets() const
    {
        QList<QByteArray> list;
        for (const auto &request : m_camera.sim->requests())
            list << request.raw.mid(4, request.raw.indexOf(" HTTP/1.1") - 4);
        return list;
    }

    CameraWindows m_camera;
};

void PresetsTest::init()
{
    QVERIFY(m_camera.startCamera());
    const quint16 rtsp = m_camera.sim->startRtsp(0);
    QVERIFY(rtsp != 0);
    qzr::video::StreamSettings::current().urlTemplate = QStringLiteral("rtsp://{ip}:%1/channel{channel}").arg(rtsp);
    m_camera.openWindows();
    Form1->ApplyConnection();
}

void PresetsTest::cleanup()
{
    m_camera.close();
}

void PresetsTest::presetSendsItsRequestsInOrderWithPauses_data()
{
    QTest::addColumn<PresetAction>("action");
    QTest::addColumn<QList<QByteArray>>("requests");
    QTest::addColumn<QList<int>>("pauses");
    QTest::addColumn<QString>("message");

    const QList<int> nine200(9, 200);
    QTest::newRow("Configure 2 Streams") << &TForm1::Button9Click << kConfigure2Streams
                                         << (nine200 + QList<int>{200}) << QString();
    QTest::newRow("Configure 3 Streams") << &TForm1::Button10Click << kConfigure3Streams
                                         << (nine200 + QList<int>{1000}) << QString();
    QTest::newRow("Configure 2 x 25fps") << &TForm1::Button34Click << kConfigure2x25fps << nine200
                                         << QString("Setting Complete, you might continue now");
    QTest::newRow("LowLightDemo") << &TForm1::Button8Click << kLowLightDemo << QList<int>(17, 200)
                                  << QString("Setting Complete, you might continue now");
    QTest::newRow("Terelle Default Setting") << &TForm1::Button27Click << kTerelleDefault << QList<int>(5, 500)
                                             << QString("Setting Complete, you might continue now");
    QTest::newRow("Flickerless") << &TForm1::Button11Click << kFlickerless << QList<int>(2, 0)
                                 << QString("Setting Complete, you might continue now");
}

void PresetsTest::presetSendsItsRequestsInOrderWithPauses()
{
    QFETCH(PresetAction, action);
    QFETCH(QList<QByteArray>, requests);
    QFETCH(QList<int>, pauses);
    QFETCH(QString, message);
    (Form1->*action)();
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(targets(), requests);
    QCOMPARE(m_camera.dialogs->pauses, pauses);
    QCOMPARE(m_camera.dialogs->messages, message.isEmpty() ? QStringList() : QStringList{message});
}

void PresetsTest::pausesReallySeparateTheRequests()
{
    m_camera.dialogs->realPauses = true;
    Form1->Button34Click();
    const auto requests = m_camera.sim->requests();
    QCOMPARE(requests.size(), 9);
    for (int i = 1; i < requests.size(); ++i) {
        const qint64 gap = requests[i - 1].time.msecsTo(requests[i].time);
        QVERIFY2(gap >= 195, qPrintable(QString("only %1 ms between requests %2 and %3").arg(gap).arg(i).arg(i + 1)));
    }
}

void PresetsTest::threeStreamsConfigureTheCameraAndOpenMovingPictures()
{
    Form1->Button10Click();
    QCOMPARE(m_camera.sim->savedValue("encode(2).framesize").value_or("?"), QString("1280x720"));
    QCOMPARE(m_camera.sim->savedValue("encode(3).type").value_or("?"), QString("h264high"));
    QCOMPARE(m_camera.sim->savedValue("encode(1).bitrate").value_or("?"), QString("2048000"));
    QVERIFY(Form8->isVisible());
    QVERIFY(Form9->isVisible());
    TLiveViewer *large = liveViewer(Form8->LiveViewer2);
    TLiveViewer *small = liveViewer(Form8->LiveViewer1);
    QCOMPARE(large->Channel(), QString("1"));
    QCOMPARE(large->DispWidth(), 1280);
    QCOMPARE(small->Channel(), QString("2"));
    QCOMPARE(small->DispWidth(), 640);
    QCOMPARE(Form1->ProgressBar1->maximum(), 12);
    QTRY_VERIFY_WITH_TIMEOUT(small->framesShown() > 2 && large->framesShown() > 2, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(liveViewer(Form9->LiveViewer1)->framesShown() > 2, 20000);
}

void PresetsTest::twoStreamsAsksToWaitOnlyWhenAViewRan()
{
    Form1->Button2Click();   // a live view runs
    int requestsWhenAsked = -1;
    m_camera.dialogs->onMessage = [&](const QString &) { requestsWhenAsked = int(m_camera.sim->requests().size()); };
    Form1->Button9Click();
    QCOMPARE(m_camera.dialogs->messages, QStringList{"Please wait, preparing settings. Press OK to continue"});
    QCOMPARE(requestsWhenAsked, 0);
    QCOMPARE(targets(), kConfigure2Streams);
    // The presets' CAM 3 viewer shows channel 2 and marks the live view running.
    QCOMPARE(liveViewer(Form6->LiveViewer1)->Channel(), QString("2"));
    QCOMPARE(Form1->Button2->text(), QString("Stop Live Stream"));
    QCOMPARE(qzr::shared().LiveViewActive, 1);
    QVERIFY(Form9->isVisible());

    // With no view running there is nothing to wait for.
    Form1->Button2Click();
    m_camera.dialogs->messages.clear();
    Form1->Button9Click();
    QVERIFY(m_camera.dialogs->messages.isEmpty());
}

void PresetsTest::aFailingRequestEndsThePreset()
{
    TForm8 *multistream = Form8;
    TForm9 *fullHd = Form9;
    m_camera.sim->setFault(qzr::sim::FaultMode::NotFound, 3);
    Form1->Button10->click();
    QCOMPARE(m_camera.dialogs->errors, QStringList{m_camera.notFound()});
    QCOMPARE(targets(), kConfigure3Streams.mid(0, 3));
    QCOMPARE(Form8, multistream);
    QCOMPARE(Form9, fullHd);
    QVERIFY(m_camera.dialogs->messages.isEmpty());
    QVERIFY(m_camera.sim->savedValue("encode(3).type") != QString("h264high"));
}

// "Setting Complete" only when the camera took every setting: a refused one
// ends the preset, named, and nothing after it is sent.
void PresetsTest::aRefusedSettingEndsThePresetWithoutCompletion()
{
    m_camera.sim->refuseWrite("camera.scene(0).shutter", "flickerless");
    Form1->Button11->click();
    QCOMPARE(m_camera.dialogs->errors,
             QStringList{"The camera refused camera.scene(0).shutter (camera.scene(0).shutter=flickerless)"});
    QCOMPARE(targets(), kFlickerless.mid(0, 1));
    QVERIFY(m_camera.dialogs->messages.isEmpty());
}

void PresetsTest::defaultSettingLeavesARunningViewAlone()
{
    Form1->Button2Click();
    TForm6 *running = Form6;
    Form1->Button27Click();
    QCOMPARE(Form6, running);
    QCOMPARE(Form1->Button2->text(), QString("Stop Live Stream"));
    // With no view running it starts one.
    Form1->Button2Click();
    Form1->Button27Click();
    QVERIFY(Form6 != running);
    QCOMPARE(Form1->Button2->text(), QString("Stop Live Stream"));
}

void PresetsTest::lowLightDemoStartsTheLiveView()
{
    Form1->Button8Click();
    QCOMPARE(m_camera.sim->value("camera.scene.status").value_or("?"), QString("0"));
    QCOMPARE(m_camera.sim->savedValue("camera.scene(0).shutter").value_or("?"), QString("30"));
    QCOMPARE(Form1->Button2->text(), QString("Stop Live Stream"));
    QCOMPARE(Form1->ProgressBar1->value(), 20);
}

void PresetsTest::twoStreamsStartDirectTakesOverARunningView()
{
    Form1->Button2Click();   // a live view runs in a CAM 3 window
    const QPointer<TForm6> running = Form6;
    const QPointer<TLiveViewer> runningViewer = Form6->LiveViewer1;
    Form1->Button38Click();
    // The earlier view was stopped first: its viewer released, its window gone.
    QVERIFY(!runningViewer);
    QTRY_VERIFY(!running);
    QTRY_COMPARE(cam3Windows(), 1);
    QVERIFY(Form6->isVisible());
    QVERIFY(liveViewer(Form6->LiveViewer1)->isLive());
    QCOMPARE(liveViewer(Form6->LiveViewer1)->Channel(), QString("2"));
    QCOMPARE(Form1->Button2->text(), QString("Stop Live Stream"));
    // One press of the live-view button ends what runs there now.
    Form1->Button2Click();
    QVERIFY(!Form6->isVisible());
    QVERIFY(!Form6->LiveViewer1);
    QVERIFY(m_camera.sim->requests().isEmpty());
}

void PresetsTest::startDirectOpensViewersWithoutTouchingTheCamera()
{
    TForm8 *multistream = Form8;
    Form1->Button29Click();
    Form1->Button29Click();
    QVERIFY(Form8 != multistream);
    Form1->Button37Click();
    Form1->Button38Click();
    QCOMPARE(liveViewer(Form6->LiveViewer1)->Channel(), QString("2"));
    QVERIFY(m_camera.sim->requests().isEmpty());
}

QTEST_MAIN(PresetsTest)
#include "PresetsTest.moc"
