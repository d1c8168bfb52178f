#include "app/Unit6.h"

#include "app/FormSupport.h"
#include "app/Operation.h"

#include <QPushButton>

TForm6 *Form6 = nullptr;

TForm6::TForm6(QWidget *parent)
    : QWidget(parent)
{
    Form6 = this;
    setObjectName(QStringLiteral("Form6"));
    qzr::setUpForm(this, QStringLiteral("1920x1080 CAM 3"), qzr::FormStyle::Borderless, true, kLeft, kTop,
                   kClientWidth, kClientHeight);
    Button1 = qzr::makeButton(this, "Button1", QStringLiteral("Fullscreen"), 8, 8, 90, 26);
    Button1->hide();
    Button2 = qzr::makeButton(this, "Button2", QStringLiteral("VGA"), 104, 8, 90, 26);
    Button2->hide();
    connect(Button2, &QPushButton::clicked, this, [this] { qzr::runReported([this] { Button2Click(); }); });
}

TForm6::~TForm6()
{
    if (Form6 == this)
        Form6 = nullptr;
}

void TForm6::Button2Click()
{
    if (LiveViewer1)
        LiveViewer1->resize(640, 360);
    setGeometry(kLeft, kTop, kClientWidth, kClientHeight);
}

void TForm6::ReleaseViewer()
{
    delete LiveViewer1;
    LiveViewer1 = nullptr;
}
