#pragma once
#include <QWidget>

#include "ui_Unit4.h"

// "Setting Password": asks for the setting password before running "Set to
// Camera". Created hidden; it acts only when "Enter" is pressed.
class TForm4 : public QWidget, public Ui::TForm4
{
    Q_OBJECT

public:
    explicit TForm4(QWidget *parent = nullptr);
    ~TForm4() override;

    // "Enter": a wrong password is refused, the right one runs "Set to
    // Camera"; either way the field is emptied and the window closes.
    void Button1Click();
};

extern TForm4 *Form4;
