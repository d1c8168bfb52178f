#pragma once
#include <QWidget>

#include "ui_Unit10.h"

// "ONVIF Settings": fields without behaviour.
class TForm10 : public QWidget, public Ui::TForm10
{
    Q_OBJECT

public:
    explicit TForm10(QWidget *parent = nullptr);
    ~TForm10() override;
};

extern TForm10 *Form10;
