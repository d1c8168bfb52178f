#include "app/Unit16.h"

#include "windowsupport/FormSupport.h"
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
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QProgressBar>

TForm16 *Form16 = nullptr;

using namespace qzr::lens;

namespace {

constexpr int kClientWidth = 360;
constexpr int kPanelLeft = 8;
constexpr int kPanelWidth = 344;
constexpr int kButtonHeight = 25;

QFrame *makePanel(QWidget *parent, const char *name, int top, int height)
{
    auto *panel = qzr::makeControl<QFrame>(parent, name, kPanelLeft, top, kPanelWidth, height);
    panel->setFrameShape(QFrame::StyledPanel);
    return panel;
}

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

NightFocusSpinner::NightFocusSpinner(QWidget *parent)
    : QSpinBox(parent)
{
    setRange(kNightFocusMin, kNightFocusMax);
    setValue(kNightFocusMin);
    setWrapping(false);
    // The position moves by clicks only; the camera's value is shown beside it.
    lineEdit()->setReadOnly(true);
}

void NightFocusSpinner::stepBy(int steps)
{
    if (steps == 0)
        return;
    // One position per click, whatever the wheel or a modifier asked for;
    // the base keeps it within the range.
    QSpinBox::stepBy(steps > 0 ? 1 : -1);
    emit clicked(value());
}

QAbstractSpinBox::StepEnabled NightFocusSpinner::stepEnabled() const
{
    // A click at an end still counts: the camera's value may differ.
    return StepUpEnabled | StepDownEnabled;
}

void NightFocusSpinner::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        QStyleOptionSpinBox option;
        initStyleOption(&option);
        const QStyle::SubControl hit =
            style()->hitTestComplexControl(QStyle::CC_SpinBox, &option, event->position().toPoint(), this);
        if (hit == QStyle::SC_SpinBoxUp || hit == QStyle::SC_SpinBoxDown) {
            event->accept();
            stepBy(hit == QStyle::SC_SpinBoxUp ? 1 : -1);
            return;
        }
    }
    QSpinBox::mousePressEvent(event);
}

void NightFocusSpinner::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        event->accept();
        stepBy(event->key() == Qt::Key_Up ? 1 : -1);
        return;
    }
    QSpinBox::keyPressEvent(event);
}

TForm16::TForm16(QWidget *parent)
    : QWidget(parent)
{
    Form16 = this;
    setObjectName(QStringLiteral("Form16"));

    // The window's own menu, drawn inside it.
    MainMenu1 = qzr::makeControl<QMenuBar>(this, "MainMenu1", 0, 0, kClientWidth, 0);
    MainMenu1->setNativeMenuBar(false);
    Exit1 = MainMenu1->addAction(QStringLiteral("Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    Options1 = MainMenu1->addMenu(QStringLiteral("Options"));
    Options1->setObjectName(QStringLiteral("Options1"));
    BackFocusinitialize1 = Options1->addAction(QStringLiteral("Back Focus initialize"));
    BackFocusinitialize1->setObjectName(QStringLiteral("BackFocusinitialize1"));
    const int menuHeight = MainMenu1->sizeHint().height();
    MainMenu1->resize(kClientWidth, menuHeight);

    const int top = menuHeight + 10;
    Button1 = qzr::makeButton(this, "Button1", QStringLiteral("Start Auto Focus Day"), 16, top, 328, 32);

    Panel2 = makePanel(this, "Panel2", top + 44, 76);
    Label2 = qzr::makeLabel(Panel2, "Label2", QStringLiteral("Fine Focus Adjust"), 8, 6, 200, 20);
    QStringList steps;
    for (const char *step : kFineSteps)
        steps << QString::fromLatin1(step);
    ComboBox1 = qzr::makeControl<QComboBox>(Panel2, "ComboBox1", 8, 36, 96, kButtonHeight);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->addItems(steps);
    ComboBox1->setCurrentIndex(kDefaultFineStepIndex);
    ComboBox1->setAccessibleName(Label2->text());
    Button4 = qzr::makeButton(Panel2, "Button4", QStringLiteral("Fine plus"), 116, 36, 104, kButtonHeight);
    Button5 = qzr::makeButton(Panel2, "Button5", QStringLiteral("Fine minus"), 228, 36, 104, kButtonHeight);
    Button4->hide();
    Button5->hide();

    Panel1 = makePanel(this, "Panel1", top + 128, 104);
    Label1 = qzr::makeLabel(Panel1, "Label1", QStringLiteral("Night Focus Adjust"), 8, 6, 200, 20);
    Button2 = qzr::makeButton(Panel1, "Button2", QStringLiteral("Start NFA"), 8, 34, 104, kButtonHeight);
    Button3 = qzr::makeButton(Panel1, "Button3", QStringLiteral("Stop NFA"), 120, 34, 104, kButtonHeight);
    Edit1 = qzr::makeControl<QLineEdit>(Panel1, "Edit1", 8, 68, 104, kButtonHeight);
    Edit1->setAccessibleName(QStringLiteral("Night focus value"));
    UpDown1 = new NightFocusSpinner(Panel1);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setGeometry(120, 68, 56, kButtonHeight);
    UpDown1->setAccessibleName(QStringLiteral("Night focus target"));
    UpDown1->hide();

    qzr::setUpForm(this, QStringLiteral("FOCUS"), qzr::FormStyle::Normal, true, 300, 200, kClientWidth,
                   top + 240);
    // Stays on top, with only the system menu and the minimise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);

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
