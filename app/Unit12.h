#pragma once
#include "encoder/EncoderRead.h"

#include <QWidget>

#include <array>

#include "ui_Unit12.h"

// The settings of the camera's three encoders, side by side. Its encoder
// reads are the one way the tool loads an encoder's settings: they fill the
// page, the main window's encoder panel and the settings text.
class TForm12 : public QWidget, public Ui::TForm12
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

    // Unit12.ui holds the controls: the boxes Edit1..Edit21 (columns as
    // m_columns lists them), the headings and row labels (Label6 is the row
    // label "I-Frame Interval"), ProgressBar1 and Button1..Button4.

private:
    qzr::encoder::EncoderSettings readEncoder(int encoder);

    std::array<Column, 3> m_columns{};
};

extern TForm12 *Form12;
