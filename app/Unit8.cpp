#include "app/Unit8.h"

#include "windowsupport/FormSupport.h"
#include "windowsupport/ViewerStart.h"
#include "windowsupport/TLiveViewer.h"

#include <QCloseEvent>

TForm8 *Form8 = nullptr;

TForm8::TForm8(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form8"));
    qzr::setUpForm(this, QStringLiteral("MultiStreaming Demo"), qzr::FormStyle::Normal, false, 3, 161, 1500, 732);
    LiveViewer1 = qzr::createViewer(this, "LiveViewer1", 0, 0, 633, 361);
    LiveViewer2 = qzr::createViewer(this, "LiveViewer2", 632, 0, 1281, 721);
    // The newest instance is the multistream window.
    Form8 = this;
}

TForm8::~TForm8()
{
    if (Form8 == this)
        Form8 = nullptr;
}

void TForm8::closeEvent(QCloseEvent *event)
{
    // Closing releases both viewers, the small one first; the window hides.
    delete LiveViewer1.data();
    delete LiveViewer2.data();
    event->accept();
}
