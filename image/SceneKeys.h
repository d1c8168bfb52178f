#pragma once
// The widget-free layer of the camera video settings: the scene list, the
// scene file keys, the setters' value tables and the requests they send.
#include "protocol/RequestTarget.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace qzr {
class CameraSession;
}

namespace qzr::image {

// The scene list (ComboBox8); an entry's position is its scene number.
inline constexpr std::array<const char *, 8> kSceneEntries{
    "General", "Indoor", "Outdoor", "CLVI", "Traffic", "Data Saving", "Day ( Color )", "Night ( B&W )"};
inline constexpr char kSceneListPrompt[] = "Scene File";

// The scene number of a list position as decimal text ("0" ... "7"); nothing
// for a position outside the list.
std::optional<QString> sceneNumberAt(int position);

// The image parameters of a scene file.
enum class SceneKey {
    Dnr3d,
    Agc,
    SenseUp,
    Shutter,
    Brightness,
    Color,
    DayNight,
    WhiteBalance,
    Blc,
    Enhance,
    Clvi,
    Pedestal,
    Gamma,
    AvpColor,
    AvpBlackWhite,
};

// The order of the scene read-back.
inline constexpr std::array<SceneKey, 15> kReadBackOrder{
    SceneKey::Dnr3d,   SceneKey::Agc,      SceneKey::SenseUp,      SceneKey::Shutter, SceneKey::Brightness,
    SceneKey::Color,   SceneKey::DayNight, SceneKey::WhiteBalance, SceneKey::Blc,     SceneKey::Enhance,
    SceneKey::Clvi,    SceneKey::Pedestal, SceneKey::Gamma,        SceneKey::AvpColor, SceneKey::AvpBlackWhite};

// The keys whose value is a scroll bar position (0 to 100).
bool isScrollBarKey(SceneKey key);

// What follows "camera.scene(n)": ".image.3ddnr", ".shutter", ...
const char *sceneKeySuffix(SceneKey key);

// "camera.scene(n)"; the number goes in as given.
QString scenePrefix(const QString &sceneNumber);
// "camera.scene(n)" + the key's suffix.
QString sceneKey(const QString &sceneNumber, SceneKey key);
// "camera.scene(n).image.brightness.highgain", written and never read back.
QString highGainKey(const QString &sceneNumber);
// "camera.scene(n).status", the command key.
QString sceneStatusKey(const QString &sceneNumber);

// The 1-based start of a key's value in the trimmed reply: the key's length
// plus 2 (right for a one-character scene number).
int readBackValueStart(const QString &sceneNumber, SceneKey key);

// A scroll bar's position from a read-back value: clamped to 0..100; nothing
// when the value is not a decimal integer.
std::optional<int> scrollPositionFromValue(const QString &value);
// "'%s' is not a valid integer value".
QString notAnIntegerMessage(const QString &value);

// The commands of the status key.
inline constexpr char kGotoCommand[] = "goto";
inline constexpr char kSaveCommand[] = "save";
inline constexpr char kInitializeCommand[] = "initialize";

// "camera.scene(n).status=goto" and so on.
ParamQuery sceneCommand(const QString &sceneNumber, const char *command);
// A scene write followed by its store command: two requests.
QList<ParamQuery> writeAndStore(const QString &sceneNumber, const QString &key, const QString &value);

// Choosing a scene file: the switch to it.
ParamQuery gotoRequest(const QString &sceneNumber);
// "Initialize Scene File ( Load Factory default )": initialize, then save.
QList<ParamQuery> initializeSceneRequests(const QString &sceneNumber);
// "Select as Active Scene File": goto, then save.
QList<ParamQuery> selectActiveSceneRequests(const QString &sceneNumber);
inline constexpr char kActiveSceneSelectedMessage[] = "Current Scene File selected as default";

// ---- The setters --------------------------------------------------------

// One entry of a list setter's combo box and the value the camera gets.
struct ListEntry
{
    const char *shown;
    const char *sent;
};

inline constexpr std::array<ListEntry, 4> kDnrEntries{{{"high", "high"}, {"mid", "mid"}, {"low", "low"}, {"off", "off"}}};
inline constexpr std::array<ListEntry, 3> kAgcEntries{{{"OFF", "manual"}, {"Mid", "autoM"}, {"High", "autoH"}}};
inline constexpr std::array<ListEntry, 7> kSenseUpEntries{
    {{"0", "0"}, {"2", "2"}, {"4", "4"}, {"8", "8"}, {"16", "16"}, {"32", "32"}, {"60", "60"}}};
inline constexpr std::array<ListEntry, 13> kShutterEntries{{{"30", "30"},
                                                           {"50", "50"},
                                                           {"60", "60"},
                                                           {"100", "100"},
                                                           {"250", "250"},
                                                           {"500", "500"},
                                                           {"1000", "1000"},
                                                           {"2000", "2000"},
                                                           {"4000", "4000"},
                                                           {"10000", "10000"},
                                                           {"Auto100", "auto100"},
                                                           {"Auto1000", "auto1000"},
                                                           {"Flickerless", "flickerless"}}};
inline constexpr std::array<ListEntry, 11> kBrightnessEntries{{{"5", "5"},
                                                              {"4", "4"},
                                                              {"3", "3"},
                                                              {"2", "2"},
                                                              {"1", "1"},
                                                              {"0", "0"},
                                                              {"-1", "-1"},
                                                              {"-2", "-2"},
                                                              {"-3", "-3"},
                                                              {"-4", "-4"},
                                                              {"-5", "-5"}}};
inline constexpr std::array<ListEntry, 2> kWhiteBalanceEntries{{{"autoW", "autoW"}, {"autoN", "autoN"}}};
inline constexpr std::array<ListEntry, 5> kBlcEntries{{{"off", "off"}, {"a", "a"}, {"b", "b"}, {"c", "c"}, {"d", "d"}}};
inline constexpr std::array<ListEntry, 2> kClviEntries{{{"on", "on"}, {"off", "off"}}};

// The day/night list: the true day/night value (nullptr: nothing in that step)
// and the high-gain value written first on the recognised models.
struct DayNightEntry
{
    const char *shown;
    const char *trueDayNight;
    const char *highGain;
};
inline constexpr std::array<DayNightEntry, 6> kDayNightEntries{{{"color", "color", "color"},
                                                               {"bw", "bw", "bw"},
                                                               {"autoL", "autoL", nullptr},
                                                               {"autoM", "autoM", nullptr},
                                                               {"autoH", "autoH", nullptr},
                                                               {"auto", nullptr, "auto"}}};
// The models whose label enables the high-gain write, and the label's forms.
inline constexpr std::array<const char *, 2> kHighGainModels{"QZ-R410", "QZ-R420"};
inline constexpr char kModelLabelPrefix[] = "Model: ";
inline constexpr char kModelLabelInitial[] = "Model Name";
// True when the label reads exactly "Model: QZ-R410" or "Model: QZ-R420".
bool modelTakesHighGain(const QString &modelLabel);

// The gamma list (the third entry is empty) and the AVP lists.
inline constexpr std::array<const char *, 3> kGammaEntries{"1", "0.45", ""};
inline constexpr std::array<const char *, 6> kAvpEntries{"10", "9", "8", "7", "6", "5"};

// The scroll bars start at 50 and span 0 to 100.
inline constexpr int kScrollBarStart = 50;
inline constexpr int kScrollBarMin = 0;
inline constexpr int kScrollBarMax = 100;

// Every setter button of the window.
enum class Setter {
    Dnr3d,        // Button1 "Set 3D NR"
    Agc,          // Button2 "Set AGC"
    SenseUp,      // Button3 "Set Sense Up"
    Shutter,      // Button4 "Set Shutter"
    Brightness,   // Button5 "Set Brightness"
    WhiteBalance, // Button6 "Set WB"
    Blc,          // Button7 "Set BLC "
    DayNight,     // Button9 "Set Day/Night"
    Clvi,         // Button13 "Set CLVI"
    Pedestal,     // Button12 "Set Black L."
    Color,        // Button10 "Set Color"
    Enhance,      // Button11 "Set Enhance"
    Gamma,        // Button14 "Set Gamma"
    AvpColor,     // Button18 "Set AVP Color"
    AvpBlackWhite // Button19 "AVP B&W"
};

// "Set to Scene File": the setters it runs, in order (no AVP setters).
inline constexpr std::array<Setter, 13> kSetToSceneFileOrder{
    Setter::Dnr3d, Setter::Agc,      Setter::SenseUp,  Setter::Shutter, Setter::Brightness,
    Setter::WhiteBalance, Setter::Blc, Setter::DayNight, Setter::Pedestal, Setter::Clvi,
    Setter::Color, Setter::Enhance,  Setter::Gamma};

// The button caption and the key a setter writes.
const char *setterCaption(Setter setter);
SceneKey setterKey(Setter setter);
// List setters act on the selected entry; the others on a position or text.
bool isListSetter(Setter setter);
// Whether the setter leaves the progress bar at 1 (scroll bar setters) or 0.
bool setterFillsProgress(Setter setter);

// A list setter's value for the selected position; nothing when no entry is
// selected (or the position is outside the list). Not for DayNight.
std::optional<QString> listValueAt(Setter setter, int selectedIndex);

// What the window holds when a setter runs.
struct SetterInputs
{
    // Selected entry positions, -1 for none.
    int dnr3d = -1;
    int agc = -1;
    int senseUp = -1;
    int shutter = -1;
    int brightness = -1;
    int whiteBalance = -1;
    int blc = -1;
    int dayNight = -1;
    int clvi = -1;
    // Scroll bar positions.
    int pedestal = kScrollBarStart;
    int color = kScrollBarStart;
    int enhance = kScrollBarStart;
    // Displayed texts, sent as shown.
    QString gamma;
    QString avpColor;
    QString avpBlackWhite;
    // The main window's model label.
    QString modelLabel = QString::fromLatin1(kModelLabelInitial);
};

// The day/night setter's requests for the selected entry and model label.
QList<ParamQuery> dayNightRequests(const QString &sceneNumber, int selectedIndex, const QString &modelLabel);

// One setter's requests, in order: each write followed by its store command;
// empty when a list setter has no selected entry.
QList<ParamQuery> setterRequests(Setter setter, const QString &sceneNumber, const SetterInputs &inputs);

// The list entry a read-back value stands for, so that a setter pressed
// after the read-back writes back what the window shows: the entry that
// sends the value ("manual" is "OFF", "auto100" is "Auto100"). Nothing for a
// value no entry sends, and for the keys without a list setter.
std::optional<int> entryForCameraValue(SceneKey key, const QString &value);

// "Set to Scene File": the requests of its setters, in order.
QList<ParamQuery> setToSceneFileRequests(const QString &sceneNumber, const SetterInputs &inputs);

// Sends requests one after the other; a failure throws CameraError and
// ends the run at that request.
void sendAll(CameraSession &session, const QList<ParamQuery> &requests);

} // namespace qzr::image
