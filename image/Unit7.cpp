#include "image/Unit7.h"

#include "app/FormSupport.h"

TForm7 *Form7 = nullptr;

TForm7::TForm7(QWidget *parent)
    : QWidget(parent)
{
    Form7 = this;
    setObjectName(QStringLiteral("Form7"));
    qzr::setUpForm(this, QStringLiteral("Camera Video Settings"), qzr::FormStyle::Normal, false, 150, 120, 640, 600);
}

TForm7::~TForm7()
{
    if (Form7 == this)
        Form7 = nullptr;
}
