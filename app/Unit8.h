#pragma once
#include <QPointer>

class TLiveViewer;
#include <QWidget>

#include "ui_Unit8.h"

// "MultiStreaming Demo": two pictures side by side.
// Unit8.ui holds the viewers; the window keeps them as QPointer, since closing
// the window deletes them.
class TForm8 : public QWidget, private Ui::TForm8
{
    Q_OBJECT

public:
    explicit TForm8(QWidget *parent = nullptr);
    ~TForm8() override;

    QPointer<TLiveViewer> LiveViewer1;   // the small picture
    QPointer<TLiveViewer> LiveViewer2;   // the large picture

protected:
    void closeEvent(QCloseEvent *event) override;
};

extern TForm8 *Form8;
