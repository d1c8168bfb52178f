#include "TestStreams.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>

namespace qzr::video::test {

QString makeClip(const QString &directory, const QString &fileName, const QString &source,
                 double seconds, const QStringList &codecArguments, QString *error)
{
    const QString path = QDir(directory).filePath(fileName);
    QStringList arguments{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                          QStringLiteral("error"),        QStringLiteral("-y"),
                          QStringLiteral("-f"),           QStringLiteral("lavfi"),
                          QStringLiteral("-i"),           source,
                          QStringLiteral("-t"),           QString::number(seconds)};
    arguments << codecArguments << path;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), arguments);
    if (!ffmpeg.waitForStarted(5000)) {
        *error = QStringLiteral("ffmpeg did not start: ") + ffmpeg.errorString();
        return {};
    }
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0) {
        *error = QStringLiteral("ffmpeg failed: ") + QString::fromLocal8Bit(ffmpeg.readAllStandardError());
        ffmpeg.kill();
        ffmpeg.waitForFinished(2000);
        return {};
    }
    return path;
}

QStringList codecArguments(const QString &codec)
{
    if (codec == QLatin1String("h264"))
        return {QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-tune"),
                QStringLiteral("zerolatency"), QStringLiteral("-preset"), QStringLiteral("ultrafast"),
                QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-g"),
                QStringLiteral("15")};
    if (codec == QLatin1String("mjpeg"))
        return {QStringLiteral("-c:v"), QStringLiteral("mjpeg"), QStringLiteral("-q:v"),
                QStringLiteral("3"), QStringLiteral("-pix_fmt"), QStringLiteral("yuvj420p")};
    return {QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-q:v"),
            QStringLiteral("3"), QStringLiteral("-g"), QStringLiteral("15")};
}

quint16 closedLoopbackPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

} // namespace qzr::video::test
