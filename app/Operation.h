#pragma once
#include "protocol/ParamClient.h"

#include <QString>
#include <functional>

class QObject;

namespace qzr {

// The application title, shown in the task bar and on error boxes.
inline const QString &applicationTitle()
{
    static const QString title = QStringLiteral("Terelle QZ-R Series Setting Tool");
    return title;
}

// Runs one blocking camera exchange on a worker thread while this thread
// processes window events except user input: the windows stay painted, and
// keys and clicks made meanwhile are delivered afterwards, in order.
HttpReply runWithoutFreezing(const std::function<HttpReply()> &exchange);

// Runs other blocking work (an ICMP echo, a name lookup) on a worker thread
// the same way.
void runWorkWithoutFreezing(const std::function<void()> &work);

// Waits pause_ms milliseconds the same way.
void pauseWithoutFreezing(int pause_ms);

// True while an operation is waiting on the camera or pausing. Things that
// arrive by themselves meanwhile (timer ticks, datagrams) are queued and
// handled after the operation.
bool operationWaiting();

// Handles something that arrived by itself: at once when no operation is
// waiting, otherwise queued and handled in order of arrival once the
// operation has ended and the event loop turns again. Dropped when context
// is gone by then.
void handleWhenIdle(QObject *context, std::function<void()> handler);

// Runs a user action; a failure ends it and is shown by the error report.
// Returns false when the action failed.
bool runReported(const std::function<void()> &action);

} // namespace qzr
