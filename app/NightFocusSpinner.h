#pragma once
#include <QSpinBox>

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
