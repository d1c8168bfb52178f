#pragma once
#include <QWidget>

class QLabel;
class QPushButton;

// "Digital Zoom": zooms the camera while a button is held.
class TForm11 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm11(QWidget *parent = nullptr);
    ~TForm11() override;

    QLabel *Label1;
    QPushButton *Button1;   // "Zoom in"
    QPushButton *Button2;   // "Zoom out"
};

extern TForm11 *Form11;
