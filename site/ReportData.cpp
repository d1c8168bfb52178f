#include "site/ReportData.h"

#include "image/SceneKeys.h"
#include "protocol/CameraSession.h"
#include "protocol/Identity.h"
#include "protocol/ShownText.h"
#include "settingsfile/CameraSettings.h"
#include "site/CameraStream.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace qzr::site {

namespace {

// Restores the session's rule on values when the reads end.
struct ValuesRequired
{
    CameraSession &session;
    bool before;
    explicit ValuesRequired(CameraSession &s) : session(s), before(s.valuesRequired())
    {
        session.setValuesRequired(true);
    }
    ~ValuesRequired() { session.setValuesRequired(before); }
};

QString jsonText(const QString &value)
{
    return shownText(value, kMaxJsonValueChars);
}

QJsonObject encoderJson(const encoder::EncoderSettings &settings)
{
    return QJsonObject{{QStringLiteral("encoder"), settings.encoder},
                       {QStringLiteral("type"), jsonText(settings.type)},
                       {QStringLiteral("frame_size"), jsonText(settings.frameSize)},
                       {QStringLiteral("frame_rate"), jsonText(settings.frameRate)},
                       {QStringLiteral("bitrate_mode"), jsonText(settings.cbrMode)},
                       {QStringLiteral("bitrate"), jsonText(settings.bitrate)},
                       {QStringLiteral("jpeg_size"), jsonText(settings.quality)},
                       {QStringLiteral("iframe_interval"), jsonText(settings.iframeInterval)}};
}

QJsonObject cameraJson(const CameraReport &camera)
{
    QJsonObject object{{QStringLiteral("host"), camera.host},
                       {QStringLiteral("port"), camera.port},
                       {QStringLiteral("name"), camera.name},
                       {QStringLiteral("result"), resultName(camera)}};
    if (!camera.error.isEmpty())
        object.insert(QStringLiteral("error"), jsonText(camera.error));
    if (!camera.settingsRead)
        return object;
    object.insert(QStringLiteral("model"), jsonText(camera.model));
    object.insert(QStringLiteral("firmware"), jsonText(camera.firmware));
    object.insert(QStringLiteral("mac"), jsonText(camera.mac));
    object.insert(QStringLiteral("rtsp_port"), jsonText(camera.rtspPort));
    QJsonArray encoders;
    for (const encoder::EncoderSettings &settings : camera.encoders)
        encoders.append(encoderJson(settings));
    object.insert(QStringLiteral("encoders"), encoders);
    object.insert(QStringLiteral("scene"), jsonText(camera.scene));
    QJsonObject image;
    for (const ImageSetting &setting : camera.image)
        image.insert(setting.key, jsonText(setting.value));
    object.insert(QStringLiteral("image"), image);
    if (camera.audit != Audit::None) {
        QJsonArray differences;
        for (const settingsfile::SettingDifference &difference : camera.differences)
            differences.append(QJsonObject{{QStringLiteral("line"), difference.line},
                                           {QStringLiteral("setting"), jsonText(difference.name)},
                                           {QStringLiteral("file"), jsonText(difference.first)},
                                           {QStringLiteral("camera"), jsonText(difference.second)}});
        object.insert(QStringLiteral("differences"), differences);
    }
    if (camera.channel > 0)
        object.insert(QStringLiteral("channel"), camera.channel);
    if (!camera.streamUrl.isEmpty())
        object.insert(QStringLiteral("stream"), jsonText(camera.streamUrl));
    if (!camera.picture.isEmpty())
        object.insert(QStringLiteral("picture"), QJsonObject{{QStringLiteral("file"), camera.picture},
                                                             {QStringLiteral("width"), camera.pictureSize.width()},
                                                             {QStringLiteral("height"), camera.pictureSize.height()}});
    else
        object.insert(QStringLiteral("picture_error"), jsonText(camera.pictureError));
    return object;
}

} // namespace

void readCameraForReport(CameraSession &session, CameraReport &report, const std::optional<QStringList> &against)
{
    const ValuesRequired required(session);
    report.model = session.readParameter(identity::kModelKey);
    report.firmware = session.readParameter(identity::kRevisionKey);
    report.mac = session.readParameter(identity::kMacKey);
    report.rtspPort = session.readParameter(kRtspPortKey);
    report.encoders = encoder::readAllEncoderSettings(session);
    report.scene = session.readParameter(identity::kSceneStatusKey);
    report.image.clear();
    const QString prefix = image::scenePrefix(report.scene) + QLatin1Char('.');
    for (const image::SceneKey key : image::kReadBackOrder) {
        const QString name = image::sceneKey(report.scene, key);
        const QString value = session.readParameter(name);
        report.image << ImageSetting{name.startsWith(prefix) ? name.mid(prefix.size()) : name, value};
    }
    report.settingsRead = true;
    if (against) {
        // What 'diff FILE' finds: the settings an upload of the file writes.
        report.differences = settingsfile::uploadedSettingsNotKept(session, *against);
        report.audit = report.differences.isEmpty() ? Audit::Equal : Audit::Differs;
    }
}

QSize pictureSizeFor(const QString &frameSize)
{
    const FrameSize size = frameSizeOf(frameSize);
    if (size.pixels() == 0)
        return {};
    if (size.width <= kMaxPictureWidth)
        return {size.width, size.height};
    const int height = int(qint64(size.height) * kMaxPictureWidth / size.width) & ~1;
    return {kMaxPictureWidth, height};
}

QString resultName(const CameraReport &camera)
{
    if (cameraFailed(camera))
        return QStringLiteral("failed");
    switch (camera.audit) {
    case Audit::Equal: return QStringLiteral("equal");
    case Audit::Differs: return QStringLiteral("differs");
    case Audit::None: break;
    }
    return QStringLiteral("read");
}

ReportCounts reportCounts(const QList<CameraReport> &cameras)
{
    ReportCounts counts;
    counts.cameras = int(cameras.size());
    for (const CameraReport &camera : cameras) {
        if (cameraFailed(camera)) {
            ++counts.failed;
            continue;
        }
        if (camera.audit == Audit::Equal)
            ++counts.equal;
        else if (camera.audit == Audit::Differs)
            ++counts.differ;
        if (camera.picture.isEmpty())
            ++counts.withoutPicture;
    }
    return counts;
}

QByteArray reportJson(const ReportHead &head, const QList<CameraReport> &cameras)
{
    const ReportCounts counts = reportCounts(cameras);
    QJsonObject document{{QStringLiteral("time"), head.time},
                         {QStringLiteral("cameras_count"), counts.cameras},
                         {QStringLiteral("failed"), counts.failed},
                         {QStringLiteral("without_picture"), counts.withoutPicture}};
    if (!head.against.isEmpty()) {
        document.insert(QStringLiteral("against"), head.against);
        document.insert(QStringLiteral("equal"), counts.equal);
        document.insert(QStringLiteral("differs"), counts.differ);
    }
    QJsonArray list;
    for (const CameraReport &camera : cameras)
        list.append(cameraJson(camera));
    document.insert(QStringLiteral("cameras"), list);
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace qzr::site
