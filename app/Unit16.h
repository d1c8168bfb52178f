#pragma once
#include <QSpinBox>
#include <QWidget>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;

// The night-focus spinner: a target position 0..9 moved one step per click
// of its arrows (or per press of an arrow key), never past its ends. Every
// click is announced, also one at an end that could not move. Holding an
// arrow does not repeat: a click's pauses run with user input held back, so
// a repeat would arrive while the click is still at work.
class NightFocusSpinner : public QSpinBox
{
    Q_OBJECT

public:
    explicit NightFocusSpinner(QWidget *parent = nullptr);
    void stepBy(int steps) override;

signals:
    // After the position moved (or stayed at its end).
    void clicked(int position);

protected:
    StepEnabled stepEnabled() const override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

// "FOCUS": day auto focus supervised to its end, fine focus steps, night
// focus adjustment and, for one model, the back-focus initialisation.
// Created hidden; shown from the main window's menu.
class TForm16 : public QWidget
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

    QPushButton *Button1;
    QFrame *Panel2;
    QLabel *Label2;
    QComboBox *ComboBox1;
    QPushButton *Button4, *Button5;
    QFrame *Panel1;
    QLabel *Label1;
    QPushButton *Button2, *Button3;
    QLineEdit *Edit1;
    NightFocusSpinner *UpDown1;
    QMenuBar *MainMenu1;
    QAction *Exit1;
    QMenu *Options1;
    QAction *BackFocusinitialize1;

private:
    void showFineButtons(bool shown);
    // Runs the main window's "NightFocus" and shows the value it read.
    void readNightFocus();
};

extern TForm16 *Form16;
