#pragma once
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Multicast Setup": starts and stops a channel's multicast stream and shows
// it in the CAM 3 window.
class TForm14 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm14(QWidget *parent = nullptr);
    ~TForm14() override;

    // The start button's caption is the stream state.
    bool isStreaming() const;

    void ComboBox1Change();   // channel choice: the channel's defaults
    void Button1Click();      // start or stop

    QLabel *Label1, *Label2, *Label3, *Label4;
    QComboBox *ComboBox1;
    QLineEdit *Edit1, *Edit2;
    QPushButton *Button1;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void startStream();
    void stopStream();

    QString m_streamingChannel; // the channel whose stream was started
};

extern TForm14 *Form14;
