#pragma once
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <optional>

namespace qzr::encoder {

// The camera's three video encoders are numbered 1 to 3.
inline constexpr int kEncoderCount = 3;
inline constexpr int kFirstEncoder = 1;
inline constexpr int kLastEncoder = 3;

// An editable combo of the encoder panel or of the encoder 1 setters: the
// prompt it shows until something is chosen, and its list items.
template <std::size_t N>
struct ComboItems
{
    const char *prompt;
    std::array<const char *, N> items;
};

// ComboBox1, "Stream Number".
inline constexpr ComboItems<3> kEncoderNumberCombo{"Encoder Nr.", {"1", "2", "3"}};
// ComboBox11, "Encoder CODEC".
inline constexpr ComboItems<5> kCodecCombo{"CODEC", {"h264high", "h264baseline", "jpeg", "off", "mpeg4"}};
// ComboBox2, "Frame size".
inline constexpr ComboItems<6> kFrameSizeCombo{
    "Frame Size", {"1920x1080", "quadvga", "1280x720", "qvga", "640x360", "vga"}};
// ComboBox3, "Frame Rate ( fps )"; "30 fps Enable" appends kExtraFrameRateItems.
inline constexpr ComboItems<6> kFrameRateCombo{"Frame Rate", {"1", "2", "3", "5", "10", "15"}};
// ComboBox4, "Bitrate Mode".
inline constexpr ComboItems<3> kModeCombo{"Mode", {"cbr", "vbr", "afs"}};
// ComboBox5, "Bitrate ( JPEG size )"; "8000 Kbit/s Enable" appends kExtraBitrateItems.
inline constexpr ComboItems<12> kBitrateCombo{
    "Bitrate",
    {"64000", "128000", "256000", "384000", "512000", "768000", "1024000", "1536000", "2048000",
     "3072000", "3584000", "4096000"}};
// ComboBox12, in ComboBox5's place for JPEG; hidden until JPEG is chosen.
inline constexpr ComboItems<7> kJpegQualityCombo{
    "JPEG Quality", {"80K", "120K", "160K", "200K", "240K", "280K", "320K"}};
// ComboBox6, "I-Frame Interval".
inline constexpr ComboItems<7> kIFrameIntervalCombo{
    "I-Frame Intervall", {"5", "10", "15", "30", "60", "90", "120"}};

// ComboBox13 of "Set Bitrate only for Encoder 1": kbit/s captions, although
// the prompt says Mbps; "8000 Kbit/s Enable" appends kExtraBitrateItems.
inline constexpr ComboItems<12> kSetterBitrateCombo{
    "Bitrate (Mbps)",
    {"64", "128", "256", "384", "512", "768", "1024", "1536", "2048", "3072", "3584", "4096"}};
// ComboBox14 of "Set Framerate only for Encoder 1".
inline constexpr ComboItems<8> kSetterFrameRateCombo{
    "Frame/sec", {"1", "2", "3", "5", "10", "15 3DDNR Max.", "25", "30"}};
// ComboBox7 of "Set I-Frame Interval" (no 90, unlike the panel).
inline constexpr ComboItems<6> kSetterIFrameCombo{"I-frame Interval", {"5", "10", "15", "30", "60", "120"}};

// The camera's value for each ComboBox12 item, by position (lower-case k).
inline constexpr std::array<const char *, 7> kJpegQualityTokens{
    "80k", "120k", "160k", "200k", "240k", "280k", "320k"};

// Bit/s sent by the bitrate setter, by ComboBox13 position; positions 13 to
// 20 exist only while "8000 Kbit/s Enable" is checked.
inline constexpr std::array<const char *, 20> kSetterBitrateValues{
    "64000",   "128000",  "256000",  "384000",  "512000",  "768000",  "1024000",
    "1536000", "2048000", "3072000", "3584000", "4096000", "4608000", "5120000",
    "5632000", "6144000", "6656000", "7168000", "7680000", "8000000"};

// Frames per second sent by the frame-rate setter, by ComboBox14 position
// ("15 3DDNR Max." sends "15").
inline constexpr std::array<const char *, 8> kSetterFrameRateValues{"1", "2", "3", "5", "10", "15", "25", "30"};

// I-frame interval sent by the I-frame setter, by ComboBox7 position.
inline constexpr std::array<const char *, 6> kSetterIFrameValues{"5", "10", "15", "30", "60", "120"};

// Appended to ComboBox13 and then ComboBox5 by "8000 Kbit/s Enable"; the item
// texts are the bit/s values themselves.
inline constexpr std::array<const char *, 8> kExtraBitrateItems{
    "4608000", "5120000", "5632000", "6144000", "6656000", "7168000", "7680000", "8000000"};

// Appended to ComboBox3 by "30 fps Enable".
inline constexpr std::array<const char *, 2> kExtraFrameRateItems{"25", "30"};

// Typed into the camera password field, it unlocks "Special Settings".
inline constexpr char kServiceCode[] = "zrv";

// The parameters of one encoder, "encode(n)." followed by the suffix.
enum class EncoderKey { Type, Quality, Bitrate, FrameSize, CbrMode, IFrameInterval, FrameRate };

// "type", "quality", ... as the camera names them.
const char *keySuffix(EncoderKey key);

// "encode(2).framesize"; the number goes in as given, so a panel that still
// shows its prompt builds "encode(Encoder Nr.).framesize".
QString encoderKey(const QString &encoderNumber, EncoderKey key);
QString encoderKey(int encoder, EncoderKey key);

// The 1-based position of the value in the trimmed reply of an encoder read:
// the length of "encode(n).KEY=" plus one, so it holds for one-digit encoder
// numbers only.
inline constexpr int kTypeValueStart = 16;
inline constexpr int kQualityValueStart = 19;
inline constexpr int kBitrateValueStart = 19;
inline constexpr int kFrameSizeValueStart = 21;
inline constexpr int kCbrModeValueStart = 20;
inline constexpr int kIFrameIntervalValueStart = 26;
inline constexpr int kFrameRateValueStart = 21;
int valueStart(EncoderKey key);

// The list items of a combo as texts, for filling the widget.
template <std::size_t N>
QStringList itemTexts(const std::array<const char *, N> &items)
{
    QStringList texts;
    for (const char *item : items)
        texts << QString::fromLatin1(item);
    return texts;
}

// The table entry at a 0-based combo index (a combo's currentIndex); nothing
// for -1 (no item chosen) or an index past the table.
template <std::size_t N>
std::optional<QString> valueAt(const std::array<const char *, N> &values, int index)
{
    if (index < 0 || index >= int(N))
        return std::nullopt;
    return QString::fromLatin1(values[std::size_t(index)]);
}

} // namespace qzr::encoder
