#pragma once
// The reads the tool makes for the settings file, spelled out once for the
// tests: the encoder reads and the scene read-back, as query texts (what
// follows "/api/param?").
#include <QString>
#include <QStringList>

namespace qzr::testsupport {

// The encoder reads of encoders 1, 2 and 3 for their codecs: the JPEG size
// for "jpeg", the bitrate otherwise.
inline QStringList encoderReadQueries(const QStringList &codecs)
{
    QStringList queries;
    for (int n = 1; n <= 3; ++n) {
        const bool jpeg = codecs.at(n - 1) == QLatin1String("jpeg");
        for (const char *name : {"type", jpeg ? "quality" : "bitrate", "framesize", "cbr_mode", "iframeinterval",
                                 "framerate"})
            queries << QStringLiteral("encode(%1).%2").arg(n).arg(QLatin1String(name));
    }
    return queries;
}

// The fifteen reads of scene file n, in the order the tool makes them.
inline QStringList sceneReadQueries(const QString &n)
{
    QStringList queries;
    for (const char *suffix :
         {".image.3ddnr", ".image.brightness", ".image.senseup_limit", ".shutter", ".auto_exposure.reference",
          ".image.color", ".image.true_daynight", ".image.white_balance", ".image.blc", ".image.enhance",
          ".image.clvi", ".image.pedestal", ".image.gamma", ".auto_exposure.av_pk.color",
          ".auto_exposure.av_pk.black_white"})
        queries << QStringLiteral("camera.scene(%1)%2").arg(n, QLatin1String(suffix));
    return queries;
}

// The same as request targets.
inline QStringList asTargets(const QStringList &queries)
{
    QStringList targets;
    for (const QString &query : queries)
        targets << QStringLiteral("/api/param?") + query;
    return targets;
}

inline QStringList encoderReadTargets(const QStringList &codecs)
{
    return asTargets(encoderReadQueries(codecs));
}

inline QStringList sceneReadTargets(const QString &n)
{
    return asTargets(sceneReadQueries(n));
}

} // namespace qzr::testsupport
