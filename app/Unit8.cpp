#include "app/Unit8.h"

#include "app/FormSupport.h"

TForm8 *Form8 = nullptr;

TForm8::TForm8(QWidget *parent)
    : QWidget(parent)
{
    Form8 = this;
    setObjectName(QStringLiteral("Form8"));
    qzr::setUpForm(this, QStringLiteral("MultiStreaming Demo"), qzr::FormStyle::Normal, false, 3, 161, 1500, 732);
}

TForm8::~TForm8()
{
    if (Form8 == this)
        Form8 = nullptr;
}
