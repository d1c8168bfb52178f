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
    std::printf("%u\n", unsigned(server.port()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
