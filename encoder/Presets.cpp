#include "encoder/Presets.h"

namespace qzr::encoder::presets {

namespace {
const QByteArray kSave1 = "/api/param?encode(1).status=save";
const QByteArray kSave2 = "/api/param?encode(2).status=save";
const QByteArray kSave3 = "/api/param?encode(3).status=save";
} // namespace

const QList<QByteArray> &configure2Streams()
{
    static const QList<QByteArray> requests = {
        "/api/param?encode(1).type=h264high&encode(2).type=h264high&encode(3).type=off",
        "/api/param?encode(1).framesize=1920x1080&encode(2).framesize=640x360",
        "/api/param?encode(1).framerate=15&encode(2).framerate=15",
        "/api/param?encode(1).cbr_mode=cbr&encode(2).cbr_mode=cbr",
        "/api/param?encode(1).bitrate=3584000&encode(2).bitrate=512000",
        "/api/param?encode(1).iframeinterval=30&encode(2).iframeinterval=30",
        kSave1, kSave2, kSave3,
    };
    return requests;
}

const QList<QByteArray> &configure3Streams()
{
    static const QList<QByteArray> requests = {
        "/api/param?encode(1).type=h264high&encode(2).type=h264high&encode(3).type=h264high",
        "/api/param?encode(1).framesize=1920x1080&encode(2).framesize=1280x720&encode(3).framesize=640x360",
        "/api/param?encode(1).framerate=15&encode(2).framerate=15&encode(3).framerate=15",
        "/api/param?encode(1).cbr_mode=cbr&encode(2).cbr_mode=cbr&encode(3).cbr_mode=cbr",
        "/api/param?encode(1).bitrate=2048000&encode(2).bitrate=1024000&encode(3).bitrate=512000",
        "/api/param?encode(1).iframeinterval=30&encode(2).iframeinterval=30&encode(3).iframeinterval=30",
        kSave1, kSave2, kSave3,
    };
    return requests;
}

const QList<QByteArray> &configure2x25fps()
{
    static const QList<QByteArray> requests = {
        "/api/param?encode(1).type=h264high&encode(2).type=h264high&encode(3).type=off",
        "/api/param?encode(1).framesize=1280x720&encode(2).framesize=640x360",
        "/api/param?encode(1).framerate=25&encode(2).framerate=25",
        "/api/param?encode(1).cbr_mode=vbr&encode(2).cbr_mode=vbr",
        "/api/param?encode(1).bitrate=3072000&encode(2).bitrate=1024000",
        "/api/param?encode(1).iframeinterval=30&encode(2).iframeinterval=30",
        kSave1, kSave2, kSave3,
    };
    return requests;
}

const QList<QByteArray> &lowLightDemo()
{
    // The encoder values first, then scene file 0 initialised and selected
    // before its exposure values; the scene file is stored before the encoders.
    static const QList<QByteArray> requests = {
        "/api/param?encode(1).type=h264high&encode(2).type=off&encode(3).type=off",
        "/api/param?encode(1).framesize=1920x1080",
        "/api/param?encode(1).framerate=15",
        "/api/param?encode(1).cbr_mode=cbr",
        "/api/param?encode(1).bitrate=4096000",
        "/api/param?encode(1).iframeinterval=30",
        "/api/param?camera.scene(0).status=initialize",
        "/api/param?camera.scene(0).status=goto",
        "/api/param?camera.scene(0).image.brightness=autoH",
        "/api/param?camera.scene(0).image.senseup_limit=4",
        "/api/param?camera.scene(0).auto_exposure.priority=motion",
        "/api/param?camera.scene(0).shutter=30",
        "/api/param?camera.scene(0).image.true_daynight=autoL",
        "/api/param?camera.scene(0).status=save",
        kSave1, kSave2, kSave3,
    };
    return requests;
}

const QList<QByteArray> &terelleDefault()
{
    static const QList<QByteArray> requests = {
        "/api/param?encode(1).type=h264high&encode(1).framesize=1920x1080&encode(1).framerate=15"
        "&encode(1).cbr_mode=cbr&encode(1).bitrate=4096000&encode(1).iframeinterval=30&encode(1).status=save",
        "/api/param?encode(2).type=off",
        "/api/param?encode(3).type=off",
        kSave1, kSave2, kSave3,
    };
    return requests;
}

const QList<QByteArray> &flickerless()
{
    static const QList<QByteArray> requests = {
        "/api/param?camera.scene(0).shutter=flickerless",
        "/api/param?camera.scene(0).status=save",
    };
    return requests;
}

} // namespace qzr::encoder::presets
