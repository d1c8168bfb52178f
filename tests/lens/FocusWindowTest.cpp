// The focus window against the simulated camera: day auto focus followed to
// "stop", to "OBJECT_ERROR" and to the poll limit, fine steps, night focus
// with its spinner, back-focus initialisation and the menu.
#include "CameraWindows.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit16.h"
#include "windowsupport/Operation.h"
#include "app/WindowSet.h"
#include "app/Unit16.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QtTest>

using qzr::sim::FaultMode;
using qzr::sim::FocusResult;

namespace {

const QString kFinished = QStringLiteral("Focus Adjust Finish");
const QString kOutOfRange = QStringLiteral(
    "Out of range, please roughly adjust by using \"Fine plus\" or \"Fine minus\", then run Auto focus again");
const QString kNotFinished = QStringLiteral("Focus Adjust did not finish within 60 seconds");
const QString kBackFocusFinished = QStringLiteral("Back Focus Initialize has Finished");
const QString kBackFocusNotFinished = QStringLiteral("Back Focus Initialize did not finish within 60 seconds");
const QString kModelRefused = QStringLiteral("Modle is not QZ-R50U ! This function only works with QZ-R50U");

QStringList statusReads(int count)
{
    QStringList reads;
    for (int i = 0; i < count; ++i)
        reads << QStringLiteral("camera.focus.status");
    return reads;
}

QList<int> pausesOf(int count, int pause_ms)
{
    QList<int> pauses;
    for (int i = 0; i < count; ++i)
        pauses << pause_ms;
    return pauses;
}

QAction *mainMenuAction(const char *name)
{
    return Form1->findChild<QAction *>(QString::fromLatin1(name));
}

bool fineButtonsShown()
{
    return !Form16->Button4->isHidden() && !Form16->Button5->isHidden();
}

bool fineButtonsHidden()
{
    return Form16->Button4->isHidden() && Form16->Button5->isHidden();
}

// The point in the middle of one of the spinner's arrows.
QPoint arrowCentre(QStyle::SubControl arrow)
{
    QStyleOptionSpinBox option;
    option.initFrom(Form16->UpDown1);
    option.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown | QStyle::SC_SpinBoxFrame
                         | QStyle::SC_SpinBoxEditField;
    option.buttonSymbols = Form16->UpDown1->buttonSymbols();
    option.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
    option.frame = Form16->UpDown1->hasFrame();
    return Form16->UpDown1->style()->subControlRect(QStyle::CC_SpinBox, &option, arrow, Form16->UpDown1).center();
}

// Counts the paints a widget gets while an operation waits.
struct PaintCounter : QObject
{
    int paintsWhileWaiting = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && qzr::operationWaiting())
            ++paintsWhileWaiting;
        return false;
    }
};

} // namespace

class FocusWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAtStart();
    void menuShowsTheWindowAndSendsNothing();
    void dayAutoFocusPollsUntilStop_data();
    void dayAutoFocusPollsUntilStop();
    void dayAutoFocusOutOfRangeKeepsTheFineButtons();
    void dayAutoFocusAtThePollLimitSaysItDidNotFinish();
    void aFailedPollEndsTheAutoFocus();
    void aPortThatIsNoNumberStopsBeforeAnything();
    void pollsWaitWithTheWindowsPainted();
    void fineStepsSendTheShownStep_data();
    void fineStepsSendTheShownStep();
    void fineStepsGoWhereTheLastRequestWent();
    void startNfaShowsTheCamerasValue();
    void spinnerClicks_data();
    void spinnerClicks();
    void spinnerArrowsClickOnceEach();
    void aNightValueThatIsNoNumberEndsTheOperation();
    void aFailedNightStepEndsTheClick();
    void stopNfaHidesTheSpinner();
    void backFocusFollowsTheModelLabel_data();
    void backFocusFollowsTheModelLabel();
    void backFocusWaitsForStopAlone_data();
    void backFocusWaitsForStopAlone();
    void exitHidesTheFineButtonsAndTheWindow();

private:
    void startAutoFocusWithOutOfRange();
    CameraWindows m_camera;
};

void FocusWindowTest::init()
{
    QVERIFY(m_camera.startCamera());
    m_camera.openWindows();
    // As after "IP Setup": the window can only be reached after an
    // operation named the camera.
    Form1->ApplyConnection();
    m_camera.sim->clearRequests();
}

void FocusWindowTest::cleanup()
{
    m_camera.close();
}

// The window's controls, texts and lists before anything ran.
void FocusWindowTest::windowAtStart()
{
    QVERIFY(Form16->isHidden());
    QCOMPARE(Form16->windowTitle(), QString("FOCUS"));
    QVERIFY(Form16->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(Form16->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(Form16->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(Form16->Button1->text(), QString("Start Auto Focus Day"));
    QCOMPARE(Form16->Label2->text(), QString("Fine Focus Adjust"));
    QCOMPARE(Form16->Label1->text(), QString("Night Focus Adjust"));
    QCOMPARE(Form16->Button2->text(), QString("Start NFA"));
    QCOMPARE(Form16->Button3->text(), QString("Stop NFA"));
    QCOMPARE(Form16->Button4->text(), QString("Fine plus"));
    QCOMPARE(Form16->Button5->text(), QString("Fine minus"));
    QVERIFY(fineButtonsHidden());
    QCOMPARE(Form16->ComboBox1->currentText(), QString("10"));
    QCOMPARE(Form16->ComboBox1->count(), 16);
    QCOMPARE(Form16->ComboBox1->itemText(0), QString("1"));
    QCOMPARE(Form16->ComboBox1->itemText(15), QString("200"));
    QVERIFY(Form16->Edit1->text().isEmpty());
    QVERIFY(Form16->UpDown1->isHidden());
    QCOMPARE(Form16->UpDown1->minimum(), 0);
    QCOMPARE(Form16->UpDown1->maximum(), 9);
    QCOMPARE(Form16->UpDown1->value(), 0);
    QVERIFY(!Form16->UpDown1->wrapping());
    QCOMPARE(Form16->Exit1->text(), QString("Exit"));
    QCOMPARE(Form16->Options1->title(), QString("Options"));
    QCOMPARE(Form16->BackFocusinitialize1->text(), QString("Back Focus initialize"));
    QCOMPARE(Form16->MainMenu1->actions().size(), 2);
}

// "Auto Focus Adjust" shows the window; nothing goes to the camera.
void FocusWindowTest::menuShowsTheWindowAndSendsNothing()
{
    QAction *open = mainMenuAction("AutoFocusAdjust1");
    QVERIFY(open);
    open->trigger();
    QVERIFY(Form16->isVisible());
    QVERIFY(m_camera.queries().isEmpty());
    QVERIFY(m_camera.dialogs->errors.isEmpty());
}

void FocusWindowTest::dayAutoFocusPollsUntilStop_data()
{
    QTest::addColumn<int>("runningPolls");
    QTest::newRow("stop at the first poll") << 0;
    QTest::newRow("stop at the fourth poll") << 3;
    QTest::newRow("stop at the last poll") << 119;
}

// Day mode, the auto focus command, one status read per 500 ms poll until
// "stop", then select mode, the fine buttons hidden and "Focus Adjust Finish".
void FocusWindowTest::dayAutoFocusPollsUntilStop()
{
    QFETCH(int, runningPolls);
    m_camera.sim->setFocusPolls(runningPolls);
    Form16->Button1->click();
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('\n')));
    const int polls = runningPolls + 1;
    QCOMPARE(m_camera.queries(), QStringList({"camera.focus.adjust_mode=day", "camera.focus=op_auto"})
                                     + statusReads(polls) + QStringList{"camera.focus.adjust_mode=select"});
    QCOMPARE(m_camera.dialogs->pauses, pausesOf(polls, 500));
    QCOMPARE(m_camera.dialogs->messages, QStringList{kFinished});
    QVERIFY(fineButtonsHidden());
    QCOMPARE(m_camera.sim->value("camera.focus.adjust_mode"), QString("select"));
    // The last status read is what the log holds.
    QCOMPARE(Form1->replyLog().text(), QString("stop"));
}

void FocusWindowTest::startAutoFocusWithOutOfRange()
{
    m_camera.sim->setFocusPolls(2);
    m_camera.sim->setFocusResult(FocusResult::ObjectError);
    Form16->Button1->click();
}

// "OBJECT_ERROR" ends the run at once with the out-of-range message: no
// select request, and the fine buttons stay for adjusting by hand.
void FocusWindowTest::dayAutoFocusOutOfRangeKeepsTheFineButtons()
{
    startAutoFocusWithOutOfRange();
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QCOMPARE(m_camera.queries(),
             QStringList({"camera.focus.adjust_mode=day", "camera.focus=op_auto"}) + statusReads(3));
    QCOMPARE(m_camera.dialogs->messages, QStringList{kOutOfRange});
    QCOMPARE(m_camera.dialogs->pauses, pausesOf(3, 500));
    QVERIFY(fineButtonsShown());
    QCOMPARE(m_camera.sim->value("camera.focus.adjust_mode"), QString("day"));
}

// A camera still running after 120 polls: the camera is still set back to
// select mode, but the message says the focus did not finish; it is never
// reported as finished.
void FocusWindowTest::dayAutoFocusAtThePollLimitSaysItDidNotFinish()
{
    m_camera.sim->setFocusPolls(120);
    Form16->Button1->click();
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QCOMPARE(m_camera.queries(), QStringList({"camera.focus.adjust_mode=day", "camera.focus=op_auto"})
                                     + statusReads(120) + QStringList{"camera.focus.adjust_mode=select"});
    QCOMPARE(m_camera.dialogs->pauses, pausesOf(120, 500));
    QCOMPARE(m_camera.dialogs->messages, QStringList{kNotFinished});
    QVERIFY(!m_camera.dialogs->messages.contains(kFinished));
    QVERIFY(fineButtonsHidden());
    QCOMPARE(Form1->replyLog().text(), QString("run"));
    QCOMPARE(m_camera.sim->value("camera.focus.adjust_mode"), QString("select"));
}

// A request failing during the polling ends the operation there: the error
// report, no select request, no closing message, fine buttons left visible.
void FocusWindowTest::aFailedPollEndsTheAutoFocus()
{
    m_camera.sim->setFocusPolls(5);
    // day, op_auto, two good polls, the third fails.
    m_camera.sim->setFault(FaultMode::ServerError, 5);
    Form16->Button1->click();
    QCOMPARE(m_camera.dialogs->errors, QStringList{m_camera.serverError()});
    QCOMPARE(m_camera.queries(),
             QStringList({"camera.focus.adjust_mode=day", "camera.focus=op_auto"}) + statusReads(3));
    QCOMPARE(m_camera.dialogs->pauses, pausesOf(3, 500));
    QVERIFY(m_camera.dialogs->messages.isEmpty());
    QVERIFY(fineButtonsShown());
    QCOMPARE(m_camera.sim->value("camera.focus.adjust_mode"), QString("day"));
}

// The connection fields are taken first: a port that is no number stops the
// auto focus before anything is sent or shown.
void FocusWindowTest::aPortThatIsNoNumberStopsBeforeAnything()
{
    Form1->Edit2->setText("8o");
    Form16->Button1->click();
    QCOMPARE(m_camera.dialogs->errors, QStringList{"'8o' is not a valid integer value."});
    QVERIFY(m_camera.queries().isEmpty());
    QVERIFY(fineButtonsHidden());
    QVERIFY(m_camera.dialogs->messages.isEmpty());
}

// Waiting for real, the 500 ms poll pause keeps the event loop running: the
// window is repainted while the operation counts as waiting.
void FocusWindowTest::pollsWaitWithTheWindowsPainted()
{
    m_camera.dialogs->realPauses = true;
    m_camera.sim->setFocusPolls(0);
    Form16->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form16));

    PaintCounter paints;
    Form16->Button4->installEventFilter(&paints);
    bool tickedInThePause = false;
    QTimer ticker;
    ticker.setInterval(0);
    connect(&ticker, &QTimer::timeout, Form16, [&] {
        if (tickedInThePause || m_camera.dialogs->pauses.size() != 1 || !qzr::operationWaiting())
            return;
        tickedInThePause = true;
        Form16->Button4->update();
    });
    ticker.start();
    Form16->Button1->click();
    ticker.stop();

    QVERIFY2(tickedInThePause, "timers should run during the poll pause");
    QVERIFY2(paints.paintsWhileWaiting > 0, "the fine button should be painted during the poll pause");
    QCOMPARE(m_camera.dialogs->pauses, QList<int>{500});
    QCOMPARE(m_camera.dialogs->messages, QStringList{kFinished});
}

void FocusWindowTest::fineStepsSendTheShownStep_data()
{
    QTest::addColumn<bool>("plus");
    QTest::addColumn<int>("stepIndex"); // -1: the step typed below
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("cameraValue");
    QTest::newRow("plus, default step") << true << 5 << "" << "camera.focus.finefocus=+10" << "510";
    QTest::newRow("minus 200") << false << 15 << "" << "camera.focus.finefocus=-200" << "300";
    QTest::newRow("plus 1") << true << 0 << "" << "camera.focus.finefocus=+1" << "501";
    QTest::newRow("typed step") << false << -1 << "35" << "camera.focus.finefocus=-35" << "465";
}

// "Fine plus" and "Fine minus" send the sign directly followed by the step
// text shown in the list; nothing is read back.
void FocusWindowTest::fineStepsSendTheShownStep()
{
    QFETCH(bool, plus);
    QFETCH(int, stepIndex);
    QFETCH(QString, typed);
    QFETCH(QString, query);
    QFETCH(QString, cameraValue);

    startAutoFocusWithOutOfRange(); // leaves the fine buttons visible
    QVERIFY(fineButtonsShown());
    m_camera.sim->clearRequests();
    m_camera.dialogs->messages.clear();
    Form16->ComboBox1->setCurrentIndex(stepIndex);
    if (stepIndex < 0)
        Form16->ComboBox1->setEditText(typed);
    (plus ? Form16->Button4 : Form16->Button5)->click();
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QCOMPARE(m_camera.queries(), QStringList{query});
    const QByteArray requestLine = "GET /api/param?" + query.toLatin1() + " HTTP/1.1\r\n";
    QVERIFY2(m_camera.sim->requests().first().raw.startsWith(requestLine), "the sign goes on the wire as is");
    QCOMPARE(m_camera.sim->value("camera.focus.finefocus"), cameraValue);
    QVERIFY(m_camera.dialogs->messages.isEmpty());
}

// The fine steps do not take the connection fields: they go to the camera
// the previous request addressed, even when the fields name another camera
// or a port that is no number. The other operations take the fields.
void FocusWindowTest::fineStepsGoWhereTheLastRequestWent()
{
    startAutoFocusWithOutOfRange();
    qzr::sim::SimThread other;
    QVERIFY(other.start() != 0);
    m_camera.sim->clearRequests();

    Form1->Edit2->setText("8o");
    Form16->Button4->click();
    Form1->Edit2->setText(QString::number(other.port()));
    Form16->Button5->click();
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QCOMPARE(m_camera.queries(), QStringList({"camera.focus.finefocus=+10", "camera.focus.finefocus=-10"}));
    QVERIFY(other.requests().isEmpty());

    Form16->Button2->click(); // "Start NFA" takes the fields
    QCOMPARE(other.requests().size(), 2);
    QCOMPARE(m_camera.queries().size(), 2);
}

// "Start NFA": the spinner appears, night mode, the camera's value read and
// shown; the spinner is set to it without a click.
void FocusWindowTest::startNfaShowsTheCamerasValue()
{
    m_camera.sim->setValue("camera.focus.nightfocus", "7");
    Form16->Button2->click();
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QCOMPARE(m_camera.queries(), QStringList({"camera.focus.adjust_mode=night", "camera.focus.nightfocus"}));
    QVERIFY(!Form16->UpDown1->isHidden());
    QCOMPARE(Form16->Edit1->text(), QString("7"));
    QCOMPARE(Form16->UpDown1->value(), 7);
    QCOMPARE(qzr::shared().NightFocusValue, QString("7"));
    QVERIFY(m_camera.dialogs->pauses.isEmpty());
    QCOMPARE(m_camera.sim->value("camera.focus.adjust_mode"), QString("night"));
}

void FocusWindowTest::spinnerClicks_data()
{
    QTest::addColumn<QString>("cameraValue");
    QTest::addColumn<int>("spinnerBefore");
    QTest::addColumn<bool>("up");
    QTest::addColumn<bool>("cameraRefusesDown");
    QTest::addColumn<int>("spinnerAfter");
    QTest::addColumn<QStringList>("queries");
    QTest::addColumn<QString>("shown");

    const QString read = QStringLiteral("camera.focus.nightfocus");
    QTest::newRow("3 up to 4, camera at 4") << "4" << 3 << true << false << 4 << QStringList{} << "4";
    QTest::newRow("4 up to 5, camera at 4")
        << "4" << 4 << true << false << 5 << QStringList{"camera.focus.nightfocus=+", read} << "5";
    QTest::newRow("5 down to 4, camera at 5")
        << "5" << 5 << false << false << 4 << QStringList{"camera.focus.nightfocus=-", read} << "4";
    QTest::newRow("1 down to 0, camera at 3: one step per click")
        << "3" << 1 << false << false << 0 << QStringList{"camera.focus.nightfocus=-", read} << "2";
    QTest::newRow("up at the top end, camera at 8")
        << "8" << 9 << true << false << 9 << QStringList{"camera.focus.nightfocus=+", read} << "9";
    QTest::newRow("down at the bottom end, camera at 0") << "0" << 0 << false << false << 0 << QStringList{} << "0";
    QTest::newRow("camera not moving down")
        << "5" << 5 << false << true << 4 << QStringList{"camera.focus.nightfocus=-", read} << "5";
}

// A spinner click steps the camera towards the spinner's position: one "-"
// or "+" step, the value read and shown, a 2000 ms pause; equal values send
// nothing.
void FocusWindowTest::spinnerClicks()
{
    QFETCH(QString, cameraValue);
    QFETCH(int, spinnerBefore);
    QFETCH(bool, up);
    QFETCH(bool, cameraRefusesDown);
    QFETCH(int, spinnerAfter);
    QFETCH(QStringList, queries);
    QFETCH(QString, shown);

    m_camera.sim->setValue("camera.focus.nightfocus", cameraValue);
    if (cameraRefusesDown)
        m_camera.sim->refuseWrite("camera.focus.nightfocus", "-");
    Form16->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form16));
    Form16->Button2->click();
    Form16->UpDown1->setValue(spinnerBefore); // set in code: no click
    m_camera.sim->clearRequests();
    QVERIFY(m_camera.dialogs->pauses.isEmpty());

    QTest::keyClick(Form16->UpDown1, up ? Qt::Key_Up : Qt::Key_Down);
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QCOMPARE(Form16->UpDown1->value(), spinnerAfter);
    QCOMPARE(m_camera.queries(), queries);
    QCOMPARE(Form16->Edit1->text(), shown);
    QCOMPARE(qzr::shared().NightFocusValue, shown);
    QCOMPARE(m_camera.dialogs->pauses, queries.isEmpty() ? QList<int>{} : QList<int>{2000});
}

// A press on an arrow of the spinner is one click; pressing the other arrow
// comes back.
void FocusWindowTest::spinnerArrowsClickOnceEach()
{
    m_camera.sim->setValue("camera.focus.nightfocus", "4");
    Form16->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form16));
    Form16->Button2->click();
    m_camera.sim->clearRequests();

    QTest::mouseClick(Form16->UpDown1, Qt::LeftButton, Qt::NoModifier, arrowCentre(QStyle::SC_SpinBoxUp));
    QCOMPARE(Form16->UpDown1->value(), 5);
    QCOMPARE(m_camera.queries(), QStringList({"camera.focus.nightfocus=+", "camera.focus.nightfocus"}));
    QTest::mouseClick(Form16->UpDown1, Qt::LeftButton, Qt::NoModifier, arrowCentre(QStyle::SC_SpinBoxDown));
    QCOMPARE(Form16->UpDown1->value(), 4);
    QCOMPARE(m_camera.queries(), QStringList({"camera.focus.nightfocus=+", "camera.focus.nightfocus",
                                              "camera.focus.nightfocus=-", "camera.focus.nightfocus"}));
    QCOMPARE(Form16->Edit1->text(), QString("4"));
    QCOMPARE(m_camera.dialogs->pauses, QList<int>({2000, 2000}));
}

// A night-focus value that is no whole number: "Start NFA" shows it and then
// stops with the conversion error; a click after that sends nothing.
void FocusWindowTest::aNightValueThatIsNoNumberEndsTheOperation()
{
    m_camera.sim->setValue("camera.focus.nightfocus", "x");
    Form16->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form16));
    Form16->Button2->click();
    QCOMPARE(m_camera.dialogs->errors, QStringList{"'x' is not a valid integer value."});
    QCOMPARE(m_camera.queries(), QStringList({"camera.focus.adjust_mode=night", "camera.focus.nightfocus"}));
    QCOMPARE(Form16->Edit1->text(), QString("x"));
    QVERIFY(!Form16->UpDown1->isHidden());
    QCOMPARE(Form16->UpDown1->value(), 0);

    m_camera.sim->clearRequests();
    QTest::keyClick(Form16->UpDown1, Qt::Key_Up);
    QCOMPARE(m_camera.dialogs->errors.size(), 2);
    QCOMPARE(m_camera.dialogs->errors.last(), QString("'x' is not a valid integer value."));
    QVERIFY(m_camera.queries().isEmpty());
    QVERIFY(m_camera.dialogs->pauses.isEmpty());
}

// A step that fails ends the click: no read, no pause, the shown value stays.
void FocusWindowTest::aFailedNightStepEndsTheClick()
{
    m_camera.sim->setValue("camera.focus.nightfocus", "4");
    Form16->Button2->click();
    m_camera.sim->clearRequests();
    m_camera.sim->setFault(FaultMode::NotFound, 1);
    Form16->UpDown1->stepBy(1);
    QCOMPARE(m_camera.dialogs->errors, QStringList{m_camera.notFound()});
    QCOMPARE(m_camera.queries(), QStringList{"camera.focus.nightfocus=+"});
    QCOMPARE(Form16->Edit1->text(), QString("4"));
    QVERIFY(m_camera.dialogs->pauses.isEmpty());
}

// "Stop NFA": select mode, the spinner hidden.
void FocusWindowTest::stopNfaHidesTheSpinner()
{
    Form16->Button2->click();
    m_camera.sim->clearRequests();
    Form16->Button3->click();
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QCOMPARE(m_camera.queries(), QStringList{"camera.focus.adjust_mode=select"});
    QVERIFY(Form16->UpDown1->isHidden());
    QCOMPARE(m_camera.sim->value("camera.focus.adjust_mode"), QString("select"));
}

void FocusWindowTest::backFocusFollowsTheModelLabel_data()
{
    QTest::addColumn<QString>("model");  // the camera's model, read into the label
    QTest::addColumn<QString>("label");  // empty: as read; else written over it
    QTest::addColumn<bool>("runs");
    QTest::newRow("QZ-R50") << "QZ-R50" << "" << true;
    QTest::newRow("QZ-R50U") << "QZ-R50U" << "" << false;
    QTest::newRow("QZ-R410") << "QZ-R410" << "" << false;
    QTest::newRow("model not read yet") << "QZ-R50" << "Model Name" << false;
}

// The model label must read exactly "Model: QZ-R50": then init_pos, the
// back-focus command, the polls until "stop", select and the closing
// message; otherwise the model message and nothing sent.
void FocusWindowTest::backFocusFollowsTheModelLabel()
{
    QFETCH(QString, model);
    QFETCH(QString, label);
    QFETCH(bool, runs);

    m_camera.sim->setValue("system.model", model);
    m_camera.sim->setFocusPolls(2);
    if (label.isEmpty())
        Form1->Button40Click();
    else
        Form1->Label18->setText(label);
    m_camera.sim->clearRequests();

    Form16->BackFocusinitialize1->trigger();
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    if (!runs) {
        QCOMPARE(m_camera.dialogs->messages, QStringList{kModelRefused});
        QVERIFY(m_camera.queries().isEmpty());
        QVERIFY(m_camera.dialogs->pauses.isEmpty());
        return;
    }
    QCOMPARE(Form1->Label18->text(), QString("Model: QZ-R50"));
    QCOMPARE(m_camera.queries(), QStringList({"camera.focus.adjust_mode=init_pos", "camera.focus.abf_pos=initialize"})
                                     + statusReads(3) + QStringList{"camera.focus.adjust_mode=select"});
    QCOMPARE(m_camera.dialogs->pauses, pausesOf(3, 500));
    QCOMPARE(m_camera.dialogs->messages, QStringList{kBackFocusFinished});
}

void FocusWindowTest::backFocusWaitsForStopAlone_data()
{
    QTest::addColumn<int>("runningPolls");
    QTest::addColumn<bool>("objectError");
    QTest::newRow("OBJECT_ERROR is no end") << 2 << true;
    QTest::newRow("still running") << 500 << false;
}

// The back-focus initialisation examines "stop" alone; without it the 120th
// poll ends the run, select is still sent, and the message says it did not
// finish.
void FocusWindowTest::backFocusWaitsForStopAlone()
{
    QFETCH(int, runningPolls);
    QFETCH(bool, objectError);
    m_camera.sim->setValue("system.model", "QZ-R50");
    m_camera.sim->setFocusPolls(runningPolls);
    m_camera.sim->setFocusResult(objectError ? FocusResult::ObjectError : FocusResult::Stop);
    Form1->Label18->setText("Model: QZ-R50");

    Form16->BackFocusinitialize1->trigger();
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QCOMPARE(m_camera.queries(), QStringList({"camera.focus.adjust_mode=init_pos", "camera.focus.abf_pos=initialize"})
                                     + statusReads(120) + QStringList{"camera.focus.adjust_mode=select"});
    QCOMPARE(m_camera.dialogs->pauses, pausesOf(120, 500));
    QCOMPARE(m_camera.dialogs->messages, QStringList{kBackFocusNotFinished});
}

// "Exit" hides the fine buttons and the window, which keeps its state.
void FocusWindowTest::exitHidesTheFineButtonsAndTheWindow()
{
    startAutoFocusWithOutOfRange();
    Form16->show();
    QVERIFY(fineButtonsShown());
    m_camera.sim->clearRequests();
    Form16->Exit1->trigger();
    QVERIFY(fineButtonsHidden());
    QVERIFY(Form16->isHidden());
    QVERIFY(m_camera.queries().isEmpty());
    // Hidden, not destroyed: shown again it is as it was.
    Form16->show();
    QCOMPARE(Form16->ComboBox1->currentText(), QString("10"));
    QVERIFY(fineButtonsHidden());
}

QTEST_MAIN(FocusWindowTest)
#include "FocusWindowTest.moc"
