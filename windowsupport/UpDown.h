#pragma once
#include <QWidget>

class QToolButton;

// A spinner without a text of its own: an up and a down arrow that step a
// position within a range, stopping at its ends (no wrap), and report every
// click, also one at an end. The window decides what the position is for.
class UpDown : public QWidget
{
    Q_OBJECT

public:
    explicit UpDown(QWidget *parent = nullptr);

    // Sets the range; the position is moved into it.
    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    int position() const { return m_position; }
    void setPosition(int position); // into the range, without a click

    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

signals:
    // An arrow was clicked; position is the new (or unchanged, at an end) one.
    void clicked(int position);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void step(int delta);

    QToolButton *m_up;
    QToolButton *m_down;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
};
