#pragma once
#include <QPointer>

class TLiveViewer;
#include <QWidget>

#include "ui_Unit9.h"

// "Full HD 1920x1080": the full HD viewer window.
// Unit9.ui holds the viewers; the window keeps them as QPointer, since closing
// the window deletes them.
class TForm9 : public QWidget, private Ui::TForm9
{
    Q_OBJECT

public:
    explicit TForm9(QWidget *parent = nullptr);
    ~TForm9() override;

    QPointer<TLiveViewer> LiveViewer1;

protected:
    void closeEvent(QCloseEvent *event) override;
};

extern TForm9 *Form9;
