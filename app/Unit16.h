#pragma once
#include <QWidget>

#include "app/NightFocusSpinner.h"
#include "ui_Unit16.h"

// "FOCUS": day auto focus supervised to its end, fine focus steps, night
// focus adjustment and, for one model, the back-focus initialisation.
// Created hidden; shown from the main window's menu.
class TForm16 : public QWidget, public Ui::TForm16
{
    Q_OBJECT

public:
    explicit TForm16(QWidget *parent = nullptr);
    ~TForm16() override;

    // "Start Auto Focus Day".
    void Button1Click();
    // "Start NFA" / "Stop NFA".
    void Button2Click();
    void Button3Click();
    // "Fine plus" / "Fine minus": sent to the camera the last request
    // addressed, without taking the connection fields again.
    void Button4Click();
    void Button5Click();
    // A click of the night-focus spinner.
    void UpDown1Click();
    // Menu "Exit".
    void Exit1Click();
    // Menu "Options" > "Back Focus initialize".
    void BackFocusinitialize1Click();

    // Unit16.ui holds the controls: the menu MainMenu1 (Exit1, Options1 >
    // BackFocusinitialize1), Button1, Panel2 (Label2, ComboBox1 with the
    // fine steps, Button4, Button5), Panel1 (Label1, Button2, Button3, Edit1
    // and the night-focus spinner UpDown1).

private:
    void showFineButtons(bool shown);
    // Runs the main window's "NightFocus" and shows the value it read.
    void readNightFocus();
};

extern TForm16 *Form16;
