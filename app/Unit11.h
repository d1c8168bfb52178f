#pragma once
#include <QWidget>

#include "ui_Unit11.h"

// "Digital Zoom": zooms the camera while a button is held.
class TForm11 : public QWidget, public Ui::TForm11
{
    Q_OBJECT

public:
    explicit TForm11(QWidget *parent = nullptr);
    ~TForm11() override;

    // Mouse press on "Zoom in" / "Zoom out": the camera starts zooming.
    void Button1MouseDown();
    void Button2MouseDown();
    // Click of either button: the camera stops zooming.
    void ButtonClick();

    // Unit11.ui: Label1 (the warning), Button1 "Zoom in", Button2 "Zoom out".

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startZoom(const char *direction);
    void stopIfStillZooming();

    // A start was sent and no stop yet: the camera is zooming.
    bool m_zooming = false;
};

extern TForm11 *Form11;
