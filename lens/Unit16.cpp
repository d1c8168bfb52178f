#include "lens/Unit16.h"

#include "app/FormSupport.h"

TForm16 *Form16 = nullptr;

TForm16::TForm16(QWidget *parent)
    : QWidget(parent)
{
    Form16 = this;
    setObjectName(QStringLiteral("Form16"));
    qzr::setUpForm(this, QStringLiteral("FOCUS"), qzr::FormStyle::Normal, false, 300, 200, 360, 300);
}

TForm16::~TForm16()
{
    if (Form16 == this)
        Form16 = nullptr;
}
