#pragma once
// The widget-free layer of the SD card window: its three lists, the requests
// their entries send (by position) and what the labels then show.
#include "protocol/RequestTarget.h"

#include <QString>

#include <array>
#include <optional>

namespace qzr::lens {

// The lists: the prompt shown at the start and the entries.
inline constexpr char kEncoderListPrompt[] = "SD Card Encoder";
inline constexpr std::array<const char *, 3> kEncoderEntries{"1", "2", "3"};
inline constexpr char kCardStatusListPrompt[] = "SD Card Status";
inline constexpr std::array<const char *, 2> kCardStatusEntries{"ENABLE", "DISABLE"};
inline constexpr char kRecordingListPrompt[] = "Recording Mode";
inline constexpr std::array<const char *, 2> kRecordingEntries{"ON", "OFF"};

// The keys; object and event 8 and disk 1 are fixed.
inline constexpr char kRecordingSourceKey[] = "application.object(8).source";
inline constexpr char kCardCapacityKey[] = "storage.disk(1).size";
inline constexpr char kCardStatusKey[] = "storage.disk(1).status";
inline constexpr char kConstantRecordingKey[] = "application.event(8).status";

// The encoder list: "application.object(8).source=encode(n)" for the entry
// at position n - 1; nothing for a position outside the list.
std::optional<ParamQuery> recordingSourceRequest(int position);

// What a status label shows after its request returned: "ON" in green or
// "OFF" in red.
enum class Indication { On, Off };
QString indicationText(Indication indication);
// 0xRRGGBB
unsigned indicationRgb(Indication indication);
inline constexpr unsigned kGreenRgb = 0x008000;
inline constexpr unsigned kRedRgb = 0xFF0000;

struct SwitchChoice
{
    ParamQuery request;
    Indication shown;
};

// "ENABLE": "storage.disk(1).status=on", shown "ON"; "DISABLE": "=off", "OFF".
std::optional<SwitchChoice> cardStatusChoice(int position);
// "ON": "application.event(8).status=on", shown "ON"; "OFF": "=off", "OFF".
std::optional<SwitchChoice> recordingChoice(int position);

// The capacity as shown: the camera's value with "B" appended directly, no
// unit conversion; in green.
QString capacityCaption(const QString &value);
inline constexpr unsigned kCapacityRgb = kGreenRgb;

} // namespace qzr::lens
