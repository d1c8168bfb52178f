#include "app/Unit9.h"

#include "windowsupport/FormSupport.h"
#include "windowsupport/ViewerStart.h"
#include "windowsupport/TLiveViewer.h"

#include <QCloseEvent>

TForm9 *Form9 = nullptr;

TForm9::TForm9(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form9"));
    qzr::setUpForm(this, QStringLiteral("Full HD 1920x1080"), qzr::FormStyle::Normal, true, 46, 603, 638, 393);
    LiveViewer1 = qzr::createViewer(this, "LiveViewer1", 0, 0, 633, 369);
    // The newest instance is the full HD window.
    Form9 = this;
}

TForm9::~TForm9()
{
    if (Form9 == this)
        Form9 = nullptr;
}

void TForm9::closeEvent(QCloseEvent *event)
{
    // Closing releases the viewer; the window only hides.
    delete LiveViewer1.data();
    event->accept();
}
