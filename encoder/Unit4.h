#pragma once
#include <QWidget>

// The password confirmation window of "Set to Camera".
class TForm4 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm4(QWidget *parent = nullptr);
    ~TForm4() override;
};

extern TForm4 *Form4;
