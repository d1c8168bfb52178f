#pragma once
#include <QString>
#include <Qt>

class QLineEdit;

namespace qzr {

// A tooltip that shows text (a camera's, perhaps) as it is: Qt would take
// text that looks like markup for rich text. Cut as shownText cuts messages.
QString plainToolTip(const QString &text);

// Masks a password field with "*" whatever the platform's style would use.
void maskWithStars(QLineEdit *field);

} // namespace qzr
