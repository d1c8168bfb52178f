#pragma once
// The settings file against a camera: the save's reads and the upload's
// writes, widget-free, for the command line and the tests.
#include "settingsfile/SettingsFile.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qzr {
class CameraSession;
}

namespace qzr::settingsfile {

// How the black level, colour and enhancement values are taken.
enum class SceneValues {
    // As the file records them: the scroll bar positions, clamped to 0..100;
    // a value that is not a whole number ends the reads.
    AsFileRecords,
    // As the camera holds them, unchanged: for comparing with a file.
    AsCameraHolds,
};

// The save's reads, request for request: encoders 1, 2 and 3 (as the
// encoder info page reads them), the main window's scene-number query
// ("camera.scene.status"), then the 15 keys of the scene read-back of that
// scene file. With sceneNumber given the query is skipped and that scene
// file is read. Returns the 36 lines of the settings file. A failed request
// throws CameraError and ends the reads there; so does a scene number, or a
// black level, colour or enhancement value, that is not a whole number
// ("'%s' is not a valid integer value").
QStringList readSettingsFromCamera(CameraSession &session, std::optional<QString> sceneNumber = {},
                                   SceneValues sceneValues = SceneValues::AsFileRecords);

// Called after each request of the upload: how many have been sent, of how many.
using UploadProgress = std::function<void(int sent, int total)>;
// A blocking pause of the given length.
using Pause = std::function<void(int ms)>;

// Sends the upload of a file that passed validateSettings, in the order of
// uploadSteps, calling pause after each request that asks for one (500 ms
// after each encoder's write). A failed request, or a reply in which the
// camera refuses a key ("KEY=NG&", a write or a store command), throws
// CameraError naming the keys and the request, and ends the upload there
// (what the camera received before stays in it).
void uploadSettingsToCamera(CameraSession &session, const QStringList &lines, const Pause &pause,
                            const UploadProgress &progress = {});

// Whether the upload writes the setting of this line (1-based) into the
// camera: not the four markers, not the scene number (it only addresses the
// scene file), and not the I-frame interval of a "jpeg" encoder.
bool uploadWritesLine(const QStringList &lines, int lineNumber);

// The settings the upload writes whose value the camera does not hold after
// it: compareSettings of the file and the camera's read-back, limited to the
// lines uploadWritesLine names. The first value is the file's.
QList<SettingDifference> uploadedSettingsDiffering(const QStringList &fileLines, const QStringList &cameraLines);

// What an upload of `lines` left in the camera differing from them: the
// encoders and the scene file the lines name, read back as a clone verifies
// them (a failed read throws CameraError).
QList<SettingDifference> uploadedSettingsNotKept(CameraSession &session, const QStringList &lines);

// "The camera did not keep N of the settings uploaded: KEY (file X, camera
// Y); ..." for what uploadedSettingsNotKept found.
QString notKeptText(const QList<SettingDifference> &differing);

} // namespace qzr::settingsfile
