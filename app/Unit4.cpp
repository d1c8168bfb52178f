#include "app/Unit4.h"

#include "windowsupport/FormSupport.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit4.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QProgressBar>

TForm4 *Form4 = nullptr;

namespace {

// The password the setting window accepts.
const QString kSettingPassword = QStringLiteral("kqm");

// Masks the field with "*" whatever the platform's style would use.
class StarMaskStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TForm4::TForm4(QWidget *parent)
    : QWidget(parent)
{
    Form4 = this;
    setObjectName(QStringLiteral("Form4"));
    qzr::setUpForm(this, QStringLiteral("Setting Password"), qzr::FormStyle::SingleBorderNoIcons, true, 420, 320, 260, 110);

    Label1 = qzr::makeLabel(this, "Label1", QStringLiteral("Password  :"), 16, 20, 80, 24);
    Edit1 = qzr::makeControl<QLineEdit>(this, "Edit1", 100, 18, 140, 26);
    auto *mask = new StarMaskStyle;
    mask->setParent(Edit1);
    Edit1->setStyle(mask);
    Edit1->setEchoMode(QLineEdit::Password);
    Edit1->setText(kSettingPassword);
    qzr::nameAfterLabel(Edit1, Label1);
    Button1 = qzr::makeButton(this, "Button1", QStringLiteral("Enter"), 100, 62, 90, 30);

    qzr::connectReported(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
}

TForm4::~TForm4()
{
    if (Form4 == this)
        Form4 = nullptr;
}

void TForm4::Button1Click()
{
    Form1->replyLog().clear();
    if (Edit1->text() != kSettingPassword)
        qzr::dialogs().showMessage(QStringLiteral("wrong password"));
    else
        Form1->Button3Click();
    Edit1->clear();
    close();
}
