#include "encoder/CodecRules.h"

#include "encoder/EncoderTables.h"

namespace qzr::encoder {

namespace {

constexpr int kEncoderWithSetters = 1;

bool isH264(const QString &codec)
{
    const std::optional<Codec> known = codecFromText(codec);
    return known == Codec::H264High || known == Codec::H264Baseline;
}

} // namespace

std::optional<Codec> codecFromText(const QString &text)
{
    constexpr Codec kInListOrder[] = {Codec::H264High, Codec::H264Baseline, Codec::Jpeg, Codec::Off,
                                      Codec::Mpeg4};
    for (Codec codec : kInListOrder) {
        if (text == codecText(codec))
            return codec;
    }
    return std::nullopt;
}

QString codecText(Codec codec)
{
    return QString::fromLatin1(kCodecCombo.items[std::size_t(codec)]);
}

CodecChoiceEffects codecChoiceEffects(std::optional<Codec> chosen)
{
    CodecChoiceEffects effects;
    effects.setToCameraButton.visible = true;
    effects.fullScreenButton.visible = true;

    const bool jpegLike = !chosen || *chosen == Codec::Jpeg;
    if (chosen)
        effects.codecWorkingValue = codecText(*chosen);
    if (chosen == Codec::Mpeg4) {
        effects.frameSizeWorkingValue = QString::fromLatin1(kMpeg4FrameSize);
        effects.iframeWorkingValue = QString::fromLatin1(kMpeg4IFrameInterval);
    }

    // JPEG carries a size instead of a bitrate and no I-frames.
    effects.bitrateCombo.visible = !jpegLike;
    effects.iframeCombo.visible = !jpegLike;
    effects.jpegQualityCombo.visible = jpegLike;
    effects.modeCombo.selectItem = QString::fromLatin1(jpegLike ? kJpegMode : kStreamMode);

    const bool mpeg4 = chosen == Codec::Mpeg4;
    effects.iframeCombo.enabled = !mpeg4;
    if (mpeg4) {
        effects.iframeCombo.selectItem = QString::fromLatin1(kMpeg4IFrameInterval);
        effects.frameSizeCombo.selectItem = QString::fromLatin1(kMpeg4FrameSize);
    }
    // JPEG's full-HD lock wins over the re-enabling of every other choice.
    const bool jpeg = chosen == Codec::Jpeg;
    effects.frameSizeCombo.enabled = !mpeg4 && !jpeg;
    if (jpeg) {
        effects.frameSizeCombo.visible = true;
        effects.frameSizeCombo.selectItem = QString::fromLatin1(kJpegFrameSize);
    }

    effects.encoderNumberCombo.enabled = true;
    return effects;
}

EncoderReadRules encoderReadRules(const QString &codec, int encoder)
{
    EncoderReadRules rules;
    const bool hasSetters = encoder == kEncoderWithSetters;
    if (codec == codecText(Codec::Jpeg)) {
        rules.asksJpegSize = true;
        rules.pageJpegSizeVisible = true;
        rules.pageBitrateVisible = false;
        rules.pageIFrameVisible = false;
        // Only the last column hides the shared row label.
        if (encoder == kLastEncoder)
            rules.pageIFrameRowLabelVisible = false;
        rules.bitrateComboVisible = false;
        rules.jpegQualityComboVisible = true;
        rules.iframeComboVisible = false;
        if (hasSetters) {
            rules.setterBitrateEnabled = false;
            rules.setterIFrameEnabled = false;
        }
    } else if (isH264(codec)) {
        rules.pageJpegSizeVisible = false;
        rules.pageBitrateVisible = true;
        rules.pageIFrameVisible = true;
        rules.pageIFrameRowLabelVisible = true;
        rules.bitrateComboVisible = true;
        rules.jpegQualityComboVisible = false;
        rules.iframeComboVisible = true;
        if (hasSetters) {
            rules.setterBitrateEnabled = true;
            rules.setterIFrameEnabled = true;
        }
    }
    const bool off = codec == codecText(Codec::Off) && encoder != kEncoderWithSetters;
    rules.marksOff = off;
    rules.emptiesValueBoxesAtEnd = off;
    return rules;
}

} // namespace qzr::encoder
