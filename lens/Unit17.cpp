#include "lens/Unit17.h"

#include "app/FormSupport.h"

TForm17 *Form17 = nullptr;

TForm17::TForm17(QWidget *parent)
    : QWidget(parent)
{
    Form17 = this;
    setObjectName(QStringLiteral("Form17"));
    qzr::setUpForm(this, QStringLiteral("SD Card Settings"), qzr::FormStyle::Normal, false, 320, 220, 420, 260);
}

TForm17::~TForm17()
{
    if (Form17 == this)
        Form17 = nullptr;
}
