#include "encoder/Unit12.h"

#include "app/FormSupport.h"

TForm12 *Form12 = nullptr;

TForm12::TForm12(QWidget *parent)
    : QWidget(parent)
{
    Form12 = this;
    setObjectName(QStringLiteral("Form12"));
    qzr::setUpForm(this, QStringLiteral("Encoder Setting Info Page"), qzr::FormStyle::Normal, false, 240, 140, 560, 330);
}

TForm12::~TForm12()
{
    if (Form12 == this)
        Form12 = nullptr;
}
