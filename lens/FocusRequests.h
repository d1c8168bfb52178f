#pragma once
// The widget-free layer of the focus window: the lens requests, the fine
// focus steps, the supervision of an auto focus run and the night-focus
// spinner rule.
#include "protocol/RequestTarget.h"

#include <QList>
#include <QString>

#include <array>
#include <functional>

namespace qzr::lens {

// ---- Keys and requests --------------------------------------------------

inline constexpr char kAdjustModeKey[] = "camera.focus.adjust_mode";
inline constexpr char kFocusCommandKey[] = "camera.focus";
inline constexpr char kBackFocusCommandKey[] = "camera.focus.abf_pos";
inline constexpr char kFineFocusKey[] = "camera.focus.finefocus";
inline constexpr char kNightFocusKey[] = "camera.focus.nightfocus";

// The camera's focus adjust modes: "day" or "night" while an adjustment
// runs, "init_pos" for the back-focus initialisation, "select" after it.
enum class AdjustMode { Day, Night, Select, InitPos };
const char *adjustModeValue(AdjustMode mode);
// "camera.focus.adjust_mode=day" and so on.
ParamQuery adjustModeRequest(AdjustMode mode);

// Day auto focus: "camera.focus.adjust_mode=day", then "camera.focus=op_auto".
QList<ParamQuery> dayAutoFocusStartRequests();
// Back-focus initialisation: "camera.focus.adjust_mode=init_pos", then
// "camera.focus.abf_pos=initialize".
QList<ParamQuery> backFocusStartRequests();
// The end of every focus adjustment: "camera.focus.adjust_mode=select".
ParamQuery focusEndRequest();

// ---- Fine focus ---------------------------------------------------------

// The step sizes of the fine focus list; "10" is shown at the start.
inline constexpr std::array<const char *, 16> kFineSteps{"1",  "2",  "4",  "6",  "8",  "10", "20",  "30",
                                                         "40", "50", "60", "70", "80", "90", "100", "200"};
inline constexpr int kDefaultFineStepIndex = 5;

enum class FineDirection { Plus, Minus };
// "camera.focus.finefocus=+" or "=-" directly followed by the step text,
// whatever it holds.
ParamQuery fineFocusRequest(FineDirection direction, const QString &step);

// ---- Night focus --------------------------------------------------------

// The spinner's range: the camera's night-focus positions.
inline constexpr int kNightFocusMin = 0;
inline constexpr int kNightFocusMax = 9;
// The blocking pause after each night-focus step.
inline constexpr int kNightFocusPauseMs = 2000;

enum class NightStep { Down, Up };
// "camera.focus.nightfocus=-" or "camera.focus.nightfocus=+".
ParamQuery nightFocusStepRequest(NightStep step);

// One click of the spinner that has moved to position: a step down when the
// position is below the camera's value, then, with the value read again (the
// step refreshed it), a step up when the position is above it. At most one
// step each way; equal values send nothing. cameraValue converts the last
// value read and throws CameraError when it is no whole number; step sends
// the step and refreshes the value.
void runNightFocusClick(int position, const std::function<int()> &cameraValue,
                        const std::function<void(NightStep)> &step);

// ---- Supervising an auto focus run --------------------------------------

// One poll is a pause followed by a read of the focus status.
inline constexpr int kPollIntervalMs = 500;
inline constexpr int kPollLimit = 120;
static_assert(kPollLimit * kPollIntervalMs == 60000, "the time-limit messages say 60 seconds");

// The focus status values the tool acts on, compared whole and case-sensitively.
inline constexpr char kStatusStopped[] = "stop";
inline constexpr char kStatusObjectError[] = "OBJECT_ERROR";

enum class FocusRun {
    DayAutoFocus,       // ends on "stop" or "OBJECT_ERROR"
    BackFocusInitialize // ends on "stop" only
};

enum class PollOutcome {
    Stopped,     // the camera reported "stop"
    ObjectError, // the camera could not find a focus (day auto focus only)
    TimedOut     // the poll limit was reached without either
};

struct PollResult
{
    PollOutcome outcome;
    int polls; // status reads made
};

// Polls until the run ends or pollLimit polls were made: pause(kPollIntervalMs),
// then readStatus(). A failure thrown by either ends the polling.
PollResult pollFocusStatus(FocusRun run, const std::function<void(int pause_ms)> &pause,
                           const std::function<QString()> &readStatus, int pollLimit = kPollLimit);

// ---- Messages -----------------------------------------------------------

inline constexpr char kFocusFinishedMessage[] = "Focus Adjust Finish";
inline constexpr char kOutOfRangeMessage[] =
    "Out of range, please roughly adjust by using \"Fine plus\" or \"Fine minus\", then run Auto focus again";
inline constexpr char kBackFocusFinishedMessage[] = "Back Focus Initialize has Finished";
inline constexpr char kModelRefusedMessage[] = "Modle is not QZ-R50U ! This function only works with QZ-R50U";
// A run that never reported "stop" did not finish: said so, not reported as done.
inline constexpr char kFocusTimedOutMessage[] = "Focus Adjust did not finish within 60 seconds";
inline constexpr char kBackFocusTimedOutMessage[] = "Back Focus Initialize did not finish within 60 seconds";

// The message that ends a run: finished, out of range, or not finished in time.
QString closingMessage(FocusRun run, PollOutcome outcome);

// ---- Back focus ---------------------------------------------------------

// Only this exact caption of the main window's model label allows the
// back-focus initialisation.
inline constexpr char kBackFocusModelLabel[] = "Model: QZ-R50";
bool backFocusAllowed(const QString &modelLabel);

} // namespace qzr::lens
