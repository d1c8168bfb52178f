#include "encoder/EncoderRequests.h"

#include "encoder/CodecRules.h"
#include "encoder/EncoderTables.h"
#include "protocol/CameraSession.h"

namespace qzr::encoder {

namespace {

// The setters always act on encoder 1.
const QString kSetterEncoder = QStringLiteral("1");
const QString kSaveCommand = QStringLiteral("save");

QString statusKey(const QString &encoderNumber)
{
    return QStringLiteral("encode(") + encoderNumber + QStringLiteral(").status");
}

ParamQuery singleSetter(EncoderKey key, const QString &value)
{
    ParamQuery query;
    query.set(encoderKey(kSetterEncoder, key), value).set(statusKey(kSetterEncoder), kSaveCommand);
    return query;
}

ParamQuery jpegSetRequest(const WorkingValues &v)
{
    const QString &n = v.encoderNumber;
    ParamQuery query;
    query.set(encoderKey(n, EncoderKey::Type), v.codec)
        .set(encoderKey(n, EncoderKey::FrameSize), v.frameSize)
        .set(encoderKey(n, EncoderKey::FrameRate), v.frameRate)
        .set(encoderKey(n, EncoderKey::CbrMode), QString::fromLatin1(kJpegMode))
        .set(encoderKey(n, EncoderKey::Quality), v.jpegQualityToken);
    return query;
}

ParamQuery streamSetRequest(const WorkingValues &v)
{
    const QString &n = v.encoderNumber;
    ParamQuery query;
    query.set(encoderKey(n, EncoderKey::Type), v.codec)
        .set(encoderKey(n, EncoderKey::FrameSize), v.frameSize)
        .set(encoderKey(n, EncoderKey::FrameRate), v.frameRate)
        .set(encoderKey(n, EncoderKey::CbrMode), v.mode)
        .set(encoderKey(n, EncoderKey::Bitrate), v.bitrate)
        .set(encoderKey(n, EncoderKey::IFrameInterval), v.iframeInterval);
    return query;
}

} // namespace

PreparedRequest PreparedRequest::sendable(ParamQuery query)
{
    PreparedRequest request;
    request.m_query = std::move(query);
    return request;
}

PreparedRequest PreparedRequest::refused(QString reason)
{
    PreparedRequest request;
    request.m_refusal = std::move(reason);
    return request;
}

QString unknownCodecRefusal(const QString &codec)
{
    return QStringLiteral("Nothing was sent to the camera: the codec \"%1\" is unknown. "
                          "Choose h264high, h264baseline, jpeg, off or mpeg4.")
        .arg(codec);
}

QString missingJpegSizeRefusal()
{
    return QStringLiteral("Nothing was sent to the camera: no JPEG size has been chosen. "
                          "Choose one in \"JPEG Quality\" first.");
}

QString missingBitrateRefusal()
{
    return QStringLiteral("Nothing was sent to the camera: no bitrate has been chosen. "
                          "Choose one in \"Bitrate (Mbps)\" first.");
}

WorkingValues valuesToSend(WorkingValues values)
{
    if (codecFromText(values.codec) == Codec::Jpeg)
        values.mode = QString::fromLatin1(kJpegMode);
    return values;
}

PreparedRequest setToCameraRequest(const WorkingValues &values)
{
    const std::optional<Codec> codec = codecFromText(values.codec);
    if (!codec)
        return PreparedRequest::refused(unknownCodecRefusal(values.codec));
    if (*codec != Codec::Jpeg)
        return PreparedRequest::sendable(streamSetRequest(values));
    if (values.jpegQualityToken.isEmpty())
        return PreparedRequest::refused(missingJpegSizeRefusal());
    return PreparedRequest::sendable(jpegSetRequest(values));
}

ParamQuery storeRequest(const QString &encoderNumber)
{
    ParamQuery query;
    query.set(statusKey(encoderNumber), kSaveCommand);
    return query;
}

PreparedRequest setToCamera(CameraSession &session, const WorkingValues &values)
{
    const PreparedRequest request = setToCameraRequest(values);
    if (sendUnlessRefused(session, request))
        session.cameraGet(storeRequest(values.encoderNumber));
    return request;
}

PreparedRequest bitrateSetterRequest(const QString &heldBitrate)
{
    if (heldBitrate.isEmpty())
        return PreparedRequest::refused(missingBitrateRefusal());
    return PreparedRequest::sendable(singleSetter(EncoderKey::Bitrate, heldBitrate));
}

ParamQuery frameRateSetterRequest(const QString &frameRate)
{
    return singleSetter(EncoderKey::FrameRate, frameRate);
}

ParamQuery iframeSetterRequest(const QString &iframeInterval)
{
    return singleSetter(EncoderKey::IFrameInterval, iframeInterval);
}

bool sendUnlessRefused(CameraSession &session, const PreparedRequest &request)
{
    if (request.isRefused())
        return false;
    session.cameraGet(request.query());
    return true;
}

QList<ParamQuery> encodingDumpRequests()
{
    struct DumpRead
    {
        int encoder;
        EncoderKey key;
    };
    // The order the dump has always used, encoder 3's frame size before encoder 2's.
    static constexpr DumpRead kDumpOrder[] = {
        {1, EncoderKey::FrameSize},      {3, EncoderKey::FrameSize},      {2, EncoderKey::FrameSize},
        {1, EncoderKey::Bitrate},        {2, EncoderKey::Bitrate},        {3, EncoderKey::Bitrate},
        {1, EncoderKey::FrameRate},      {2, EncoderKey::FrameRate},      {3, EncoderKey::FrameRate},
        {1, EncoderKey::Type},           {2, EncoderKey::Type},           {1, EncoderKey::CbrMode},
        {2, EncoderKey::CbrMode},        {1, EncoderKey::IFrameInterval}, {2, EncoderKey::IFrameInterval},
    };
    QList<ParamQuery> requests;
    for (const DumpRead &read : kDumpOrder)
        requests << ParamQuery::read(encoderKey(read.encoder, read.key));
    return requests;
}

} // namespace qzr::encoder
