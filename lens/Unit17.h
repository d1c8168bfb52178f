#pragma once
#include <QWidget>

// Recording to the camera's SD card.
class TForm17 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm17(QWidget *parent = nullptr);
    ~TForm17() override;
};

extern TForm17 *Form17;
