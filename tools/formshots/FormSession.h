#pragma once
#include <QImage>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

namespace qzr {
class WindowSet;
namespace sim {
class SimThread;
}
} // namespace qzr

namespace qzr::formshots {

class ToolDialogs;

// The tool's window set as qzr-form-shots runs it: offscreen, its connection
// fields on 127.0.0.1, its questions answered by the tool (no box ever waits
// for a user; nothing is confirmed, no file is chosen) and, when asked for, a
// simulated camera on 127.0.0.1 to read from. Needs a QApplication.
class FormSession
{
public:
    FormSession();
    ~FormSession();
    FormSession(const FormSession &) = delete;
    FormSession &operator=(const FormSession &) = delete;

    // Starts the simulated camera on 127.0.0.1 (a fixed port when one is
    // free, so that the port field shows the same number in every run).
    // False when it could not listen.
    bool startCamera();
    qzr::sim::SimThread *camera() const { return m_camera.get(); }
    // True when the camera got the fixed port.
    bool cameraOnFixedPort() const { return m_fixedPort; }

    // Creates the window set (address 127.0.0.1; the camera's port when it
    // runs) and the "Find Cameras" window, without starting a search.
    void openWindows();

    // The windows in a fixed order: TForm1..TForm17 (by number), then the
    // others by name. Windows made anew for a view are left out.
    QList<QWidget *> windows() const;
    QWidget *window(const QString &name) const;

    // Shows every window (in the fixed order) and lets the events settle.
    void showAll();
    // Lets posted events, deferred refreshes and deletions run out; bounded.
    static void settle();
    // Makes no window active, so that every picture is taken in the same
    // state (inactive colours, no focus frame, no text cursor).
    static void deactivateAll();
    // The window as it paints itself, in a 32-bit format.
    static QImage picture(QWidget *window);

    // The name pictures and Designer files use: objectName, else the class.
    static QString nameOf(const QWidget *window);
    // The widget or action of that object name inside a window, else null.
    static QObject *findIn(QWidget *window, const QString &objectName);

    // Clicks a button or triggers an action of a window as the user would;
    // false when there is no such control.
    bool press(const QString &windowName, const QString &objectName);

    // Applies QZR_FORMSHOTS_SET ("Window/Object.property=value;..."): a way
    // to change a window on purpose, for checking the comparison. Returns
    // what could not be applied.
    QStringList applyPropertyOverrides(const QString &overrides);

    // What the windows reported (error boxes, messages) since the start.
    QStringList reports() const;

private:
    std::unique_ptr<qzr::sim::SimThread> m_camera;
    std::unique_ptr<ToolDialogs> m_dialogs;
    std::unique_ptr<qzr::WindowSet> m_windows;
    QList<QPointer<QWidget>> m_order;
    bool m_fixedPort = false;
};

} // namespace qzr::formshots
