#include "cli/SettingsCommands.h"

#include "protocol/Identity.h"
#include "cli/Fleet.h"
#include "cli/StopSignals.h"

#include "protocol/CameraError.h"
#include "protocol/CameraSession.h"
#include "protocol/ConnectionInput.h"
#include "protocol/Logging.h"
#include "protocol/ReplyLog.h"
#include "settingsfile/SafeFile.h"
#include "settingsfile/SettingsFile.h"
#include "encoder/SettingsText.h"
#include "site/HostList.h"

#include <QElapsedTimer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QThread>
#include <QWaitCondition>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace qzr::cli {

using settingsfile::SettingDifference;

namespace {

const QString kCameraLabel = QStringLiteral("camera");

void requireFileArguments(const QStringList &arguments, const char *command, int least, int most,
                          const char *what)
{
    if (arguments.size() < least || arguments.size() > most)
        throw UsageError(QStringLiteral("'%1' takes %2").arg(QLatin1String(command), QLatin1String(what)));
    for (const QString &argument : arguments) {
        if (argument.isEmpty())
            throw UsageError(QStringLiteral("'%1' needs a FILE name, not an empty text").arg(QLatin1String(command)));
    }
}

// A file's lines; a file that cannot be opened ends the command.
QStringList loadFile(const QString &path)
{
    QString error;
    const std::optional<QStringList> lines = settingsfile::readSettingsFile(path, &error);
    if (!lines)
        throw CameraError(error);
    return *lines;
}

// A file that is going to be uploaded: loaded and checked before anything
// is sent; the first bad line ends the command.
QStringList loadCheckedFile(const QString &path)
{
    const QStringList lines = loadFile(path);
    if (const std::optional<QString> problem = settingsfile::validateSettings(lines))
        throw CameraError(path + QStringLiteral(": ") + *problem);
    return lines;
}

// The blocking pause between an encoder's write and its store command.
void sleepMs(int ms)
{
    QThread::msleep(ulong(ms));
}

// A failure text on one line (a socket error has two).
QString oneLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 3);
}

// "camera.scene(2).image.gamma (file 1, camera 0.45)".
QString differenceText(const SettingDifference &difference)
{
    return QStringLiteral("%1 (file %2, camera %3)")
        .arg(difference.name, cellText(difference.first), cellText(difference.second));
}

QString cloneDetail(const CloneOutcome &outcome)
{
    switch (outcome.result) {
    case CloneResult::Verified:
    case CloneResult::Equal:
    case CloneResult::NotStarted:
    case CloneResult::Read:
        return QString();
    case CloneResult::Saved:
        return QStringLiteral("%1 (MAC %2)").arg(outcome.file, cellText(outcome.mac));
    case CloneResult::Differs: {
        QStringList parts;
        for (const SettingDifference &difference : outcome.differences)
            parts << differenceText(difference);
        return parts.join(QStringLiteral("; "));
    }
    case CloneResult::Failed:
    case CloneResult::Interrupted:
        break;
    }
    if (!outcome.written.isEmpty())
        return QStringLiteral("%1 (written: %2)").arg(oneLine(outcome.error), outcome.written);
    return oneLine(outcome.error);
}

enum class ReportFormat { Json, Csv };

std::optional<ReportFormat> reportFormat(const QString &path)
{
    if (path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        return ReportFormat::Json;
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return ReportFormat::Csv;
    return std::nullopt;
}

CloneTarget parseHostEntry(const QString &entry, const QString &defaultPort)
{
    CloneTarget target;
    target.name = entry;
    QString portText;
    bool hasPort = false;
    if (entry.startsWith(QLatin1Char('['))) {
        const qsizetype close = entry.indexOf(QLatin1Char(']'));
        if (close < 0)
            throw UsageError(QStringLiteral("'%1' in --hosts lacks its closing ']'").arg(entry));
        target.host = entry.mid(1, close - 1);
        const QString rest = entry.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                throw UsageError(QStringLiteral("'%1' in --hosts: expected ':PORT' after ']'").arg(entry));
            hasPort = true;
            portText = rest.mid(1);
        }
    } else if (entry.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = entry.indexOf(QLatin1Char(':'));
        target.host = entry.left(colon);
        hasPort = true;
        portText = entry.mid(colon + 1);
    } else {
        // No colon, or an IPv6 address without brackets (and so without port).
        target.host = entry;
    }
    if (target.host.isEmpty())
        throw UsageError(QStringLiteral("'%1' in --hosts has no host").arg(entry));
    for (const QChar c : target.host) {
        if (c.isSpace())
            throw UsageError(QStringLiteral("'%1' in --hosts holds a blank").arg(entry));
    }
    target.host = checkedHost(target.host, QStringLiteral("--hosts"));
    if (hasPort) {
        bool ok = false;
        const int port = portText.toInt(&ok, 10);
        if (!ok || port < kMinPort || port > kMaxPort || portText != QString::number(port))
            throw UsageError(QStringLiteral("'%1' in --hosts: the port must be a number from %2 to %3")
                                 .arg(entry)
                                 .arg(kMinPort)
                                 .arg(kMaxPort));
        target.port = portText;
    } else {
        target.port = defaultPort;
    }
    return target;
}

// The camera's error report text of a failure, without the camera that the
// row already names.
QString failureText(const std::exception &error)
{
    if (const auto *cameraError = dynamic_cast<const CameraError *>(&error))
        return withFinalPeriod(cameraError->description());
    return withFinalPeriod(QString::fromLocal8Bit(error.what()));
}

// The --report format, checked before anything is sent.
std::optional<ReportFormat> requestedReportFormat(const Invocation &invocation)
{
    if (!(invocation.commandOptions & OptionReport))
        return std::nullopt;
    const std::optional<ReportFormat> format = reportFormat(invocation.reportPath);
    if (!format)
        throw UsageError(QStringLiteral("--report needs a file name ending in .json or .csv, got '%1'")
                             .arg(invocation.reportPath));
    return format;
}

void checkTargetPorts(const QList<CloneTarget> &targets)
{
    for (const CloneTarget &target : targets) {
        // A default port that is not a number fails before anything is sent.
        toIntegerOrThrow(target.port);
    }
}

// The request time limit of a lookup when the calls have none (--timeout 0).
constexpr int kDefaultLookupLimitMs = 30'000;

// "20 camera(s): 18 equal, 1 differ, 1 failed[, 2 not started]".
QString fleetSummary(const QList<CloneOutcome> &outcomes, const QList<CloneResult> &counted)
{
    int counts[kResultCount];
    countResults(outcomes, counts);
    QStringList parts;
    for (const CloneResult result : counted) {
        if ((result == CloneResult::NotStarted || result == CloneResult::Interrupted) && counts[int(result)] == 0)
            continue;
        parts << QStringLiteral("%1 %2").arg(counts[int(result)]).arg(
            result == CloneResult::Differs ? QStringLiteral("differ") : QLatin1String(cloneResultName(result)));
    }
    return QStringLiteral("%1 camera(s): %2\n").arg(outcomes.size()).arg(parts.join(QStringLiteral(", ")));
}

// The settings of a file that the camera does not hold: the encoders and
// the scene file the file names (the one an upload of it writes), compared
// as a clone verifies them, so that an audit right after a clone agrees.
QList<SettingDifference> cameraDiffering(CameraSession &session, const QStringList &lines)
{
    return settingsfile::uploadedSettingsNotKept(session, lines);
}

// A session of its own for one camera of many, its transfers run by the fleet.
void connectSession(CameraSession &session, const CloneTarget &target, const ConnectionFields &credentials,
                    int replyTimeoutMs, CameraAtWork &camera)
{
    session.client().setTransferRunner(&camera);
    session.client().setReplyTimeoutMs(replyTimeoutMs);
    session.setConnectionNames(commandLineConnectionNames());
    session.applyConnection({target.host, target.port, credentials.user, credentials.password});
}

// Runs one camera's work, turning any failure into a "failed" outcome, and
// a request held back for a stop into "interrupted".
template <typename Work>
CloneOutcome workOnCamera(const CloneTarget &target, CameraAtWork &camera, Work work)
{
    CloneOutcome outcome;
    outcome.target = target;
    QElapsedTimer clock;
    clock.start();
    try {
        work(outcome);
    } catch (const std::exception &error) {
        outcome.result = CloneResult::Failed;
        outcome.error = failureText(error);
    } catch (...) {
        outcome.result = CloneResult::Failed;
        outcome.error = QStringLiteral("Unexpected failure.");
    }
    if (camera.stopped()) {
        outcome.result = CloneResult::Interrupted;
        outcome.error = QStringLiteral("Stopped by %1 before this camera was done with.")
                            .arg(StopSignals::signalName(StopSignals::requested()));
    }
    outcome.seconds = double(clock.nsecsElapsed()) / 1e9;
    outcome.time = recordTime();
    qCDebug(lcCli).noquote() << target.name << cloneResultName(outcome.result) << outcome.seconds << "s";
    return outcome;
}

const QList<CloneResult> kCloneCounted{CloneResult::Verified, CloneResult::Differs, CloneResult::Failed,
                                       CloneResult::Interrupted, CloneResult::NotStarted};
const QList<CloneResult> kSaveCounted{CloneResult::Saved, CloneResult::Failed, CloneResult::Interrupted,
                                      CloneResult::NotStarted};
const QList<CloneResult> kDiffCounted{CloneResult::Equal, CloneResult::Differs, CloneResult::Failed,
                                      CloneResult::Interrupted, CloneResult::NotStarted};

const QString kIndexFileName = QStringLiteral("index.json");

// What a file of a fleet command takes on the disk per camera, at most
// (for the check of its folder before any camera is read).
constexpr qint64 kBackupBytesPerCamera = 8 * 1024;
constexpr qint64 kReportBytesPerCamera = 4 * 1024;

// How a fleet command keeps its record of the site.
struct FleetPlan
{
    const char *command = "";
    QString headKey;                // "file" or "dir"
    QString head;                   // the settings file, or the backup folder
    QList<CloneResult> counted;
    QString recordPath;             // the index or --report: empty for none
    std::optional<ReportFormat> recordFormat;
    QString reportPath;             // save: --report besides the index
    std::optional<ReportFormat> reportFormat;
    qint64 bytesPerCamera = kReportBytesPerCamera;
    QString sceneNumber;            // clone: the scene file the upload writes
    QList<CloneOutcome> earlier;    // the record this run merges into
    // The record after the run; default: mergedRecord(earlier, now).
    std::function<QList<CloneOutcome>(const QList<CloneOutcome> &now)> record;
};

QByteArray recordBytes(const FleetPlan &plan, ReportFormat format, const QList<CloneOutcome> &record)
{
    if (format == ReportFormat::Json)
        return fleetReportJson(plan.headKey, plan.head, record, plan.counted);
    return QLatin1String(plan.command) == QLatin1String("save") ? saveReportCsv(record) : cloneReportCsv(record);
}

QString folderOfPath(const QString &path)
{
    const QString folder = QFileInfo(path).path();
    return folder.isEmpty() ? QStringLiteral(".") : folder;
}

// Before any camera is read: no file of the run stands where a link does,
// and every folder it writes into takes a file.
void checkRecordPlaces(const QStringList &paths, qint64 bytesNeeded)
{
    QStringList folders;
    for (const QString &path : paths) {
        const QString refused = settingsfile::refusedFilePlace(path);
        if (!refused.isEmpty())
            throw UsageError(refused);
        if (!folders.contains(folderOfPath(path)))
            folders << folderOfPath(path);
    }
    for (const QString &folder : folders) {
        const QString problem = settingsfile::folderWriteProblem(folder, bytesNeeded);
        if (!problem.isEmpty())
            throw CameraError(problem);
    }
}

// A clone, backup or audit of the targets: the journal as it goes, the
// table and summary, the merged record, the exit status. SIGINT or SIGTERM
// stops it at safe points, and its record is still written.
void runFleetCommand(CommandContext &context, const FleetPlan &plan, const QList<CloneTarget> &targets,
                     const CameraWork &work)
{
    const Invocation &invocation = context.invocation();
    const QString journalPath = plan.recordPath.isEmpty() ? QString() : journalPathFor(plan.recordPath);
    QStringList places;
    for (const QString &path : {plan.recordPath, journalPath, plan.reportPath}) {
        if (!path.isEmpty())
            places << path;
    }
    checkRecordPlaces(places, plan.bytesPerCamera * qMax<qsizetype>(targets.size(), 1));

    if (targets.isEmpty()) {
        // A retry with nothing left leaves the record as it was.
        context.writeError(QStringLiteral("Nothing to retry: every camera of %1 is done with; nothing was sent or "
                                          "written.\n")
                               .arg(invocation.retryFrom));
        return;
    }

    std::optional<Journal> journal;
    if (!journalPath.isEmpty()) {
        QList<QJsonObject> first;
        for (const CloneOutcome &camera : plan.earlier) {
            QJsonObject event = outcomeJson(camera);
            event.insert(QStringLiteral("event"), QStringLiteral("result"));
            first << event;
        }
        QJsonArray hosts;
        for (const CloneTarget &target : targets)
            hosts.append(target.name);
        QJsonObject run{{QStringLiteral("event"), QStringLiteral("run")},
                        {QStringLiteral("command"), QLatin1String(plan.command)},
                        {plan.headKey, plan.head},
                        {QStringLiteral("time"), recordTime()},
                        {QStringLiteral("hosts"), hosts}};
        if (!plan.sceneNumber.isEmpty())
            run.insert(QStringLiteral("scene"), plan.sceneNumber);
        first << run;
        journal.emplace(journalPath, first);
    }
    const StopSignals stop(
        journal ? QStringLiteral("qzr: stopped at once; the journal %1 keeps what was done (give it to --retry-from "
                                 "to go on)\n")
                      .arg(journalPath)
                : QStringLiteral("qzr: stopped at once; no report was written\n"));

    const QList<CloneOutcome> outcomes =
        runOnFleet(context, targets, work, plan.counted, journal ? &*journal : nullptr);
    QStringList failures;
    if (journal) {
        const QString error = journal->finish();
        if (!error.isEmpty())
            failures << error;
    }

    context.writeTable(cloneTable(outcomes));
    context.writeError(fleetSummary(outcomes, plan.counted));
    const QString partly = partlyWrittenText(outcomes);
    if (!partly.isEmpty())
        context.writeError(QStringLiteral("Written only in part:\n") + partly);

    const QList<CloneOutcome> record = plan.record ? plan.record(outcomes) : mergedRecord(plan.earlier, outcomes);
    if (!plan.recordPath.isEmpty()) {
        const QString error =
            settingsfile::writeFileAtomically(plan.recordPath, recordBytes(plan, *plan.recordFormat, record));
        if (!error.isEmpty())
            failures << error;
    }
    if (!plan.reportPath.isEmpty()) {
        const QString error =
            settingsfile::writeFileAtomically(plan.reportPath, recordBytes(plan, *plan.reportFormat, record));
        if (!error.isEmpty())
            failures << error;
    }
    for (const QString &failure : failures)
        context.writeError(withFinalPeriod(failure) + QLatin1Char('\n'));
    const bool left = std::any_of(outcomes.cbegin(), outcomes.cend(),
                                  [](const CloneOutcome &outcome) { return !isDone(outcome.result); });
    if (journal && left && StopSignals::requested() != 0)
        context.writeError(QStringLiteral("To go on with the cameras not done with: --retry-from %1\n").arg(journalPath));

    if (StopSignals::requested() != 0)
        context.setExitStatus(StopSignals::exitStatus());
    else if (!failures.isEmpty())
        context.setExitStatus(ExitFailure);
    else
        context.setExitStatus(cloneExitStatus(outcomes));
}

// The record a --retry-from names, read before anything is sent.
std::optional<SiteRecord> retryRecord(const Invocation &invocation)
{
    if (!(invocation.commandOptions & OptionRetryFrom))
        return std::nullopt;
    return readSiteRecord(invocation.retryFrom, QStringLiteral("--retry-from"));
}

bool samePath(const QString &first, const QString &second)
{
    const QString a = QFileInfo(first).canonicalFilePath();
    return !a.isEmpty() && a == QFileInfo(second).canonicalFilePath();
}

} // namespace

// ---------------------------------------------------------------------------
// save

QString backupFileName(const CloneTarget &target)
{
    QString host = target.host.toLower();
    host.replace(QLatin1Char(':'), QLatin1Char('-'));
    return host + QLatin1Char('_') + target.port + QStringLiteral(".txt");
}

void checkBackupFileNames(const QList<CloneTarget> &targets, const QList<CloneOutcome> &earlier)
{
    QHash<QString, QString> owner; // file name -> the entry whose file it is
    for (const CloneTarget &target : targets) {
        const QString name = backupFileName(target);
        const auto found = owner.constFind(name);
        if (found != owner.constEnd())
            throw UsageError(QStringLiteral("--hosts: '%1' and '%2' would both be saved as %3; give one of them "
                                            "another way (an address instead of a name)")
                                 .arg(*found, target.name, name));
        owner.insert(name, target.name);
    }
    for (const CloneOutcome &camera : earlier) {
        const auto found = owner.constFind(camera.file);
        if (!camera.file.isEmpty() && found != owner.constEnd() && *found != camera.target.name)
            throw UsageError(QStringLiteral("--hosts: '%1' would be saved as %2, which holds the backup of '%3' "
                                            "in this folder's index")
                                 .arg(*found, camera.file, camera.target.name));
    }
}

CloneOutcome saveCamera(const CloneTarget &target, const QString &dir, const ConnectionFields &credentials,
                        int replyTimeoutMs, CameraAtWork &camera)
{
    return workOnCamera(target, camera, [&](CloneOutcome &outcome) {
        ReplyLog log;
        CameraSession session(log);
        connectSession(session, target, credentials, replyTimeoutMs, camera);
        const QStringList lines = settingsfile::readSettingsFromCamera(session);
        const QString mac = session.readParameter(identity::kMacKey);
        const QString name = backupFileName(target);
        const QString error = settingsfile::writeSettingsFile(QDir(dir).filePath(name), lines);
        if (!error.isEmpty())
            throw CameraError(error);
        outcome.mac = mac;
        outcome.file = name;
        outcome.fileTime = recordTime();
        outcome.result = CloneResult::Saved;
    });
}

// The folder's record after a backup: every camera of its index with its
// latest result; a camera that was not saved now keeps the file it has
// there, marked as from an earlier run (a file the index does not know
// with the time it was written); a file that is gone is not named.
static QList<CloneOutcome> backupRecord(const QString &dir, const QList<CloneOutcome> &earlier,
                                        QList<CloneOutcome> now)
{
    QSet<QString> known;
    for (const CloneOutcome &camera : earlier)
        known.insert(camera.target.name);
    for (CloneOutcome &outcome : now) {
        if (outcome.result == CloneResult::Saved || known.contains(outcome.target.name))
            continue;
        const QFileInfo stale(QDir(dir).filePath(backupFileName(outcome.target)));
        if (stale.isFile() && !stale.isSymLink()) {
            outcome.file = stale.fileName();
            outcome.fileTime = stale.lastModified().toUTC().toString(Qt::ISODate);
            outcome.earlierFile = true;
        }
    }
    QList<CloneOutcome> record = mergedRecord(earlier, now);
    for (CloneOutcome &camera : record) {
        if (camera.earlierFile && !QFileInfo(QDir(dir).filePath(camera.file)).isFile()) {
            camera.file.clear();
            camera.fileTime.clear();
            camera.mac.clear();
            camera.earlierFile = false;
        }
    }
    return record;
}

// "save --hosts LIST --dir DIR": every camera's file, and the index.
static void runSiteBackup(CommandContext &context, const QStringList &arguments)
{
    const Invocation &invocation = context.invocation();
    if (!arguments.isEmpty())
        throw UsageError(QStringLiteral("'save --hosts' takes no FILE; the files go to --dir DIR"));
    if (!(invocation.commandOptions & OptionDir) || invocation.dir.isEmpty())
        throw UsageError(QStringLiteral("'save --hosts' needs --dir DIR"));
    const std::optional<ReportFormat> format = requestedReportFormat(invocation);
    const QString dir = invocation.dir;
    const QString unsafe = settingsfile::unsafeFolder(dir);
    if (!unsafe.isEmpty())
        throw UsageError(QStringLiteral("--dir: %1").arg(unsafe));
    const std::optional<SiteRecord> retry = retryRecord(invocation);
    const QList<CloneTarget> targets = fleetTargets(invocation, retry, "save");
    checkTargetPorts(targets);

    FleetPlan plan;
    plan.command = "save";
    plan.headKey = QStringLiteral("dir");
    plan.head = dir;
    plan.counted = kSaveCounted;
    plan.recordPath = QDir(dir).filePath(kIndexFileName);
    plan.recordFormat = ReportFormat::Json;
    if (format) {
        plan.reportPath = invocation.reportPath;
        plan.reportFormat = format;
    }
    plan.bytesPerCamera = kBackupBytesPerCamera;
    // The folder's index is the record; a --retry-from of another file
    // (a journal, a report) is newer.
    const QString refusedIndex = settingsfile::refusedFilePlace(plan.recordPath);
    if (!refusedIndex.isEmpty())
        throw UsageError(refusedIndex);
    if (QFileInfo::exists(plan.recordPath))
        plan.earlier = readSiteRecord(plan.recordPath, QStringLiteral("--dir")).cameras;
    if (retry && !samePath(invocation.retryFrom, plan.recordPath))
        plan.earlier = mergedRecord(plan.earlier, retry->cameras);
    checkBackupFileNames(targets, plan.earlier);
    for (const CloneTarget &target : targets) {
        const QString refused = settingsfile::refusedFilePlace(QDir(dir).filePath(backupFileName(target)));
        if (!refused.isEmpty())
            throw UsageError(refused);
    }
    if (!QFileInfo(dir).isDir() && !QDir().mkpath(dir))
        throw CameraError(QStringLiteral("Cannot create folder %1").arg(dir));
    const QList<CloneOutcome> earlier = plan.earlier;
    plan.record = [&dir, &earlier](const QList<CloneOutcome> &now) { return backupRecord(dir, earlier, now); };

    runFleetCommand(context, plan, targets, [&](const CloneTarget &target, CameraAtWork &camera) {
        return saveCamera(target, dir, cameraCredentials(invocation, target.host), invocation.replyTimeoutMs,
                          camera);
    });
}

void runSave(CommandContext &context, const QStringList &arguments)
{
    const Invocation &invocation = context.invocation();
    if (invocation.commandOptions & (OptionHosts | OptionRetryFrom)) {
        runSiteBackup(context, arguments);
        return;
    }
    if (invocation.commandOptions & (OptionDir | OptionJobs | OptionReport | OptionDeadline))
        throw UsageError(QStringLiteral("'save' takes --dir, --jobs, --report and --deadline only with --hosts"));
    requireFileArguments(arguments, "save", 1, 1, "one FILE (or --hosts LIST --dir DIR)");
    const QString path = arguments.first();
    // A file that cannot be written is named before the camera is read.
    const QString unwritable = settingsfile::fileWriteProblem(path, kBackupBytesPerCamera);
    if (!unwritable.isEmpty())
        throw CameraError(unwritable);
    const QStringList lines = settingsfile::readSettingsFromCamera(context.camera());
    const QString error = settingsfile::writeSettingsFile(path, lines);
    if (!error.isEmpty())
        throw CameraError(error);
    // A camera value that the upload refuses is named now, not at the upload.
    if (const std::optional<QString> problem = settingsfile::validateSettings(lines))
        context.writeError(settingsfile::savedButRefusedText(path, *problem) + QLatin1Char('\n'));
}

// ---------------------------------------------------------------------------
// upload

QString uploadQuestion(const ConnectionFields &destination)
{
    const QString user = destination.user.isEmpty() ? QStringLiteral("no user (no credentials)")
                                                    : QStringLiteral("user ") + destination.user;
    // Cancel is "n" (or just Enter), Yes is "y".
    return QStringLiteral("%1\n"
                          "Destination: %2, port %3, %4\n"
                          "Yes or Cancel? [y/N] ")
        .arg(QLatin1String(settingsfile::kUploadConfirmText), destination.address, destination.port, user);
}

bool isYes(const QString &answer)
{
    const QString text = answer.trimmed();
    return text.compare(QLatin1String("y"), Qt::CaseInsensitive) == 0
           || text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

void runUpload(CommandContext &context, const QStringList &arguments)
{
    requireFileArguments(arguments, "upload", 1, 1, "one FILE");
    const Invocation &invocation = context.invocation();
    const QStringList lines = loadCheckedFile(arguments.first());
    if (!invocation.yes && !context.terminal().isInteractive())
        throw UsageError(QStringLiteral("'upload' asks for confirmation, but standard input is not a terminal; "
                                        "give --yes to upload without asking"));

    if (!invocation.yes) {
        context.writeError(uploadQuestion(invocation.connection));
        const std::optional<QString> answer = context.terminal().readLine();
        if (!answer || !isYes(*answer)) {
            // The window's own words, and nothing sent.
            context.writeError(QStringLiteral("%1%2\n").arg(answer ? QString() : QStringLiteral("\n"),
                                                            QLatin1String(settingsfile::kUploadCancelledMessage)));
            context.setExitStatus(ExitFailure);
            return;
        }
    }

    // A failure names what the camera already took.
    const QString sceneNumber = lines.value(settingsfile::kSceneNumberLine - 1);
    int taken = 0;
    try {
        settingsfile::uploadSettingsToCamera(context.camera(), lines, sleepMs, [&taken](int sent, int) { taken = sent; });
    } catch (const CameraError &error) {
        if (taken == 0)
            throw;
        throw CameraError(QStringLiteral("%1 (written: %2)")
                              .arg(error.text(), settingsfile::uploadProgressText(sceneNumber, taken)));
    }
    if (!invocation.noVerify) {
        // The camera may answer OK and keep its old value: read back what
        // the upload wrote (the scene file it wrote), as clone verifies.
        const QList<SettingDifference> differing = cameraDiffering(context.camera(), lines);
        if (!differing.isEmpty()) {
            context.writeError(settingsfile::notKeptText(differing) + QLatin1Char('\n'));
            context.setExitStatus(ExitDiffers);
            return;
        }
    }
    context.write(QByteArray(settingsfile::kUploadCompleteMessage) + '\n');
}

// ---------------------------------------------------------------------------
// diff

QString differencesTable(const QList<SettingDifference> &differences, const QString &firstLabel,
                         const QString &secondLabel)
{
    QList<QStringList> rows{{QStringLiteral("LINE"), QStringLiteral("SETTING"), firstLabel, secondLabel}};
    for (const SettingDifference &difference : differences)
        rows << QStringList{QString::number(difference.line), difference.name, cellText(difference.first),
                            cellText(difference.second)};
    return alignedTable(rows);
}

QByteArray differencesJson(const QList<SettingDifference> &differences, const QString &firstLabel,
                           const QString &secondLabel)
{
    QJsonArray array;
    for (const SettingDifference &difference : differences) {
        QJsonObject object;
        object.insert(QStringLiteral("line"), difference.line);
        object.insert(QStringLiteral("setting"), difference.name);
        object.insert(QStringLiteral("first"), difference.first);
        object.insert(QStringLiteral("second"), difference.second);
        array.append(object);
    }
    QJsonObject document;
    document.insert(QStringLiteral("first"), firstLabel);
    document.insert(QStringLiteral("second"), secondLabel);
    document.insert(QStringLiteral("equal"), differences.isEmpty());
    document.insert(QStringLiteral("differences"), array);
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

static void runAudit(CommandContext &context, const QStringList &arguments);

void runDiff(CommandContext &context, const QStringList &arguments)
{
    const Invocation &invocation = context.invocation();
    if (invocation.commandOptions & (OptionHosts | OptionRetryFrom)) {
        runAudit(context, arguments);
        return;
    }
    if (invocation.commandOptions & (OptionJobs | OptionReport | OptionDeadline))
        throw UsageError(QStringLiteral("'diff' takes --jobs, --report and --deadline only with --hosts"));
    requireFileArguments(arguments, "diff", 1, 2, "FILE (against the camera) or FILE1 FILE2");
    const QString firstLabel = arguments.at(0);
    const QStringList first = loadFile(firstLabel);
    QString secondLabel = kCameraLabel;
    QStringList second;
    if (arguments.size() == 2) {
        secondLabel = arguments.at(1);
        second = loadFile(secondLabel);
    }
    // Against the camera: what it holds of the settings FILE would write.
    const QList<SettingDifference> differences = arguments.size() == 2
        ? settingsfile::compareSettings(first, second)
        : cameraDiffering(context.camera(), first);
    if (context.invocation().json)
        context.write(differencesJson(differences, firstLabel, secondLabel));
    else if (!differences.isEmpty())
        context.writeCameraText(differencesTable(differences, firstLabel, secondLabel));
    context.setExitStatus(differences.isEmpty() ? ExitSuccess : ExitDiffers);
}

// ---------------------------------------------------------------------------
// clone

QList<CloneTarget> hostsFromText(const QString &text, const QString &defaultPort)
{
    QStringList entries;
    const bool isList = !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
    if (isList) {
        entries = text.split(QLatin1Char(','));
    } else {
        QString normalised = text;
        normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        entries = normalised.split(QLatin1Char('\n'));
    }

    QList<CloneTarget> targets;
    QSet<QString> seen;
    for (QString entry : entries) {
        if (!isList) {
            const qsizetype comment = entry.indexOf(QLatin1Char('#'));
            if (comment >= 0)
                entry.truncate(comment);
        }
        entry = entry.trimmed();
        if (entry.isEmpty())
            continue;
        const CloneTarget target = parseHostEntry(entry, defaultPort);
        const QString where = target.host.toLower() + QLatin1Char(' ') + target.port;
        if (seen.contains(where))
            throw UsageError(QStringLiteral("'%1' in --hosts names a camera listed before").arg(entry));
        seen.insert(where);
        targets << target;
    }
    if (targets.isEmpty())
        throw UsageError(QStringLiteral("--hosts names no camera"));
    return targets;
}

QList<CloneTarget> parseHostList(const QString &list, const QString &defaultPort, int resolveLimitMs)
{
    const QFileInfo info(list);
    if (!info.isFile()) {
        if (namesAFile(list))
            throw UsageError(QStringLiteral("--hosts: there is no file '%1'").arg(list));
        // Commas only: a list must not pass for the lines of a file.
        QString oneLineList = list;
        oneLineList.replace(QLatin1Char('\n'), QLatin1Char(','));
        oneLineList.replace(QLatin1Char('\r'), QLatin1Char(','));
        return withoutSameCameraTwice(hostsFromText(oneLineList, defaultPort), resolveLimitMs);
    }
    QFile file(list);
    if (!file.open(QIODevice::ReadOnly))
        throw UsageError(QStringLiteral("cannot read the --hosts file %1: %2").arg(list, file.errorString()));
    // Read no more than a host list may hold (the size a file claims may
    // change while it is read).
    const QByteArray bytes = file.read(site::kMaxHostListBytes + 1);
    if (bytes.size() > site::kMaxHostListBytes)
        throw UsageError(QStringLiteral("the --hosts file %1 is larger than a host list may be (%2 bytes at most)")
                             .arg(list)
                             .arg(site::kMaxHostListBytes));
    // A file of one line is still a file of lines.
    return withoutSameCameraTwice(hostsFromText(QString::fromUtf8(bytes) + QLatin1Char('\n'), defaultPort),
                                  resolveLimitMs);
}

bool namesAFile(const QString &list)
{
    static const char *const kListSuffixes[] = {".txt", ".csv", ".lst"};
    if (list.contains(QLatin1Char(',')))
        return false;
    if (list.contains(QLatin1Char('/')))
        return true;
    for (const char *suffix : kListSuffixes) {
        if (list.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QSet<QString> systemResolve(const QString &host)
{
    QSet<QString> addresses;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found) != 0)
        return addresses;
    for (const addrinfo *entry = found; entry; entry = entry->ai_next)
        addresses.insert(QHostAddress(entry->ai_addr).toString());
    ::freeaddrinfo(found);
    return addresses;
}

QList<QSet<QString>> resolveHosts(const QStringList &hosts, int limitMs, const HostResolver &resolve)
{
    // The lookups' shared state outlives this call: a lookup that a slow
    // name server holds beyond the limit ends on its own thread later.
    struct Lookups
    {
        std::mutex mutex;
        std::condition_variable doneOne;
        QStringList names;
        QList<QSet<QString>> results;
        QList<int> waiting; // indexes into names, not yet taken by a thread
        int done = 0;
        bool abandoned = false;
    };
    auto lookups = std::make_shared<Lookups>();
    QList<QSet<QString>> results(hosts.size());
    for (qsizetype i = 0; i < hosts.size(); ++i) {
        QHostAddress address;
        if (address.setAddress(hosts.at(i))) {
            results[i].insert(address.toString());
            continue;
        }
        lookups->names << hosts.at(i);
        lookups->waiting << int(i);
    }
    const int count = int(lookups->names.size());
    if (count == 0)
        return results;
    lookups->results.resize(count);
    QList<int> indexOf = lookups->waiting;
    for (int k = 0; k < count; ++k)
        lookups->waiting[k] = k;

    const auto lookUp = [lookups, resolve] {
        std::unique_lock<std::mutex> lock(lookups->mutex);
        while (!lookups->waiting.isEmpty() && !lookups->abandoned) {
            const int k = lookups->waiting.takeFirst();
            const QString name = lookups->names.at(k);
            lock.unlock();
            QSet<QString> addresses = resolve(name);
            lock.lock();
            lookups->results[k] = std::move(addresses);
            ++lookups->done;
            lookups->doneOne.notify_all();
        }
    };
    const int threads = std::min(count, kParallelLookups);
    int started = 0;
    for (; started < threads; ++started) {
        try {
            std::thread(lookUp).detach();
        } catch (const std::system_error &) {
            break;
        }
    }
    if (started == 0)
        lookUp();

    const int limit = limitMs > 0 ? limitMs : kDefaultLookupLimitMs;
    // Each round of lookups has the request time limit.
    const int rounds = (count + kParallelLookups - 1) / kParallelLookups;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(qint64(limit) * rounds);
    std::unique_lock<std::mutex> lock(lookups->mutex);
    lookups->doneOne.wait_until(lock, deadline, [&] { return lookups->done == count; });
    lookups->abandoned = true;
    for (int k = 0; k < count; ++k)
        results[indexOf.at(k)] = lookups->results.at(k);
    return results;
}

QList<CloneTarget> withoutSameCameraTwice(const QList<CloneTarget> &targets, int resolveLimitMs)
{
    QStringList hosts;
    for (const CloneTarget &target : targets)
        hosts << target.host;
    // A name that does not resolve stands for itself (its camera fails on its own).
    QList<QSet<QString>> addresses = resolveHosts(hosts, resolveLimitMs);
    for (qsizetype i = 0; i < targets.size(); ++i) {
        if (addresses.at(i).isEmpty())
            addresses[i].insert(targets.at(i).host.toLower());
    }
    for (qsizetype later = 1; later < targets.size(); ++later) {
        for (qsizetype earlier = 0; earlier < later; ++earlier) {
            if (targets.at(earlier).port == targets.at(later).port
                && addresses.at(earlier).intersects(addresses.at(later)))
                throw UsageError(QStringLiteral("--hosts: '%1' and '%2' are the same camera")
                                     .arg(targets.at(earlier).name, targets.at(later).name));
        }
    }
    return targets;
}

CloneOutcome cloneToCamera(const CloneTarget &target, const QStringList &lines, const ConnectionFields &credentials,
                           int replyTimeoutMs, CameraAtWork &camera)
{
    const QList<settingsfile::UploadStep> steps = settingsfile::uploadSteps(lines);
    const int total = int(steps.size());
    int taken = 0;
    CloneOutcome outcome = workOnCamera(target, camera, [&](CloneOutcome &outcome) {
        ReplyLog log;
        CameraSession session(log);
        connectSession(session, target, credentials, replyTimeoutMs, camera);
        const auto progress = [&](int sent, int) {
            taken = sent;
            camera.recordStep(steps.at(sent - 1).stores, sent);
            // A write is followed by its store command, whatever happens.
            camera.setAtSafePoint(sent == total || !steps.at(sent).stores);
        };
        settingsfile::uploadSettingsToCamera(session, lines, [&camera](int ms) { camera.pause(ms); }, progress);
        // The upload wrote scene file s without switching to it: read that one.
        const QString sceneNumber = lines.value(settingsfile::kSceneNumberLine - 1);
        const QStringList cameraLines =
            settingsfile::readSettingsFromCamera(session, sceneNumber, settingsfile::SceneValues::AsCameraHolds);
        outcome.differences = settingsfile::uploadedSettingsDiffering(lines, cameraLines);
        outcome.result = outcome.differences.isEmpty() ? CloneResult::Verified : CloneResult::Differs;
    });
    outcome.writes = taken;
    if ((outcome.result == CloneResult::Failed || outcome.result == CloneResult::Interrupted) && taken > 0)
        outcome.written = settingsfile::uploadProgressText(lines.value(settingsfile::kSceneNumberLine - 1), taken);
    return outcome;
}

CloneOutcome workOnCameraSession(const CloneTarget &target, const ConnectionFields &credentials, int replyTimeoutMs,
                                 CameraAtWork &camera, const SessionWork &work)
{
    return workOnCamera(target, camera, [&](CloneOutcome &outcome) {
        ReplyLog log;
        CameraSession session(log);
        connectSession(session, target, credentials, replyTimeoutMs, camera);
        work(session, outcome);
    });
}

CloneOutcome diffCamera(const CloneTarget &target, const QStringList &lines, const ConnectionFields &credentials,
                        int replyTimeoutMs, CameraAtWork &camera)
{
    return workOnCameraSession(target, credentials, replyTimeoutMs, camera,
                               [&](CameraSession &session, CloneOutcome &outcome) {
                                   // What the camera holds, as 'diff FILE' reads it: the file's scene.
                                   outcome.differences = cameraDiffering(session, lines);
                                   outcome.result =
                                       outcome.differences.isEmpty() ? CloneResult::Equal : CloneResult::Differs;
                               });
}

QByteArray cloneTable(const QList<CloneOutcome> &outcomes)
{
    QList<QStringList> rows{{QStringLiteral("HOST"), QStringLiteral("RESULT"), QStringLiteral("SECONDS"),
                             QStringLiteral("DETAIL")}};
    for (const CloneOutcome &outcome : outcomes)
        rows << QStringList{outcome.target.name, QLatin1String(cloneResultName(outcome.result)),
                            secondsText(outcome.seconds), cloneDetail(outcome)};
    return alignedTable(rows).toUtf8();
}

QString cloneProgressLine(int finished, int total, const CloneOutcome &outcome)
{
    QString line = QStringLiteral("[%1/%2] %3 %4")
                       .arg(finished)
                       .arg(total)
                       .arg(outcome.target.name, QLatin1String(cloneResultName(outcome.result)));
    const QString detail = cloneDetail(outcome);
    if (!detail.isEmpty())
        line += QStringLiteral(": ") + detail;
    return line + QLatin1Char('\n');
}

QByteArray fleetReportJson(const QString &headKey, const QString &head, const QList<CloneOutcome> &outcomes,
                           const QList<CloneResult> &counted)
{
    QJsonArray cameras;
    for (const CloneOutcome &outcome : outcomes)
        cameras.append(outcomeJson(outcome));
    int counts[kResultCount];
    countResults(outcomes, counts);
    QJsonObject document;
    document.insert(headKey, head);
    document.insert(QStringLiteral("cameras"), cameras);
    for (const CloneResult result : counted)
        document.insert(QLatin1String(cloneResultName(result)), counts[int(result)]);
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

QByteArray cloneReportJson(const QString &file, const QList<CloneOutcome> &outcomes)
{
    return fleetReportJson(QStringLiteral("file"), file, outcomes, kCloneCounted);
}

QByteArray saveReportCsv(const QList<CloneOutcome> &outcomes)
{
    QString text = csvRow({QStringLiteral("host"), QStringLiteral("result"), QStringLiteral("seconds"),
                           QStringLiteral("file"), QStringLiteral("mac"), QStringLiteral("error"), QStringLiteral("time"),
                           QStringLiteral("file_time"), QStringLiteral("earlier_file")});
    for (const CloneOutcome &outcome : outcomes)
        text += csvRow({outcome.target.name, QLatin1String(cloneResultName(outcome.result)),
                        secondsText(outcome.seconds), outcome.file, outcome.mac, oneLine(outcome.error), outcome.time,
                        outcome.fileTime, outcome.earlierFile ? QStringLiteral("yes") : QString()});
    return text.toUtf8();
}

QByteArray cloneReportCsv(const QList<CloneOutcome> &outcomes)
{
    QString text = csvRow({QStringLiteral("host"), QStringLiteral("result"), QStringLiteral("seconds"),
                           QStringLiteral("line"), QStringLiteral("setting"), QStringLiteral("file_value"),
                           QStringLiteral("camera_value"), QStringLiteral("error"), QStringLiteral("time"),
                           QStringLiteral("writes"), QStringLiteral("written")});
    for (const CloneOutcome &outcome : outcomes) {
        const QStringList head{outcome.target.name, QLatin1String(cloneResultName(outcome.result)),
                               secondsText(outcome.seconds)};
        const QStringList tail{outcome.time, outcome.writes >= 0 ? QString::number(outcome.writes) : QString(),
                               outcome.written};
        if (outcome.result == CloneResult::Differs) {
            // One row per differing setting.
            for (const SettingDifference &difference : outcome.differences)
                text += csvRow(head + QStringList{QString::number(difference.line), difference.name, difference.first,
                                                  difference.second, QString()}
                               + tail);
        } else {
            text += csvRow(head + QStringList{QString(), QString(), QString(), QString(), oneLine(outcome.error)}
                           + tail);
        }
    }
    return text.toUtf8();
}

int cloneExitStatus(const QList<CloneOutcome> &outcomes)
{
    bool differs = false;
    for (const CloneOutcome &outcome : outcomes) {
        if (outcome.result == CloneResult::Failed || outcome.result == CloneResult::NotStarted
            || outcome.result == CloneResult::Interrupted)
            return ExitFailure;
        differs = differs || outcome.result == CloneResult::Differs;
    }
    return differs ? ExitDiffers : ExitSuccess;
}

QString partlyWrittenText(const QList<CloneOutcome> &outcomes)
{
    QString text;
    for (const CloneOutcome &outcome : outcomes) {
        if (!outcome.written.isEmpty())
            text += QStringLiteral("  %1: %2\n").arg(outcome.target.name, outcome.written);
    }
    return text;
}

// The plan of a clone or an audit: the report (and its journal) when asked
// for, merged into the --retry-from record.
static FleetPlan reportPlan(const char *command, const QString &file, const QList<CloneResult> &counted,
                            const Invocation &invocation, std::optional<ReportFormat> format,
                            const std::optional<SiteRecord> &retry)
{
    FleetPlan plan;
    plan.command = command;
    plan.headKey = QStringLiteral("file");
    plan.head = file;
    plan.counted = counted;
    plan.recordFormat = format;
    if (plan.recordFormat)
        plan.recordPath = invocation.reportPath;
    if (retry)
        plan.earlier = retry->cameras;
    return plan;
}

void runClone(CommandContext &context, const QStringList &arguments)
{
    requireFileArguments(arguments, "clone", 1, 1, "one FILE (and --hosts LIST)");
    const Invocation &invocation = context.invocation();
    const std::optional<ReportFormat> format = requestedReportFormat(invocation);
    const std::optional<SiteRecord> retry = retryRecord(invocation);
    const QList<CloneTarget> targets = fleetTargets(invocation, retry, "clone");
    const QString path = arguments.first();
    const QStringList lines = loadCheckedFile(path);
    checkTargetPorts(targets);
    FleetPlan plan = reportPlan("clone", path, kCloneCounted, invocation, format, retry);
    plan.sceneNumber = lines.value(settingsfile::kSceneNumberLine - 1);
    runFleetCommand(context, plan, targets,
                    [&](const CloneTarget &target, CameraAtWork &camera) {
                        return cloneToCamera(target, lines, cameraCredentials(invocation, target.host),
                                             invocation.replyTimeoutMs, camera);
                    });
}

// "diff FILE --hosts LIST": every camera against the file.
static void runAudit(CommandContext &context, const QStringList &arguments)
{
    requireFileArguments(arguments, "diff --hosts", 1, 1, "one FILE");
    const Invocation &invocation = context.invocation();
    if (invocation.json)
        throw UsageError(QStringLiteral("'diff --hosts' has no --json output; give --report PATH.json"));
    const std::optional<ReportFormat> format = requestedReportFormat(invocation);
    const std::optional<SiteRecord> retry = retryRecord(invocation);
    const QList<CloneTarget> targets = fleetTargets(invocation, retry, "diff");
    const QString path = arguments.first();
    const QStringList lines = loadFile(path);
    checkTargetPorts(targets);
    runFleetCommand(context, reportPlan("diff", path, kDiffCounted, invocation, format, retry), targets,
                    [&](const CloneTarget &target, CameraAtWork &camera) {
                        return diffCamera(target, lines, cameraCredentials(invocation, target.host),
                                          invocation.replyTimeoutMs, camera);
                    });
}

// ---------------------------------------------------------------------------

QList<Command> settingsCommands()
{
    return {
        {"save", "FILE | --hosts LIST --dir DIR [--jobs N] [--report PATH]",
         "Read the camera's settings as the tool's \"Save Settings to PC HDD\"\n"
         "does (encoders 1, 2 and 3, the current scene file number, that scene\n"
         "file's image settings) and write them to FILE, 36 lines ended by CR LF.\n"
         "Files are written whole or not at all (a full disk leaves the earlier\n"
         "file as it was), never through a symbolic link; nothing is written\n"
         "when a read fails, and a folder that cannot take the file is named\n"
         "before the camera is read.\n"
         "With --hosts: back up every camera of LIST (as 'clone' reads it), up to\n"
         "N at once, each to DIR/HOST_PORT.txt (an IPv6 address's colons as\n"
         "\"-\"; two cameras that would share a name are refused), byte for byte\n"
         "what 'save' writes for that camera; a camera that fails does not stop\n"
         "the others and keeps the file it had. DIR must belong to you and not\n"
         "be writable by others (unless sticky). DIR/index.json is the folder's\n"
         "record: every camera it ever held, each with its latest result\n"
         "(\"saved\", \"failed\", \"interrupted\", \"not started\"), time, file,\n"
         "file_time and MAC (network.interface.mac) or error; a file kept from an\n"
         "earlier run is marked \"earlier_file\": true. DIR/index.journal records\n"
         "each camera as it goes. --report also writes the record to PATH (JSON,\n"
         "or CSV: host, result, seconds, file, mac, error, time, file_time,\n"
         "earlier_file). Exit status 0 when all were saved, else 1.",
         &runSave, false, OptionHosts | OptionDir | OptionJobs | OptionReport | OptionRetryFrom | OptionDeadline},
        {"upload", "FILE [--yes] [--no-verify]",
         "Write FILE into the camera as \"Upload Settings to Camera\" does: per\n"
         "encoder its settings, a 500 ms pause, its store command; then each\n"
         "image setting into scene file s (line 23) and its store command. The\n"
         "file is checked first (36 lines, markers, scene 0 to 7, no \"&\", \"=\",\n"
         "\"?\", \"#\" or control characters); a bad file sends nothing. Asks for\n"
         "confirmation on a terminal unless --yes; without a terminal --yes is\n"
         "required. Then reads back what it wrote, as 'clone' verifies (not with\n"
         "--no-verify), and prints \"Setting Complete, you might continue now\";\n"
         "a setting the camera did not keep is named (exit status 3). A refusal\n"
         "names what the camera had already taken.",
         &runUpload, false, OptionYes | OptionNoVerify},
        {"diff", "FILE [FILE2] [--json] | FILE --hosts LIST [--jobs N] [--report PATH]",
         "Compare FILE with the camera or with FILE2, and print each differing\n"
         "setting by name with both values (nothing when equal). Against the\n"
         "camera: the settings an upload of FILE writes, read as 'clone'\n"
         "verifies them (the encoders and the scene file FILE names; nothing is\n"
         "written); a reply without its value fails the read. Exit status 0 when\n"
         "equal, 3 when\n"
         "they differ. With --json: an object with the two labels, \"equal\" and\n"
         "the differences (line, setting, first, second).\n"
         "With --hosts: audit every camera of LIST against FILE, up to N at once:\n"
         "\"equal\", \"differs\" (with the settings and both values) or \"failed\"\n"
         "per camera, as a table on standard output; --report writes it as\n"
         "'clone' does. Exit status 0 when all are equal, 3 when some differ, 1\n"
         "when any failed.",
         &runDiff, true, OptionHosts | OptionJobs | OptionReport | OptionRetryFrom | OptionDeadline},
        {"clone", "FILE --hosts LIST [--jobs N] [--report PATH]",
         "Upload FILE (checked first, as 'upload') into every camera of LIST,\n"
         "up to N at once, each over a connection of its own with the user,\n"
         "password and --timeout of this call; no confirmation. LIST is read as\n"
         "a file when a file of that name exists, else as a comma-separated list.\n"
         "Each camera is then verified: its encoders and scene file s (line 23,\n"
         "which the upload writes without switching to it) are read back and\n"
         "compared with what the upload wrote (not a JPEG encoder's I-frame\n"
         "interval, which it does not send). Result per camera: \"verified\",\n"
         "\"differs\" (with the settings and both values) or \"failed\" (with the\n"
         "failure text); one camera's failure never stops the others. Progress\n"
         "goes to standard error (on a terminal one line that updates itself:\n"
         "verified / differs / failed / left, cameras per second, time left;\n"
         "else a line per camera), a table (hosts in the order given) to\n"
         "standard output. --report writes JSON (file, cameras with host, result,\n"
         "seconds, differences or error, and the counts) or CSV (host, result,\n"
         "seconds, line, setting, file_value, camera_value, error; one row per\n"
         "differing setting; then time, writes, written). Exit status 0 when all\n"
         "verified, 1 when any failed (or was interrupted or not started), else 3.\n"
         "A camera that fails or is interrupted part way is named with what it\n"
         "holds (\"encoders 1-3 stored, scene file 3 not written\"; JSON: writes,\n"
         "the requests it took, and written).\n"
         "For clone, save --hosts and diff --hosts: the journal (REPORT.journal\n"
         "beside --report, DIR/index.journal) gets a line for each camera's start,\n"
         "each request it took and its result, as they happen. The first SIGINT\n"
         "or SIGTERM starts no further camera; cameras at work stop after their\n"
         "current request (never between a write and its store command); the\n"
         "report is written with each camera \"interrupted\" or \"not started\"\n"
         "where so, exit status 130 (SIGINT) or 143 (SIGTERM). A second signal\n"
         "ends at once. --retry-from REPORT|INDEX|JOURNAL runs only the cameras\n"
         "not done with (a journal also knows those of a run that was killed) and\n"
         "merges the results into the record, which keeps every camera of the\n"
         "site; with nothing left to do it sends and writes nothing.",
         &runClone, false, OptionHosts | OptionJobs | OptionReport | OptionRetryFrom | OptionDeadline},
    };
}

} // namespace qzr::cli
