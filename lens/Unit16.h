#pragma once
#include <QWidget>

// Focus adjustment.
class TForm16 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm16(QWidget *parent = nullptr);
    ~TForm16() override;
};

extern TForm16 *Form16;
