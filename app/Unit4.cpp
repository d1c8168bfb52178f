#include "app/Unit4.h"

#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit4.h"
#include "windowsupport/FormSupport.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QProgressBar>

TForm4 *Form4 = nullptr;

namespace {

// The password the setting window accepts.
const QString kSettingPassword = QStringLiteral("kqm");

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
    qzr::maskWithStars(Edit1);

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
