#include "settingsfile/Unit5.h"

#include "app/FormSupport.h"

TForm5 *Form5 = nullptr;

TForm5::TForm5(QWidget *parent)
    : QWidget(parent)
{
    Form5 = this;
    setObjectName(QStringLiteral("Form5"));
    qzr::setUpForm(this, QStringLiteral("Save/Load Camera Settings"), qzr::FormStyle::Normal, false, 200, 150, 520, 560);
}

TForm5::~TForm5()
{
    if (Form5 == this)
        Form5 = nullptr;
}
