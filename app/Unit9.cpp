#include "app/Unit9.h"

#include "app/FormSupport.h"

TForm9 *Form9 = nullptr;

TForm9::TForm9(QWidget *parent)
    : QWidget(parent)
{
    Form9 = this;
    setObjectName(QStringLiteral("Form9"));
    qzr::setUpForm(this, QStringLiteral("Full HD 1920x1080"), qzr::FormStyle::Normal, true, 46, 603, 638, 393);
}

TForm9::~TForm9()
{
    if (Form9 == this)
        Form9 = nullptr;
}
