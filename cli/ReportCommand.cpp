#include "cli/ReportCommand.h"

#include "cli/Fleet.h"
#include "cli/SettingsCommands.h"
#include "cli/StopSignals.h"
#include "protocol/CameraError.h"
#include "protocol/ShownText.h"
#include "settingsfile/CameraSettings.h"
#include "settingsfile/SafeFile.h"
#include "site/CameraStream.h"
#include "site/FirstPicture.h"
#include "site/ReportData.h"
#include "site/ReportPage.h"
#include "video/StreamSource.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QThread>

#include <algorithm>
#include <memory>
#include <vector>

namespace qzr::cli {

namespace {

const QString kPageFileName = QStringLiteral("index.html");
const QString kJsonFileName = QStringLiteral("report.json");
// What the report's files take per camera, about (the check of its folder).
constexpr qint64 kBytesPerCamera = 256 * 1024;
constexpr int kJpegQuality = 85;

QString pictureFileName(int index)
{
    return QStringLiteral("camera-%1.jpg").arg(index + 1, 3, 10, QLatin1Char('0'));
}

// The picture as JPEG bytes; empty when it cannot be encoded.
QByteArray jpegBytes(const QImage &picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kJpegQuality);
    if (!writer.write(picture))
        return {};
    return bytes;
}

// Where a camera's picture comes from, or why it has none.
struct PicturePlan
{
    std::optional<site::PictureSource> source;
    QString problem;
};

PicturePlan picturePlan(site::CameraReport &camera, const Invocation &invocation)
{
    PicturePlan plan;
    const std::optional<int> channel = site::largestChannel(camera.encoders);
    if (!channel) {
        plan.problem = QStringLiteral("no encoder is running");
        return plan;
    }
    camera.channel = *channel;
    const QString &urlTemplate = invocation.streamUrl;
    quint16 rtspPort = 0;
    if (urlTemplate.isEmpty() || urlTemplate.contains(QLatin1String("{port}"))) {
        const std::optional<quint16> port = site::rtspPortOf(camera.rtspPort);
        if (!port) {
            plan.problem = QStringLiteral("the camera reports %1 '%2', which is no port from 1 to 65535")
                               .arg(site::kRtspPortKey, shownText(camera.rtspPort));
            return plan;
        }
        rtspPort = *port;
    }
    const QString url = site::cameraStreamUrl(camera.host, rtspPort, *channel, urlTemplate);
    camera.streamUrl = video::UrlStreamSource::redacted(url);
    const ConnectionFields credentials = cameraCredentials(invocation, camera.host);
    plan.source = site::PictureSource{url, credentials.user, credentials.password,
                                      site::pictureSizeFor(camera.encoders[size_t(*channel - 1)].frameSize)};
    return plan;
}

QString pictureLine(int finished, int total, const site::CameraReport &camera)
{
    if (!camera.picture.isEmpty())
        return QStringLiteral("[%1/%2] %3 picture: channel %4, %5 x %6\n")
            .arg(finished)
            .arg(total)
            .arg(camera.name)
            .arg(camera.channel)
            .arg(camera.pictureSize.width())
            .arg(camera.pictureSize.height());
    return QStringLiteral("[%1/%2] %3 no picture: %4\n")
        .arg(finished)
        .arg(total)
        .arg(camera.name, cellText(shownText(camera.pictureError, kMaxShownMessageChars)));
}

// "3 camera(s): 1 equal, 1 differ, 1 failed, 0 without a picture".
QString reportSummary(const site::ReportCounts &counts, bool audit)
{
    QStringList counted;
    if (audit)
        counted << QStringLiteral("%1 equal").arg(counts.equal) << QStringLiteral("%1 differ").arg(counts.differ);
    counted << QStringLiteral("%1 failed").arg(counts.failed)
          << QStringLiteral("%1 without a picture").arg(counts.withoutPicture);
    return QStringLiteral("%1 camera(s): %2\n").arg(counts.cameras).arg(counted.join(QStringLiteral(", ")));
}

} // namespace

int pictureJobs(int jobs)
{
    return std::clamp(std::min(jobs, 2 * QThread::idealThreadCount()), 1, kMaxPictureJobs);
}

void runReport(CommandContext &context, const QStringList &arguments)
{
    const Invocation &invocation = context.invocation();
    if (!arguments.isEmpty())
        throw UsageError(QStringLiteral("'report' takes no arguments, got '%1'").arg(arguments.first()));
    if (!(invocation.commandOptions & OptionHosts))
        throw UsageError(QStringLiteral("'report' needs --hosts LIST"));
    if (!(invocation.commandOptions & OptionOut) || invocation.out.isEmpty())
        throw UsageError(QStringLiteral("'report' needs --out DIR"));
    const QString dir = invocation.out;
    const QString unsafe = settingsfile::unsafeFolder(dir);
    if (!unsafe.isEmpty())
        throw UsageError(QStringLiteral("--out: %1").arg(unsafe));

    std::optional<QStringList> against;
    if (invocation.commandOptions & OptionAgainst) {
        QString error;
        against = settingsfile::readSettingsFile(invocation.against, &error);
        if (!against)
            throw CameraError(error);
    }
    const QList<CloneTarget> targets = fleetTargets(invocation, std::nullopt, "report");
    const int total = int(targets.size());

    // Before any camera is read: the files can go where they are to go.
    const QString pagePath = QDir(dir).filePath(kPageFileName);
    const QString jsonPath = QDir(dir).filePath(kJsonFileName);
    QStringList places{pagePath, jsonPath};
    for (int i = 0; i < total; ++i)
        places << QDir(dir).filePath(pictureFileName(i));
    for (const QString &place : places) {
        const QString refused = settingsfile::refusedFilePlace(place);
        if (!refused.isEmpty())
            throw UsageError(refused);
    }
    if (!QFileInfo(dir).isDir() && !QDir().mkpath(dir))
        throw CameraError(QStringLiteral("Cannot create folder %1").arg(dir));
    const QString problem = settingsfile::folderWriteProblem(dir, kBytesPerCamera * total);
    if (!problem.isEmpty())
        throw CameraError(problem);

    // One line per stream opened would drown the progress (QT_LOGGING_RULES
    // still shows it).
    QLoggingCategory::setFilterRules(QStringLiteral("qzr.*.debug=false\nqzr.video.info=false"));
    // The pictures' receivers deliver on an event loop.
    std::unique_ptr<QCoreApplication> application;
    static int argc = 1;
    static char name[] = "qzr";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        application = std::make_unique<QCoreApplication>(argc, argv);

    site::ReportHead head;
    head.time = recordTime();
    if (against)
        head.against = invocation.against;
    std::vector<site::CameraReport> cameras(size_t(targets.size()));
    QHash<QString, int> indexOf;
    for (int i = 0; i < total; ++i) {
        const CloneTarget &target = targets.at(i);
        cameras[size_t(i)].name = target.name;
        cameras[size_t(i)].host = target.host;
        cameras[size_t(i)].port = target.port;
        indexOf.insert(target.name, i);
    }

    // The settings, on the fleet: each camera over a connection of its own.
    const QList<CloneResult> counted = against
        ? QList<CloneResult>{CloneResult::Equal, CloneResult::Differs, CloneResult::Failed, CloneResult::Interrupted,
                             CloneResult::NotStarted}
        : QList<CloneResult>{CloneResult::Read, CloneResult::Failed, CloneResult::Interrupted,
                             CloneResult::NotStarted};
    const StopSignals stop(QStringLiteral("qzr: stopped at once; no report was written\n"));
    const QList<CloneOutcome> outcomes = runOnFleet(
        context, targets,
        [&](const CloneTarget &target, CameraAtWork &camera) {
            site::CameraReport &report = cameras[size_t(indexOf.value(target.name))];
            return workOnCameraSession(target, cameraCredentials(invocation, target.host), invocation.replyTimeoutMs,
                                       camera, [&](CameraSession &session, CloneOutcome &outcome) {
                                           site::readCameraForReport(session, report, against);
                                           outcome.differences = report.differences;
                                           outcome.result = report.audit == site::Audit::None ? CloneResult::Read
                                               : report.audit == site::Audit::Equal          ? CloneResult::Equal
                                                                                              : CloneResult::Differs;
                                       });
        },
        counted);
    for (int i = 0; i < total; ++i) {
        const CloneOutcome &outcome = outcomes.at(i);
        if (outcome.result == CloneResult::NotStarted)
            cameras[size_t(i)].error = QStringLiteral("Not started.");
        else if (outcome.result == CloneResult::Failed || outcome.result == CloneResult::Interrupted)
            cameras[size_t(i)].error = outcome.error.isEmpty() ? QStringLiteral("Unexpected failure.") : outcome.error;
    }

    // On a terminal the progress line gave only counts: the failures by name.
    if (context.errorIsTerminal()) {
        for (const site::CameraReport &camera : cameras) {
            if (!camera.error.isEmpty())
                context.writeError(QStringLiteral("%1 failed: %2\n").arg(camera.name, cellText(camera.error)));
        }
    }

    // The pictures: the first of each stream whose camera was read.
    QList<site::PictureSource> sources;
    QList<int> sourceCamera;
    if (StopSignals::requested() == 0) {
        for (int i = 0; i < total; ++i) {
            site::CameraReport &camera = cameras[size_t(i)];
            if (!camera.settingsRead)
                continue;
            PicturePlan plan = picturePlan(camera, invocation);
            if (plan.source) {
                sources << *plan.source;
                sourceCamera << i;
            } else {
                camera.pictureError = plan.problem;
            }
        }
    }
    for (int i = 0; i < total; ++i) {
        const site::CameraReport &camera = cameras[size_t(i)];
        if (camera.settingsRead && !camera.pictureError.isEmpty())
            context.writeError(QStringLiteral("%1 no picture: %2\n").arg(camera.name, cellText(camera.pictureError)));
    }
    const bool terminal = context.errorIsTerminal();
    int taken = 0;
    int missing = 0;
    site::grabFirstPictures(
        sources, pictureJobs(invocation.jobs), kPictureLimitMs,
        [&](int index, const QImage &picture, const QString &error) {
            const int cameraIndex = sourceCamera.at(index);
            site::CameraReport &camera = cameras[size_t(cameraIndex)];
            if (picture.isNull()) {
                camera.pictureError = error;
            } else {
                const QImage scaled = picture.width() > site::kMaxPictureWidth
                    ? picture.scaledToWidth(site::kMaxPictureWidth, Qt::SmoothTransformation)
                    : picture;
                const QByteArray bytes = jpegBytes(scaled);
                const QString file = pictureFileName(cameraIndex);
                const QString written = bytes.isEmpty()
                    ? QStringLiteral("the picture could not be encoded as JPEG")
                    : settingsfile::writeFileAtomically(QDir(dir).filePath(file), bytes);
                if (written.isEmpty()) {
                    camera.picture = file;
                    camera.pictureSize = scaled.size();
                } else {
                    camera.pictureError = written;
                }
            }
            if (camera.picture.isEmpty())
                ++missing;
            else
                ++taken;
            if (terminal)
                context.writeStatusLine(QStringLiteral("pictures: %1 taken / %2 missing / %3 left")
                                            .arg(taken)
                                            .arg(missing)
                                            .arg(sources.size() - taken - missing));
            else
                context.writeError(pictureLine(taken + missing, int(sources.size()), camera));
        },
        [] { return StopSignals::requested() != 0; });
    if (terminal && !sources.isEmpty()) {
        context.writeStatusLine(QString());
        for (const int i : sourceCamera) {
            const site::CameraReport &camera = cameras[size_t(i)];
            if (camera.picture.isEmpty())
                context.writeError(QStringLiteral("%1 no picture: %2\n").arg(camera.name, cellText(camera.pictureError)));
        }
    }

    // The record of it all: the JSON, then the page.
    const QList<site::CameraReport> reports(cameras.begin(), cameras.end());
    QStringList failures;
    for (const auto &[path, bytes] : {std::pair{jsonPath, site::reportJson(head, reports)},
                                      std::pair{pagePath, site::reportPage(head, reports)}}) {
        const QString error = settingsfile::writeFileAtomically(path, bytes);
        if (!error.isEmpty())
            failures << error;
    }
    const site::ReportCounts counts = site::reportCounts(reports);
    context.writeError(reportSummary(counts, bool(against)));
    for (const QString &failure : failures)
        context.writeError(withFinalPeriod(failure) + QLatin1Char('\n'));
    if (failures.isEmpty())
        context.writeError(QStringLiteral("Report written to %1 (and %2)\n").arg(pagePath, jsonPath));

    if (StopSignals::requested() != 0)
        context.setExitStatus(StopSignals::exitStatus());
    else if (!failures.isEmpty() || counts.failed > 0 || counts.withoutPicture > 0)
        context.setExitStatus(ExitFailure);
    else if (counts.differ > 0)
        context.setExitStatus(ExitDiffers);
    else
        context.setExitStatus(ExitSuccess);
}

QList<Command> reportCommands()
{
    return {
        {"report", "--hosts LIST --out DIR [--against FILE] [--jobs N] [--stream-url TEMPLATE]",
         "The commissioning report of the cameras of LIST (read as 'clone' reads\n"
         "it), up to N at once: DIR/index.html, one page to view or print (a\n"
         "summary with the date, the counts and every camera's picture, then each\n"
         "camera on a page of its own: address and port, model, firmware, MAC, its\n"
         "three encoders, the scene file in use and its image settings, and the\n"
         "first picture of its stream), the pictures beside it\n"
         "(DIR/camera-NNN.jpg, at most 1280 pixels wide), and DIR/report.json, the\n"
         "same for other tools. No credential goes into them. The picture is taken\n"
         "from the running encoder with the most pixels, at the RTSP port the\n"
         "camera reports (network.rtsp.port) or where --stream-url says, with the\n"
         "camera's user and password; each stream has 15 s for its first picture,\n"
         "and at most twice as many streams as the machine has cores (and at most\n"
         "N) are received at once. With --against FILE each camera is also audited\n"
         "against FILE as 'diff FILE --hosts' does, and each differing setting is\n"
         "shown with both values. A camera that fails is shown with its failure\n"
         "text, one without a picture with the reason. Progress goes to standard\n"
         "error. Files are written whole or not at all. Exit status 0 when every\n"
         "camera was read, has its picture and (with --against) matches FILE; 3\n"
         "when some differ from FILE; 1 when any camera failed or has no picture,\n"
         "or a file could not be written.",
         &runReport, false, OptionHosts | OptionOut | OptionAgainst | OptionJobs | OptionStreamUrl},
    };
}

} // namespace qzr::cli
