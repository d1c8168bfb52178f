#include "app/Unit9.h"

#include "windowsupport/TLiveViewer.h"

#include <QCloseEvent>

TForm9 *Form9 = nullptr;

TForm9::TForm9(QWidget *parent)
    : QWidget(parent)
{
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
    setupUi(this);
    move(46, 603);
    LiveViewer1 = Ui::TForm9::LiveViewer1;
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
