#pragma once
#include <QWidget>

#include "ui_Unit14.h"

// "Multicast Setup": starts and stops a channel's multicast stream and shows
// it in the CAM 3 window.
class TForm14 : public QWidget, public Ui::TForm14
{
    Q_OBJECT

public:
    explicit TForm14(QWidget *parent = nullptr);
    ~TForm14() override;

    // The start button's caption is the stream state.
    bool isStreaming() const;

    void ComboBox1Change();   // channel choice: the channel's defaults
    void Button1Click();      // start or stop

    // Unit14.ui: ComboBox1 (channel), Edit1 (group), Edit2 (port), Button1
    // and their labels Label1 to Label4.

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void startStream();
    void stopStream();

    QString m_streamingChannel; // the channel whose stream was started
};

extern TForm14 *Form14;
