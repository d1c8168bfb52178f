#include "app/Unit13.h"

#include "app/FormSupport.h"

TForm13 *Form13 = nullptr;

TForm13::TForm13(QWidget *parent)
    : QWidget(parent)
{
    Form13 = this;
    setObjectName(QStringLiteral("Form13"));
    qzr::setUpForm(this, QStringLiteral("Service Page"), qzr::FormStyle::Borderless, true, 548, 108, 617, 786);
}

TForm13::~TForm13()
{
    if (Form13 == this)
        Form13 = nullptr;
}
