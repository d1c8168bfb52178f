#include "network/Unit14.h"

#include "app/FormSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TForm14 *Form14 = nullptr;

TForm14::TForm14(QWidget *parent)
    : QWidget(parent)
{
    Form14 = this;
    setObjectName(QStringLiteral("Form14"));
    qzr::setUpForm(this, QStringLiteral("Multicast Setup"), qzr::FormStyle::NoBorderIcons, true, 700, 420, 300, 190);
    Label4 = qzr::makeLabel(this, "Label4", QStringLiteral("Channel"), 12, 14, 110, 22);
    ComboBox1 = qzr::makeControl<QComboBox>(this, "ComboBox1", 130, 12, 150, 24);
    ComboBox1->setEditable(true);
    ComboBox1->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    ComboBox1->setEditText(QStringLiteral("1"));
    Label1 = qzr::makeLabel(this, "Label1", QStringLiteral("Multicast IP"), 12, 44, 110, 22);
    Edit1 = qzr::makeControl<QLineEdit>(this, "Edit1", 130, 42, 150, 24);
    Edit1->setText(QStringLiteral("225.0.1.1"));
    Label2 = qzr::makeLabel(this, "Label2", QStringLiteral("Multicast Port"), 12, 74, 110, 22);
    Edit2 = qzr::makeControl<QLineEdit>(this, "Edit2", 130, 72, 150, 24);
    Edit2->setText(QStringLiteral("49152"));
    Label3 = qzr::makeLabel(this, "Label3", QStringLiteral("Make sure the channel is enabled !"), 12, 104, 270, 22);
    Button1 = qzr::makeButton(this, "Button1", QStringLiteral("Set and START Multicast Stream"), 12, 140, 270, 32);
    qzr::nameAfterLabel(ComboBox1, Label4);
    qzr::nameAfterLabel(Edit1, Label1);
    qzr::nameAfterLabel(Edit2, Label2);
}

TForm14::~TForm14()
{
    if (Form14 == this)
        Form14 = nullptr;
}

bool TForm14::isStreaming() const
{
    return Button1->text() == QLatin1String("STOP Multicast Stream");
}
