#pragma once
// What the site's wall reads of each camera before it shows its video: the
// model, the RTSP port the camera reports and what its three encoders send.
// The reads of many cameras run in the background on the fleet engine
// (protocol/FleetLoop.h); each camera's result comes back on the owner's
// thread.
#include "site/HostList.h"

#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <optional>

namespace qzr {
class FleetLoops;
class ParamClient;
}

namespace qzr::site {

struct SiteCameraInfo
{
    bool loginNeeded = false; // the camera refused the credentials (401)
    QString error;            // why the reads failed; empty when they did not
    QString model;
    std::optional<quint16> rtspPort; // nullopt: none or not a port
    QString rtspPortText;            // as reported
    // encode(n).type and encode(n).framesize of encoders 1..3.
    std::array<QString, 3> types;
    std::array<QString, 3> frameSizes;

    bool ok() const { return error.isEmpty(); }
    // The channel whose encoder runs at the fewest pixels (nullopt: none runs).
    std::optional<int> lowestResolutionChannel() const;
    // Whether channel n (1..3) runs.
    bool channelRuns(int channel) const;
};

// The reads, one key per request, on the calling thread (or fiber); stops at
// the first failure and says why.
SiteCameraInfo readSiteCamera(ParamClient &client, const SiteCamera &camera);

class SiteReader : public QObject
{
    Q_OBJECT
public:
    static constexpr int kJobs = 16;
    static constexpr int kConnectTimeoutMs = 2000;
    static constexpr int kReplyTimeoutMs = 5000;

    explicit SiteReader(QObject *parent = nullptr);
    // Abandons reads under way (their results never arrive).
    ~SiteReader() override;

    // The credentials of every read from now on (the main window's user and
    // password: the cameras the user put on the wall).
    void setCredentials(const QString &user, const QString &password);
    // Queues the reads of one camera; cameraRead(tag, info) follows on the
    // owner's thread unless stop() comes first.
    void read(int tag, const SiteCamera &camera);
    // Abandons every read queued or under way.
    void stop();

signals:
    void cameraRead(int tag, const qzr::site::SiteCameraInfo &info);

private:
    struct Run;
    std::shared_ptr<Run> m_run;               // the reads since the last stop()
    std::unique_ptr<FleetLoops> m_fleet;      // made at the first read
    QString m_user = QStringLiteral("admin");
    QString m_password;
};

} // namespace qzr::site

Q_DECLARE_METATYPE(qzr::site::SiteCameraInfo)
