#include "cli/Fleet.h"

#include "cli/StopSignals.h"
#include "protocol/CameraError.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QWaitCondition>

#include <sys/resource.h>
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

namespace qzr::cli {

namespace {

// Descriptors per camera at work (its connection, libcurl's wake-up pair
// and a spare) and those the process holds besides.
constexpr rlim_t kDescriptorsPerCamera = 4;
constexpr rlim_t kDescriptorsBesides = 64;

// How often the terminal line is redrawn, and a stop looked for, while
// nothing finishes.
constexpr unsigned long kRedrawMs = 200;

QString durationText(double seconds)
{
    const qint64 whole = qint64(std::ceil(seconds));
    if (whole < 60)
        return QStringLiteral("%1 s").arg(whole);
    return QStringLiteral("%1:%2 min").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

void countResults(const QList<CloneOutcome> &outcomes, int *counts)
{
    std::fill(counts, counts + kResultCount, 0);
    for (const CloneOutcome &outcome : outcomes)
        ++counts[int(outcome.result)];
}

QString fleetStatusLine(const QList<CloneResult> &counted, const int *counts, int left, double elapsedSeconds)
{
    QStringList parts;
    int finished = 0;
    for (const CloneResult result : counted) {
        if (result == CloneResult::NotStarted || (result == CloneResult::Interrupted && counts[int(result)] == 0))
            continue;
        parts << QStringLiteral("%1 %2").arg(counts[int(result)]).arg(QLatin1String(cloneResultName(result)));
        finished += counts[int(result)];
    }
    parts << QStringLiteral("%1 left").arg(left);
    QString line = parts.join(QStringLiteral(" / "));
    const double rate = elapsedSeconds > 0 ? finished / elapsedSeconds : 0;
    if (finished == 0 || rate <= 0)
        return line + QStringLiteral(", -- cameras/s, time left unknown");
    return line + QStringLiteral(", %1 cameras/s, %2 left").arg(rate, 0, 'f', 1).arg(durationText(left / rate));
}

void ensureFileDescriptors(int jobs)
{
    const rlim_t needed = kDescriptorsBesides + kDescriptorsPerCamera * rlim_t(jobs);
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= needed)
        return;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    if (limit.rlim_cur < needed)
        throw CameraError(QStringLiteral("--jobs %1 needs up to %2 open files, but this process may open only %3 "
                                         "(ulimit -n); give fewer --jobs or raise the limit")
                              .arg(jobs)
                              .arg(qulonglong(needed))
                              .arg(qulonglong(limit.rlim_cur)));
}

QList<CloneTarget> fleetTargets(const Invocation &invocation, const std::optional<SiteRecord> &record,
                                const char *command)
{
    const bool hosts = invocation.commandOptions & OptionHosts;
    if (!hosts && !record)
        throw UsageError(QStringLiteral("'%1' needs --hosts LIST").arg(QLatin1String(command)));
    const QString &defaultPort = invocation.connection.port;
    const int resolveLimitMs = invocation.replyTimeoutMs;
    if (!record)
        return parseHostList(invocation.hosts, defaultPort, resolveLimitMs);
    const QStringList again = camerasToRetry(*record);
    QList<CloneTarget> targets;
    if (hosts) {
        for (const CloneTarget &target : parseHostList(invocation.hosts, defaultPort, resolveLimitMs)) {
            if (again.contains(target.name))
                targets << target;
        }
    } else if (!again.isEmpty()) {
        targets = withoutSameCameraTwice(hostsFromText(again.join(QLatin1Char('\n')), defaultPort), resolveLimitMs);
    }
    return targets;
}

CameraAtWork::CameraAtWork(FleetCamera &camera, const QString &host, Journal *journal)
    : m_camera(camera), m_host(host), m_journal(journal)
{
    if (m_journal) {
        // The host as JSON writes it, once: an upload has 32 steps.
        const QByteArray array = QJsonDocument(QJsonArray{host}).toJson(QJsonDocument::Compact);
        m_hostJson = "\"host\":" + array.mid(1, array.size() - 2);
    }
}

CURLcode CameraAtWork::perform(CURL *easy)
{
    if (m_atSafePoint && StopSignals::requested() != 0) {
        // Nothing is sent: the client reports a failed transfer, and the
        // camera's work ends as "interrupted".
        m_stopped = true;
        return CURLE_ABORTED_BY_CALLBACK;
    }
    return m_camera.perform(easy);
}

void CameraAtWork::closeConnections()
{
    m_camera.closeConnections();
}

void CameraAtWork::pause(int ms)
{
    m_camera.pause(ms);
}

void CameraAtWork::recordStep(bool stored, int step)
{
    if (!m_journal)
        return;
    m_journal->recordLine((stored ? QByteArrayLiteral("{\"event\":\"stored\",") : QByteArrayLiteral("{\"event\":\"written\","))
                          + m_hostJson + ",\"step\":" + QByteArray::number(step) + '}');
}

void CameraAtWork::record(QJsonObject event)
{
    if (!m_journal)
        return;
    event.insert(QStringLiteral("host"), m_host);
    m_journal->record(event);
}

QList<CloneOutcome> runOnFleet(CommandContext &context, const QList<CloneTarget> &targets, const CameraWork &work,
                               const QList<CloneResult> &counted, Journal *journal)
{
    const Invocation &invocation = context.invocation();
    const int total = int(targets.size());
    QList<CloneOutcome> outcomes(total);
    if (total == 0)
        return outcomes;
    const int jobs = std::min(invocation.jobs, total);
    ensureFileDescriptors(jobs);

    QElapsedTimer clock;
    clock.start();
    const qint64 deadlineNs = invocation.deadlineSeconds
        ? qint64(std::min(*invocation.deadlineSeconds * 1e9, 9e18))
        : std::numeric_limits<qint64>::max();

    QList<int> finished; // indexes, in the order the cameras finished
    QMutex mutex;
    QWaitCondition finishedOne;
    bool pastDeadline = false;
    const auto runCamera = [&](int index, FleetCamera &fleetCamera) {
        const CloneTarget &target = targets.at(index);
        CloneOutcome outcome;
        const bool late = clock.nsecsElapsed() >= deadlineNs;
        if (late || StopSignals::requested() != 0) {
            outcome.target = target;
            outcome.result = CloneResult::NotStarted;
            outcome.time = recordTime();
        } else {
            CameraAtWork camera(fleetCamera, target.name, journal);
            camera.record({{QStringLiteral("event"), QStringLiteral("start")}, {QStringLiteral("time"), recordTime()}});
            try {
                outcome = work(target, camera);
            } catch (...) {
                outcome.target = target;
                outcome.result = CloneResult::Failed;
                outcome.error = QStringLiteral("Unexpected failure.");
                outcome.time = recordTime();
            }
            if (journal) {
                QJsonObject result = outcomeJson(outcome);
                result.insert(QStringLiteral("event"), QStringLiteral("result"));
                journal->record(result);
            }
        }
        QMutexLocker lock(&mutex);
        pastDeadline = pastDeadline || late;
        outcomes[index] = std::move(outcome);
        finished << index;
        finishedOne.wakeAll();
    };
    std::optional<FleetLoops> fleet;
    {
        // The fleet's threads leave SIGINT and SIGTERM to this one.
        SignalsBlocked blocked;
        // A thread per core: the cameras' work is mostly waiting.
        fleet.emplace(total, jobs, QThread::idealThreadCount(), runCamera);
    }

    const bool terminal = context.errorIsTerminal();
    int counts[kResultCount] = {};
    int shown = 0;
    int notStarted = 0;
    bool stopShown = false;
    while (shown < total) {
        QList<int> now;
        {
            QMutexLocker lock(&mutex);
            if (finished.size() == shown)
                finishedOne.wait(&mutex, kRedrawMs);
            now = finished.mid(shown);
        }
        if (StopSignals::requested() != 0 && !stopShown) {
            stopShown = true;
            if (terminal)
                context.writeStatusLine(QString());
            context.writeError(
                QStringLiteral("%1: stopping. No further camera is started; cameras at work stop after their "
                               "current request, never between a write and its store command. Send it again to "
                               "stop at once%2.\n")
                    .arg(StopSignals::signalName(StopSignals::requested()),
                         journal ? QStringLiteral(" (the journal %1 keeps what was done)").arg(journal->path())
                                 : QString()));
        }
        for (const int index : now) {
            const CloneOutcome &outcome = outcomes.at(index);
            ++counts[int(outcome.result)];
            ++shown;
            if (outcome.result == CloneResult::NotStarted)
                ++notStarted;
            else if (!terminal)
                context.writeError(cloneProgressLine(shown - notStarted, total, outcome));
        }
        if (terminal)
            context.writeStatusLine(fleetStatusLine(counted, counts, total - shown, double(clock.nsecsElapsed()) / 1e9));
    }
    fleet->wait();
    if (terminal)
        context.writeError(QStringLiteral("\n"));
    if (notStarted > 0) {
        if (StopSignals::requested() != 0)
            context.writeError(QStringLiteral("%1 camera(s) not started: stopped by %2\n")
                                   .arg(notStarted)
                                   .arg(StopSignals::signalName(StopSignals::requested())));
        else if (pastDeadline)
            context.writeError(QStringLiteral("%1 camera(s) not started: the --deadline of %2 s had passed\n")
                                   .arg(notStarted)
                                   .arg(*invocation.deadlineSeconds));
    }
    return outcomes;
}

} // namespace qzr::cli
