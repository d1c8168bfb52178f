#include "network/Unit15.h"

#include "app/FormSupport.h"

#include <QLabel>

TForm15 *Form15 = nullptr;

TForm15::TForm15(QWidget *parent)
    : QWidget(parent)
{
    Form15 = this;
    setObjectName(QStringLiteral("Form15"));
    qzr::setUpForm(this, QStringLiteral("IP Settings"), qzr::FormStyle::Normal, false, 260, 160, 520, 420);
    Label7 = qzr::makeLabel(this, "Label7", QString(), 16, 16, 240, 22);
    Label8 = qzr::makeLabel(this, "Label8", QString(), 16, 44, 240, 22);
}

TForm15::~TForm15()
{
    if (Form15 == this)
        Form15 = nullptr;
}
