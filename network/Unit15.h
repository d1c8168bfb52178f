#pragma once
#include <QWidget>

class QLabel;

// "IP Settings": the camera's own network settings.
class TForm15 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm15(QWidget *parent = nullptr);
    ~TForm15() override;

    QLabel *Label7;   // the current camera address
    QLabel *Label8;   // the camera's MAC address
};

extern TForm15 *Form15;
