#pragma once
#include <QByteArray>
#include <QList>

// The demo presets: fixed request sequences that put the camera's encoders
// (and for two of them scene file 0) into a ready-made configuration. Each
// entry is one request target, sent as it stands.
namespace qzr::encoder::presets {

// Two H.264 streams: 1080p and 360p, encoder 3 off.
const QList<QByteArray> &configure2Streams();
// Three H.264 streams: 1080p, 720p and 360p.
const QList<QByteArray> &configure3Streams();
// Two 25 fps streams: 720p and 360p with variable bitrate, encoder 3 off.
const QList<QByteArray> &configure2x25fps();
// One 1080p stream and a low-light exposure in scene file 0.
const QList<QByteArray> &lowLightDemo();
// The factory-like single 1080p stream.
const QList<QByteArray> &terelleDefault();
// A flickerless shutter in scene file 0.
const QList<QByteArray> &flickerless();

// Pauses between the requests, in milliseconds.
constexpr int kRequestPauseMs = 200;
constexpr int kDefaultSettingPauseMs = 500;
constexpr int kDefaultSettingPausedRequests = 5;
constexpr int kViewerStartPauseMs = 200;
constexpr int kThreeStreamsViewerPauseMs = 1000;

} // namespace qzr::encoder::presets
