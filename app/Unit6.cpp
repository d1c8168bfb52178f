#include "app/Unit6.h"

#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit6.h"
#include "windowsupport/Operation.h"
#include "windowsupport/ViewerAccess.h"
#include "windowsupport/ViewerStart.h"
#include "windowsupport/TLiveViewer.h"
#include "protocol/RequestTarget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>

TForm6 *Form6 = nullptr;

namespace {

// The picture size that a frame size value starts with; none for the values
// that begin otherwise ("quadvga", "qvga", "vga").
std::optional<QSize> pictureSizeFor(const QString &firstTwo)
{
    if (firstTwo == QLatin1String("19"))
        return QSize(1920, 1080);
    if (firstTwo == QLatin1String("12"))
        return QSize(1280, 720);
    if (firstTwo == QLatin1String("64"))
        return QSize(640, 360);
    return std::nullopt;
}

} // namespace

TForm6::TForm6(QWidget *parent)
    : QWidget(parent)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setupUi(this);
    move(kLeft, kTop);
    qzr::connectReported(Button1, &QPushButton::clicked, this, &TForm6::Button1Click);
    qzr::connectReported(Button2, &QPushButton::clicked, this, &TForm6::Button2Click);
    adoptViewer(Ui::TForm6::LiveViewer1);
    // The newest instance is the CAM 3 viewer window.
    Form6 = this;
}

TForm6::~TForm6()
{
    if (Form6 == this)
        Form6 = nullptr;
}

TForm6 *TForm6::createForView()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        auto *earlier = qobject_cast<TForm6 *>(window);
        if (!earlier || !earlier->isHidden())
            continue;
        const auto *viewer = qobject_cast<const TLiveViewer *>(earlier->LiveViewer1.data());
        if (!viewer || !viewer->isLive())
            earlier->deleteLater();
    }
    auto *window = new TForm6;
    qzr::keepWithWindowSet(window);
    return window;
}

void TForm6::adoptViewer(TLiveViewer *viewer)
{
    viewer->setParent(this);
    viewer->setObjectName(QStringLiteral("LiveViewer1"));
    viewer->setGeometry(0, 0, 641, 361);
    viewer->hide();
    viewer->installEventFilter(this);
    LiveViewer1 = viewer;
}

void TForm6::Button1Click()
{
    TForm1 *main = Form1;
    const QString chosen = main->ComboBox10->currentText();
    const QString channel = chosen != QLatin1String("Streaming Channel") ? chosen : QStringLiteral("1");

    main->ApplyConnection();
    main->LogReply(main->CameraGet(qzr::ParamQuery::read(QStringLiteral("encode(%1).framesize").arg(channel))));
    qzr::ReplyLog &log = main->replyLog();
    for (int i = 0; i < 4; ++i)
        log.deleteLine(0);

    if (const auto size = pictureSizeFor(log.text().mid(20, 2))) {
        if (LiveViewer1)
            LiveViewer1->resize(*size);
        qzr::writeViewer(LiveViewer1, &TLiveViewer::setDispHeight, size->height());
        qzr::writeViewer(LiveViewer1, &TLiveViewer::setDispWidth, size->width());
    }

    setWindowFlag(Qt::FramelessWindowHint, true);
    if (QScreen *primary = QGuiApplication::primaryScreen())
        setGeometry(primary->availableGeometry());

    const QList<QScreen *> screens = QGuiApplication::screens();
    const bool secondMonitor = main->CheckBox7->isChecked() && screens.size() > 1;
    if (!screens.isEmpty())
        setGeometry(screens.at(secondMonitor ? 1 : 0)->geometry());
    for (QLabel *picture : {main->Image1, main->Image2, main->Image3})
        picture->setVisible(!main->CheckBox7->isChecked());
    show();
}

void TForm6::Button2Click()
{
    if (LiveViewer1)
        LiveViewer1->resize(640, 360);
    qzr::writeViewer(LiveViewer1, &TLiveViewer::setDispHeight, 360);
    qzr::writeViewer(LiveViewer1, &TLiveViewer::setDispWidth, 640);
    setGeometry(kLeft, kTop, kClientWidth, kClientHeight);
}

void TForm6::ReleaseViewer()
{
    delete LiveViewer1.data();
}

bool TForm6::eventFilter(QObject *watched, QEvent *event)
{
    // Clicking into the full-screen picture returns it to the normal window.
    if (watched == LiveViewer1 && (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress))
        qzr::runReported([this] { Button2Click(); });
    return QWidget::eventFilter(watched, event);
}

void TForm6::closeEvent(QCloseEvent *event)
{
    // Closing the window releases its viewer; the window only hides.
    ReleaseViewer();
    event->accept();
}
