#include "app/Operation.h"

#include "app/UserDialogs.h"
#include "protocol/CameraError.h"
#include "protocol/Logging.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QPointer>
#include <QSemaphore>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <deque>

namespace qzr {

namespace {
int g_waiting = 0;

// How long an exchange may keep the windows from repainting: one frame.
constexpr int kUnpaintedWaitMs = 15;

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

struct WaitingScope
{
    WaitingScope() { ++g_waiting; }
    ~WaitingScope()
    {
        if (--g_waiting == 0)
            postHandlingOfArrivals();
    }
};
} // namespace

bool operationWaiting()
{
    return g_waiting > 0;
}

HttpReply runWithoutFreezing(const std::function<HttpReply()> &exchange)
{
    WaitingScope scope;
    // A camera on the local network answers well within a frame: then there
    // is nothing to repaint for and no event loop is entered. A slower answer
    // is waited for with the windows painted and user input held back.
    QSemaphore answered;
    QFuture<HttpReply> future = QtConcurrent::run([&exchange, &answered] {
        HttpReply reply = exchange();
        answered.release();
        return reply;
    });
    if (!answered.tryAcquire(1, kUnpaintedWaitMs)) {
        QFutureWatcher<HttpReply> watcher;
        QEventLoop loop;
        QObject::connect(&watcher, &QFutureWatcher<HttpReply>::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(future);
        if (!watcher.isFinished())
            loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return future.result();
}

void runWorkWithoutFreezing(const std::function<void()> &work)
{
    runWithoutFreezing([&work] {
        work();
        return HttpReply();
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
    WaitingScope scope;
    QEventLoop loop;
    QTimer::singleShot(pause_ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool runReported(const std::function<void()> &action)
{
    try {
        action();
        return true;
    } catch (const CameraError &error) {
        qCInfo(lcApp).noquote() << "operation failed:" << error.text();
        dialogs().showError(withFinalPeriod(error.text()));
    } catch (const std::exception &error) {
        dialogs().showError(withFinalPeriod(QString::fromLocal8Bit(error.what())));
    }
    return false;
}

} // namespace qzr
