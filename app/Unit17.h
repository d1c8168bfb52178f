#pragma once
#include <QWidget>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

// "SD Card Settings": which encoder feeds the camera's SD card, whether the
// card and constant recording are on, and the card's capacity. Every choice
// is sent at once; the window reads back only the capacity, and its status
// labels show what was last sent. Created hidden; shown from the main
// window's menu.
class TForm17 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm17(QWidget *parent = nullptr);
    ~TForm17() override;

    // A list entry chosen, by its position; a position outside the list
    // (text typed over the prompt) sends nothing.
    void ComboBox1Change(int position); // recording source encoder
    void ComboBox2Change(int position); // card status
    void ComboBox3Change(int position); // constant recording
    // "Check SD Card capacity".
    void Button1Click();

    QComboBox *ComboBox1, *ComboBox2, *ComboBox3;
    QFrame *Panel1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5;
    QLabel *Label6, *Label7, *Label8, *Label9, *Label10, *Label11;
    QPushButton *Button1;
};

extern TForm17 *Form17;
