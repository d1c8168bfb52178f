#include "app/Unit2.h"

TForm2 *Form2 = nullptr;

TForm2::TForm2(QWidget *parent)
    : QWidget(parent)
{
    Form2 = this;
    // Unit2.ui holds the rest; the window's flags and place are set here.
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
    setupUi(this);
    move(100, 100);
}

TForm2::~TForm2()
{
    if (Form2 == this)
        Form2 = nullptr;
}
