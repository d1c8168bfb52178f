#include "app/Unit10.h"

#include "windowsupport/FormSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TForm10 *Form10 = nullptr;

TForm10::TForm10(QWidget *parent)
    : QWidget(parent)
{
    Form10 = this;
    setObjectName(QStringLiteral("Form10"));
    qzr::setUpForm(this, QStringLiteral("ONVIF Settings"), qzr::FormStyle::SystemMenuOnly, false, 300, 260, 360, 170);
    Label1 = qzr::makeLabel(this, "Label1", QStringLiteral("Current IP address"), 12, 14, 140, 22);
    Edit1 = qzr::makeControl<QLineEdit>(this, "Edit1", 160, 12, 180, 24);
    Edit1->setText(QStringLiteral("192.168.0.2"));
    Label2 = qzr::makeLabel(this, "Label2", QStringLiteral("New IP address"), 12, 44, 140, 22);
    Edit2 = qzr::makeControl<QLineEdit>(this, "Edit2", 160, 42, 180, 24);
    Edit2->setText(QStringLiteral("192.168.0.2"));
    Label3 = qzr::makeLabel(this, "Label3", QStringLiteral("Password"), 12, 74, 140, 22);
    Edit3 = qzr::makeControl<QLineEdit>(this, "Edit3", 160, 72, 180, 24);
    Edit3->setText(QStringLiteral("kqm"));
    qzr::nameAfterLabel(Edit1, Label1);
    qzr::nameAfterLabel(Edit2, Label2);
    qzr::nameAfterLabel(Edit3, Label3);
    Button1 = qzr::makeButton(this, "Button1", QStringLiteral("Set IP address of selected Camera "), 12, 116, 328, 30);
}

TForm10::~TForm10()
{
    if (Form10 == this)
        Form10 = nullptr;
}
