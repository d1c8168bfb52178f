#pragma once
// Where a camera's live video is, for the site's wall and its commissioning
// report: the camera's own address, the RTSP port it reports
// (network.rtsp.port) and the channel path the tool uses everywhere
// (/channel1 .. /channel3). A --stream-url template overrides it as in the
// main window.
#include "encoder/EncoderRead.h"

#include <QString>

#include <array>
#include <optional>

namespace qzr::site {

inline const QString kRtspPortKey = QStringLiteral("network.rtsp.port");

// The picture size of a camera frame size text ("1920x1080", "quadvga",
// "1280x720", "640x360", "vga", "qvga"); 0 x 0 for anything else.
struct FrameSize
{
    int width = 0;
    int height = 0;
    int pixels() const { return width * height; }
};
FrameSize frameSizeOf(const QString &text);

// Whether an encoder sends video: a type that is not "off" (nor a refusal)
// and a frame size the tool knows.
bool encoderRuns(const QString &type, const QString &frameSize);

// The channel (1..3) whose encoder runs at the fewest pixels (the wall's
// tiles) or at the most (the report's picture). The lower channel wins a
// tie; nullopt when no encoder runs.
std::optional<int> lowestResolutionChannel(const std::array<encoder::EncoderSettings, 3> &encoders);
std::optional<int> largestChannel(const std::array<encoder::EncoderSettings, 3> &encoders);

// The RTSP port a camera reports, checked: a whole number 1..65535 and
// nothing else. nullopt for anything else (the camera's text is not used).
std::optional<quint16> rtspPortOf(const QString &reported);

// The stream of `channel` on the camera at `host`. Without a template:
// rtsp://HOST:RTSPPORT/channelN (an IPv6 address in brackets). A template
// has "{ip}", "{port}" (the RTSP port) and "{channel}" replaced.
QString cameraStreamUrl(const QString &host, quint16 rtspPort, int channel, const QString &urlTemplate = {});

} // namespace qzr::site
