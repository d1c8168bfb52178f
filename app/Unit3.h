#pragma once
#include <QWidget>

#include "ui_Unit3.h"

// "IP Setup": where the user enters the address of the camera to work with.
class TForm3 : public QWidget, public Ui::TForm3
{
    Q_OBJECT

public:
    explicit TForm3(QWidget *parent = nullptr);
    ~TForm3() override;

    // "Save Settings": make the address the main window's camera and read it.
    void Button1Click();
};

extern TForm3 *Form3;
