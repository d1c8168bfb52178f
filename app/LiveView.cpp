// The main window's live view: start and stop, channels, overlay, full
// screen, multicast reception and the frame-rate display.
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit6.h"
#include "app/Unit7.h"
#include "app/Unit8.h"
#include "app/Unit9.h"
#include "app/Unit14.h"
#include "windowsupport/Operation.h"
#include "windowsupport/ViewerAccess.h"
#include "windowsupport/ViewerStart.h"
#include "app/WindowSet.h"
#include "protocol/CameraError.h"
#include "video/StreamSettings.h"
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

using namespace qzr;

namespace {

const QString kStopCaption = QStringLiteral("Stop Live Stream");
const QString kStartCaption = QStringLiteral("Start Live Stream");

QPointer<TLiveViewer> cam3Viewer()
{
    return Form6 ? Form6->LiveViewer1 : QPointer<TLiveViewer>();
}

} // namespace

void TForm1::bindLiveView()
{
    connectReported(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connectReported(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
    connectReported(Button13, &QPushButton::clicked, this, &TForm1::Button13Click);
    connectReported(Button15, &QPushButton::clicked, this, &TForm1::Button15Click);
    connectReported(Button16, &QPushButton::clicked, this, &TForm1::Button16Click);
    connectReported(Button20, &QPushButton::clicked, this, &TForm1::Button20Click);
    connectReported(Button21, &QPushButton::clicked, this, &TForm1::Button21Click);
    connectReported(Button22, &QPushButton::clicked, this, &TForm1::Button22Click);
    connectReported(Button23, &QPushButton::clicked, this, &TForm1::Button23Click);
    connectReported(CheckBox8, &QCheckBox::clicked, this, &TForm1::CheckBox8Click);
    connectReported(ComboBox8, &QComboBox::activated, this, &TForm1::ComboBox8Change);
    connectReported(ComboBox10, &QComboBox::activated, this, &TForm1::ComboBox10Change);
    for (const auto &[button, action] : std::initializer_list<std::pair<QPushButton *, void (TForm1::*)()>>{
             {Button4, &TForm1::Button4Click}, {Button8, &TForm1::Button8Click},
             {Button9, &TForm1::Button9Click}, {Button10, &TForm1::Button10Click},
             {Button11, &TForm1::Button11Click}, {Button27, &TForm1::Button27Click},
             {Button29, &TForm1::Button29Click}, {Button34, &TForm1::Button34Click},
             {Button37, &TForm1::Button37Click}, {Button38, &TForm1::Button38Click}})
        connectReported(button, &QPushButton::clicked, this, action);
}

void TForm1::Button2Click()
{
    ApplyConnection();
    ComboBox8->show();
    ComboBox10->show();

    if (Button2->text() == kStopCaption) {
        if (CheckBox7->isChecked()) {
            CheckBox7->setChecked(false);
            CheckBox7Click();
        }
        Label2->clear();
        Image1->show();
        Image2->show();
        if (Form6) {
            Form6->hide();
            Form6->ReleaseViewer();
        }
        shared().LiveViewActive = 0;
        Button7->hide();
        if (Form7)
            Form7->close();
        Button2->setText(kStartCaption);
        CheckBox7->setChecked(false);
        CheckBox7->hide();
        return;
    }

    // Each start gets a fresh CAM 3 window and viewer; the earlier one stays hidden.
    auto *window = TForm6::createForView();
    window->show();
    Image1->hide();
    Image2->hide();
    video::StreamSettings::current().user = Edit3->text();
    configureViewer(window->LiveViewer1, Edit1->text(), Edit4->text(), shared().LiveChannel);
    window->show();
    sizeViewer(window->LiveViewer1, QSize(640, 360));
    shared().LiveViewActive = 1;
    startLive(window->LiveViewer1);
    CheckBox7->show();
    Button2->setText(kStopCaption);
    Button7->show();
}

void TForm1::restartOnChannel(const QString &channel)
{
    // Stops and starts again; with no view running it starts one and stops
    // it at once, leaving the channel for the next start.
    shared().LiveChannel = channel;
    Button2Click();
    Button2Click();
}

void TForm1::Button21Click() { restartOnChannel(QStringLiteral("1")); }
void TForm1::Button22Click() { restartOnChannel(QStringLiteral("2")); }
void TForm1::Button23Click() { restartOnChannel(QStringLiteral("3")); }

void TForm1::ComboBox10Change()
{
    switch (ComboBox10->currentIndex()) {
    case 0: Button21Click(); break;
    case 1: Button22Click(); break;
    case 2: Button23Click(); break;
    default: break;
    }
}

void TForm1::ComboBox8Change()
{
    const QPointer<TLiveViewer> viewer = cam3Viewer();
    if (ComboBox8->currentIndex() == 0) {
        switchOverlaysOff(viewer);
    } else if (ComboBox8->currentIndex() == 1) {
        // The time format is set before the overlay is switched on.
        writeViewer(viewer, &TLiveViewer::setTimeFormat, 2);
        writeViewer(viewer, &TLiveViewer::setDispTitle, 40);
        writeViewer(viewer, &TLiveViewer::setDispPosTitle, 40);
        writeViewer(viewer, &TLiveViewer::setDispTimeCode, 1);
        writeViewer(viewer, &TLiveViewer::setDispMotion, 40);
    }
}

void TForm1::Button7Click()
{
    if (Form6)
        Form6->Button1Click();
}

void TForm1::CheckBox8Click()
{
    if (CheckBox8->isChecked()) {
        if (Form14)
            Form14->show();
        writeViewer(cam3Viewer(), &TLiveViewer::setRcvMode, 1);
    } else {
        if (Form14)
            Form14->hide();
        writeViewer(cam3Viewer(), &TLiveViewer::setRcvMode, 0);
    }
}

void TForm1::Button13Click()
{
    auto *window = new TForm9;
    keepWithWindowSet(window);
    video::StreamSettings::current().user = Edit3->text();
    configureViewer(window->LiveViewer1, Edit1->text(), Edit4->text(), QStringLiteral("1"));
    window->show();
    // The window keeps its own size and shows the top-left part of the picture.
    sizeViewer(window->LiveViewer1, QSize(1920, 1080));
    startLive(window->LiveViewer1);
}

void TForm1::Button15Click()
{
    QList<QPointer<TLiveViewer>> viewers = {cam3Viewer()};
    viewers << (Form8 ? Form8->LiveViewer1 : nullptr) << (Form8 ? Form8->LiveViewer2 : nullptr)
            << (Form9 ? Form9->LiveViewer1 : nullptr);
    for (const QPointer<TLiveViewer> &viewer : viewers) {
        writeViewer(viewer, &TLiveViewer::setDispFPS, 254);
        writeViewer(viewer, &TLiveViewer::setDispFPS, toIntegerOrThrow(Edit6->text()));
    }
}

void TForm1::Button16Click()
{
    writeViewer(cam3Viewer(), &TLiveViewer::setDispFPS, 0);
}

void TForm1::Button20Click()
{
    writeViewer(cam3Viewer(), &TLiveViewer::setDispFPS, 255);
    writeViewer(cam3Viewer(), &TLiveViewer::setDispFPS, toIntegerOrThrow(Edit6->text()));
}
