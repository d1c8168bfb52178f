#pragma once
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Multicast Setup": starts and stops a channel's multicast stream.
class TForm14 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm14(QWidget *parent = nullptr);
    ~TForm14() override;

    // The start button's caption is the stream state.
    bool isStreaming() const;

    QLabel *Label1, *Label2, *Label3, *Label4;
    QComboBox *ComboBox1;
    QLineEdit *Edit1, *Edit2;
    QPushButton *Button1;
};

extern TForm14 *Form14;
