// The multicast window against the simulated camera: channel defaults, start
// and stop with their requests and viewer, closing while streaming, and the
// field checks that keep a bad port or group from reaching the camera.
#include "CameraWindows.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "app/Unit6.h"
#include "app/Unit14.h"
#include "windowsupport/TLiveViewer.h"
#include "video/VideoReceiver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QLineEdit>
#include <QtTest>

namespace {
TLiveViewer *cam3()
{
    return Form6 ? qobject_cast<TLiveViewer *>(Form6->LiveViewer1.data()) : nullptr;
}
} // namespace

class MulticastWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_camera.startCamera());
        m_camera.openWindows();
        Form3->Button1Click();
        m_camera.sim->clearRequests();
    }
    void cleanup() { m_camera.close(); }

    void channelChoiceSetsItsDefaults_data();
    void channelChoiceSetsItsDefaults();
    void startAndStopOnChannel2();
    void startedStreamIsShownFromTheGroup();
    void startStopsARunningLiveViewFirst();
    void multicastBeforeAGroupWaitsQuietly();
    void closingWhileStreamingStopsTheStream();
    void badFieldsSendAndChangeNothing_data();
    void badFieldsSendAndChangeNothing();

private:
    QStringList targets() const
    {
        QStringList list;
        for (const auto &request : m_camera.sim->requests())
            list << request.target;
        return list;
    }
    void openThroughTheCheckBox()
    {
        Form1->CheckBox8->setChecked(true);
        Form1->CheckBox8Click();
    }

    CameraWindows m_camera;
};

void MulticastWindowTest::channelChoiceSetsItsDefaults_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("port");
    QTest::newRow("1") << 0 << "225.0.1.1" << "49152";
    QTest::newRow("2") << 1 << "225.0.2.1" << "59152";
    QTest::newRow("3") << 2 << "225.0.4.1" << "29152";
}

void MulticastWindowTest::channelChoiceSetsItsDefaults()
{
    QFETCH(int, item);
    QFETCH(QString, group);
    QFETCH(QString, port);
    Form14->ComboBox1->setCurrentIndex(item);
    Form14->ComboBox1Change();
    QCOMPARE(Form14->Edit1->text(), group);
    QCOMPARE(Form14->Edit2->text(), port);
    QVERIFY(m_camera.sim->requests().isEmpty());
}

void MulticastWindowTest::startAndStopOnChannel2()
{
    openThroughTheCheckBox();
    QVERIFY(Form14->isVisible());
    // Typed text and Return add no channel.
    QTest::keyClicks(Form14->ComboBox1->lineEdit(), "4");
    QTest::keyClick(Form14->ComboBox1->lineEdit(), Qt::Key_Return);
    QCOMPARE(Form14->ComboBox1->count(), 3);
    Form14->ComboBox1->setCurrentIndex(1);
    Form14->ComboBox1Change();
    Form14->Button1->click();
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(targets(), QStringList({"/api/param?network.destination(2).status=start",
                                     "/api/param?network.destination(2).status=save"}));
    QCOMPARE(m_camera.sim->value("network.destination(2).status").value_or("?"), QString("start"));
    TLiveViewer *viewer = cam3();
    QVERIFY(viewer);
    QCOMPARE(viewer->MultiIP(), QString("225.0.2.1"));
    QCOMPARE(viewer->MultiPort(), 59152);
    QCOMPARE(viewer->RcvMode(), 1);
    QCOMPARE(viewer->Channel(), QString("2"));
    QCOMPARE(viewer->DispWidth(), 640);
    QCOMPARE(Form14->Button1->text(), QString("STOP Multicast Stream"));
    QVERIFY(Form1->CheckBox8->isChecked());
    QVERIFY(!Form1->Button2->isVisible());
    QCOMPARE(qzr::shared().LiveViewActive, 1);

    // Another channel picked meanwhile: the stop still goes to the channel
    // that streams.
    m_camera.sim->clearRequests();
    QPointer<TLiveViewer> released = Form6->LiveViewer1;
    Form14->ComboBox1->setCurrentIndex(0);
    Form14->ComboBox1Change();
    Form14->Button1->click();
    QCOMPARE(targets(), QStringList({"/api/param?network.destination(2).status=stop",
                                     "/api/param?network.destination(2).status=save"}));
    QCOMPARE(m_camera.sim->value("network.destination(2).status").value_or("?"), QString("stop"));
    QVERIFY(released.isNull());
    QVERIFY(!Form14->isVisible());   // hidden through the "Multicast" check box
    QVERIFY(!Form1->CheckBox8->isChecked());
    QVERIFY(Form1->Button2->isVisible());
    QCOMPARE(Form14->Button1->text(), QString("Set and START Multicast Stream"));
    QCOMPARE(qzr::shared().LiveViewActive, 0);
}

void MulticastWindowTest::startedStreamIsShownFromTheGroup()
{
    m_camera.sim->setValue("encode(1).framesize", "640x360");
    openThroughTheCheckBox();
    Form14->Button1->click();
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QTRY_VERIFY_WITH_TIMEOUT(m_camera.sim->multicastSending().contains(1), 5000);
    TLiveViewer *viewer = cam3();
    QTRY_VERIFY_WITH_TIMEOUT(viewer->framesShown() > 3, 15000);
    QCOMPARE(viewer->currentPicture().size(), QSize(640, 360));
    Form14->Button1->click();
    QTRY_VERIFY_WITH_TIMEOUT(!m_camera.sim->multicastSending().contains(1), 5000);
}

void MulticastWindowTest::startStopsARunningLiveViewFirst()
{
    Form1->Button2Click();
    QPointer<TLiveViewer> liveViewer = Form6->LiveViewer1;
    openThroughTheCheckBox();
    Form14->Button1->click();
    QVERIFY(liveViewer.isNull());
    QCOMPARE(Form1->Button2->text(), QString("Start Live Stream"));
    QVERIFY(!Form1->Button2->isVisible());
    QCOMPARE(cam3()->RcvMode(), 1);
}

void MulticastWindowTest::multicastBeforeAGroupWaitsQuietly()
{
    Form1->Button2Click();   // a live view runs, received by unicast
    TLiveViewer *viewer = cam3();
    QVERIFY(viewer->isLive());
    openThroughTheCheckBox();
    QCOMPARE(viewer->RcvMode(), 1);
    QCOMPARE(viewer->noticeText(), QString("No multicast group set yet"));
    QVERIFY2(!viewer->isLive(), "nothing is received until a group is set");
    QTRY_COMPARE(qzr::video::VideoReceiver::activeThreadCount(), 0);
    // Unchecked, the view receives by unicast again.
    Form1->CheckBox8->setChecked(false);
    Form1->CheckBox8Click();
    QCOMPARE(viewer->RcvMode(), 0);
    QVERIFY(viewer->isLive());
    QVERIFY(m_camera.sim->requests().isEmpty());
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
}

void MulticastWindowTest::closingWhileStreamingStopsTheStream()
{
    openThroughTheCheckBox();
    Form14->Button1->click();
    m_camera.sim->clearRequests();
    Form14->close();
    QCOMPARE(targets(), QStringList({"/api/param?network.destination(1).status=stop",
                                     "/api/param?network.destination(1).status=save"}));
    QVERIFY(!Form14->isStreaming());
    QVERIFY(Form1->Button2->isVisible());
}

void MulticastWindowTest::badFieldsSendAndChangeNothing_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("field");
    QTest::newRow("port with a letter") << "225.0.1.1" << "4915x" << "Multicast Port";
    QTest::newRow("port 0") << "225.0.1.1" << "0" << "Multicast Port";
    QTest::newRow("port above 65535") << "225.0.1.1" << "70000" << "Multicast Port";
    QTest::newRow("unicast group") << "192.168.0.10" << "49152" << "Multicast IP";
    QTest::newRow("empty octet") << "225.0..1" << "49152" << "Multicast IP";
    // Read as octal by inet_aton: 225.0.8.1, another group than it shows.
    QTest::newRow("leading zero") << "225.0.010.1" << "49152" << "Multicast IP";
}

void MulticastWindowTest::badFieldsSendAndChangeNothing()
{
    QFETCH(QString, group);
    QFETCH(QString, port);
    QFETCH(QString, field);
    Form1->Button2Click();   // a live view runs and must go on running
    TForm6 *window = Form6;
    openThroughTheCheckBox();
    m_camera.sim->clearRequests();
    Form14->Edit1->setText(group);
    Form14->Edit2->setText(port);
    Form14->Button1->click();
    QVERIFY(m_camera.sim->requests().isEmpty());
    QCOMPARE(m_camera.dialogs->messages.size(), 1);
    QVERIFY2(m_camera.dialogs->messages[0].contains(field), qPrintable(m_camera.dialogs->messages[0]));
    QCOMPARE(Form6, window);
    QCOMPARE(Form1->Button2->text(), QString("Stop Live Stream"));
    QCOMPARE(Form14->Button1->text(), QString("Set and START Multicast Stream"));
}

QTEST_MAIN(MulticastWindowTest)
#include "MulticastWindowTest.moc"
