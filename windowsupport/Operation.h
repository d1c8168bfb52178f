#pragma once
#include "protocol/CameraSession.h"

#include <QObject>
#include <QString>
#include <functional>

class QObject;
class QWidget;

namespace qzr {

// The application title, shown in the task bar and on error boxes.
inline const QString &applicationTitle()
{
    static const QString title = QStringLiteral("Terelle QZ-R Series Setting Tool");
    return title;
}

// Runs one blocking camera exchange on a worker thread while this thread
// processes window events except user input: the windows stay painted, and
// keys and clicks made meanwhile are delivered once the operation has ended,
// in order. A wait that lasts shows a busy cursor and, in the active window,
// a status naming the camera and the seconds waited with a "Cancel" button;
// that button or Escape cancels the request, and so does closing a window
// (which then closes once the operation has ended). A cancelled exchange
// returns a reply failed as cancelled.
HttpReply runWithoutFreezing(const CameraSession::Waited &waited, const std::function<HttpReply()> &exchange);

// Runs other blocking work (an ICMP echo, a name lookup) on a worker thread
// the same way.
void runWorkWithoutFreezing(const std::function<void()> &work);

// Waits pause_ms milliseconds the same way.
void pauseWithoutFreezing(int pause_ms);

// True while an operation is waiting on the camera or pausing. Things that
// arrive by themselves meanwhile (timer ticks, datagrams) are queued and
// handled after the operation.
bool operationWaiting();

// The waiting status shown in a window while an operation waits on a camera
// (nullptr when none is shown).
QWidget *waitingStatus();

// Handles something that arrived by itself: at once when no operation is
// waiting, otherwise queued and handled in order of arrival once the
// operation has ended and the event loop turns again. Dropped when context
// is gone by then.
void handleWhenIdle(QObject *context, std::function<void()> handler);

// Runs a user action; a failure ends it and is shown by the error report
// (not when the user cancelled it by closing a window). Returns false when the
// action failed. Input held back during its waits is delivered after it.
bool runReported(const std::function<void()> &action);

// Runs a window's handler as a user action (runReported) whenever the
// control's signal fires: connectReported(Button3, &QPushButton::clicked,
// this, &TForm1::Button3Click).
template <typename Control, typename Signal, typename Window>
QMetaObject::Connection connectReported(Control *control, Signal signal, Window *window, void (Window::*handler)())
{
    return QObject::connect(control, signal, window,
                            [window, handler] { runReported([window, handler] { (window->*handler)(); }); });
}

} // namespace qzr
