#pragma once
#include <QString>

#include <optional>

namespace qzr::encoder {

// The five codecs the camera knows, in ComboBox11's order (codecText maps
// each to its item by position).
enum class Codec { H264High, H264Baseline, Jpeg, Off, Mpeg4 };

// The codec for its exact camera text ("h264high", ...); nothing otherwise.
std::optional<Codec> codecFromText(const QString &text);
QString codecText(Codec codec);

// Values the panel forces for a codec: JPEG runs only at full HD with "afs",
// MPEG-4 only at VGA with an I-frame interval of 30.
inline constexpr char kJpegFrameSize[] = "1920x1080";
inline constexpr char kJpegMode[] = "afs";
inline constexpr char kStreamMode[] = "cbr";
inline constexpr char kMpeg4FrameSize[] = "vga";
inline constexpr char kMpeg4IFrameInterval[] = "30";

// What to do with one control. Every empty field means "leave it as it is".
struct ControlChange
{
    std::optional<bool> visible;
    std::optional<bool> enabled;
    std::optional<QString> selectItem; // select the item with this text, without its change event
};

// The effects of choosing a codec in ComboBox11, in the order the form
// applies them: buttons, working values, then the combos.
struct CodecChoiceEffects
{
    ControlChange setToCameraButton; // Button3 "Set to Camera"
    ControlChange fullScreenButton;  // Button7 "Full Screen"
    std::optional<QString> codecWorkingValue;
    std::optional<QString> frameSizeWorkingValue;
    std::optional<QString> iframeWorkingValue;
    ControlChange bitrateCombo;       // ComboBox5
    ControlChange iframeCombo;        // ComboBox6
    ControlChange modeCombo;          // ComboBox4
    ControlChange jpegQualityCombo;   // ComboBox12
    ControlChange frameSizeCombo;     // ComboBox2
    ControlChange encoderNumberCombo; // ComboBox1
};

// The effects of a codec choice; nothing chosen (an index of -1) behaves
// like JPEG for the combos but changes no working value.
CodecChoiceEffects codecChoiceEffects(std::optional<Codec> chosen);

// A colour as red, green, blue.
struct Rgb
{
    int red;
    int green;
    int blue;
    friend bool operator==(const Rgb &a, const Rgb &b)
    {
        return a.red == b.red && a.green == b.green && a.blue == b.blue;
    }
};
// ComboBox11 turns green when an encoder read starts, red for an encoder 2
// or 3 that the camera reports "off".
inline constexpr Rgb kCodecReadColour{0, 128, 0};
inline constexpr Rgb kCodecOffColour{255, 0, 0};

// How the codec an encoder read found changes the info page and the main
// window. Empty fields leave a control as the previous read left it (the
// case for "off", "mpeg4" and any unknown text).
struct EncoderReadRules
{
    bool asksJpegSize = false; // encode(n).quality is read instead of the bitrate

    // The read encoder's column of the info page.
    std::optional<bool> pageJpegSizeVisible;
    std::optional<bool> pageBitrateVisible;
    std::optional<bool> pageIFrameVisible;
    std::optional<bool> pageIFrameRowLabelVisible; // Label6

    // The main window.
    std::optional<bool> bitrateComboVisible;       // ComboBox5
    std::optional<bool> jpegQualityComboVisible;   // ComboBox12
    std::optional<bool> iframeComboVisible;        // ComboBox6 and Label11
    std::optional<bool> setterBitrateEnabled;      // ComboBox13, encoder 1 only
    std::optional<bool> setterIFrameEnabled;       // ComboBox7, encoder 1 only

    // Encoders 2 and 3 reported "off": ComboBox11 is marked red when the type
    // arrives, and the column's value boxes are emptied when the read ends
    // (the values are still asked and appended).
    bool marksOff = false;
    bool emptiesValueBoxesAtEnd = false;
};

EncoderReadRules encoderReadRules(const QString &codec, int encoder);

} // namespace qzr::encoder
