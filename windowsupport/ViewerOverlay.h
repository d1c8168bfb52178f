#pragma once

#include <QDateTime>
#include <QSize>
#include <QString>

#include "video/VideoTypes.h"

namespace qzr::video {

// Texts the viewer draws over the picture; kept apart from painting so that
// they can be checked directly.
namespace overlay {

// TimeFormat: 0 "hh:mm:ss"; 1 "dd.MM.yyyy hh:mm:ss"; 2 (the tool's choice)
// "yyyy-MM-dd hh:mm:ss.zzz"; any other value as 0.
QString timeCode(int timeFormat, const QDateTime &time);

// DispTitle: "<address>  CH <channel>".
QString title(const QString &ip, const QString &channel);

// DispPosTitle: the stream's picture size and codec, "1920x1080 H.264".
QString pictureInfo(QSize sourceSize, const QString &codecName);

// DispMotion: "Motion 12%" (mean picture change from one frame to the next).
QString motion(int motionLevel);

// DispFPS 255: decoding load.
QString decodingLoad(const FrameStats &stats);

// DispFPS 254 and any n other than 0 and 255: the received frame rate.
QString receivedRate(double framesPerSecond);

// The notice shown instead of a picture after an error.
QString notice(const VideoError &error);

// The notice while multicast reception is asked for but no group and port
// are set: "No multicast group set yet".
QString noMulticastGroup();

// DispFPS values with a meaning of their own.
constexpr int kFpsOff = 0;
constexpr int kFpsReceivedRate = 254; // refreshed every second
constexpr int kFpsDecodingLoad = 255;
// Refresh interval in seconds of the frame-rate display for a DispFPS value.
int fpsRefreshSeconds(int dispFps);

} // namespace overlay
} // namespace qzr::video
