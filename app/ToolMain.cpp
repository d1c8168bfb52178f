#include "app/ToolMain.h"

#include "diagnostics/Diagnostics.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "app/Unit6.h"
#include "app/Unit13.h"
#include "windowsupport/Operation.h"
#include "app/WindowSet.h"
#include "protocol/Logging.h"
#include "protocol/Version.h"
#include "video/StreamSettings.h"
#include "windowsupport/TLiveViewer.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace qzr {

namespace {

constexpr int kScreenshotPolls = 80; // of 100 ms

// For an unattended run (no display): choose the preset camera the way the
// user would, start the live view, wait for its first pictures (a few
// seconds at most), take a picture of the screen and end.
void identifyAndTakeScreenshot(const QString &path)
{
    QTimer::singleShot(500, [path] {
        if (Form3)
            runReported([] { Form3->Button1Click(); });
        if (Form1 && Form1->Button2->isVisible())
            runReported([] { Form1->Button2Click(); });
        auto *poll = new QTimer(qApp);
        auto polls = std::make_shared<int>(0);
        QObject::connect(poll, &QTimer::timeout, [poll, polls, path] {
            auto *viewer = Form6 ? qobject_cast<TLiveViewer *>(Form6->LiveViewer1.data()) : nullptr;
            const bool picture = viewer && viewer->framesShown() > 5;
            if (!picture && ++*polls < kScreenshotPolls)
                return;
            poll->stop();
            QScreen *screen = QGuiApplication::primaryScreen();
            const bool saved = screen && screen->grabWindow(0).save(path, "PNG");
            std::fprintf(stderr, saved ? "screenshot written to %s\n" : "could not write the screenshot %s\n",
                         qPrintable(path));
            if (!picture)
                std::fprintf(stderr, "no live picture arrived within %d s\n", kScreenshotPolls / 10);
            QApplication::exit(saved ? 0 : 1);
        });
        poll->start(100);
    });
}

// True when the command line asks only for text ("--help", "--version"),
// which a console application prints: it needs no display.
bool asksForHelpOrVersion(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-h" || argument == "--help" || argument == "-?" || argument == "--help-all"
            || argument == "-v" || argument == "--version")
            return true;
    }
    return false;
}

} // namespace

int runTool(int argc, char *argv[])
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Setting and demonstration tool for QZ-R cameras."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption addressOption(QStringLiteral("address"), QStringLiteral("Camera address to preset."), QStringLiteral("ADDRESS"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Camera HTTP port to preset."), QStringLiteral("PORT"));
    const QCommandLineOption timeoutOption(QStringLiteral("timeout"), QStringLiteral("Reply time limit in seconds (default 30)."), QStringLiteral("SECONDS"));
    const QCommandLineOption screenshotOption(QStringLiteral("identify-and-screenshot"),
        QStringLiteral("Choose the preset camera, read its identity, save a screenshot to FILE and end."), QStringLiteral("FILE"));
    const QCommandLineOption streamOption(QStringLiteral("stream-url"),
        QStringLiteral("Live video address template with {ip} and {channel} (default %1; also QZR_STREAM_URL).")
            .arg(QLatin1String(video::StreamSettings::kDefaultUrlTemplate)),
        QStringLiteral("TEMPLATE"));
    const QCommandLineOption multicastOption(QStringLiteral("multicast-interface"),
        QStringLiteral("Local IPv4 address of the interface that joins multicast groups (default: the one "
                       "through which the camera is reached; 127.0.0.1 for a camera on loopback)."),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption udpPortOption(QStringLiteral("udp-port"),
        QStringLiteral("UDP port whose datagrams are shown in the reply log (default %1).")
            .arg(diagnostics::kDefaultUdpLogPort),
        QStringLiteral("N"));
    parser.addOptions({addressOption, portOption, timeoutOption, screenshotOption, streamOption, multicastOption,
                       udpPortOption});

    if (asksForHelpOrVersion(argc, argv)) {
        QCoreApplication console(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("qzr-setting-tool"));
        QCoreApplication::setApplicationVersion(versionText());
        parser.process(console); // prints the text and ends the process
    }

    prepareEmbeddedBrowser();
    QApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    QApplication::setApplicationDisplayName(applicationTitle());
    QApplication::setApplicationVersion(versionText()); // also shown by "About"
    // The installed desktop entry's id: the desktop shows its name and icon
    // for the tool's windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.terelle.QzrSettingTool"));
    parser.process(app);

    const QString streamTemplate = parser.isSet(streamOption) ? parser.value(streamOption)
                                                              : qEnvironmentVariable("QZR_STREAM_URL");
    if (!streamTemplate.isEmpty())
        video::StreamSettings::current().urlTemplate = streamTemplate;

    if (parser.isSet(multicastOption))
        video::StreamSettings::current().multicastInterface = parser.value(multicastOption);

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

    options.udpLogPort = diagnostics::kDefaultUdpLogPort;
    if (parser.isSet(udpPortOption)) {
        bool ok = false;
        const uint port = parser.value(udpPortOption).toUInt(&ok);
        if (!ok || port < 1 || port > 65535) {
            std::fprintf(stderr, "--udp-port needs a port number from 1 to 65535\n");
            return 2;
        }
        options.udpLogPort = quint16(port);
    }

    WindowSet windows(options);
    if (parser.isSet(screenshotOption))
        identifyAndTakeScreenshot(parser.value(screenshotOption));
    return app.exec();
}

} // namespace qzr
