#pragma once
#include <QWidget>

// An empty stay-on-top window that nothing shows.
class TForm2 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm2(QWidget *parent = nullptr);
    ~TForm2() override;
};

extern TForm2 *Form2;
