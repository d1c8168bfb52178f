// The main window's encoder panel: one encoder at a time, its working
// values, "Set to Camera", the encoder 1 setters and the special settings.
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit12.h"
#include "encoder/CodecRules.h"
#include "encoder/EncoderRequests.h"
#include "encoder/EncoderTables.h"
#include "encoder/SpecialSettings.h"
#include "encoder/WriteCheck.h"
#include "windowsupport/FormSupport.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"

#include <QCoreApplication>
#include <QSignalBlocker>

#include <utility>

using namespace qzr;

void TForm1::bindEncoderPanel()
{
    using namespace qzr::encoder;

    // Each list shows its prompt over no chosen item (setupUi chooses none
    // after everything else, which empties the text).
    const std::pair<QComboBox *, const char *> prompts[] = {
        {ComboBox1, kEncoderNumberCombo.prompt}, {ComboBox11, kCodecCombo.prompt},
        {ComboBox2, kFrameSizeCombo.prompt},     {ComboBox3, kFrameRateCombo.prompt},
        {ComboBox4, kModeCombo.prompt},          {ComboBox5, kBitrateCombo.prompt},
        {ComboBox12, kJpegQualityCombo.prompt},  {ComboBox6, kIFrameIntervalCombo.prompt},
        {ComboBox13, kSetterBitrateCombo.prompt}, {ComboBox14, kSetterFrameRateCombo.prompt},
        {ComboBox7, kSetterIFrameCombo.prompt},
    };
    for (const auto &[combo, prompt] : prompts)
        combo->setEditText(QString::fromLatin1(prompt));

    // Only a user's choice is a change: items the encoder read selects do
    // not come back here, and texts it writes into the setter combos are no
    // choice either.
    const std::pair<QComboBox *, void (TForm1::*)()> choices[] = {
        {ComboBox1, &TForm1::ComboBox1Change},   {ComboBox11, &TForm1::ComboBox11Change},
        {ComboBox12, &TForm1::ComboBox12Change}, {ComboBox2, &TForm1::ComboBox2Change},
        {ComboBox3, &TForm1::ComboBox3Change},   {ComboBox4, &TForm1::ComboBox4Change},
        {ComboBox5, &TForm1::ComboBox5Change},   {ComboBox6, &TForm1::ComboBox6Change},
        {ComboBox13, &TForm1::ComboBox13Change},
    };
    for (const auto &[box, handler] : choices)
        connectReported(box, &QComboBox::activated, this, handler);
    const std::pair<QAbstractButton *, void (TForm1::*)()> buttons[] = {
        {Button3, &TForm1::Button3Click},     {Button24, &TForm1::Button24Click},
        {Button25, &TForm1::Button25Click},   {Button1, &TForm1::Button1Click},
        {CheckBox1, &TForm1::CheckBox1Click}, {CheckBox2, &TForm1::CheckBox2Click},
        {CheckBox3, &TForm1::CheckBox3Click}, {Button6, &TForm1::Button6Click},
    };
    for (const auto &[button, handler] : buttons)
        connectReported(button, &QAbstractButton::clicked, this, handler);
}

namespace {

void applyChange(QWidget *control, const qzr::encoder::ControlChange &change)
{
    if (change.visible)
        control->setVisible(*change.visible);
    if (change.enabled)
        control->setEnabled(*change.enabled);
    if (change.selectItem) {
        if (auto *combo = qobject_cast<QComboBox *>(control)) {
            const QSignalBlocker quiet(combo);
            combo->setCurrentIndex(combo->findText(*change.selectItem));
        }
    }
}

} // namespace

void TForm1::ComboBox11Change()
{
    using namespace qzr::encoder;
    const auto chosenText = valueAt(kCodecCombo.items, ComboBox11->currentIndex());
    const CodecChoiceEffects effects =
        codecChoiceEffects(chosenText ? codecFromText(*chosenText) : std::nullopt);
    applyChange(Button3, effects.setToCameraButton);
    applyChange(Button7, effects.fullScreenButton);
    if (effects.codecWorkingValue)
        EncoderValues.codec = *effects.codecWorkingValue;
    if (effects.frameSizeWorkingValue)
        EncoderValues.frameSize = *effects.frameSizeWorkingValue;
    if (effects.iframeWorkingValue)
        EncoderValues.iframeInterval = *effects.iframeWorkingValue;
    applyChange(ComboBox5, effects.bitrateCombo);
    applyChange(ComboBox6, effects.iframeCombo);
    // The box's label comes and goes with it.
    if (effects.iframeCombo.visible)
        Label11->setVisible(*effects.iframeCombo.visible);
    applyChange(ComboBox4, effects.modeCombo);
    applyChange(ComboBox12, effects.jpegQualityCombo);
    applyChange(ComboBox2, effects.frameSizeCombo);
    applyChange(ComboBox1, effects.encoderNumberCombo);
}

void TForm1::ComboBox12Change()
{
    // The camera's token by position: "120K" is sent as "120k".
    if (const auto token = qzr::encoder::valueAt(qzr::encoder::kJpegQualityTokens, ComboBox12->currentIndex()))
        EncoderValues.jpegQualityToken = *token;
}

void TForm1::ComboBox2Change()
{
    EncoderValues.frameSize = ComboBox2->currentText();
}

void TForm1::ComboBox3Change()
{
    EncoderValues.frameRate = ComboBox3->currentText();
}

void TForm1::ComboBox4Change()
{
    EncoderValues.mode = ComboBox4->currentText();
}

void TForm1::ComboBox5Change()
{
    EncoderValues.bitrate = ComboBox5->currentText();
}

void TForm1::ComboBox6Change()
{
    EncoderValues.iframeInterval = ComboBox6->currentText();
}

void TForm1::ComboBox1Change()
{
    ComboBox2->show();
    const int index = ComboBox1->currentIndex();
    if (index < 0 || index >= qzr::encoder::kEncoderCount)
        return;
    EncoderValues.encoderNumber = ComboBox1->currentText();
    switch (index + qzr::encoder::kFirstEncoder) {
    case 1:
        Form12->Button2Click();
        break;
    case 2:
        Form12->Button3Click();
        break;
    default:
        Form12->Button4Click();
        break;
    }
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->setCurrentIndex(index);
}

void TForm1::Button3Click()
{
    ProgressBar1->setValue(0);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    // The working values are refreshed from what the combos show; the JPEG
    // quality token only comes from a choice in ComboBox12.
    encoder::WorkingValues &values = EncoderValues;
    values.codec = ComboBox11->currentText();
    values.encoderNumber = ComboBox1->currentText();
    values.frameSize = ComboBox2->currentText();
    values.frameRate = ComboBox3->currentText();
    values.mode = ComboBox4->currentText();
    if (values.codec != QLatin1String("jpeg"))
        values.bitrate = ComboBox5->currentText();
    values.iframeInterval = ComboBox6->currentText();

    // A codec the camera does not know, or a JPEG size never chosen, sends
    // nothing: say so instead of reporting a setting that never happened.
    values = encoder::valuesToSend(values);
    const encoder::PreparedRequest request = encoder::setToCameraRequest(values);
    if (request.isRefused()) {
        dialogs().showMessage(request.refusal());
        return;
    }

    ProgressBar1->setValue(0);
    ProgressBar1->setMaximum(7);
    m_replyLog.clear();
    ApplyConnection();
    const QStringList refused = encoder::setToCameraRefusedKeys(m_session, request, values.encoderNumber);

    // The read-back of the chosen encoder fills the panel with what the
    // camera holds; it is compared with what was sent.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    std::optional<encoder::EncoderSettings> held;
    const int chosen = ComboBox1->currentIndex();
    if (chosen >= 0 && chosen < 3 && ComboBox1->currentText() == ComboBox1->itemText(chosen))
        held = Form12->showEncoder(chosen + 1);
    const QList<encoder::UntakenSetting> untaken = encoder::untakenSettings(
        encoder::setToCameraValues(values), refused, held, [this](encoder::EncoderKey key) { return panelOffers(key); });
    if (!untaken.isEmpty()) {
        dialogs().showError(encoder::untakenMessage(untaken));
        return;
    }
    dialogs().showMessage(QStringLiteral("Setting Complete, you might continue now"), QPoint(500, 400));
}

QStringList TForm1::panelOffers(encoder::EncoderKey key) const
{
    auto itemsOf = [](const QComboBox *combo) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    };
    switch (key) {
    case encoder::EncoderKey::Type:
        return itemsOf(ComboBox11);
    case encoder::EncoderKey::Quality:
        return encoder::itemTexts(encoder::kJpegQualityTokens);
    case encoder::EncoderKey::Bitrate:
        return itemsOf(ComboBox5);
    case encoder::EncoderKey::FrameSize:
        return itemsOf(ComboBox2);
    case encoder::EncoderKey::CbrMode:
        return itemsOf(ComboBox4);
    case encoder::EncoderKey::IFrameInterval:
        return itemsOf(ComboBox6);
    case encoder::EncoderKey::FrameRate:
        break;
    }
    return itemsOf(ComboBox3);
}

namespace {

// Appends the items when checked; otherwise deletes the item at the
// widening's position once per item. The combo keeps showing its text even
// when the deleted item was the selected one.
void applyWidening(QComboBox *combo, const qzr::encoder::ListWidening &widening, bool checked)
{
    const QSignalBlocker quiet(combo);
    if (checked) {
        combo->addItems(widening.items);
        return;
    }
    const QString shown = combo->currentText();
    for (int i = 0; i < widening.items.size(); ++i) {
        if (combo->currentIndex() == widening.removeIndex) {
            combo->setCurrentIndex(-1);
            combo->setEditText(shown);
        }
        combo->removeItem(widening.removeIndex);
    }
}

} // namespace

void TForm1::finishSetter(const QByteArray &reply, encoder::EncoderKey key, const QString &value,
                          const QStringList &offered, bool stepToMaximum)
{
    // The read-back of encoder 1 shows what the camera holds; the bar keeps
    // the setter's range.
    const int maximum = ProgressBar1->maximum();
    const int position = ProgressBar1->value();
    const encoder::EncoderSettings held = Form12->showEncoder(1);
    ProgressBar1->setMaximum(maximum);
    ProgressBar1->setValue(position);
    const QList<encoder::UntakenSetting> untaken = encoder::untakenSettings(
        encoder::setterValues(key, value), refusedKeys(reply), held,
        [&offered](encoder::EncoderKey) { return offered; });
    if (!untaken.isEmpty()) {
        m_replyLog.clear();
        dialogs().showError(encoder::untakenMessage(untaken));
        return;
    }
    ProgressBar1->setValue(stepToMaximum ? ProgressBar1->maximum()
                                         : qMin(ProgressBar1->value() + 1, ProgressBar1->maximum()));
    m_replyLog.clear();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    dialogs().showMessage(QStringLiteral("Setting Complete, you might continue now"), QPoint(500, 400));
}

void TForm1::ComboBox13Change()
{
    // By position: the captions are kbit/s, the camera takes bit/s.
    if (const auto value = encoder::valueAt(encoder::kSetterBitrateValues, ComboBox13->currentIndex()))
        SetterBitrate = *value;
}

void TForm1::Button24Click()
{
    // With no bitrate ever chosen there is nothing sensible to send.
    const encoder::PreparedRequest request = encoder::bitrateSetterRequest(SetterBitrate);
    if (request.isRefused()) {
        dialogs().showMessage(request.refusal());
        return;
    }
    ProgressBar1->setValue(0);
    ProgressBar1->setMaximum(3);
    ApplyConnection();
    const QByteArray reply = CameraGet(request.query());
    finishSetter(reply, encoder::EncoderKey::Bitrate, SetterBitrate,
                 encoder::itemTexts(encoder::kSetterBitrateValues).mid(0, ComboBox13->count()), false);
}

void TForm1::Button25Click()
{
    ProgressBar1->setValue(0);
    ProgressBar1->setMaximum(3);
    if (const auto value = encoder::valueAt(encoder::kSetterFrameRateValues, ComboBox14->currentIndex()))
        EncoderValues.frameRate = *value;
    ApplyConnection();
    const QByteArray reply = CameraGet(encoder::frameRateSetterRequest(EncoderValues.frameRate));
    finishSetter(reply, encoder::EncoderKey::FrameRate, EncoderValues.frameRate,
                 encoder::itemTexts(encoder::kSetterFrameRateValues), true);
}

void TForm1::Button1Click()
{
    ProgressBar1->setValue(0);
    ProgressBar1->setMaximum(3);
    if (const auto value = encoder::valueAt(encoder::kSetterIFrameValues, ComboBox7->currentIndex()))
        EncoderValues.iframeInterval = *value;
    ApplyConnection();
    const QByteArray reply = CameraGet(encoder::iframeSetterRequest(EncoderValues.iframeInterval));
    finishSetter(reply, encoder::EncoderKey::IFrameInterval, EncoderValues.iframeInterval,
                 encoder::itemTexts(encoder::kSetterIFrameValues), false);
}

void TForm1::CheckBox1Click()
{
    const encoder::SpecialSettingsEffects effects =
        encoder::specialSettingsEffects(CheckBox1->isChecked(), Edit4->text());
    if (effects.lowersEncoderPanel)
        Panel2->lower();
    if (effects.raisesEncoderPanel) {
        Panel2->raise();
        Button24->raise();
        ComboBox13->raise();
    }
    if (effects.showsCheckConnection)
        CheckBox4->show();
    if (effects.serviceBoxesVisible) {
        for (QCheckBox *box : {CheckBox6, CheckBox2, CheckBox3}) {
            box->setVisible(*effects.serviceBoxesVisible);
            box->raise();
        }
    }
}

void TForm1::CheckBox2Click()
{
    applyWidening(ComboBox3, encoder::frameRateWidening(), CheckBox2->isChecked());
}

void TForm1::CheckBox3Click()
{
    const bool checked = CheckBox3->isChecked();
    applyWidening(ComboBox13, encoder::setterBitrateWidening(), checked);
    applyWidening(ComboBox5, encoder::panelBitrateWidening(), checked);
}

void TForm1::Button6Click()
{
    m_replyLog.clear();
    // User and password from the fields; the address stays the one the last
    // ApplyConnection saw.
    m_session.applyCredentialsOnly({Edit1->text(), Edit2->text(), Edit3->text(), Edit4->text()});
    for (const ParamQuery &query : encoder::encodingDumpRequests()) {
        const QByteArray body = CameraGet(query);
        const QString shown = m_replyLog.text();
        m_replyLog.setText((shown.isEmpty() ? shown : shown + QStringLiteral("\r\n")) + bodyText(body)
                           + QStringLiteral("\r\n"));
    }
}
