#include "encoder/Unit4.h"

#include "app/FormSupport.h"

TForm4 *Form4 = nullptr;

TForm4::TForm4(QWidget *parent)
    : QWidget(parent)
{
    Form4 = this;
    setObjectName(QStringLiteral("Form4"));
    qzr::setUpForm(this, QStringLiteral("Setting Password"), qzr::FormStyle::SingleBorderNoIcons, true, 420, 320, 260, 110);
}

TForm4::~TForm4()
{
    if (Form4 == this)
        Form4 = nullptr;
}
