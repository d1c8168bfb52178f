#pragma once
#include <QWidget>

class QPushButton;

// "1920x1080 CAM 3": the borderless window that carries the live view over
// the main window's picture area and can go full screen.
class TForm6 : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kLeft = 20;
    static constexpr int kTop = 150;
    static constexpr int kClientWidth = 642;
    static constexpr int kClientHeight = 362;

    explicit TForm6(QWidget *parent = nullptr);
    ~TForm6() override;

    // "VGA": back to the normal size and place.
    void Button2Click();

    // Releases the window's viewer, if it has one.
    void ReleaseViewer();

    QPushButton *Button1;   // "Fullscreen"
    QPushButton *Button2;   // "VGA"
    QWidget *LiveViewer1 = nullptr;
};

extern TForm6 *Form6;
