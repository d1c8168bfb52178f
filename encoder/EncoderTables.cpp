#include "encoder/EncoderTables.h"

namespace qzr::encoder {

namespace {

constexpr bool sameText(const char *a, const char *b)
{
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// The setter's first twelve values are the panel's bitrate items, and its
// last eight the items the special setting appends to both combos.
constexpr bool setterBitratesMatchPanel()
{
    const std::size_t panelCount = kBitrateCombo.items.size();
    for (std::size_t i = 0; i < panelCount; ++i) {
        if (!sameText(kSetterBitrateValues[i], kBitrateCombo.items[i]))
            return false;
    }
    for (std::size_t i = 0; i < kExtraBitrateItems.size(); ++i) {
        if (!sameText(kSetterBitrateValues[panelCount + i], kExtraBitrateItems[i]))
            return false;
    }
    return panelCount + kExtraBitrateItems.size() == kSetterBitrateValues.size();
}
static_assert(setterBitratesMatchPanel(), "bitrate setter values out of step with the panel");
static_assert(kSetterBitrateCombo.items.size() == kBitrateCombo.items.size());
static_assert(kSetterFrameRateValues.size() == kSetterFrameRateCombo.items.size());
static_assert(kSetterIFrameValues.size() == kSetterIFrameCombo.items.size());
static_assert(kJpegQualityTokens.size() == kJpegQualityCombo.items.size());

constexpr std::size_t kOneDigitPrefixLength = sizeof("encode(1).") - 1;

// A read value starts right after "encode(n).KEY=" (1-based).
constexpr int oneDigitDefaultStart(const char *suffix)
{
    std::size_t length = 0;
    while (suffix[length] != '\0')
        ++length;
    return int(kOneDigitPrefixLength + length) + 2;
}
static_assert(kTypeValueStart == oneDigitDefaultStart("type"));
static_assert(kQualityValueStart == oneDigitDefaultStart("quality"));
static_assert(kBitrateValueStart == oneDigitDefaultStart("bitrate"));
static_assert(kFrameSizeValueStart == oneDigitDefaultStart("framesize"));
static_assert(kCbrModeValueStart == oneDigitDefaultStart("cbr_mode"));
static_assert(kIFrameIntervalValueStart == oneDigitDefaultStart("iframeinterval"));
static_assert(kFrameRateValueStart == oneDigitDefaultStart("framerate"));

} // namespace

const char *keySuffix(EncoderKey key)
{
    switch (key) {
    case EncoderKey::Type:
        return "type";
    case EncoderKey::Quality:
        return "quality";
    case EncoderKey::Bitrate:
        return "bitrate";
    case EncoderKey::FrameSize:
        return "framesize";
    case EncoderKey::CbrMode:
        return "cbr_mode";
    case EncoderKey::IFrameInterval:
        return "iframeinterval";
    case EncoderKey::FrameRate:
        return "framerate";
    }
    return "";
}

QString encoderKey(const QString &encoderNumber, EncoderKey key)
{
    return QStringLiteral("encode(") + encoderNumber + QStringLiteral(").") + QLatin1String(keySuffix(key));
}

QString encoderKey(int encoder, EncoderKey key)
{
    return encoderKey(QString::number(encoder), key);
}

int valueStart(EncoderKey key)
{
    switch (key) {
    case EncoderKey::Type:
        return kTypeValueStart;
    case EncoderKey::Quality:
        return kQualityValueStart;
    case EncoderKey::Bitrate:
        return kBitrateValueStart;
    case EncoderKey::FrameSize:
        return kFrameSizeValueStart;
    case EncoderKey::CbrMode:
        return kCbrModeValueStart;
    case EncoderKey::IFrameInterval:
        return kIFrameIntervalValueStart;
    case EncoderKey::FrameRate:
        return kFrameRateValueStart;
    }
    return 0;
}

} // namespace qzr::encoder
