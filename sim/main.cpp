#include <QCoreApplication>

#include <cstdio>

#include "SimConfig.h"
#include "SimLogging.h"
#include "SimServer.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qzr-camsim"));
    const qzr::sim::ConfigResult parsed = qzr::sim::parseCommandLine(QCoreApplication::arguments());
    if (!parsed.ok) {
        std::fprintf(stderr, "qzr-camsim: %s\n", qPrintable(parsed.error));
        return 2;
    }
    qzr::sim::SimServer server(parsed.config.camera);
    if (!server.start(parsed.config.server))
        return 1;
    // Line 1: the HTTP port. Line 2 (with --rtsp-port only): "rtsp PORT".
    std::printf("%u\n", unsigned(server.port()));
    if (parsed.config.rtspPort) {
        const quint16 rtspPort = server.startRtsp(*parsed.config.rtspPort);
        if (rtspPort == 0) {
            std::fflush(stdout);
            std::fprintf(stderr, "qzr-camsim: cannot serve RTSP on port %u\n", unsigned(*parsed.config.rtspPort));
            return 1;
        }
        std::printf("rtsp %u\n", unsigned(rtspPort));
    }
    std::fflush(stdout);
    return QCoreApplication::exec();
}
