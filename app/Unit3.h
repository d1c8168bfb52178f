#pragma once
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// "IP Setup": where the user enters the address of the camera to work with.
class TForm3 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm3(QWidget *parent = nullptr);
    ~TForm3() override;

    // "Save Settings": make the address the main window's camera and read it.
    void Button1Click();

    QLabel *Label1, *Label4;
    QLineEdit *Edit1;
    QPushButton *Button1;
};

extern TForm3 *Form3;
