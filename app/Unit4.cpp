#include "app/Unit4.h"

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
    // Unit4.ui holds the controls; the window's flags and place, and the
    // field's "*" mask, are set here.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint
                   | Qt::WindowStaysOnTopHint);
    setupUi(this);
    move(420, 320);
    auto *mask = new StarMaskStyle;
    mask->setParent(Edit1);
    Edit1->setStyle(mask);

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
