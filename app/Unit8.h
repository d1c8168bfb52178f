#pragma once
#include <QPointer>

class TLiveViewer;
#include <QWidget>

// "MultiStreaming Demo": two pictures side by side.
class TForm8 : public QWidget
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
