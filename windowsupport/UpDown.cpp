#include "windowsupport/UpDown.h"

#include <QToolButton>

#include <algorithm>

namespace {

QToolButton *makeArrow(QWidget *parent, const char *name, Qt::ArrowType arrow, const QString &accessibleName)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setAccessibleName(accessibleName);
    return button;
}

} // namespace

UpDown::UpDown(QWidget *parent)
    : QWidget(parent),
      m_up(makeArrow(this, "up", Qt::UpArrow, QStringLiteral("Up"))),
      m_down(makeArrow(this, "down", Qt::DownArrow, QStringLiteral("Down")))
{
    connect(m_up, &QToolButton::clicked, this, [this] { step(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
}

void UpDown::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    setPosition(m_position);
}

void UpDown::setPosition(int position)
{
    m_position = std::clamp(position, m_minimum, m_maximum);
}

void UpDown::step(int delta)
{
    setPosition(m_position + delta);
    emit clicked(m_position);
}

void UpDown::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int upper = height() / 2;
    m_up->setGeometry(0, 0, width(), upper);
    m_down->setGeometry(0, upper, width(), height() - upper);
}
