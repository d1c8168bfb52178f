#include "lens/SdCardRequests.h"

namespace qzr::lens {

namespace {

// The camera's switch values, by list position: the first entry switches on.
std::optional<SwitchChoice> switchChoice(const char *key, int position, int entries)
{
    if (position < 0 || position >= entries)
        return std::nullopt;
    const bool on = position == 0;
    return SwitchChoice{ParamQuery().set(QString::fromLatin1(key), on ? QStringLiteral("on") : QStringLiteral("off")),
                        on ? Indication::On : Indication::Off};
}

} // namespace

std::optional<ParamQuery> recordingSourceRequest(int position)
{
    if (position < 0 || position >= int(kEncoderEntries.size()))
        return std::nullopt;
    return ParamQuery().set(QString::fromLatin1(kRecordingSourceKey),
                            QStringLiteral("encode(%1)").arg(position + 1));
}

QString indicationText(Indication indication)
{
    return indication == Indication::On ? QStringLiteral("ON") : QStringLiteral("OFF");
}

unsigned indicationRgb(Indication indication)
{
    return indication == Indication::On ? kGreenRgb : kRedRgb;
}

std::optional<SwitchChoice> cardStatusChoice(int position)
{
    return switchChoice(kCardStatusKey, position, int(kCardStatusEntries.size()));
}

std::optional<SwitchChoice> recordingChoice(int position)
{
    return switchChoice(kConstantRecordingKey, position, int(kRecordingEntries.size()));
}

QString capacityCaption(const QString &value)
{
    return value + QLatin1Char('B');
}

} // namespace qzr::lens
