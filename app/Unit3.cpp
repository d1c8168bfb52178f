#include "app/Unit3.h"

#include "windowsupport/FormSupport.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "app/Unit12.h"
#include "app/Unit15.h"
#include "windowsupport/Operation.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QProgressBar>

TForm3 *Form3 = nullptr;

TForm3::TForm3(QWidget *parent)
    : QWidget(parent)
{
    Form3 = this;
    setObjectName(QStringLiteral("Form3"));
    qzr::setUpForm(this, QStringLiteral("IP Setup"), qzr::FormStyle::SingleBorderNoIcons, true, 380, 300, 420, 130);

    Label1 = qzr::makeLabel(this, "Label1", QStringLiteral("Cam 1 IP "), 16, 20, 80, 24);
    Edit1 = qzr::makeControl<QLineEdit>(this, "Edit1", 100, 18, 180, 26);
    Edit1->setText(QStringLiteral("192.168.0.57"));
    qzr::nameAfterLabel(Edit1, Label1);
    Label4 = qzr::makeLabel(this, "Label4", QStringLiteral("Please enter Port and Password on right side of this  box"), 16, 56, 390, 24);
    Button1 = qzr::makeButton(this, "Button1", QStringLiteral("Save Settings"), 290, 88, 120, 30);
    qzr::connectReported(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);

    // The window shows itself as soon as it is created.
    show();
}

TForm3::~TForm3()
{
    if (Form3 == this)
        Form3 = nullptr;
}

void TForm3::Button1Click()
{
    TForm1 *main = Form1;
    if (main->Button2->text() == QLatin1String("Stop Live Stream"))
        main->Button2Click();
    main->Button2->show();
    main->Edit1->setText(Edit1->text());
    Form12->Button2Click();
    main->Button40Click();
    main->Button41Click();
    main->Button3->show();
    if (Form15)
        Form15->Label7->setText(Edit1->text());
    main->Label24->setText(QStringLiteral("IP: ") + Edit1->text());
    close();
}
