#include "app/Unit16.h"

#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit16.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"
#include "app/WindowSet.h"
#include "lens/FocusRequests.h"
#include "protocol/CameraError.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QProgressBar>

TForm16 *Form16 = nullptr;

using namespace qzr::lens;

namespace {

// The status the main window's "Day Focus" leaves as the reply log's text.
QString polledFocusStatus()
{
    Form1->Button43Click();
    return Form1->replyLog().text();
}

void pauseBetweenPolls(int pause_ms)
{
    qzr::dialogs().pause(pause_ms);
}

void send(const QList<qzr::ParamQuery> &requests)
{
    for (const qzr::ParamQuery &request : requests)
        Form1->CameraGet(request);
}

} // namespace

TForm16::TForm16(QWidget *parent)
    : QWidget(parent)
{
    Form16 = this;

    // Stays on top, with only the system menu and the minimise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    // Unit16.ui holds the controls and the menu.
    setupUi(this);
    move(300, 200);
    // The window's own menu, drawn inside it.
    MainMenu1->setNativeMenuBar(false);

    qzr::connectReported(Button1, &QPushButton::clicked, this, &TForm16::Button1Click);
    qzr::connectReported(Button2, &QPushButton::clicked, this, &TForm16::Button2Click);
    qzr::connectReported(Button3, &QPushButton::clicked, this, &TForm16::Button3Click);
    qzr::connectReported(Button4, &QPushButton::clicked, this, &TForm16::Button4Click);
    qzr::connectReported(Button5, &QPushButton::clicked, this, &TForm16::Button5Click);
    qzr::connectReported(UpDown1, &NightFocusSpinner::clicked, this, &TForm16::UpDown1Click);
    qzr::connectReported(Exit1, &QAction::triggered, this, &TForm16::Exit1Click);
    connect(BackFocusinitialize1, &QAction::triggered, this,
            [this] { qzr::runReported([this] { BackFocusinitialize1Click(); }); });
}

TForm16::~TForm16()
{
    if (Form16 == this)
        Form16 = nullptr;
}

void TForm16::Button1Click()
{
    Form1->ApplyConnection();
    // Visible from now on, so that after an out-of-range end the user can
    // move the focus by hand and run auto focus again.
    showFineButtons(true);
    send(dayAutoFocusStartRequests());
    const PollResult result = pollFocusStatus(FocusRun::DayAutoFocus, pauseBetweenPolls, polledFocusStatus);
    if (result.outcome == PollOutcome::ObjectError) {
        qzr::dialogs().showMessage(QString::fromLatin1(kOutOfRangeMessage));
        return;
    }
    // After the poll limit the camera is still asked to leave day mode; the
    // message then says that the focus did not finish.
    Form1->CameraGet(focusEndRequest());
    showFineButtons(false);
    qzr::dialogs().showMessage(closingMessage(FocusRun::DayAutoFocus, result.outcome));
}

void TForm16::Button2Click()
{
    Form1->ApplyConnection();
    UpDown1->show();
    Form1->CameraGet(adjustModeRequest(AdjustMode::Night));
    readNightFocus();
    // Set in code: no click, nothing sent.
    UpDown1->setValue(qzr::toIntegerOrThrow(qzr::shared().NightFocusValue));
}

void TForm16::Button3Click()
{
    Form1->ApplyConnection();
    Form1->CameraGet(focusEndRequest());
    UpDown1->hide();
}

void TForm16::Button4Click()
{
    Form1->CameraGet(fineFocusRequest(FineDirection::Plus, ComboBox1->currentText()));
}

void TForm16::Button5Click()
{
    Form1->CameraGet(fineFocusRequest(FineDirection::Minus, ComboBox1->currentText()));
}

void TForm16::UpDown1Click()
{
    Form1->ApplyConnection();
    runNightFocusClick(
        UpDown1->value(), [] { return qzr::toIntegerOrThrow(qzr::shared().NightFocusValue); },
        [this](NightStep step) {
            Form1->CameraGet(nightFocusStepRequest(step));
            readNightFocus();
            // The lens needs the time to move.
            qzr::dialogs().pause(kNightFocusPauseMs);
        });
}

void TForm16::Exit1Click()
{
    showFineButtons(false);
    close();
}

void TForm16::BackFocusinitialize1Click()
{
    Form1->ApplyConnection();
    // The main window's model label, compared whole.
    if (!backFocusAllowed(Form1->Label18->text())) {
        qzr::dialogs().showMessage(QString::fromLatin1(kModelRefusedMessage));
        return;
    }
    send(backFocusStartRequests());
    const PollResult result = pollFocusStatus(FocusRun::BackFocusInitialize, pauseBetweenPolls, polledFocusStatus);
    Form1->CameraGet(focusEndRequest());
    qzr::dialogs().showMessage(closingMessage(FocusRun::BackFocusInitialize, result.outcome));
}

void TForm16::showFineButtons(bool shown)
{
    Button4->setVisible(shown);
    Button5->setVisible(shown);
}

void TForm16::readNightFocus()
{
    Form1->Button44Click();
    Edit1->setText(Form1->replyLog().text());
}
