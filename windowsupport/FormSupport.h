#pragma once
#include <QString>
#include <Qt>

class QWidget;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qzr {

// A child control with its object name (the name tests and other windows use).
template<typename Widget>
Widget *makeControl(QWidget *parent, const char *name, int x, int y, int w, int h)
{
    auto *control = new Widget(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(x, y, w, h);
    return control;
}

// A tooltip that shows text (a camera's, perhaps) as it is: Qt would take
// text that looks like markup for rich text. Cut as shownText cuts messages.
QString plainToolTip(const QString &text);

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, int x, int y, int w, int h);
// The caption is shown as written ("AVP B&W"): "&" is doubled, since Qt
// would take it as a shortcut mark.
QPushButton *makeButton(QWidget *parent, const char *name, const QString &text, int x, int y, int w, int h);

// A control without a caption of its own is announced by its label's text.
void nameAfterLabel(QWidget *control, const QLabel *label);

// Masks a password field with "*" whatever the platform's style would use.
void maskWithStars(QLineEdit *field);

} // namespace qzr
