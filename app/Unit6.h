#pragma once
#include <QPointer>

class TLiveViewer;
#include <QWidget>

#include "ui_Unit6.h"

// "1920x1080 CAM 3": the borderless window that carries the live view over
// the main window's picture area and can go full screen.
// Unit6.ui holds the controls; the window keeps its viewer as a QPointer,
// since releasing the viewer deletes it.
class TForm6 : public QWidget, private Ui::TForm6
{
    Q_OBJECT

public:
    static constexpr int kLeft = 20;
    static constexpr int kTop = 150;
    static constexpr int kClientWidth = 642;
    static constexpr int kClientHeight = 362;

    explicit TForm6(QWidget *parent = nullptr);
    ~TForm6() override;

    // A fresh CAM 3 window with a fresh viewer for a new view; it becomes
    // Form6. Earlier instances that are hidden and whose viewer has been
    // released (or never started) go away.
    static TForm6 *createForView();

    // "Fullscreen": the picture at the camera's frame size over a whole monitor.
    void Button1Click();
    // "VGA": back to the normal size and place.
    void Button2Click();

    // Releases the window's viewer, if it has one.
    void ReleaseViewer();

    using Ui::TForm6::Button1;   // "Fullscreen"
    using Ui::TForm6::Button2;   // "VGA"
    QPointer<TLiveViewer> LiveViewer1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

public:
    // Makes the given widget this window's viewer (at 0, 0, hidden until a
    // view starts); the window watches it for the enter event.
    void adoptViewer(TLiveViewer *viewer);
};

extern TForm6 *Form6;
