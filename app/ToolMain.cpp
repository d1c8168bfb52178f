#include "app/ToolMain.h"

#include "app/Forms.h"
#include "app/Operation.h"
#include "app/WindowSet.h"
#include "protocol/Logging.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTimer>
#include <cstdio>

namespace qzr {

namespace {

// For an unattended run (no display): read the camera's identity the way
// the user would, take a picture of the screen and end.
void identifyAndTakeScreenshot(const QString &path)
{
    QTimer::singleShot(500, [path] {
        if (Form3)
            runReported([] { Form3->Button1Click(); });
        QTimer::singleShot(700, [path] {
            QScreen *screen = QGuiApplication::primaryScreen();
            const bool saved = screen && screen->grabWindow(0).save(path, "PNG");
            std::fprintf(stderr, saved ? "screenshot written to %s\n" : "could not write the screenshot %s\n",
                         qPrintable(path));
            QApplication::exit(saved ? 0 : 1);
        });
    });
}

} // namespace

int runTool(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    QApplication::setApplicationDisplayName(applicationTitle());
    QApplication::setApplicationVersion(QStringLiteral("0.1"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Setting and demonstration tool for QZ-R cameras."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption addressOption(QStringLiteral("address"), QStringLiteral("Camera address to preset."), QStringLiteral("ADDRESS"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Camera HTTP port to preset."), QStringLiteral("PORT"));
    const QCommandLineOption timeoutOption(QStringLiteral("timeout"), QStringLiteral("Reply time limit in seconds (default 30)."), QStringLiteral("SECONDS"));
    const QCommandLineOption screenshotOption(QStringLiteral("identify-and-screenshot"),
        QStringLiteral("Choose the preset camera, read its identity, save a screenshot to FILE and end."), QStringLiteral("FILE"));
    parser.addOptions({addressOption, portOption, timeoutOption, screenshotOption});
    parser.process(app);

    StartOptions options;
    options.address = parser.value(addressOption);
    options.port = parser.value(portOption);
    if (parser.isSet(timeoutOption)) {
        bool ok = false;
        options.replyTimeoutS = parser.value(timeoutOption).toInt(&ok);
        if (!ok || options.replyTimeoutS <= 0) {
            std::fprintf(stderr, "--timeout needs a whole number of seconds above 0\n");
            return 2;
        }
    }

    WindowSet windows(options);
    if (parser.isSet(screenshotOption))
        identifyAndTakeScreenshot(parser.value(screenshotOption));
    return app.exec();
}

} // namespace qzr
