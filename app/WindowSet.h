#pragma once
#include <QString>
#include <memory>
#include <optional>

namespace qzr {

// What the command line of the tool presets.
struct StartOptions
{
    QString address;        // empty: the main window's default stays
    QString port;
    int replyTimeoutS = 0;  // 0: the client's default
    // The UDP log's port (the tool passes 80 unless told otherwise; 0: any
    // free port); none: no UDP log.
    std::optional<quint16> udpLogPort;
};

// The process-wide state that several windows share.
struct SharedState
{
    int LiveViewActive = 0;          // 1 while a live view runs in the CAM 3 window
    QString LiveChannel = QStringLiteral("1");
    QString StoredSceneNumber;       // the camera's scene file as last read
    QString EditedSceneNumber;       // the scene file being edited
    QString NightFocusValue;         // the last night-focus value read
};

SharedState &shared();

// The seventeen windows, created in their fixed order (TForm1 first, which
// makes it the main window) and destroyed together.
class WindowSet
{
public:
    explicit WindowSet(const StartOptions &options = {});
    ~WindowSet();
    WindowSet(const WindowSet &) = delete;
    WindowSet &operator=(const WindowSet &) = delete;
};

} // namespace qzr
