#include "app/Unit8.h"

#include "windowsupport/TLiveViewer.h"

#include <QCloseEvent>

TForm8 *Form8 = nullptr;

TForm8::TForm8(QWidget *parent)
    : QWidget(parent)
{
    setWindowFlags(Qt::Window);
    setupUi(this);
    move(3, 161);
    LiveViewer1 = Ui::TForm8::LiveViewer1;
    LiveViewer2 = Ui::TForm8::LiveViewer2;
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
