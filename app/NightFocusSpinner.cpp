#include "app/NightFocusSpinner.h"

#include "lens/FocusRequests.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSpinBox>

using namespace qzr::lens;

NightFocusSpinner::NightFocusSpinner(QWidget *parent)
    : QSpinBox(parent)
{
    setRange(kNightFocusMin, kNightFocusMax);
    setValue(kNightFocusMin);
    setWrapping(false);
    // The position moves by clicks only; the camera's value is shown beside it.
    lineEdit()->setReadOnly(true);
}

void NightFocusSpinner::stepBy(int steps)
{
    if (steps == 0)
        return;
    // One position per click, whatever the wheel or a modifier asked for;
    // the base keeps it within the range.
    QSpinBox::stepBy(steps > 0 ? 1 : -1);
    emit clicked(value());
}

QAbstractSpinBox::StepEnabled NightFocusSpinner::stepEnabled() const
{
    // A click at an end still counts: the camera's value may differ.
    return StepUpEnabled | StepDownEnabled;
}

void NightFocusSpinner::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        QStyleOptionSpinBox option;
        initStyleOption(&option);
        const QStyle::SubControl hit =
            style()->hitTestComplexControl(QStyle::CC_SpinBox, &option, event->position().toPoint(), this);
        if (hit == QStyle::SC_SpinBoxUp || hit == QStyle::SC_SpinBoxDown) {
            event->accept();
            stepBy(hit == QStyle::SC_SpinBoxUp ? 1 : -1);
            return;
        }
    }
    QSpinBox::mousePressEvent(event);
}

void NightFocusSpinner::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        event->accept();
        stepBy(event->key() == Qt::Key_Up ? 1 : -1);
        return;
    }
    QSpinBox::keyPressEvent(event);
}
