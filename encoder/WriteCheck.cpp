#include "encoder/WriteCheck.h"

#include "encoder/CodecRules.h"
#include "protocol/CameraSession.h"
#include "protocol/ReplyLog.h"

namespace qzr::encoder {

namespace {

const QString kSaveCommand = QStringLiteral("save");

WrittenValue setting(const QString &encoderNumber, EncoderKey key, const QString &value)
{
    return {encoderKey(encoderNumber, key), value, key};
}

WrittenValue store(const QString &encoderNumber)
{
    return {QStringLiteral("encode(") + encoderNumber + QStringLiteral(").status"), kSaveCommand, std::nullopt};
}

} // namespace

QList<WrittenValue> setToCameraValues(const WorkingValues &values)
{
    const std::optional<Codec> codec = codecFromText(values.codec);
    if (setToCameraRequest(values).isRefused() || !codec)
        return {};
    const QString &n = values.encoderNumber;
    QList<WrittenValue> written{setting(n, EncoderKey::Type, values.codec),
                                setting(n, EncoderKey::FrameSize, values.frameSize),
                                setting(n, EncoderKey::FrameRate, values.frameRate)};
    if (*codec == Codec::Jpeg) {
        written << setting(n, EncoderKey::CbrMode, QString::fromLatin1(kJpegMode))
                << setting(n, EncoderKey::Quality, values.jpegQualityToken);
    } else {
        written << setting(n, EncoderKey::CbrMode, values.mode) << setting(n, EncoderKey::Bitrate, values.bitrate)
                << setting(n, EncoderKey::IFrameInterval, values.iframeInterval);
    }
    written << store(n);
    return written;
}

QList<WrittenValue> setterValues(EncoderKey key, const QString &value)
{
    const QString encoder = QStringLiteral("1");
    return {setting(encoder, key, value), store(encoder)};
}

std::optional<QString> heldValue(const EncoderSettings &held, EncoderKey key)
{
    const bool jpegSizeAsked = encoderReadRules(held.type, held.encoder).asksJpegSize;
    switch (key) {
    case EncoderKey::Type:
        return held.type;
    case EncoderKey::Quality:
        return jpegSizeAsked ? std::optional<QString>(held.quality) : std::nullopt;
    case EncoderKey::Bitrate:
        return jpegSizeAsked ? std::nullopt : std::optional<QString>(held.bitrate);
    case EncoderKey::FrameSize:
        return held.frameSize;
    case EncoderKey::CbrMode:
        return held.cbrMode;
    case EncoderKey::IFrameInterval:
        return held.iframeInterval;
    case EncoderKey::FrameRate:
        break;
    }
    return held.frameRate;
}

QList<UntakenSetting> untakenSettings(const QList<WrittenValue> &written, const QStringList &refusedKeys,
                                      const std::optional<EncoderSettings> &held,
                                      const std::function<QStringList(EncoderKey)> &offered)
{
    QList<UntakenSetting> untaken;
    for (const WrittenValue &value : written) {
        std::optional<QString> holds;
        if (held && value.setting)
            holds = heldValue(*held, *value.setting);
        const bool refused = refusedKeys.contains(value.key);
        const bool notKept = holds && *holds != value.value;
        if (!refused && !notKept)
            continue;
        QStringList values;
        if (value.setting && offered)
            values = offered(*value.setting);
        untaken.append({value.key, value.value, holds, values});
    }
    return untaken;
}

QString untakenMessage(const QList<UntakenSetting> &untaken)
{
    QStringList lines;
    for (const UntakenSetting &setting : untaken) {
        QString line = QStringLiteral("The camera did not take %1: sent %2").arg(setting.key, setting.sent);
        if (setting.held)
            line += QStringLiteral(", it holds %1").arg(*setting.held);
        line += QLatin1Char('.');
        if (!setting.offered.isEmpty())
            line += QStringLiteral(" Values offered: %1.").arg(setting.offered.join(QStringLiteral(", ")));
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

QStringList setToCameraRefusedKeys(CameraSession &session, const PreparedRequest &request,
                                   const QString &encoderNumber)
{
    if (request.isRefused())
        return {};
    QStringList refused = refusedKeys(session.cameraGet(request.query()));
    refused << refusedKeys(session.cameraGet(storeRequest(encoderNumber)));
    return refused;
}

} // namespace qzr::encoder
