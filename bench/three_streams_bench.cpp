// "Configure 3 Streams" and then all three streams decoded at once in the
// tool: the multistream window (channels 1 and 2), the full HD window
// (channel 1) and the live view on channel 3. Prints the frames shown per
// second of each viewer against the configured 15 fps, whether any viewer
// falls behind (dropped frames), and the tool's share of the CPU. The camera
// simulator runs as a separate process so that its encoding is not counted.
//
//   qzr_bench_three_streams [SECONDS=20]
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "app/Unit6.h"
#include "app/Unit8.h"
#include "app/Unit9.h"
#include "app/WindowSet.h"
#include "video/StreamSettings.h"
#include "windowsupport/TLiveViewer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Watched
{
    const char *name;
    TLiveViewer *viewer;
    qint64 framesAtStart = 0;
    qint64 droppedAtStart = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 20;

    QProcess camera;
    camera.start(QCoreApplication::applicationDirPath() + QStringLiteral("/qzr-camsim"),
                 {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--rtsp-port"), QStringLiteral("0")});
    QString httpPort;
    QString rtspPort;
    for (int i = 0; i < 50 && rtspPort.isEmpty(); ++i) {
        camera.waitForReadyRead(200);
        while (camera.canReadLine()) {
            const QString line = QString::fromLatin1(camera.readLine()).trimmed();
            if (httpPort.isEmpty())
                httpPort = line;
            else if (line.startsWith(QLatin1String("rtsp ")))
                rtspPort = line.mid(5);
        }
    }
    if (rtspPort.isEmpty()) {
        std::fprintf(stderr, "the camera simulator did not start\n");
        return 1;
    }
    qzr::video::StreamSettings::current().urlTemplate =
        QStringLiteral("rtsp://{ip}:%1/channel{channel}").arg(rtspPort);

    int status = 0;
    {
        qzr::StartOptions options;
        options.address = QStringLiteral("127.0.0.1");
        options.port = httpPort;
        qzr::WindowSet windows(options);
        Form3->Button1Click();
        Form1->Button10Click();   // "Configure 3 Streams"
        qzr::shared().LiveChannel = QStringLiteral("3");   // and the 360p stream
        Form1->Button2Click();                              // in the live view
        std::vector<Watched> viewers = {
            {"multistream channel 1 (1080p)", qobject_cast<TLiveViewer *>(Form8->LiveViewer2.data())},
            {"multistream channel 2 (720p) ", qobject_cast<TLiveViewer *>(Form8->LiveViewer1.data())},
            {"full HD channel 1 (1080p)    ", qobject_cast<TLiveViewer *>(Form9->LiveViewer1.data())},
            {"live view channel 3 (360p)   ", qobject_cast<TLiveViewer *>(Form6->LiveViewer1.data())},
        };
        waitMs(3000);   // every stream running
        for (Watched &watched : viewers) {
            watched.framesAtStart = watched.viewer->framesShown();
            watched.droppedAtStart = watched.viewer->receiver() ? watched.viewer->receiver()->stats().droppedFrames : 0;
        }
        const double cpuAtStart = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        waitMs(seconds * 1000);
        const double elapsed = wall.elapsed() / 1000.0;
        const double cpu = cpuSeconds() - cpuAtStart;

        std::printf("after \"Configure 3 Streams\", %d s, configured 15 fps each:\n", seconds);
        for (const Watched &watched : viewers) {
            const double fps = (watched.viewer->framesShown() - watched.framesAtStart) / elapsed;
            const qint64 dropped = (watched.viewer->receiver() ? watched.viewer->receiver()->stats().droppedFrames : 0)
                - watched.droppedAtStart;
            std::printf("  %s %5.1f fps shown, %lld dropped\n", watched.name, fps, static_cast<long long>(dropped));
            if (fps < 14.0)
                status = 2;
        }
        std::printf("tool CPU: %.2f s over %.1f s = %.0f%% of one core (%.0f%% of the 2-core machine)\n",
                    cpu, elapsed, 100.0 * cpu / elapsed, 50.0 * cpu / elapsed);
    }
    camera.terminate();
    camera.waitForFinished(3000);
    return status;
}
