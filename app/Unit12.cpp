#include "app/Unit12.h"

#include "protocol/ShownText.h"

#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit5.h"
#include "app/Unit12.h"
#include "windowsupport/Operation.h"
#include "encoder/EncoderRead.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QSignalBlocker>

#include <algorithm>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

TForm12 *Form12 = nullptr;

using namespace qzr::encoder;
using qzr::settingsfile::LineEnding;

namespace {

QColor colourOf(const Rgb &rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}

// Puts a read value into a main-window combo as text only: neither its
// selected item nor its change handler is touched.
void showText(QComboBox *combo, const QString &text)
{
    if (!combo)
        return;
    const QSignalBlocker quiet(combo);
    combo->setEditText(text);
}

void setVisible(QWidget *widget, const std::optional<bool> &visible)
{
    if (widget && visible)
        widget->setVisible(*visible);
}

// Applies what an encoder read reports to the page, the main window's
// encoder panel and progress bar, and the settings text.
class PageObserver : public EncoderReadObserver
{
public:
    PageObserver(TForm12 &page, int encoder)
        : m_page(page), m_column(page.column(encoder)), m_isEncoder1(encoder == kFirstEncoder)
    {
    }

    void onReadStarted(int encoder, bool clearsSettingsText) override
    {
        if (clearsSettingsText && Form5)
            Form5->clearSettingsText();
        paintCodec(kCodecReadColour);
        m_page.ProgressBar1->setMaximum(kPageProgressMaximum);
        m_page.ProgressBar1->setValue(0);
        if (encoder == kFirstEncoder) {
            Form1->ProgressBar1->setMaximum(kMainProgressMaximumForEncoder1);
            Form1->ProgressBar1->setValue(0);
        }
    }

    void onSelectEncoder(int encoder) override
    {
        const QSignalBlocker quiet(Form1->ComboBox1);
        Form1->ComboBox1->setCurrentIndex(encoder - kFirstEncoder);
    }

    void onValue(EncoderKey key, const QString &value) override
    {
        switch (key) {
        case EncoderKey::Type:
            m_column.type->setText(qzr::shownText(value));
            showText(Form1->ComboBox11, value);
            break;
        case EncoderKey::Quality:
            m_column.jpegSize->setText(qzr::shownText(value));
            showText(Form1->ComboBox12, value);
            // "Set to Camera" sends the JPEG size the panel shows for this
            // encoder, not one chosen earlier for another.
            Form1->EncoderValues.jpegQualityToken = value;
            break;
        case EncoderKey::Bitrate:
            m_column.bitrate->setText(qzr::shownText(value));
            showText(Form1->ComboBox5, value);
            showSetterText(Form1->ComboBox13, value);
            break;
        case EncoderKey::FrameSize:
            m_column.frameSize->setText(qzr::shownText(value));
            showText(Form1->ComboBox2, value);
            break;
        case EncoderKey::CbrMode:
            m_column.cbrMode->setText(qzr::shownText(value));
            showText(Form1->ComboBox4, value);
            break;
        case EncoderKey::IFrameInterval:
            m_column.iframeInterval->setText(qzr::shownText(value));
            showText(Form1->ComboBox6, value);
            showSetterText(Form1->ComboBox7, value);
            break;
        case EncoderKey::FrameRate:
            m_column.frameRate->setText(qzr::shownText(value));
            showText(Form1->ComboBox3, value);
            showSetterText(Form1->ComboBox14, value);
            break;
        }
    }

    void onMarkedOff() override
    {
        showText(Form1->ComboBox11, codecText(Codec::Off));
        paintCodec(kCodecOffColour);
    }

    void onCodecRules(const EncoderReadRules &rules) override
    {
        setVisible(m_column.jpegSize, rules.pageJpegSizeVisible);
        setVisible(m_column.bitrate, rules.pageBitrateVisible);
        setVisible(m_column.iframeInterval, rules.pageIFrameVisible);
        setVisible(m_page.Label6, rules.pageIFrameRowLabelVisible);
        setVisible(Form1->ComboBox5, rules.bitrateComboVisible);
        setVisible(Form1->ComboBox12, rules.jpegQualityComboVisible);
        setVisible(Form1->ComboBox6, rules.iframeComboVisible);
        setVisible(Form1->Label11, rules.iframeComboVisible);
        if (m_isEncoder1) {
            if (rules.setterBitrateEnabled)
                Form1->ComboBox13->setEnabled(*rules.setterBitrateEnabled);
            if (rules.setterIFrameEnabled)
                Form1->ComboBox7->setEnabled(*rules.setterIFrameEnabled);
        }
    }

    void onSettingsItem(const QString &item, LineEnding ending) override
    {
        if (Form5)
            Form5->appendSettingsItem(item, ending);
    }

    void onStep(bool mainBarFollows) override
    {
        QProgressBar *bar = m_page.ProgressBar1;
        bar->setValue(std::min(bar->value() + 1, bar->maximum()));
        if (mainBarFollows)
            Form1->ProgressBar1->setValue(std::min(bar->value() + 1, Form1->ProgressBar1->maximum()));
    }

    void onReadFinished(const EncoderReadRules &rules) override
    {
        if (!rules.emptiesValueBoxesAtEnd)
            return;
        for (QLineEdit *box : {m_column.jpegSize, m_column.bitrate, m_column.frameSize, m_column.cbrMode,
                               m_column.iframeInterval, m_column.frameRate})
            box->clear();
    }

private:
    // The encoder 1 setters show what the camera holds, as text only.
    void showSetterText(QComboBox *combo, const QString &text) const
    {
        if (m_isEncoder1)
            showText(combo, text);
    }

    // ComboBox11 keeps its white bold text; only the background changes.
    static void paintCodec(const Rgb &rgb)
    {
        QComboBox *codec = Form1->ComboBox11;
        QPalette palette = codec->palette();
        palette.setColor(QPalette::Base, colourOf(rgb));
        palette.setColor(QPalette::Button, colourOf(rgb));
        codec->setPalette(palette);
    }

    TForm12 &m_page;
    const TForm12::Column &m_column;
    const bool m_isEncoder1;
};

// Passes everything on to the page and keeps the values of the read.
class CollectingObserver : public EncoderReadObserver
{
public:
    CollectingObserver(EncoderReadObserver &page, int encoder) : m_page(page) { m_settings.encoder = encoder; }

    void onReadStarted(int encoder, bool clearsSettingsText) override
    {
        m_page.onReadStarted(encoder, clearsSettingsText);
    }
    void onSelectEncoder(int encoder) override { m_page.onSelectEncoder(encoder); }
    void onValue(EncoderKey key, const QString &value) override
    {
        m_page.onValue(key, value);
        settingsField(m_settings, key) = value;
    }
    void onMarkedOff() override { m_page.onMarkedOff(); }
    void onCodecRules(const EncoderReadRules &rules) override { m_page.onCodecRules(rules); }
    void onSettingsItem(const QString &item, LineEnding ending) override { m_page.onSettingsItem(item, ending); }
    void onStep(bool mainBarFollows) override { m_page.onStep(mainBarFollows); }
    void onReadFinished(const EncoderReadRules &rules) override { m_page.onReadFinished(rules); }

    const EncoderSettings &settings() const { return m_settings; }

private:
    EncoderReadObserver &m_page;
    EncoderSettings m_settings;
};

} // namespace

TForm12::TForm12(QWidget *parent)
    : QWidget(parent)
{
    Form12 = this;
    // Stays on top, with the system menu and a minimize box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    // Unit12.ui holds the controls.
    setupUi(this);
    move(240, 140);

    // Rows: type, Bit/s (JPEG size in the same place), resolution, bitrate
    // handling, I-frame interval, frame rate.
    m_columns = {{
        {Edit1, Edit2, Edit7, Edit3, Edit4, Edit6, Edit5},
        {Edit8, Edit13, Edit9, Edit10, Edit11, Edit12, Edit14},
        {Edit15, Edit16, Edit17, Edit18, Edit19, Edit20, Edit21},
    }};

    qzr::connectReported(Button1, &QPushButton::clicked, this, &TForm12::Button1Click);
    qzr::connectReported(Button2, &QPushButton::clicked, this, &TForm12::Button2Click);
    qzr::connectReported(Button3, &QPushButton::clicked, this, &TForm12::Button3Click);
    qzr::connectReported(Button4, &QPushButton::clicked, this, &TForm12::Button4Click);
}

TForm12::~TForm12()
{
    if (Form12 == this)
        Form12 = nullptr;
}

void TForm12::Button1Click()
{
    // A failure ends the whole refresh where it happens.
    for (int encoder = kFirstEncoder; encoder <= kLastEncoder; ++encoder)
        readEncoder(encoder);
}

void TForm12::Button2Click()
{
    readEncoder(1);
}

void TForm12::Button3Click()
{
    readEncoder(2);
}

void TForm12::Button4Click()
{
    readEncoder(3);
}

EncoderSettings TForm12::showEncoder(int encoder)
{
    return readEncoder(encoder);
}

EncoderSettings TForm12::readEncoder(int encoder)
{
    Form1->ApplyConnection();
    PageObserver page(*this, encoder);
    CollectingObserver observer(page, encoder);
    qzr::encoder::readEncoder(Form1->session(), encoder, observer);
    return observer.settings();
}
