// qzr-form-shots: pictures of the tool's windows, Designer files of their
// widget trees, and the comparison of two sets of pictures. See README.md.
#include "Compare.h"
#include "FormSession.h"
#include "UiDump.h"

#include "ProjectHeaders.h"

#include QZR_FORMSHOTS_SIMTHREAD_H
#include QZR_FORMSHOTS_STREAMSETTINGS_H
#include QZR_FORMSHOTS_TLIVEVIEWER_H

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>

using namespace qzr::formshots;

namespace {

constexpr int kLivePictureWaitMs = 20000;

// The address the windows are started with, and so the only one they talk to.
const QString kLoopback = QStringLiteral("127.0.0.1");

void say(const QString &text)
{
    std::fprintf(stdout, "%s\n", qPrintable(text));
    std::fflush(stdout);
}

void complain(const QString &text)
{
    std::fprintf(stderr, "qzr-form-shots: %s\n", qPrintable(text));
}

bool save(const QImage &picture, const QString &folder, const QString &name)
{
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (picture.isNull() || !picture.save(path, "PNG")) {
        complain(QStringLiteral("could not write %1").arg(path));
        return false;
    }
    say(QStringLiteral("wrote %1 (%2x%3)").arg(path).arg(picture.width()).arg(picture.height()));
    return true;
}

QStringList applyOverrides(FormSession &session)
{
    const QString overrides = qEnvironmentVariable("QZR_FORMSHOTS_SET");
    if (overrides.isEmpty())
        return {};
    say(QStringLiteral("changing the windows as QZR_FORMSHOTS_SET says: %1").arg(overrides));
    const QStringList failed = session.applyPropertyOverrides(overrides);
    for (const QString &entry : failed)
        complain(QStringLiteral("QZR_FORMSHOTS_SET: could not apply \"%1\"").arg(entry));
    return failed;
}

// The windows' explicitly hidden widgets, shown for one picture.
QList<QWidget *> hiddenFormWidgets(QWidget *window)
{
    QList<QWidget *> hidden;
    for (QWidget *widget : formWidgets(window))
        if (widget->testAttribute(Qt::WA_WState_ExplicitShowHide) && widget->testAttribute(Qt::WA_WState_Hidden))
            hidden << widget;
    return hidden;
}

// The viewer that receives a stream, of whichever window shows it.
TLiveViewer *liveViewer()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        for (TLiveViewer *viewer : window->findChildren<TLiveViewer *>())
            if (viewer->isLive())
                return viewer;
    return nullptr;
}

// A window state that needs the camera: what is pressed, and the window
// whose picture shows the result.
struct CameraState
{
    const char *pressWindow;
    const char *control;
    const char *shownWindow;
};

// In this order: choosing the camera in "IP Setup" first, as a user does.
constexpr CameraState kCameraStates[] = {
    {"Form3", "Button1", "Form1"},                 // "Save Settings": identity read, live controls shown
    {"Form12", "Button1", "Form12"},               // "REFRESH ALL": the three encoders
    {"Form1", "CameraVideoSettings1", "Form7"},    // menu "Camera Video Settings": the scene values
    {"Form15", "Button2", "Form15"},               // "Get Settings": the network values
    {"Form17", "Button1", "Form17"},               // "Check SD Card capacity"
};

int takeShots(const QString &folder, bool live)
{
    if (!QDir().mkpath(folder)) {
        complain(QStringLiteral("cannot make the folder %1").arg(folder));
        return 2;
    }
    bool ok = true;
    FormSession session;
    if (!session.startCamera()) {
        complain(QStringLiteral("the simulated camera could not listen on 127.0.0.1"));
        return 1;
    }
    session.openWindows();
    ok = applyOverrides(session).isEmpty() && ok;

    // 1. Every window as it was built.
    session.showAll();
    FormSession::deactivateAll();
    const QList<QWidget *> windows = session.windows();
    say(QStringLiteral("%1 windows").arg(windows.size()));
    for (QWidget *window : windows)
        ok = save(FormSession::picture(window), folder, FormSession::nameOf(window)) && ok;

    // 2. The same with their hidden widgets shown, then hidden again.
    for (QWidget *window : windows) {
        const QList<QWidget *> hidden = hiddenFormWidgets(window);
        if (hidden.isEmpty())
            continue;
        for (QWidget *widget : hidden)
            widget->show();
        FormSession::deactivateAll();
        ok = save(FormSession::picture(window), folder, FormSession::nameOf(window) + QStringLiteral("-revealed")) && ok;
        for (QWidget *widget : hidden)
            widget->hide();
    }
    FormSession::settle();

    // 3. The windows whose look comes from the camera, after reading it.
    const int reportsBefore = session.reports().size();
    for (const CameraState &state : kCameraStates) {
        if (!session.press(QString::fromLatin1(state.pressWindow), QString::fromLatin1(state.control))) {
            ok = false;
            continue;
        }
        QWidget *shown = session.window(QString::fromLatin1(state.shownWindow));
        if (!shown) {
            complain(QStringLiteral("no window %1").arg(QString::fromLatin1(state.shownWindow)));
            ok = false;
            continue;
        }
        shown->show();
        FormSession::deactivateAll();
        ok = save(FormSession::picture(shown), folder, FormSession::nameOf(shown) + QStringLiteral("-camera")) && ok;
    }

    // 4. The main window while the live view shows the camera's stream.
    if (live) {
        qzr::sim::SimThread *camera = session.camera();
        const quint16 rtsp = camera->startRtsp(0);
        if (rtsp == 0) {
            complain(QStringLiteral("the simulated camera's video could not listen"));
            ok = false;
        } else {
            qzr::video::StreamSettings::current().urlTemplate =
                QStringLiteral("rtsp://{ip}:%1/channel{channel}").arg(rtsp);
            camera->setValue(QStringLiteral("encode(1).type"), QStringLiteral("h264high"));
            camera->setValue(QStringLiteral("encode(1).framesize"), QStringLiteral("640x360"));
            if (session.press(QStringLiteral("Form1"), QStringLiteral("Button2"))) {
                // Bounded: the picture of the main window is taken whether or
                // not the stream's first pictures arrived.
                TLiveViewer *viewer = liveViewer();
                const QDeadlineTimer deadline(kLivePictureWaitMs);
                while (viewer && viewer->framesShown() == 0 && !deadline.hasExpired())
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
                if (!viewer || viewer->framesShown() == 0)
                    complain(QStringLiteral("no live picture arrived within %1 s; the main window is taken anyway")
                                 .arg(kLivePictureWaitMs / 1000));
                else
                    say(QStringLiteral("live view running (%1 pictures shown)").arg(viewer->framesShown()));
                FormSession::deactivateAll();
                ok = save(FormSession::picture(session.window(QStringLiteral("Form1"))), folder,
                          QStringLiteral("Form1-live"))
                    && ok;
                session.press(QStringLiteral("Form1"), QStringLiteral("Button2")); // stops the view
            } else {
                ok = false;
            }
        }
    }

    const QStringList reports = session.reports().mid(reportsBefore);
    for (const QString &report : reports) {
        if (report.startsWith(QLatin1String("error:")))
            ok = false;
    }
    return ok ? 0 : 1;
}

int dumpForms(const QString &folder)
{
    if (!QDir().mkpath(folder)) {
        complain(QStringLiteral("cannot make the folder %1").arg(folder));
        return 2;
    }
    FormSession session; // no camera: nothing is pressed
    session.openWindows();
    bool ok = applyOverrides(session).isEmpty();
    session.showAll();
    FormSession::deactivateAll();
    for (QWidget *window : session.windows()) {
        const UiFile file = dumpUi(window, {kLoopback});
        const QString path = QDir(folder).filePath(file.fileName);
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(file.contents) != file.contents.size()
            || !out.flush()) {
            complain(QStringLiteral("could not write %1").arg(path));
            ok = false;
            continue;
        }
        say(QStringLiteral("wrote %1 (%2, %3)").arg(path, file.uiClass, FormSession::nameOf(window)));
        for (const QString &note : file.notes)
            say(QStringLiteral("  not in the file: %1").arg(note));
    }
    return ok ? 0 : 1;
}

int compare(const QString &folderA, const QString &folderB, const QString &differences)
{
    QStringList lines;
    const bool same = compareFolders(folderA, folderB, &lines);
    for (const QString &line : lines)
        say(line);
    if (!differences.isEmpty()) {
        // A picture of each difference: the first folder's, faded, the
        // differing pixels in red.
        QDir().mkpath(differences);
        for (const QString &file : QDir(folderA).entryList({QStringLiteral("*.png")}, QDir::Files)) {
            const QImage a(QDir(folderA).filePath(file));
            const QImage b(QDir(folderB).filePath(file));
            if (a.isNull() || b.isNull())
                continue;
            const PictureDifference difference = comparePictures(a, b);
            if (!difference.same() && !difference.mask.save(QDir(differences).filePath(file), "PNG"))
                complain(QStringLiteral("could not write %1").arg(QDir(differences).filePath(file)));
        }
    }
    say(same ? QStringLiteral("all same") : QStringLiteral("pictures differ"));
    return same ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // The windows are drawn offscreen whatever display there is: the same
    // pictures everywhere, no window on anybody's screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qzr-form-shots"));
    // The camera's and the viewer's request logs would drown what the tool says.
    QLoggingCategory::setFilterRules(QStringLiteral("qzr.*.debug=false\nqzr.*.info=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Pictures of the QZ-R setting tool's windows (--out), Qt Designer files of their widget trees (--dump-ui), "
        "and the comparison of two sets of pictures (--compare). The windows talk only to a simulated camera on "
        "127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Write the pictures to DIR."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption noLiveOption(QStringLiteral("no-live"),
                                          QStringLiteral("With --out: leave out the main window during a live view."));
    const QCommandLineOption dumpOption(QStringLiteral("dump-ui"),
                                        QStringLiteral("Write a Designer file of every window to DIR."),
                                        QStringLiteral("DIR"));
    const QCommandLineOption compareOption(QStringLiteral("compare"),
                                           QStringLiteral("Compare the pictures of DIR_A with those of the "
                                                          "folder given after it; exit 0 only when all are the same."),
                                           QStringLiteral("DIR_A"));
    const QCommandLineOption diffOption(QStringLiteral("diff"),
                                        QStringLiteral("With --compare: write a picture of each difference to DIR."),
                                        QStringLiteral("DIR"));
    parser.addOptions({outOption, noLiveOption, dumpOption, compareOption, diffOption});
    parser.addPositionalArgument(QStringLiteral("DIR_B"), QStringLiteral("With --compare: the second folder."));
    parser.process(app);

    const int modes = int(parser.isSet(outOption)) + int(parser.isSet(dumpOption)) + int(parser.isSet(compareOption));
    if (modes != 1) {
        complain(QStringLiteral("give one of --out DIR, --dump-ui DIR, --compare DIR_A DIR_B"));
        return 2;
    }
    if (parser.isSet(compareOption)) {
        if (parser.positionalArguments().size() != 1) {
            complain(QStringLiteral("--compare needs two folders"));
            return 2;
        }
        return compare(parser.value(compareOption), parser.positionalArguments().constFirst(), parser.value(diffOption));
    }
    if (parser.isSet(dumpOption))
        return dumpForms(parser.value(dumpOption));
    return takeShots(parser.value(outOption), !parser.isSet(noLiveOption));
}
