#pragma once
#include "protocol/ParamClient.h"

#include <QString>
#include <functional>

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

// Waits pause_ms milliseconds the same way.
void pauseWithoutFreezing(int pause_ms);

// True while an operation is waiting on the camera or pausing. Things that
// arrive by themselves meanwhile (timer ticks, datagrams) are queued and
// handled after the operation.
bool operationWaiting();

// Runs a user action; a failure ends it and is shown by the error report.
// Returns false when the action failed.
bool runReported(const std::function<void()> &action);

} // namespace qzr
