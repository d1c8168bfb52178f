#pragma once
#include <QWidget>

// The full HD viewer window.
class TForm9 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm9(QWidget *parent = nullptr);
    ~TForm9() override;
};

extern TForm9 *Form9;
