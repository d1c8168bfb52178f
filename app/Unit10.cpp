#include "app/Unit10.h"

TForm10 *Form10 = nullptr;

TForm10::TForm10(QWidget *parent)
    : QWidget(parent)
{
    Form10 = this;
    // Unit10.ui holds the controls; the window's flags and place are set here.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint);
    setupUi(this);
    move(300, 260);
}

TForm10::~TForm10()
{
    if (Form10 == this)
        Form10 = nullptr;
}
