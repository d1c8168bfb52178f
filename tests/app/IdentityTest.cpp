// The identity actions and the error report against the simulated camera.
#include "CameraWindows.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "app/Unit15.h"
#include "windowsupport/Operation.h"
#include "app/WindowSet.h"
#include "sim/SimThread.h"

#include "windowsupport/UserDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QMessageBox>
#include <QtTest>

using qzr::sim::FaultMode;

class IdentityTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void modelAndFirmwareFillTheLabels();
    void cameraTextIsShownAsText();
    void firmwareFailingAtTheMacKeepsTheRevision();
    void sceneFileNumberIsAppended();
    void focusReadsLeaveOnlyTheValueInTheLog();
    void spare2ShowsTheWholeReply();
    void failuresReachTheErrorReport_data();
    void failuresReachTheErrorReport();
    void progressBarStepsWithEveryLogChange();
    void saveSettingsAdoptsTheAddressAndReadsTheCamera();
    void saveSettingsStopsWhereTheCameraFails();
    void waitingKeepsTheEventLoopRunning();
    void waitIsShownAndCancelEndsIt();
    void escapeEndsTheWait();
    void closingAWindowCancelsQuietly();

private:
    // Presses a procedure button the way a user or another window does.
    void press(QPushButton *button) { button->click(); }

    // Calls step every 20 ms while the next operation runs, until it returns
    // true (at most 500 times).
    void whileWaiting(std::function<bool()> step)
    {
        auto *timer = new QTimer(this);
        auto calls = std::make_shared<int>(0);
        connect(timer, &QTimer::timeout, timer, [timer, calls, step] {
            if (++*calls >= 500 || step())
                timer->deleteLater();
        });
        timer->start(20);
    }

    CameraWindows m_camera;
};

void IdentityTest::init()
{
    QVERIFY(m_camera.startCamera());
    m_camera.openWindows();
}

void IdentityTest::cleanup()
{
    m_camera.close();
}

void IdentityTest::modelAndFirmwareFillTheLabels()
{
    press(Form1->Button40);
    press(Form1->Button41);
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(Form1->Label18->text(), QString("Model: QZ-R410"));
    QCOMPARE(Form1->Label22->text(), QString("FW 2.10.0045"));
    // The whole MAC address, from its first character.
    QCOMPARE(Form1->Label23->text(), QString("MAC: 00:11:22:33:44:55"));
    QCOMPARE(Form15->Label8->text(), QString("00:11:22:33:44:55"));
    const auto requests = m_camera.sim->requests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests[0].target, QString("/api/param?system.model"));
    QCOMPARE(requests[1].target, QString("/api/param?system.software.revision"));
    QCOMPARE(requests[2].target, QString("/api/param?network.interface.mac"));
}

// A camera's markup stays text in the labels, a value too long to lay out
// at once is cut and marked, and a message box shows its text as written.
void IdentityTest::cameraTextIsShownAsText()
{
    const QString markup = "<span style='font-size:28pt;color:red'>FIRMWARE OUTDATED</span>";
    m_camera.sim->setValue("system.model", markup);
    m_camera.sim->setValue("system.software.revision", QString(20000, 'x'));
    press(Form1->Button40);
    press(Form1->Button41);
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(Form1->Label18->text(), "Model: " + markup);
    QCOMPARE(Form1->Label18->textFormat(), Qt::PlainText);
    QCOMPARE(Form1->Label22->text(), "FW " + QString(256, 'x') + QString::fromUtf8("\u2026 (19744 more characters)"));

    const QString phishing = "<h2>Firmware outdated</h2><a href='http://198.51.100.7/update'>Update now</a>";
    qzr::QtUserDialogs().showNotice(phishing);
    QMessageBox *box = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *candidate = qobject_cast<QMessageBox *>(widget); candidate && candidate->text() == phishing)
            box = candidate;
    }
    QVERIFY2(box, "the notice shows the text as written");
    QCOMPARE(box->textFormat(), Qt::PlainText);
    box->close();
}

void IdentityTest::firmwareFailingAtTheMacKeepsTheRevision()
{
    m_camera.sim->setFault(FaultMode::NotFound, 2);
    press(Form1->Button41);
    QCOMPARE(m_camera.dialogs->errors, QStringList({m_camera.notFound()}));
    QCOMPARE(Form1->Label22->text(), QString("FW 2.10.0045"));
    QCOMPARE(Form1->Label23->text(), QString("MAC Address"));
    QCOMPARE(Form15->Label8->text(), QString("MAC Address"));
}

void IdentityTest::sceneFileNumberIsAppended()
{
    m_camera.sim->setValue("camera.scene.status", "2");
    qzr::shared().EditedSceneNumber = "5";
    press(Form1->Button42);
    QCOMPARE(qzr::shared().StoredSceneNumber, QString("2"));
    QCOMPARE(qzr::shared().EditedSceneNumber, QString());
    QCOMPARE(Form1->Memo2->toPlainText(), QString("2"));
    QCOMPARE(Form1->replyLog().text(), QString("camera.scene.status=2&2\r\n"));
    // A second press without emptying the stored number doubles it.
    press(Form1->Button42);
    QCOMPARE(qzr::shared().StoredSceneNumber, QString("22"));
    QCOMPARE(Form1->Memo2->toPlainText(), QString("22"));
}

void IdentityTest::focusReadsLeaveOnlyTheValueInTheLog()
{
    const QString status = m_camera.sim->value("camera.focus.status").value_or("?");
    press(Form1->Button43);
    QCOMPARE(Form1->replyLog().text(), status);
    QTRY_COMPARE(Form1->Memo1->toPlainText(), status);

    m_camera.sim->setValue("camera.focus.nightfocus", "7");
    press(Form1->Button44);
    QCOMPARE(Form1->replyLog().text(), QString("7"));
    QCOMPARE(qzr::shared().NightFocusValue, QString("7"));
}

void IdentityTest::spare2ShowsTheWholeReply()
{
    press(Form1->Button48);
    const QString log = Form1->replyLog().text();
    QVERIFY2(log.startsWith("<html>") || log.count("\r\n") >= 6, qPrintable(log));
    QVERIFY2(log.contains("camera.focus.finefocus="), qPrintable(log));
    QCOMPARE(m_camera.sim->requests().value(0).target, QString("/api/param?camera.focus.finefocus"));
}

void IdentityTest::failuresReachTheErrorReport_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<FaultMode>("mode");
    QTest::addColumn<QString>("shown");
    QTest::newRow("port 8o") << "8o" << FaultMode::None << "'8o' is not a valid integer value.";
    // %1: the camera's port.
    QTest::newRow("wrong password") << "" << FaultMode::Unauthorized
                                    << "127.0.0.1:%1 refused the login (401 Unauthorized): check User and Password.";
    QTest::newRow("camera hangs up mid-reply")
        << "" << FaultMode::CloseMidReply
        << "127.0.0.1:%1 sent a malformed reply: the body is shorter than its announced length.";
}

void IdentityTest::failuresReachTheErrorReport()
{
    QFETCH(QString, port);
    QFETCH(FaultMode, mode);
    QFETCH(QString, shown);
    if (!port.isEmpty())
        Form1->Edit2->setText(port);
    m_camera.sim->setFault(mode);
    press(Form1->Button40);
    if (shown.contains("%1"))
        shown = shown.arg(m_camera.sim->port());
    QCOMPARE(m_camera.dialogs->errors, QStringList({shown}));
    QCOMPARE(Form1->Label18->text(), QString("Model Name"));
    if (port == "8o")
        QCOMPARE(m_camera.sim->requests().size(), 0);
}

void IdentityTest::progressBarStepsWithEveryLogChange()
{
    Form1->ProgressBar1->setMaximum(100);
    Form1->ProgressBar1->setValue(0);
    press(Form1->Button40);
    // New connection (status text into the log), the reply, six trim deletions.
    QCOMPARE(Form1->ProgressBar1->value(), 8);
    press(Form1->Button40);
    QCOMPARE(Form1->ProgressBar1->value(), 15);
    Form1->ProgressBar1->setMaximum(2);
    Form1->ProgressBar1->setValue(0);
    press(Form1->Button40);
    QCOMPARE(Form1->ProgressBar1->value(), 2);
}

void IdentityTest::saveSettingsAdoptsTheAddressAndReadsTheCamera()
{
    Form1->Edit1->setText("192.0.2.1");
    Form3->Edit1->setText("127.0.0.1");
    QVERIFY(Form3->isVisible());
    Form3->Button1->click();
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(Form1->Edit1->text(), QString("127.0.0.1"));
    QVERIFY(Form1->Button2->isVisibleTo(Form1));
    QVERIFY(Form1->Button3->isVisibleTo(Form1));
    QCOMPARE(Form1->Label18->text(), QString("Model: QZ-R410"));
    QCOMPARE(Form1->Label23->text(), QString("MAC: 00:11:22:33:44:55"));
    QCOMPARE(Form1->Label24->text(), QString("IP: 127.0.0.1"));
    QCOMPARE(Form15->Label7->text(), QString("127.0.0.1"));
    QVERIFY(!Form3->isVisible());
    // Encoder 1 is read first: the panel shows what the camera holds.
    QCOMPARE(m_camera.sim->requests().value(0).target, QString("/api/param?encode(1).type"));
    QCOMPARE(Form1->ComboBox11->currentText(), m_camera.sim->value("encode(1).type").value_or("?"));
    QCOMPARE(Form1->ComboBox2->currentText(), m_camera.sim->value("encode(1).framesize").value_or("?"));
}

void IdentityTest::saveSettingsStopsWhereTheCameraFails()
{
    m_camera.sim->setFault(FaultMode::ServerError, 1);
    Form3->Button1->click();
    QCOMPARE(m_camera.dialogs->errors, QStringList({m_camera.serverError()}));
    QCOMPARE(Form1->Edit1->text(), QString("127.0.0.1"));
    QCOMPARE(Form1->Label24->text(), QString("IP Address"));
    QVERIFY(Form3->isVisible());
}

void IdentityTest::waitingKeepsTheEventLoopRunning()
{
    // While the camera does not answer, timers still run (and so does painting).
    m_camera.sim->setFault(FaultMode::Hang);
    Form1->session().client().setReplyTimeoutMs(600);
    bool tickedWhileWaiting = false;
    QTimer::singleShot(100, [&] { tickedWhileWaiting = qzr::operationWaiting(); });
    press(Form1->Button40);
    QVERIFY(tickedWhileWaiting);
    QCOMPARE(m_camera.dialogs->errors,
             QStringList({QString("127.0.0.1:%1 did not answer within 0.6 s.").arg(m_camera.sim->port())}));
}

// A wait that lasts shows the camera waited on and a busy cursor; keys typed
// meanwhile wait for the end; "Cancel" ends the operation, and nothing after
// the cancelled request is sent.
void IdentityTest::waitIsShownAndCancelEndsIt()
{
    m_camera.sim->setFault(FaultMode::Hang, 1);
    Form1->session().client().setReplyTimeoutMs(20'000);
    const QString user = Form1->Edit3->text();
    QString shown;
    bool busy = false;
    QString userWhileWaiting;
    whileWaiting([&] {
        QWidget *status = qzr::waitingStatus();
        if (!status)
            return false;
        shown = status->findChild<QLabel *>("WaitText")->text();
        busy = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BusyCursor;
        QTest::keyClicks(Form1->Edit3, "zz");
        userWhileWaiting = Form1->Edit3->text();
        QTest::mouseClick(status->findChild<QPushButton *>("WaitCancel"), Qt::LeftButton);
        return true;
    });
    press(Form1->Button41);
    QVERIFY2(shown.startsWith(QString("Waiting for 127.0.0.1:%1 - ").arg(m_camera.sim->port())), qPrintable(shown));
    QVERIFY(busy);
    QCOMPARE(userWhileWaiting, user);
    QCOMPARE(m_camera.dialogs->errors, QStringList({"Cancelled."}));
    QCOMPARE(m_camera.sim->requests().size(), 1);
    QCOMPARE(qzr::waitingStatus(), nullptr);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(Form1->Label22->text(), QString("Firmware Version"));
    // What was typed arrives once the operation has ended.
    QTRY_COMPARE(Form1->Edit3->text(), user + "zz");
}

void IdentityTest::escapeEndsTheWait()
{
    m_camera.sim->setFault(FaultMode::Hang, 1);
    Form1->session().client().setReplyTimeoutMs(20'000);
    whileWaiting([&] {
        if (!qzr::operationWaiting())
            return false;
        QTest::keyClick(Form1, Qt::Key_Escape);
        return true;
    });
    press(Form1->Button41);
    QCOMPARE(m_camera.dialogs->errors, QStringList({"Cancelled."}));
    QCOMPARE(m_camera.sim->requests().size(), 1);
}

// Closing the window waited in cancels the request at once; no message keeps
// it open, and it closes once the operation has ended.
void IdentityTest::closingAWindowCancelsQuietly()
{
    Form3->show();
    m_camera.sim->setFault(FaultMode::Hang, 1);
    Form1->session().client().setReplyTimeoutMs(20'000);
    bool closedAtOnce = true;
    whileWaiting([&] {
        if (!qzr::operationWaiting())
            return false;
        Form3->close();
        closedAtOnce = !Form3->isVisible();
        return true;
    });
    Form3->Button1->click();
    QVERIFY(!closedAtOnce);
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(m_camera.sim->requests().size(), 1);
    QTRY_VERIFY(!Form3->isVisible());
}

QTEST_MAIN(IdentityTest)
#include "IdentityTest.moc"
