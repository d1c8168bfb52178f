#pragma once
#include "encoder/CodecRules.h"
#include "encoder/EncoderTables.h"
#include "encoder/SettingsText.h"

#include <QString>

#include <array>

namespace qzr {
class CameraSession;
}

namespace qzr::encoder {

// The info page's progress bar runs 0..6 for each read; an encoder 1 read
// also runs the main window's bar 0..7.
inline constexpr int kPageProgressMaximum = 6;
inline constexpr int kMainProgressMaximumForEncoder1 = 7;

// What an encoder read reports, in the order the form has to apply it.
class EncoderReadObserver
{
public:
    virtual ~EncoderReadObserver() = default;

    // The read of this encoder begins: clear the settings text when asked,
    // colour ComboBox11 kCodecReadColour, reset the progress bars.
    virtual void onReadStarted(int encoder, bool clearsSettingsText)
    {
        Q_UNUSED(encoder);
        Q_UNUSED(clearsSettingsText);
    }
    // Select item n of ComboBox1 (again), without its change event.
    virtual void onSelectEncoder(int encoder) { Q_UNUSED(encoder); }
    // A value the camera replied with: its page box and panel combo text
    // (for encoder 1 also the setter combo).
    virtual void onValue(EncoderKey key, const QString &value) = 0;
    // Encoder 2 or 3 is "off": ComboBox11 shows "off" in kCodecOffColour.
    virtual void onMarkedOff() {}
    // The codec's effects on page and panel.
    virtual void onCodecRules(const EncoderReadRules &rules) { Q_UNUSED(rules); }
    // An item for the settings text.
    virtual void onSettingsItem(const QString &item, settingsfile::LineEnding ending)
    {
        Q_UNUSED(item);
        Q_UNUSED(ending);
    }
    // One step of the page's progress bar; with mainBarFollows the main
    // window's bar is set to the page's position plus one.
    virtual void onStep(bool mainBarFollows) { Q_UNUSED(mainBarFollows); }
    // The read is complete; an "off" encoder 2 or 3 empties its value boxes
    // now (rules.emptiesValueBoxesAtEnd).
    virtual void onReadFinished(const EncoderReadRules &rules) { Q_UNUSED(rules); }
};

// Reads encoder n (1 to 3) one key at a time with the default value start:
// type; the codec rules (JPEG size for "jpeg"); bitrate unless "jpeg";
// framesize; cbr_mode; iframeinterval; framerate. The caller applies the
// connection first. A failed request throws CameraError and ends the read
// there; what was reported before stays reported.
void readEncoder(CameraSession &session, int encoder, EncoderReadObserver &observer);

// "REFRESH ALL": encoders 1, 2 and 3 in this order; a failure stops it.
void readAllEncoders(CameraSession &session, EncoderReadObserver &observer);

// One encoder's settings as the camera reported them. The JPEG size is
// asked only for "jpeg", the bitrate only for the other codecs.
struct EncoderSettings
{
    int encoder = 0;
    QString type;
    QString quality;
    QString bitrate;
    QString frameSize;
    QString cbrMode;
    QString iframeInterval;
    QString frameRate;
};

// The field of `settings` that holds the value of `key`.
QString &settingsField(EncoderSettings &settings, EncoderKey key);

// The same requests in the same order as readEncoder, collected.
EncoderSettings readEncoderSettings(CameraSession &session, int encoder);
std::array<EncoderSettings, kEncoderCount> readAllEncoderSettings(CameraSession &session);

} // namespace qzr::encoder
