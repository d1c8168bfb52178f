#pragma once
#include "encoder/EncoderTables.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace qzr::encoder {

// What a click of "Special Settings" does to the main window.
struct SpecialSettingsEffects
{
    // The encoder panel goes behind everything that overlaps it, so the
    // silver box and the frame-rate display buttons show.
    bool lowersEncoderPanel = false;
    // The encoder panel, the bitrate setter button and its combo come to the front.
    bool raisesEncoderPanel = false;
    // "30 fps Enable", "8000 Kbit/s Enable" and "Service"; their checked
    // state is never touched.
    std::optional<bool> serviceBoxesVisible;
    // "Check connection" is only ever shown, never hidden, by this box.
    bool showsCheckConnection = false;
};

// Checked with the service code in the password field unlocks; checked with
// any other password does nothing; unchecked locks again.
inline SpecialSettingsEffects specialSettingsEffects(bool checked, const QString &password)
{
    SpecialSettingsEffects effects;
    if (checked) {
        if (password == QLatin1String(kServiceCode)) {
            effects.lowersEncoderPanel = true;
            effects.serviceBoxesVisible = true;
            effects.showsCheckConnection = true;
        }
        return effects;
    }
    effects.raisesEncoderPanel = true;
    effects.serviceBoxesVisible = false;
    return effects;
}

// A list that a check box widens: checking appends the items; unchecking
// deletes the item at removeIndex (0-based) once per appended item, which
// takes the appended items away as long as nothing else was added.
struct ListWidening
{
    QStringList items;
    int removeIndex;
};

// "30 fps Enable" on the panel's frame-rate combo (ComboBox3).
inline ListWidening frameRateWidening()
{
    return {itemTexts(kExtraFrameRateItems), int(kFrameRateCombo.items.size())};
}

// "8000 Kbit/s Enable" on the setter's bitrate combo (ComboBox13) and the
// panel's bitrate combo (ComboBox5), in that order.
inline ListWidening setterBitrateWidening()
{
    return {itemTexts(kExtraBitrateItems), int(kSetterBitrateCombo.items.size())};
}
inline ListWidening panelBitrateWidening()
{
    return {itemTexts(kExtraBitrateItems), int(kBitrateCombo.items.size())};
}

} // namespace qzr::encoder
