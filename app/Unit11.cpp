#include "app/Unit11.h"

#include "app/FormSupport.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

TForm11 *Form11 = nullptr;

TForm11::TForm11(QWidget *parent)
    : QWidget(parent)
{
    Form11 = this;
    setObjectName(QStringLiteral("Form11"));
    qzr::setUpForm(this, QStringLiteral("Digital Zoom"), qzr::FormStyle::Normal, true, 745, 345, 207, 175);
    Label1 = qzr::makeLabel(this, "Label1", QStringLiteral("Only working with MPEG4 picture!"), 8, 8, 195, 22);
    QPalette red = Label1->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label1->setPalette(red);
    auto *panel = qzr::makeControl<QFrame>(this, "Panel1", 8, 36, 191, 130);
    panel->setFrameShape(QFrame::Panel);
    Button1 = qzr::makeButton(panel, "Button1", QStringLiteral("Zoom in"), 20, 16, 150, 40);
    Button2 = qzr::makeButton(panel, "Button2", QStringLiteral("Zoom out"), 20, 72, 150, 40);
}

TForm11::~TForm11()
{
    if (Form11 == this)
        Form11 = nullptr;
}
