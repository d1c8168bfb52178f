#include "app/Unit2.h"

#include "windowsupport/FormSupport.h"

TForm2 *Form2 = nullptr;

TForm2::TForm2(QWidget *parent)
    : QWidget(parent)
{
    Form2 = this;
    setObjectName(QStringLiteral("Form2"));
    qzr::setUpForm(this, QStringLiteral("1920x1080 CAM 1"), qzr::FormStyle::Normal, true, 100, 100, 640, 360);
}

TForm2::~TForm2()
{
    if (Form2 == this)
        Form2 = nullptr;
}
