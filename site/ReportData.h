#pragma once
// What the commissioning report holds of each camera: its identity, its
// three encoders, the scene file it uses and that file's image settings,
// with a settings file the audit ("diff FILE --hosts"), and the first
// picture of its stream; and the report's JSON, for other tools. Nothing of
// it holds a credential.
#include "encoder/EncoderRead.h"
#include "settingsfile/SettingsFile.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace qzr {
class CameraSession;
}

namespace qzr::site {

// The widest picture the report keeps of a camera.
inline constexpr int kMaxPictureWidth = 1280;

// One image setting of a scene file: what follows "camera.scene(n)"
// ("image.3ddnr", "shutter", ...) and the camera's value.
struct ImageSetting
{
    QString key;
    QString value;
};

// How a camera compares with the settings file of --against.
enum class Audit { None, Equal, Differs };

struct CameraReport
{
    QString name; // the entry as given, "127.0.0.1:8080"
    QString host;
    QString port;

    bool settingsRead = false; // identity, encoders and scene file were read
    QString error;             // why they were not, or why the audit failed

    QString model;
    QString firmware;
    QString mac;
    QString rtspPort; // network.rtsp.port as the camera reports it
    std::array<encoder::EncoderSettings, encoder::kEncoderCount> encoders;
    QString scene; // camera.scene.status
    QList<ImageSetting> image;

    Audit audit = Audit::None;
    QList<settingsfile::SettingDifference> differences; // the file's value first

    int channel = 0;          // the channel of the picture; 0: none chosen
    QString streamUrl;        // where it was taken from, without user information
    QString picture;          // its file in the report's folder; empty: none
    QSize pictureSize;        // as saved
    QString pictureError;     // why there is no picture
};

// Reads a camera for the report, request by request: model, firmware, MAC,
// network.rtsp.port, encoders 1 to 3 (as 'encoders' reads them), the scene
// file in use and its 15 image settings (then settingsRead is set); with
// `against` (the lines of a settings file) the camera is then audited
// against it as 'diff FILE' does. A failed request throws CameraError,
// leaving what was read before in report.
void readCameraForReport(CameraSession &session, CameraReport &report,
                         const std::optional<QStringList> &against = std::nullopt);

// The size to decode a channel's picture at: its frame size, scaled down
// to at most kMaxPictureWidth wide (even sides); an empty size when the
// frame size is not known (the picture is scaled after decoding then).
QSize pictureSizeFor(const QString &frameSize);

// Whether the camera's settings or its audit could not be read.
inline bool cameraFailed(const CameraReport &camera)
{
    return !camera.settingsRead || !camera.error.isEmpty();
}

// Whether a camera holds everything the report asked of it: its settings
// (and audit) and its picture.
inline bool fullyReported(const CameraReport &camera)
{
    return !cameraFailed(camera) && !camera.picture.isEmpty();
}

// "failed", "differs", "equal", or "read" (no audit).
QString resultName(const CameraReport &camera);

// The counts the report's summary names.
struct ReportCounts
{
    int cameras = 0;
    int equal = 0;
    int differ = 0;
    int failed = 0;         // settings or audit not read
    int withoutPicture = 0; // not failed, but no picture
};
ReportCounts reportCounts(const QList<CameraReport> &cameras);

// What the report is of.
struct ReportHead
{
    QString time;    // when it was made, UTC, ISO 8601
    QString against; // the settings file of the audit; empty: none
};

// The longest camera value the JSON keeps whole.
inline constexpr int kMaxJsonValueChars = 4096;

// The report as JSON: time, against, the counts, and per camera its host,
// port, result, error, identity, RTSP port, encoders, scene and image
// settings, differences (setting, line, file, camera), channel, stream,
// picture (file, width, height) or picture_error.
QByteArray reportJson(const ReportHead &head, const QList<CameraReport> &cameras);

} // namespace qzr::site
