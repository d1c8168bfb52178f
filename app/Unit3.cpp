#include "app/Unit3.h"

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
    // Unit3.ui holds the controls; the window's flags and place are set here.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint
                   | Qt::WindowStaysOnTopHint);
    setupUi(this);
    move(380, 300);
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
