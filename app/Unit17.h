#pragma once
#include <QWidget>

#include "ui_Unit17.h"

// "SD Card Settings": which encoder feeds the camera's SD card, whether the
// card and constant recording are on, and the card's capacity. Every choice
// is sent at once; the window reads back only the capacity, and its status
// labels show what was last sent. Created hidden; shown from the main
// window's menu.
class TForm17 : public QWidget, public Ui::TForm17
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

    // Unit17.ui: ComboBox1 to ComboBox3 (the lists), Panel1 with the guidance
    // Label1 to Label5, Label6 to Label11 (captions and status), Button1.
};

extern TForm17 *Form17;
