#pragma once
#include <QWidget>

// The settings of the camera's three encoders.
class TForm12 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm12(QWidget *parent = nullptr);
    ~TForm12() override;
};

extern TForm12 *Form12;
