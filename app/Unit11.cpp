#include "app/Unit11.h"

#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit11.h"
#include "windowsupport/Operation.h"

#include <QMouseEvent>
#include <QPushButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>

TForm11 *Form11 = nullptr;

namespace {
constexpr const char *kZoomStop = "/api/param?camera.motion.zoom.status=stop";
}

TForm11::TForm11(QWidget *parent)
    : QWidget(parent)
{
    Form11 = this;
    // Unit11.ui holds the controls; the window's flags and place, and the
    // buttons' press and click, are set here.
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
    setupUi(this);
    move(745, 345);
    for (QPushButton *button : {Button1, Button2}) {
        button->installEventFilter(this);
        qzr::connectReported(button, &QPushButton::clicked, this, &TForm11::ButtonClick);
    }
}

TForm11::~TForm11()
{
    if (Form11 == this)
        Form11 = nullptr;
}

void TForm11::startZoom(const char *direction)
{
    Form1->ApplyConnection();
    Form1->CameraGet(QByteArray("/api/param?camera.motion.zoom.mode=") + direction
                     + "&camera.motion.zoom.status=start");
    m_zooming = true;
}

void TForm11::Button1MouseDown()
{
    startZoom("in");
}

void TForm11::Button2MouseDown()
{
    startZoom("out");
}

void TForm11::ButtonClick()
{
    // Addressed to the camera of the last operation, like the start before it.
    m_zooming = false;
    Form1->CameraGet(QByteArray(kZoomStop));
}

void TForm11::stopIfStillZooming()
{
    if (m_zooming)
        qzr::runReported([this] { ButtonClick(); });
}

bool TForm11::eventFilter(QObject *watched, QEvent *event)
{
    auto *button = qobject_cast<QPushButton *>(watched);
    if (!button)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        // Any mouse button starts the zoom; the start has finished before the
        // release is handled, so the stop always follows it.
        qzr::runReported([this, button] { button == Button1 ? Button1MouseDown() : Button2MouseDown(); });
        break;
    case QEvent::MouseButtonRelease: {
        // A release that makes no click (away from the button, or another
        // mouse button) stops the camera anyway, or it would go on zooming
        // with no sign of it. A click sends its own stop.
        const auto *release = static_cast<QMouseEvent *>(event);
        const bool clicks = release->button() == Qt::LeftButton
            && button->rect().contains(release->position().toPoint());
        if (!clicks)
            stopIfStillZooming();
        break;
    }
    case QEvent::UngrabMouse:
    case QEvent::Hide:
        stopIfStillZooming();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
