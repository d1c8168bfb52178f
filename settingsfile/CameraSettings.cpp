#include "settingsfile/CameraSettings.h"

#include "protocol/Identity.h"
#include "encoder/EncoderRead.h"
#include "image/SceneKeys.h"
#include "protocol/CameraError.h"
#include "protocol/CameraSession.h"
#include "protocol/Logging.h"
#include "encoder/SettingsText.h"

#include <QMap>

namespace qzr::settingsfile {

namespace {

// Puts the encoder reads' items into the settings text, as the settings
// window's memo receives them.
class SettingsTextWriter : public encoder::EncoderReadObserver
{
public:
    explicit SettingsTextWriter(SettingsText &text) : m_text(text) {}

    void onValue(encoder::EncoderKey, const QString &) override {}
    void onSettingsItem(const QString &item, LineEnding ending) override { m_text.append(item, ending); }

private:
    SettingsText &m_text;
};

// The scene read-back of scene file s: the 15 values in read-back order, the
// scroll bar values as their positions (clamped to 0..100) when the file
// records them.
QMap<image::SceneKey, QString> readSceneFile(CameraSession &session, const QString &sceneNumber,
                                             SceneValues sceneValues)
{
    QMap<image::SceneKey, QString> values;
    for (const image::SceneKey key : image::kReadBackOrder) {
        const QString value =
            session.readParameter(image::sceneKey(sceneNumber, key), image::readBackValueStart(sceneNumber, key));
        if (!image::isScrollBarKey(key) || sceneValues == SceneValues::AsCameraHolds) {
            values.insert(key, value);
            continue;
        }
        const std::optional<int> position = image::scrollPositionFromValue(value);
        if (!position)
            throw CameraError(image::notAnIntegerMessage(value));
        values.insert(key, QString::number(*position));
    }
    return values;
}

// The keys that one encoder's upload request writes.
QStringList keysWritten(const ParamQuery &request)
{
    QStringList keys;
    for (const QString &item : request.text().split(QLatin1Char('&')))
        keys << item.left(item.indexOf(QLatin1Char('=')));
    return keys;
}

} // namespace

QStringList readSettingsFromCamera(CameraSession &session, std::optional<QString> sceneNumber,
                                   SceneValues sceneValues)
{
    // A reply without its value is no setting of the camera: it fails the
    // read instead of entering the file (or a comparison) as "".
    struct RequireValues
    {
        CameraSession &session;
        bool before;
        ~RequireValues() { session.setValuesRequired(before); }
    } require{session, session.valuesRequired()};
    session.setValuesRequired(true);
    SettingsText text;
    SettingsTextWriter writer(text);
    for (int k = encoder::kFirstEncoder; k <= encoder::kLastEncoder; ++k)
        encoder::readEncoder(session, k, writer);
    // Encoder 3's frame rate leaves its line open.
    text.endLine();
    text.append(QString::fromLatin1(kSceneMarker));

    const QString s = sceneNumber ? *sceneNumber : session.readParameter(identity::kSceneStatusKey);
    text.append(s);
    // The read-back selects the scene list entry by this number first.
    toIntegerOrThrow(s);
    qCDebug(lcSettingsFile).noquote() << "reading scene file" << s;

    const QMap<image::SceneKey, QString> scene = readSceneFile(session, s, sceneValues);
    for (const image::SceneKey key : kSceneValueKeys)
        text.append(scene.value(key));

    QStringList lines = text.lines();
    // Every item is a line of its own, so this holds by construction.
    Q_ASSERT(lines.size() == kFileLineCount);
    return lines;
}

void uploadSettingsToCamera(CameraSession &session, const QStringList &lines, const Pause &pause,
                            const UploadProgress &progress)
{
    const QList<UploadStep> steps = uploadSteps(lines);
    const int total = int(steps.size());
    int sent = 0;
    for (const UploadStep &step : steps) {
        session.cameraWrite(step.request);
        ++sent;
        if (progress)
            progress(sent, total);
        if (step.pauseAfterMs > 0 && pause)
            pause(step.pauseAfterMs);
    }
}

bool uploadWritesLine(const QStringList &lines, int lineNumber)
{
    if (lineNumber >= kFirstSceneValueLine)
        return lineNumber <= kFileLineCount;
    if (lineNumber < 1 || lineNumber >= kSceneMarkerLine)
        return false;
    if ((lineNumber - 1) % kEncoderBlockLength == kMarkerOffset)
        return false;
    const int k = (lineNumber - 1) / kEncoderBlockLength + 1;
    return keysWritten(encoderUploadRequest(lines, k)).contains(settingName(lines, lineNumber));
}

QList<SettingDifference> uploadedSettingsDiffering(const QStringList &fileLines, const QStringList &cameraLines)
{
    QList<SettingDifference> differing;
    for (const SettingDifference &difference : compareSettings(fileLines, cameraLines)) {
        if (uploadWritesLine(fileLines, difference.line))
            differing << difference;
    }
    return differing;
}

QList<SettingDifference> uploadedSettingsNotKept(CameraSession &session, const QStringList &lines)
{
    const QString sceneNumber = lines.value(kSceneNumberLine - 1);
    const QStringList cameraLines = readSettingsFromCamera(session, sceneNumber, SceneValues::AsCameraHolds);
    return uploadedSettingsDiffering(lines, cameraLines);
}

QString notKeptText(const QList<SettingDifference> &differing)
{
    QStringList named;
    for (const SettingDifference &difference : differing)
        named << QStringLiteral("%1 (file %2, camera %3)").arg(difference.name, difference.first, difference.second);
    return QStringLiteral("The camera did not keep %1 of the settings uploaded: %2")
        .arg(differing.size())
        .arg(named.join(QStringLiteral("; ")));
}

} // namespace qzr::settingsfile
