#pragma once
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// "ONVIF Settings": fields without behaviour.
class TForm10 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm10(QWidget *parent = nullptr);
    ~TForm10() override;

    QLabel *Label1, *Label2, *Label3;
    QLineEdit *Edit1, *Edit2, *Edit3;
    QPushButton *Button1;
};

extern TForm10 *Form10;
