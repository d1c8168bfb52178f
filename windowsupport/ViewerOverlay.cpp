#include "windowsupport/ViewerOverlay.h"

namespace qzr::video::overlay {

QString timeCode(int timeFormat, const QDateTime &time)
{
    switch (timeFormat) {
    case 1: return time.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    case 2: return time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    default: return time.toString(QStringLiteral("hh:mm:ss"));
    }
}

QString title(const QString &ip, const QString &channel)
{
    return QStringLiteral("%1  CH %2").arg(ip, channel);
}

QString pictureInfo(QSize sourceSize, const QString &codecName)
{
    QString codec = codecName.toUpper();
    if (codecName == QLatin1String("h264"))
        codec = QStringLiteral("H.264");
    else if (codecName == QLatin1String("mjpeg"))
        codec = QStringLiteral("JPEG");
    else if (codecName == QLatin1String("mpeg4"))
        codec = QStringLiteral("MPEG-4");
    return QStringLiteral("%1x%2 %3").arg(sourceSize.width()).arg(sourceSize.height()).arg(codec);
}

QString motion(int motionLevel)
{
    return QStringLiteral("Motion %1%").arg(motionLevel);
}

QString decodingLoad(const FrameStats &stats)
{
    return QStringLiteral("Decode %1 ms/frame  dropped %2")
        .arg(stats.decodeMsPerFrame, 0, 'f', 1)
        .arg(stats.droppedFrames);
}

QString receivedRate(double framesPerSecond)
{
    return QStringLiteral("%1 fps").arg(framesPerSecond, 0, 'f', 1);
}

QString notice(const VideoError &error)
{
    QString text = errorCategoryText(error.category);
    if (error.retryInMs >= 0)
        text += QStringLiteral(" \u2013 retrying\u2026");
    return text;
}

QString noMulticastGroup()
{
    return QStringLiteral("No multicast group set yet");
}

int fpsRefreshSeconds(int dispFps)
{
    if (dispFps == kFpsOff || dispFps == kFpsReceivedRate || dispFps == kFpsDecodingLoad)
        return 1;
    return dispFps;
}

} // namespace qzr::video::overlay
