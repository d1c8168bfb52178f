#pragma once
#include <QWidget>

// The two-picture demonstration window.
class TForm8 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm8(QWidget *parent = nullptr);
    ~TForm8() override;
};

extern TForm8 *Form8;
