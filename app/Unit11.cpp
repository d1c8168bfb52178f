#include "app/Unit11.h"

#include "windowsupport/FormSupport.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit11.h"
#include "windowsupport/Operation.h"

#include <QFrame>
#include <QLabel>
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
    setObjectName(QStringLiteral("Form11"));
    qzr::setUpForm(this, QStringLiteral("Digital Zoom"), qzr::FormStyle::Normal, true, 745, 345, 207, 175);
    // Across the whole window and wrapped where it has to be: the warning is
    // read whole, "!" included.
    Label1 = qzr::makeLabel(this, "Label1", QStringLiteral("Only working with MPEG4 picture!"), 4, 2, 199, 33);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    QPalette red = Label1->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label1->setPalette(red);
    auto *panel = qzr::makeControl<QFrame>(this, "Panel1", 8, 36, 191, 130);
    panel->setFrameShape(QFrame::Panel);
    Button1 = qzr::makeButton(panel, "Button1", QStringLiteral("Zoom in"), 20, 16, 150, 40);
    Button2 = qzr::makeButton(panel, "Button2", QStringLiteral("Zoom out"), 20, 72, 150, 40);
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
