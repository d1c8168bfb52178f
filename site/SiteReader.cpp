#include "site/SiteReader.h"

#include "discovery/CameraQueries.h"
#include "protocol/CameraFailure.h"
#include "protocol/FleetLoop.h"
#include "protocol/Identity.h"
#include "protocol/ParamClient.h"
#include "protocol/StoppableReads.h"
#include "protocol/RequestTarget.h"
#include "site/CameraStream.h"

#include <QMetaObject>

namespace qzr::site {

namespace {

constexpr int kUnauthorized = 401;

QString encoderKey(int encoder, const char *field)
{
    return QStringLiteral("encode(%1).%2").arg(encoder).arg(QLatin1String(field));
}

} // namespace

std::optional<int> SiteCameraInfo::lowestResolutionChannel() const
{
    std::array<encoder::EncoderSettings, 3> encoders;
    for (int i = 0; i < 3; ++i) {
        encoders[size_t(i)].type = types[size_t(i)];
        encoders[size_t(i)].frameSize = frameSizes[size_t(i)];
    }
    return site::lowestResolutionChannel(encoders);
}

bool SiteCameraInfo::channelRuns(int channel) const
{
    return channel >= 1 && channel <= 3 && encoderRuns(types[size_t(channel - 1)], frameSizes[size_t(channel - 1)]);
}

SiteCameraInfo readSiteCamera(ParamClient &client, const SiteCamera &camera)
{
    SiteCameraInfo info;
    const auto read = [&](const QString &key, QString &value) {
        if (!info.ok())
            return;
        const HttpReply reply = client.get(camera.host, camera.port, ParamQuery::read(key).target());
        if (!reply.ok) {
            info.loginNeeded = reply.statusCode == kUnauthorized;
            info.error = failureDescription(reply, client.replyTimeoutMs(), {});
            return;
        }
        value = discovery::replyValue(reply.body, key);
    };
    read(identity::kModelKey, info.model);
    read(kRtspPortKey, info.rtspPortText);
    for (int encoder = 1; encoder <= 3; ++encoder) {
        read(encoderKey(encoder, "type"), info.types[size_t(encoder - 1)]);
        read(encoderKey(encoder, "framesize"), info.frameSizes[size_t(encoder - 1)]);
    }
    if (info.ok())
        info.rtspPort = rtspPortOf(info.rtspPortText);
    return info;
}

struct SiteReader::Run : StoppableReads
{
};

SiteReader::SiteReader(QObject *parent)
    : QObject(parent)
    , m_run(std::make_shared<Run>())
{
    qRegisterMetaType<qzr::site::SiteCameraInfo>();
}

SiteReader::~SiteReader()
{
    stop();
    // Waits for the reads: aborted ones end at once, queued ones send nothing.
    m_fleet.reset();
}

void SiteReader::setCredentials(const QString &user, const QString &password)
{
    m_user = user;
    m_password = password;
}

void SiteReader::read(int tag, const SiteCamera &camera)
{
    if (!m_fleet)
        m_fleet = std::make_unique<FleetLoops>(kJobs, 1);
    const std::shared_ptr<Run> run = m_run;
    const QString user = m_user;
    const QString password = m_password;
    m_fleet->add([this, run, tag, camera, user, password](FleetCamera &fleetCamera) {
        if (run->stopped())
            return;
        SiteCameraInfo info;
        {
            ParamClient client;
            client.setTransferRunner(&fleetCamera);
            client.setConnectTimeoutMs(kConnectTimeoutMs);
            client.setReplyTimeoutMs(kReplyTimeoutMs);
            client.setCredentials(user, password);
            if (!run->run(client, [&](ParamClient &reading) { info = readSiteCamera(reading, camera); }))
                return;
        }
        // The reader outlives its fleet's work (its destructor waits), so
        // `this` is still there; a stop since makes the result void.
        QMetaObject::invokeMethod(this, [this, run, tag, info] {
            if (!run->stopped())
                emit cameraRead(tag, info);
        }, Qt::QueuedConnection);
    });
}

void SiteReader::stop()
{
    m_run->stop();
    m_run = std::make_shared<Run>();
}

} // namespace qzr::site
