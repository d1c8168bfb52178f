#include "windowsupport/Operation.h"

#include "windowsupport/UserDialogs.h"
#include "protocol/CameraError.h"
#include "protocol/Logging.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFrame>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QSemaphore>
#include <QTimer>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

#include <deque>
#include <memory>

namespace qzr {

namespace {
int g_waiting = 0;
// Depth of user actions under way (runReported).
int g_actions = 0;
// The running action was cancelled by closing a window: it ends quietly.
bool g_cancelledByClose = false;

// How long an exchange may keep the windows from repainting: one frame.
constexpr int kUnpaintedWaitMs = 15;
// How long a wait goes unremarked before the busy cursor and the status show.
constexpr int kUnremarkedWaitMs = 400;

// What arrived by itself while an operation waited, oldest first.
struct Arrival
{
    QPointer<QObject> context;
    std::function<void()> handler;
};
std::deque<Arrival> g_arrivals;
bool g_handlingPosted = false;

void handleArrivals()
{
    g_handlingPosted = false;
    // A handler may itself wait (a ping started by a timer tick): what
    // arrives meanwhile joins the queue, and the rest waits for the end.
    while (!g_arrivals.empty() && !operationWaiting()) {
        Arrival next = std::move(g_arrivals.front());
        g_arrivals.pop_front();
        if (next.context)
            next.handler();
    }
}

// The operation is still on the stack when its wait ends; the queue is
// handled once the event loop turns again.
void postHandlingOfArrivals()
{
    if (g_handlingPosted || g_arrivals.empty())
        return;
    g_handlingPosted = true;
    QTimer::singleShot(0, handleArrivals);
}

// ---------------------------------------------------------------------------
// User input made during a wait, delivered once the operation has ended.

struct HeldInput
{
    QPointer<QObject> receiver;
    std::unique_ptr<QEvent> event;
};
std::deque<HeldInput> g_heldInput;
bool g_replayPosted = false;
bool g_replaying = false;

// The top-level widget an input event was sent to, directly or through its
// window.
QWidget *topLevelOf(QObject *receiver)
{
    if (auto *widget = qobject_cast<QWidget *>(receiver))
        return widget->window();
    if (auto *window = qobject_cast<QWindow *>(receiver)) {
        const QWidgetList tops = QApplication::topLevelWidgets();
        for (QWidget *top : tops) {
            if (top->windowHandle() == window)
                return top;
        }
    }
    return nullptr;
}

// A modal window opened since the input was made blocks it, as it would
// have blocked the input itself.
bool blockedByModalWindow(QObject *receiver)
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal)
        return false;
    QWidget *top = topLevelOf(receiver);
    return !top || (top != modal && !modal->isAncestorOf(top));
}

void deliverOne(HeldInput held)
{
    if (!held.receiver || blockedByModalWindow(held.receiver))
        return;
    if (held.event->type() == QEvent::Close) {
        // A close asked of a widget is carried out by close() itself; one
        // from the window system goes to its window as it came.
        if (auto *widget = qobject_cast<QWidget *>(held.receiver.data())) {
            widget->close();
            return;
        }
    }
    QCoreApplication::sendEvent(held.receiver, held.event.get());
}

void replayHeldInput()
{
    g_replayPosted = false;
    if (g_replaying)
        return;
    g_replaying = true;
    // Each event may start an operation of its own: what is made during its
    // waits queues behind the rest, and the rest waits for its end.
    while (!g_heldInput.empty() && !operationWaiting() && g_actions == 0) {
        HeldInput next = std::move(g_heldInput.front());
        g_heldInput.pop_front();
        deliverOne(std::move(next));
    }
    g_replaying = false;
}

void postReplayOfHeldInput()
{
    if (g_replayPosted || g_heldInput.empty() || operationWaiting() || g_actions > 0)
        return;
    g_replayPosted = true;
    QTimer::singleShot(0, replayHeldInput);
}

bool isHeldInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
        return true;
    default:
        return false;
    }
}

// Pointer movement of the past is not worth delivering late.
bool isDroppedInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseMove:
    case QEvent::TabletMove:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// The status of a wait that lasts.

class WaitStatus : public QFrame
{
public:
    WaitStatus(QWidget *window, QString camera, std::function<void()> cancel)
        : QFrame(window), m_camera(std::move(camera))
    {
        setObjectName(QStringLiteral("WaitStatus"));
        setFrameShape(QFrame::StyledPanel);
        setAutoFillBackground(true);
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(8, 4, 8, 4);
        m_text = new QLabel(this);
        m_text->setObjectName(QStringLiteral("WaitText"));
        m_text->setTextFormat(Qt::PlainText);
        layout->addWidget(m_text, 1);
        m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
        m_cancel->setObjectName(QStringLiteral("WaitCancel"));
        m_cancel->setCursor(Qt::ArrowCursor);
        layout->addWidget(m_cancel);
        QObject::connect(m_cancel, &QPushButton::clicked, this, [cancel] { cancel(); });
        m_clock.start();
        showSecondsWaited();
        const int height = sizeHint().height();
        setGeometry(0, window->height() - height, window->width(), height);
        raise();
        show();
    }

    QPushButton *cancelButton() const { return m_cancel; }

    void showSecondsWaited()
    {
        m_text->setText(QStringLiteral("Waiting for %1 - %2 s").arg(m_camera).arg(m_clock.elapsed() / 1000));
    }

private:
    QString m_camera;
    QElapsedTimer m_clock;
    QLabel *m_text = nullptr;
    QPushButton *m_cancel = nullptr;
};

QPointer<WaitStatus> g_status;

// The window the user works in: the active one, else the main window.
QWidget *windowOfTheOperation()
{
    if (QWidget *active = QApplication::activeWindow())
        return active;
    const QWidgetList tops = QApplication::topLevelWidgets();
    for (QWidget *top : tops) {
        if (top->isVisible() && qobject_cast<QMainWindow *>(top))
            return top;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// One wait: holds user input back, lets Escape, the status's "Cancel" and
// window closes through to cancel the request, and shows the wait once it
// lasts.

class WaitGate : public QObject
{
public:
    WaitGate(QString camera, std::function<void()> cancel)
        : m_camera(std::move(camera)), m_cancel(std::move(cancel))
    {
        ++g_waiting;
        qApp->installEventFilter(this);
        m_tick.setInterval(kUnremarkedWaitMs);
        QObject::connect(&m_tick, &QTimer::timeout, this, [this] { remark(); });
        m_tick.start();
    }

    ~WaitGate() override
    {
        qApp->removeEventFilter(this);
        delete g_status.data();
        if (m_busyCursor)
            QApplication::restoreOverrideCursor();
        if (--g_waiting == 0) {
            postHandlingOfArrivals();
            postReplayOfHeldInput();
        }
    }

    bool cancelled() const { return m_cancelled; }

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::Close)
            return holdClose(receiver, event);
        if (isDroppedInput(type))
            return !isOnCancelButton(receiver, event);
        if (!isHeldInput(type))
            return false;
        if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
            if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && m_cancel) {
                if (type == QEvent::KeyPress)
                    cancel(false);
                return true;
            }
        }
        if (isOnCancelButton(receiver, event))
            return false;
        g_heldInput.push_back({receiver, std::unique_ptr<QEvent>(event->clone())});
        return true;
    }

private:
    void remark()
    {
        if (!m_busyCursor) {
            m_busyCursor = true;
            QApplication::setOverrideCursor(Qt::BusyCursor);
            if (m_cancel && !m_camera.isEmpty()) {
                if (QWidget *window = windowOfTheOperation())
                    g_status = new WaitStatus(window, m_camera, [this] { cancel(false); });
            }
            m_tick.setInterval(1000);
        }
        if (g_status)
            g_status->showSecondsWaited();
    }

    void cancel(bool closing)
    {
        if (!m_cancel)
            return;
        if (!m_cancelled)
            qCInfo(lcApp).noquote() << "request to" << m_camera << (closing ? "cancelled by closing a window" : "cancelled");
        m_cancelled = true;
        g_cancelledByClose = g_cancelledByClose || closing;
        m_cancel();
    }

    // A window closed during the wait cancels the request and closes once
    // the operation has ended.
    bool holdClose(QObject *receiver, QEvent *event)
    {
        auto *widget = qobject_cast<QWidget *>(receiver);
        const bool window = qobject_cast<QWindow *>(receiver) || (widget && widget->isWindow()
            && (widget->windowType() == Qt::Window || widget->windowType() == Qt::Dialog));
        if (!window)
            return false;
        event->ignore();
        cancel(true);
        g_heldInput.push_back({receiver, std::unique_ptr<QEvent>(event->clone())});
        return true;
    }

    bool isOnCancelButton(QObject *receiver, QEvent *event) const
    {
        if (!g_status)
            return false;
        QPushButton *button = g_status->cancelButton();
        if (receiver == button)
            return true;
        auto *window = qobject_cast<QWindow *>(receiver);
        if (!window || window != button->window()->windowHandle())
            return false;
        if (!event->isPointerEvent())
            return false;
        // A release belongs to the button that took the press.
        if (event->type() == QEvent::MouseButtonRelease && button->isDown())
            return true;
        const auto *pointer = static_cast<QSinglePointEvent *>(event);
        QWidget *top = button->window();
        QWidget *under = top->childAt(pointer->position().toPoint());
        return under && (under == button || button->isAncestorOf(under));
    }

    QString m_camera;
    std::function<void()> m_cancel;
    QTimer m_tick;
    bool m_busyCursor = false;
    bool m_cancelled = false;
};

// Runs work on a worker thread; this thread processes window events (user
// input goes through the wait's gate) once the work takes longer than a frame.
template <typename Result>
Result waitOnWorker(const std::function<Result()> &work)
{
    QSemaphore done;
    QFuture<Result> future = QtConcurrent::run([&work, &done] {
        Result result = work();
        done.release();
        return result;
    });
    // A camera on the local network answers well within a frame: then there
    // is nothing to repaint for and no event loop is entered.
    if (!done.tryAcquire(1, kUnpaintedWaitMs)) {
        QFutureWatcher<Result> watcher;
        QEventLoop loop;
        QObject::connect(&watcher, &QFutureWatcher<Result>::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(future);
        if (!watcher.isFinished())
            loop.exec();
    }
    return future.result();
}

} // namespace

bool operationWaiting()
{
    return g_waiting > 0;
}

QWidget *waitingStatus()
{
    return g_status.data();
}

HttpReply runWithoutFreezing(const CameraSession::Waited &waited, const std::function<HttpReply()> &exchange)
{
    WaitGate gate(waited.camera, waited.cancel);
    HttpReply reply = waitOnWorker<HttpReply>(exchange);
    if (gate.cancelled()) {
        // The answer came too late: the operation still ends here.
        reply.ok = false;
        reply.failure = RequestFailure::Cancelled;
        reply.errorText = QStringLiteral("Cancelled");
    }
    return reply;
}

void runWorkWithoutFreezing(const std::function<void()> &work)
{
    WaitGate gate(QString(), nullptr);
    waitOnWorker<bool>([&work] {
        work();
        return true;
    });
}

void handleWhenIdle(QObject *context, std::function<void()> handler)
{
    if (!operationWaiting() && g_arrivals.empty()) {
        handler();
        return;
    }
    g_arrivals.push_back({context, std::move(handler)});
    if (!operationWaiting())
        postHandlingOfArrivals();
}

void pauseWithoutFreezing(int pause_ms)
{
    if (pause_ms <= 0)
        return;
    WaitGate gate(QString(), nullptr);
    QEventLoop loop;
    QTimer::singleShot(pause_ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool runReported(const std::function<void()> &action)
{
    struct ActionScope
    {
        ActionScope()
        {
            if (g_actions++ == 0)
                g_cancelledByClose = false;
        }
        ~ActionScope()
        {
            if (--g_actions == 0)
                postReplayOfHeldInput();
        }
    } scope;
    try {
        action();
        return true;
    } catch (const CameraError &error) {
        qCInfo(lcApp).noquote() << "operation failed:" << error.text();
        // The user closed the window: no message keeps it open.
        if (!g_cancelledByClose)
            dialogs().showError(withFinalPeriod(error.text()));
    } catch (const std::exception &error) {
        dialogs().showError(withFinalPeriod(QString::fromLocal8Bit(error.what())));
    }
    return false;
}

} // namespace qzr
