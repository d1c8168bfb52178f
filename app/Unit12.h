#pragma once
#include "encoder/EncoderRead.h"

#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The settings of the camera's three encoders, side by side. Its encoder
// reads are the one way the tool loads an encoder's settings: they fill the
// page, the main window's encoder panel and the settings text.
class TForm12 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm12(QWidget *parent = nullptr);
    ~TForm12() override;

    // Procedures other windows run; a failed request throws CameraError.
    void Button1Click(); // "REFRESH ALL": encoders 1, 2 and 3
    void Button2Click(); // "Encoder 1"
    void Button3Click(); // "Encoder2"
    void Button4Click(); // "Encoder3"

    // Reads encoder n (1 to 3) as the buttons do, filling the page and the
    // main window's panel, and returns what the camera reported.
    qzr::encoder::EncoderSettings showEncoder(int encoder);

    // One column per encoder; the JPEG size box shares the Bit/s place.
    struct Column
    {
        QLineEdit *type;
        QLineEdit *bitrate;
        QLineEdit *jpegSize;
        QLineEdit *frameSize;
        QLineEdit *cbrMode;
        QLineEdit *iframeInterval;
        QLineEdit *frameRate;
    };
    const Column &column(int encoder) const { return m_columns.at(std::size_t(encoder - 1)); }

    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6, *Edit7, *Edit8, *Edit9, *Edit10, *Edit11,
        *Edit12, *Edit13, *Edit14, *Edit15, *Edit16, *Edit17, *Edit18, *Edit19, *Edit20, *Edit21;
    QLabel *Label6; // row label "I-Frame Interval"
    QProgressBar *ProgressBar1;
    QPushButton *Button1, *Button2, *Button3, *Button4;

private:
    qzr::encoder::EncoderSettings readEncoder(int encoder);

    std::array<Column, 3> m_columns{};
};

extern TForm12 *Form12;
