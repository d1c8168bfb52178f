#pragma once
#include <QPointer>

class TLiveViewer;
#include <QWidget>

// "Full HD 1920x1080": the full HD viewer window.
class TForm9 : public QWidget
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
