#pragma once
// The settings file: its bytes, the atomic write, the reading with any line
// end, the check of a loaded file, the upload requests and the comparison.
#include "image/SceneKeys.h"
#include "protocol/RequestTarget.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace qzr::settingsfile {

// The image lines 24 to 36 and the scene key each is uploaded to.
inline constexpr int kFirstSceneValueLine = 24;
inline constexpr std::array<image::SceneKey, 13> kSceneValueKeys{
    image::SceneKey::Dnr3d,   image::SceneKey::Agc,          image::SceneKey::SenseUp,
    image::SceneKey::Shutter, image::SceneKey::Brightness,   image::SceneKey::WhiteBalance,
    image::SceneKey::Blc,     image::SceneKey::DayNight,     image::SceneKey::Clvi,
    image::SceneKey::Gamma,   image::SceneKey::Pedestal,     image::SceneKey::Color,
    image::SceneKey::Enhance};

// What the upload asks and tells, in the window and on the command line.
inline constexpr char kUploadConfirmTitle[] = "Confirm";
inline constexpr char kUploadConfirmText[] =
    "Make sure to select correct IP, user, password and Port for destination camera ! If you want to change now, "
    "press Cancel, otherwise proceed with Yes";
inline constexpr char kUploadCancelledMessage[] = "I want to change camera, stop upload";
inline constexpr char kUploadCompleteMessage[] = "Setting Complete, you might continue now";

// The wait after each encoder's write, before its store command.
inline constexpr int kEncoderStorePauseMs = 500;

// The file's bytes: every line ended by CR LF, the last one too, each
// character one byte of the camera's code page (CodePage.h), so that the
// camera's bytes stand in the file unchanged. Nothing when a character has
// no byte there.
std::optional<QByteArray> encodeSettingsFile(const QStringList &lines);

// Writes the file whole or not at all (writeFileAtomically, SafeFile.h):
// on any failure the file that stood there is left as it was. Returns an
// empty text on success, else what went wrong, naming the file.
QString writeSettingsFile(const QString &path, const QStringList &lines);

// The lines of a file's bytes: CR LF, LF alone and CR alone end a line; a
// final line end starts no further line. Bytes are read in the camera's
// code page, so that each goes back to the camera unchanged.
QStringList splitSettingsBytes(const QByteArray &bytes);

// Far above any real settings file (36 short lines), and any value.
inline constexpr qint64 kMaxSettingsFileBytes = 64 * 1024;
inline constexpr int kMaxSettingsLineLength = 1024;

// Reads a file's lines; nothing when it cannot be opened, is larger than
// kMaxSettingsFileBytes or has a line longer than kMaxSettingsLineLength
// (with the reason, naming the file and the line, in *error when given).
// No more than the limit is ever read.
std::optional<QStringList> readSettingsFile(const QString &path, QString *error = nullptr);

// The check of a loaded file: exactly 36 lines, the four markers in place, a
// scene number 0 to 7 on line 23, and no value holding "&", "=", "?", "#"
// or a control character (0x00-0x1F, 0x7F). Nothing when the file is fine, else one message
// naming the first bad line ("Line N: ...").
std::optional<QString> validateSettings(const QStringList &lines);

// What save says when the camera's values make a file that the upload
// refuses: "FILE was saved, but an upload refuses it: Line N: ...".
QString savedButRefusedText(const QString &path, const QString &problem);

// One request of the upload and the pause the caller makes after it.
struct UploadStep
{
    ParamQuery request;
    int pauseAfterMs = 0;
    // How far the settings window's progress bar moves after the step (and
    // its pause): one after an encoder's write, two after its store command,
    // none for the scene requests.
    int progressAfter = 0;
    // A store command, which makes the write before it permanent.
    bool stores = false;
};
// The settings window's progress bar runs to the encoder steps' total.
inline constexpr int kUploadProgressMaximum = 9;

// The upload of a file that passed validateSettings: per encoder its
// request (the JPEG form for "jpeg", else the bit-rate form), a 500 ms
// pause and its store command; then each scene line 24 to 36 written into
// scene file s (line 23), each followed by the scene store command.
QList<UploadStep> uploadSteps(const QStringList &lines);

// What a camera holds after the first `stepsDone` requests of the upload
// were taken, for people: "encoders 1-3 stored, scene file 3 not written",
// "encoder 1 stored, encoder 2 written but not stored, encoder 3 and scene
// file 3 not written", "encoders 1-3 stored, scene file 3: 5 of 13 settings
// stored", "nothing written"; the whole upload is "encoders 1-3 and scene
// file 3 stored".
// sceneNumber is line 23 of the file, the scene file the upload writes.
QString uploadProgressText(const QString &sceneNumber, int stepsDone);

// The encoder k (1 to 3) request of the upload.
ParamQuery encoderUploadRequest(const QStringList &lines, int encoder);

// The name of a file's line for people: "encode(1).type", "scene number",
// "camera.scene(s).image.3ddnr", ... (s from line 23 of the lines given).
QString settingName(const QStringList &lines, int lineNumber);

struct SettingDifference
{
    int line = 0; // 1-based
    QString name;
    QString first;
    QString second;
};

// Every setting whose value differs between two files, in line order; a
// missing line counts as empty. The names come from the first file.
QList<SettingDifference> compareSettings(const QStringList &first, const QStringList &second);

} // namespace qzr::settingsfile
