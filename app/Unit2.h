#pragma once
#include <QWidget>

#include "ui_Unit2.h"

// An empty stay-on-top window that nothing shows.
class TForm2 : public QWidget, public Ui::TForm2
{
    Q_OBJECT

public:
    explicit TForm2(QWidget *parent = nullptr);
    ~TForm2() override;
};

extern TForm2 *Form2;
