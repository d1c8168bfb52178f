#include "app/Unit1.h"

#include "app/FindCamerasWindow.h"
#include "app/Forms.h"
#include "app/SiteOverviewWindow.h"
#include "app/Unit3.h"
#include "app/Unit5.h"
#include "app/Unit6.h"
#include "app/Unit7.h"
#include "app/Unit11.h"
#include "app/Unit12.h"
#include "app/Unit14.h"
#include "app/Unit15.h"
#include "app/Unit16.h"
#include "app/Unit17.h"
#include "app/WindowSet.h"
#include "protocol/Identity.h"
#include "windowsupport/FormSupport.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QTimer>

TForm1 *Form1 = nullptr;

using namespace qzr;

namespace {

// The narrowest width (at least the present one) at which an editable combo
// shows text whole in its edit field.
int widthShowingWhole(const QComboBox *combo, const QString &text)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = true;
    option.frame = true;
    // The edit field keeps a margin of 2 on each side and room for the cursor.
    const int needed = QFontMetrics(combo->font()).horizontalAdvance(text) + 2 * 2 + 1;
    constexpr int kWidest = 400;
    int width = combo->width();
    for (; width < kWidest; ++width) {
        option.rect = QRect(0, 0, width, combo->height());
        const QRect field =
            combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        if (field.width() >= needed)
            break;
    }
    return width;
}

void showWindow(QWidget *window)
{
    if (window) {
        window->show();
        window->raise();
    }
}

} // namespace

TForm1::TForm1(QWidget *parent)
    : QMainWindow(parent)
    , m_session(m_replyLog)
{
    Form1 = this;
    // Unit1.ui holds the controls; the window's flags and place, the prompts
    // of its lists and the connections are set here.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setupUi(this);
    move(19, 105);

    bindShell();
    bindEncoderPanel();
    bindDiagnostics();
    bindMenu();
    bindLiveView();
    setFixedSize(ClientArea->width(), ClientArea->height() + MainMenu1->sizeHint().height());

    m_replyLog.setChangeHandler([this] { showReplyLog(); });
    m_session.setRunner(runWithoutFreezing);

    // Key preview: the window sees every key before the focused control.
    qApp->installEventFilter(this);

    shared().LiveViewActive = 0;
    shared().LiveChannel = QStringLiteral("1");
}

TForm1::~TForm1()
{
    qApp->removeEventFilter(this);
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::bindShell()
{
    maskWithStars(Edit4);
    Edit1->installEventFilter(this);
    connectReported(CheckBox5, &QCheckBox::clicked, this, &TForm1::CheckBox5Click);
    connectReported(CheckBox7, &QCheckBox::clicked, this, &TForm1::CheckBox7Click);

    // The live-view lists show their prompts over no chosen item, each read
    // whole from its start: the overlay list ends at the window's right
    // edge, the channel list just before it.
    ComboBox10->setEditText(QStringLiteral("Streaming Channel"));
    ComboBox8->setEditText(QStringLiteral("Video Overlay ( Time... )"));
    const int overlayWidth = widthShowingWhole(ComboBox8, ComboBox8->currentText());
    const int channelWidth = widthShowingWhole(ComboBox10, ComboBox10->currentText());
    ComboBox8->setGeometry(ClientArea->width() - 4 - overlayWidth, ComboBox8->y(), overlayWidth,
                           ComboBox8->height());
    ComboBox10->setGeometry(qMin(ComboBox10->x(), ComboBox8->x() - 6 - channelWidth), ComboBox10->y(),
                            channelWidth, ComboBox10->height());

    // Procedures other windows press.
    const std::pair<QPushButton *, void (TForm1::*)()> identity[] = {
        {Button40, &TForm1::Button40Click}, {Button41, &TForm1::Button41Click},
        {Button42, &TForm1::Button42Click}, {Button43, &TForm1::Button43Click},
        {Button44, &TForm1::Button44Click}, {Button48, &TForm1::Button48Click},
    };
    for (const auto &[button, handler] : identity)
        connectReported(button, &QPushButton::clicked, this, handler);
}

void TForm1::bindMenu()
{
    const auto item = [this](QAction *entry, auto &&action) {
        connect(entry, &QAction::triggered, this, [action] { runReported(action); });
    };
    item(Exit1, [this] { Exit1Click(); });
    item(SelectIPaddress1, [] { showWindow(Form3); });
    item(FindCameras1, [] { findCamerasWindow()->openAndSearch(); });
    item(SiteOverview1, [] { showWindow(siteOverviewWindow()); });
    item(ChangeCameraIPaddress1, [] { showWindow(Form15); });
    item(LowLightDemo1, [this] { Button8Click(); });
    item(Flickerless1, [this] { Button11Click(); });
    item(StartDirect3Streams1, [this] { Button29Click(); });
    item(Configure3Streams1, [this] { Button10Click(); });
    item(StartDirect2Streams1, [this] { Button38Click(); });
    item(Configure2Streams1, [this] { Button9Click(); });
    item(TerelleDefaultSetting1, [this] {
        ProgressBar1->setValue(0);
        ProgressBar1->setMaximum(4);
        Button27Click();
    });
    item(DigitalZoom1, [] { showWindow(Form11); });
    item(StartDirect25fps1, [this] { Button37Click(); });
    item(Configure2x25fps1, [this] { Button34Click(); });
    item(CameraVideoSettings1, [] { qzr::runReported([] { Form7->openFromMainWindow(); }); });
    item(CameraEncoderInfo1, [] { showWindow(Form12); });
    item(SaveLoadSettings1, [] { showWindow(Form5); });
    item(SDCardSettings1, [] { showWindow(Form17); });
    item(AutoFocusAdjust1, [] { showWindow(Form16); });
    item(About1, [this] { About1Click(); });
}

void TForm1::refreshMemo1()
{
    Memo1->setPlainText(m_replyLog.lines().join(QLatin1Char('\n')));
}

void TForm1::showReplyLog()
{
    m_memo1Refresh.request();
    // Every change of the log advances the bar by one step, never past its
    // end; the bar is repainted with the window, not synchronously per step.
    ProgressBar1->setUpdatesEnabled(false);
    ProgressBar1->setValue(qMin(ProgressBar1->value() + 1, ProgressBar1->maximum()));
    ProgressBar1->setUpdatesEnabled(true);
}

void TForm1::ApplyConnection()
{
    m_session.applyConnection({Edit1->text(), Edit2->text(), Edit3->text(), Edit4->text()});
}

void TForm1::Button40Click()
{
    ApplyConnection();
    Label18->setText(identity::modelCaption(ReadParameter(identity::kModelKey)));
}

void TForm1::Button41Click()
{
    ApplyConnection();
    Label22->setText(identity::firmwareCaption(ReadParameter(identity::kRevisionKey)));
    ApplyConnection();
    const QString mac = ReadParameter(identity::kMacKey);
    Label23->setText(identity::macCaption(mac));
    if (Form15)
        Form15->Label8->setText(shownText(mac));
}

void TForm1::Button42Click()
{
    ApplyConnection();
    const QByteArray body = CameraGet(ParamQuery::read(identity::kSceneStatusKey));
    m_replyLog.setText(bodyText(body));
    m_replyLog.trimReply();
    SharedState &state = shared();
    state.EditedSceneNumber.clear();
    // The callers empty the stored number first; the digits are appended.
    state.StoredSceneNumber += valueFrom(m_replyLog.text(), defaultValueStart(identity::kSceneStatusKey));
    Memo2->setPlainText(state.StoredSceneNumber);
    m_replyLog.setText(m_replyLog.text() + state.StoredSceneNumber);
    m_replyLog.appendLine(QString());
}

void TForm1::Button43Click()
{
    ApplyConnection();
    const QString status = ReadParameter(identity::kFocusStatusKey);
    m_replyLog.setText(status);
}

void TForm1::Button44Click()
{
    ApplyConnection();
    const QString value = ReadParameter(identity::kNightFocusKey);
    m_replyLog.setText(value);
    shared().NightFocusValue = value;
}

void TForm1::Button48Click()
{
    ApplyConnection();
    LogReply(CameraGet(ParamQuery::read(identity::kFineFocusKey)));
}

void TForm1::CheckBox5Click()
{
    Edit4->setEchoMode(CheckBox5->isChecked() ? QLineEdit::Password : QLineEdit::Normal);
}

void TForm1::CheckBox7Click()
{
    // Only with more than one monitor does the box move the CAM 3 window.
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.size() == 1 || !Form6)
        return;
    if (CheckBox7->isChecked()) {
        if (screens.size() > 1)
            Form6->setGeometry(screens.at(1)->geometry());
        Image1->hide();
        Image2->hide();
        Image3->hide();
    } else {
        if (!screens.isEmpty())
            Form6->setGeometry(screens.at(0)->geometry());
        Image1->show();
        Image2->show();
        Image3->show();
        Form6->Button2Click();
    }
}

void TForm1::FormKeyPress(int key)
{
    if (key != Qt::Key_Escape)
        return;
    if (Form6)
        Form6->Button2Click();
    if (CheckBox7->isChecked()) {
        CheckBox7->setChecked(false);
        CheckBox7Click();
    }
}

void TForm1::Exit1Click()
{
    if (Form6 && Button2->text() == QLatin1String("Stop Live Stream"))
        Form6->ReleaseViewer();
    if (Form6 && Form14 && Form14->isStreaming())
        Form6->ReleaseViewer();
    QApplication::quit();
}

void TForm1::About1Click()
{
    dialogs().showMessage(QStringLiteral("%1\nVersion %2").arg(applicationTitle(), QCoreApplication::applicationVersion()));
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && event != m_lastPreviewedKey) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this) {
            // Seen once per key press, before the focused control; passed on.
            m_lastPreviewedKey = event;
            QTimer::singleShot(0, this, [this] { m_lastPreviewedKey = nullptr; });
            const int key = static_cast<QKeyEvent *>(event)->key();
            runReported([this, key] { FormKeyPress(key); });
        }
    } else if (watched == Edit1 && event->type() == QEvent::MouseButtonPress) {
        if (Form3) {
            Form3->show();
            Form3->raise();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // Closing the main window ends the program at once.
    event->accept();
    QApplication::quit();
}
