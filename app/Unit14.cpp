#include "app/Unit14.h"

#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit6.h"
#include "app/Unit14.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"
#include "windowsupport/ViewerAccess.h"
#include "windowsupport/ViewerStart.h"
#include "app/WindowSet.h"
#include "network/MulticastFields.h"
#include "protocol/CameraError.h"
#include "protocol/RequestTarget.h"
#include "video/StreamSettings.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QProgressBar>

TForm14 *Form14 = nullptr;

namespace {
const QString kStartCaption = QStringLiteral("Set and START Multicast Stream");
const QString kStopCaption = QStringLiteral("STOP Multicast Stream");

void sendDestination(const QString &channel, const char *status)
{
    const QString key = QStringLiteral("network.destination(%1).status").arg(channel);
    Form1->CameraGet(qzr::ParamQuery().set(key, QString::fromLatin1(status)));
    Form1->CameraGet(qzr::ParamQuery().set(key, QStringLiteral("save")));
}
} // namespace

TForm14::TForm14(QWidget *parent)
    : QWidget(parent)
{
    Form14 = this;
    // Unit14.ui holds the controls; the window's flags and place are set here.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setupUi(this);
    move(700, 420);
    qzr::connectReported(ComboBox1, &QComboBox::activated, this, &TForm14::ComboBox1Change);
    qzr::connectReported(Button1, &QPushButton::clicked, this, &TForm14::Button1Click);
}

TForm14::~TForm14()
{
    if (Form14 == this)
        Form14 = nullptr;
}

bool TForm14::isStreaming() const
{
    return Button1->text() == kStopCaption;
}

void TForm14::ComboBox1Change()
{
    const int index = ComboBox1->currentIndex();
    if (index < 0 || index >= int(std::size(qzr::network::kMulticastDefaults)))
        return;
    Edit1->setText(QString::fromLatin1(qzr::network::kMulticastDefaults[index].group));
    Edit2->setText(QString::fromLatin1(qzr::network::kMulticastDefaults[index].port));
}

void TForm14::Button1Click()
{
    if (isStreaming())
        stopStream();
    else
        startStream();
}

void TForm14::startStream()
{
    // A field the camera cannot use is caught before anything is sent or
    // changed: otherwise the camera would stream while the tool shows nothing.
    if (const auto problem = qzr::network::multicastFieldProblem(Edit1->text(), Edit2->text())) {
        qzr::dialogs().showMessage(*problem);
        return;
    }
    TForm1 *main = Form1;
    main->ApplyConnection();
    if (main->Button2->text() == QLatin1String("Stop Live Stream")) {
        main->Label2->clear();
        main->Image1->show();
        main->Image2->show();
        if (Form6) {
            Form6->hide();
            Form6->ReleaseViewer();
        }
        main->Button2->setText(QStringLiteral("Start Live Stream"));
        qzr::shared().LiveViewActive = 0;
    }
    main->CheckBox8->setChecked(true);
    QPalette red = main->CheckBox8->palette();
    red.setColor(QPalette::Window, Qt::red);
    red.setColor(QPalette::Button, Qt::red);
    main->CheckBox8->setAutoFillBackground(true);
    main->CheckBox8->setPalette(red);

    auto *window = TForm6::createForView();
    main->CheckBox7->show();
    main->Button7->show();

    const QString channel = ComboBox1->currentText();
    sendDestination(channel, "start");
    // The stop goes to this channel, whatever the list shows by then.
    m_streamingChannel = channel;

    const QPointer<TLiveViewer> viewer = window->LiveViewer1;
    qzr::writeViewer(viewer, &TLiveViewer::setMultiPort, qzr::toIntegerOrThrow(Edit2->text()));
    qzr::writeViewer(viewer, &TLiveViewer::setMultiIP, Edit1->text());
    qzr::writeViewer(viewer, &TLiveViewer::setRcvMode, 1);
    window->show();
    main->Image1->hide();
    main->Image2->hide();
    qzr::video::StreamSettings::current().user = main->Edit3->text();
    qzr::configureViewer(viewer, main->Edit1->text(), main->Edit4->text(), channel);
    window->show();
    qzr::sizeViewer(viewer, QSize(640, 360));
    qzr::shared().LiveViewActive = 1;
    main->Button2->hide();
    main->CheckBox7->show();
    qzr::startLive(viewer);
    Button1->setText(kStopCaption);
}

void TForm14::stopStream()
{
    TForm1 *main = Form1;
    main->ApplyConnection();
    main->CheckBox8->setChecked(false);
    main->CheckBox8Click();
    sendDestination(m_streamingChannel, "stop");
    main->Label2->clear();
    main->Image1->show();
    main->Image2->show();
    if (Form6) {
        Form6->hide();
        Form6->ReleaseViewer();
    }
    main->CheckBox8->setPalette(QPalette());
    main->CheckBox8->setAutoFillBackground(false);
    qzr::shared().LiveViewActive = 0;
    Button1->setText(kStartCaption);
    main->Button2->show();
}

void TForm14::closeEvent(QCloseEvent *event)
{
    qzr::runReported([this] {
        Form1->CheckBox8->setChecked(false);
        Form1->CheckBox8Click();
        if (isStreaming()) {
            stopStream();
        } else if (Form6) {
            Form6->ReleaseViewer();
            Form6->hide();
        }
    });
    event->accept();
}
