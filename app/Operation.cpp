#include "app/Operation.h"

#include "app/UserDialogs.h"
#include "protocol/CameraError.h"
#include "protocol/Logging.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace qzr {

namespace {
int g_waiting = 0;

struct WaitingScope
{
    WaitingScope() { ++g_waiting; }
    ~WaitingScope() { --g_waiting; }
};
} // namespace

bool operationWaiting()
{
    return g_waiting > 0;
}

HttpReply runWithoutFreezing(const std::function<HttpReply()> &exchange)
{
    WaitingScope scope;
    QFutureWatcher<HttpReply> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<HttpReply>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run(exchange));
    if (!watcher.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return watcher.result();
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
