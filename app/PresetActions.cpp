// The "Demo Settings" presets of the main window: fixed request sequences
// paced by short pauses, then the viewer windows that suit the new streams.
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit6.h"
#include "app/Unit8.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"
#include "windowsupport/TLiveViewer.h"
#include "windowsupport/ViewerStart.h"
#include "app/WindowSet.h"
#include "encoder/Presets.h"
#include "video/StreamSettings.h"

#include <QCoreApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

using namespace qzr;
namespace presets = qzr::encoder::presets;

namespace {
const QString kSettingComplete = QStringLiteral("Setting Complete, you might continue now");
}

void TForm1::stepProgress(int steps)
{
    ProgressBar1->setValue(qMin(ProgressBar1->value() + steps, ProgressBar1->maximum()));
}

void TForm1::stopLiveViewIfRunning()
{
    if (Button2->text() == QLatin1String("Stop Live Stream"))
        Button2Click();
}

void TForm1::sendPreset(const QList<QByteArray> &requests, int pause_ms)
{
    ApplyConnection();
    for (const QByteArray &request : requests) {
        // "Setting Complete" only when the camera took every setting.
        m_session.cameraWrite(request);
        dialogs().pause(pause_ms);
    }
}

void TForm1::Button4Click()
{
    auto *window = new TForm8;
    keepWithWindowSet(window);
    window->show();
    video::StreamSettings::current().user = Edit3->text();
    configureViewer(window->LiveViewer2, Edit1->text(), Edit4->text(), QStringLiteral("1"));
    sizeViewer(window->LiveViewer2, QSize(1280, 720));
    startLive(window->LiveViewer2);
    configureViewer(window->LiveViewer1, Edit1->text(), Edit4->text(), QStringLiteral("2"));
    sizeViewer(window->LiveViewer1, QSize(640, 360));
    startLive(window->LiveViewer1);
    stepProgress();
}

void TForm1::startCam3Viewer()
{
    auto *window = TForm6::createForView();
    window->show();
    Image1->hide();
    Image2->hide();
    video::StreamSettings::current().user = Edit3->text();
    configureViewer(window->LiveViewer1, Edit1->text(), Edit4->text(), QStringLiteral("2"));
    sizeViewer(window->LiveViewer1, QSize(640, 360));
    startLive(window->LiveViewer1);
    // The live view now runs in this window.
    shared().LiveViewActive = 1;
    Button2->setText(QStringLiteral("Stop Live Stream"));
    Button7->show();
    stepProgress();
}

void TForm1::Button9Click()
{
    if (Button2->text() == QLatin1String("Stop Live Stream")) {
        Button2Click();
        dialogs().showMessage(QStringLiteral("Please wait, preparing settings. Press OK to continue"));
    }
    ProgressBar1->setMaximum(11);
    ProgressBar1->setValue(0);
    sendPreset(presets::configure2Streams(), presets::kRequestPauseMs);
    stepProgress();
    Button13Click();
    dialogs().pause(presets::kViewerStartPauseMs);
    startCam3Viewer();
}

void TForm1::Button10Click()
{
    ProgressBar1->setMaximum(12);
    ProgressBar1->setValue(0);
    stopLiveViewIfRunning();
    sendPreset(presets::configure3Streams(), presets::kRequestPauseMs);
    stepProgress();
    Button4Click();
    stepProgress();
    dialogs().pause(presets::kThreeStreamsViewerPauseMs);
    stepProgress();
    Button13Click();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TForm1::Button34Click()
{
    stopLiveViewIfRunning();
    ProgressBar1->setMaximum(12);
    ProgressBar1->setValue(0);
    sendPreset(presets::configure2x25fps(), presets::kRequestPauseMs);
    Button4Click();
    Button7->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    dialogs().showMessage(kSettingComplete, QPoint(400, 300));
}

void TForm1::Button8Click()
{
    stopLiveViewIfRunning();
    ProgressBar1->setMaximum(20);
    ProgressBar1->setValue(0);
    sendPreset(presets::lowLightDemo(), presets::kRequestPauseMs);
    Button2Click();
    ProgressBar1->setValue(20);
    dialogs().showMessage(kSettingComplete, QPoint(500, 400));
}

void TForm1::Button27Click()
{
    ProgressBar1->setMaximum(13);
    ProgressBar1->setValue(0);
    ApplyConnection();
    const QList<QByteArray> &requests = presets::terelleDefault();
    for (int i = 0; i < requests.size(); ++i) {
        m_session.cameraWrite(requests.at(i));
        if (i < presets::kDefaultSettingPausedRequests) {
            dialogs().pause(presets::kDefaultSettingPauseMs);
            stepProgress();
        }
    }
    // A running view is left alone.
    if (Button2->text() == QLatin1String("Start Live Stream"))
        Button2Click();
    stepProgress(2);
    dialogs().showMessage(kSettingComplete, QPoint(500, 400));
}

void TForm1::Button11Click()
{
    ProgressBar1->setMaximum(3);
    ProgressBar1->setValue(0);
    sendPreset(presets::flickerless(), 0);
    dialogs().showMessage(kSettingComplete, QPoint(400, 300));
}

void TForm1::Button29Click()
{
    stopLiveViewIfRunning();
    Button4Click();
    Button13Click();
}

void TForm1::Button38Click()
{
    // The CAM 3 window below takes over the live view: a view still running
    // would stay on top of everything with nobody able to close it.
    stopLiveViewIfRunning();
    Button13Click();
    dialogs().pause(presets::kViewerStartPauseMs);
    startCam3Viewer();
}

void TForm1::Button37Click()
{
    stopLiveViewIfRunning();
    Button4Click();
}
