#pragma once
#include <QString>
#include <QStringList>

namespace qzr::settingsfile {

// Whether an appended item ends its line.
enum class LineEnding { EndLine, KeepLineOpen };

// The settings text: what the settings window's memo holds and what is saved
// to the settings file. The encoder reads append to it item by item.
class SettingsText
{
public:
    // Adds the item to the end of the text; with EndLine the line is then
    // ended, so that every item is a line of its own and an empty item an
    // empty line (the lines keep their numbers). An item never brings a line
    // break of its own: it is cut at its first CR or LF.
    void append(const QString &item, LineEnding ending = LineEnding::EndLine);
    // Ends the open line (the one a KeepLineOpen item left).
    void endLine() { m_text += kLineBreak; }
    void clear() { m_text.clear(); }

    // The whole text, lines separated by CR LF.
    const QString &text() const { return m_text; }
    bool isEmpty() const { return m_text.isEmpty(); }
    bool endsWithLineBreak() const { return m_text.endsWith(kLineBreak); }

    // The lines as the memo counts them: a final line break starts no line.
    QStringList lines() const;

    static inline const QString kLineBreak = QStringLiteral("\r\n");

private:
    QString m_text;
};

// Line numbers of the settings file (counted from 1). Encoder k's block of
// seven lines begins at 7 * (k - 1) + 1: lines 1, 8 and 15.
inline constexpr int kEncoderBlockLength = 7;
inline constexpr int encoderBlockStart(int encoder) { return kEncoderBlockLength * (encoder - 1) + 1; }
// Offsets inside an encoder block.
inline constexpr int kMarkerOffset = 0;          // "encoder1" ...
inline constexpr int kCodecOffset = 1;           // encode(k).type
inline constexpr int kBitrateOrSizeOffset = 2;   // quality for "jpeg", else bitrate
inline constexpr int kFrameSizeOffset = 3;       // encode(k).framesize
inline constexpr int kCbrModeOffset = 4;         // encode(k).cbr_mode
inline constexpr int kIFrameIntervalOffset = 5;  // encode(k).iframeinterval
inline constexpr int kFrameRateOffset = 6;       // encode(k).framerate
inline constexpr int kEncoderLineCount = 3 * kEncoderBlockLength;
inline constexpr int kSceneMarkerLine = 22;      // "KameraSettings"
inline constexpr int kSceneNumberLine = 23;
inline constexpr int kFileLineCount = 36;
inline constexpr char kEncoderMarkerPrefix[] = "encoder";
inline constexpr char kSceneMarker[] = "KameraSettings";

static_assert(encoderBlockStart(2) == 8 && encoderBlockStart(3) == 15);
static_assert(kSceneMarkerLine == kEncoderLineCount + 1);

// "encoder1", "encoder2", "encoder3".
QString encoderMarker(int encoder);

} // namespace qzr::settingsfile
