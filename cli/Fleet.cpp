#include "cli/Fleet.h"

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

// How often the terminal line is redrawn while nothing finishes.
constexpr unsigned long kRedrawMs = 500;

// Results a report names for another run.
const QSet<QString> &retriedResults()
{
    static const QSet<QString> results{QLatin1String(cloneResultName(CloneResult::Failed)),
                                       QLatin1String(cloneResultName(CloneResult::Differs)),
                                       QLatin1String(cloneResultName(CloneResult::NotStarted))};
    return results;
}

// The fields of one CSV row as clone's report writes them ("" doubles a
// quote inside a quoted field); `text` is the rest of the report.
QStringList csvRecord(const QString &text, qsizetype &position)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    while (position < text.size()) {
        const QChar c = text.at(position++);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (position < text.size() && text.at(position) == QLatin1Char('"')) {
                    field += c;
                    ++position;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            break;
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    fields << field;
    return fields;
}

QStringList retriedFromCsv(const QString &path, const QString &text)
{
    qsizetype position = 0;
    const QStringList header = csvRecord(text, position);
    const qsizetype hostColumn = header.indexOf(QStringLiteral("host"));
    const qsizetype resultColumn = header.indexOf(QStringLiteral("result"));
    if (hostColumn < 0 || resultColumn < 0)
        throw UsageError(QStringLiteral("--retry-from: %1 has no 'host' and 'result' columns").arg(path));
    QStringList hosts;
    while (position < text.size()) {
        const QStringList fields = csvRecord(text, position);
        if (fields.size() == 1 && fields.first().isEmpty())
            continue;
        if (retriedResults().contains(fields.value(resultColumn)) && !hosts.contains(fields.value(hostColumn)))
            hosts << fields.value(hostColumn);
    }
    return hosts;
}

QStringList retriedFromJson(const QString &path, const QByteArray &bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.object().value(QStringLiteral("cameras")).isArray())
        throw UsageError(QStringLiteral("--retry-from: %1 is not a report with a list of cameras").arg(path));
    QStringList hosts;
    for (const QJsonValue &camera : document.object().value(QStringLiteral("cameras")).toArray()) {
        const QString host = camera.toObject().value(QStringLiteral("host")).toString();
        if (!host.isEmpty() && retriedResults().contains(camera.toObject().value(QStringLiteral("result")).toString())
            && !hosts.contains(host))
            hosts << host;
    }
    return hosts;
}

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
        if (result == CloneResult::NotStarted)
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

QStringList camerasToRetry(const QString &reportPath)
{
    QFile file(reportPath);
    if (!file.open(QIODevice::ReadOnly))
        throw UsageError(QStringLiteral("--retry-from: cannot read %1: %2").arg(reportPath, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (reportPath.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return retriedFromCsv(reportPath, QString::fromUtf8(bytes));
    return retriedFromJson(reportPath, bytes);
}

QList<CloneTarget> fleetTargets(const Invocation &invocation, const char *command)
{
    const bool hosts = invocation.commandOptions & OptionHosts;
    const bool retry = invocation.commandOptions & OptionRetryFrom;
    if (!hosts && !retry)
        throw UsageError(QStringLiteral("'%1' needs --hosts LIST").arg(QLatin1String(command)));
    const QString &defaultPort = invocation.connection.port;
    if (!retry)
        return parseHostList(invocation.hosts, defaultPort);
    const QStringList again = camerasToRetry(invocation.retryFrom);
    QList<CloneTarget> targets;
    if (hosts) {
        for (const CloneTarget &target : parseHostList(invocation.hosts, defaultPort)) {
            if (again.contains(target.name))
                targets << target;
        }
    } else if (!again.isEmpty()) {
        targets = withoutSameCameraTwice(hostsFromText(again.join(QLatin1Char('\n')), defaultPort));
    }
    return targets;
}

QList<CloneOutcome> runOnFleet(CommandContext &context, const QList<CloneTarget> &targets, const CameraWork &work,
                               const QList<CloneResult> &counted)
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
    // A thread per core: the cameras' work is mostly waiting.
    FleetLoops fleet(total, jobs, QThread::idealThreadCount(), [&](int index, FleetCamera &camera) {
        CloneOutcome outcome;
        if (clock.nsecsElapsed() >= deadlineNs) {
            outcome.target = targets.at(index);
            outcome.result = CloneResult::NotStarted;
        } else {
            try {
                outcome = work(targets.at(index), camera);
            } catch (...) {
                outcome.target = targets.at(index);
                outcome.result = CloneResult::Failed;
                outcome.error = QStringLiteral("Unexpected failure.");
            }
        }
        QMutexLocker lock(&mutex);
        outcomes[index] = std::move(outcome);
        finished << index;
        finishedOne.wakeAll();
    });

    const bool terminal = context.errorIsTerminal();
    int counts[kResultCount] = {};
    int shown = 0;
    int notStarted = 0;
    while (shown < total) {
        QList<int> now;
        {
            QMutexLocker lock(&mutex);
            if (finished.size() == shown)
                finishedOne.wait(&mutex, terminal ? kRedrawMs : ULONG_MAX);
            now = finished.mid(shown);
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
            context.writeError(QStringLiteral("\r\x1b[K")
                               + fleetStatusLine(counted, counts, total - shown, double(clock.nsecsElapsed()) / 1e9));
    }
    fleet.wait();
    if (terminal)
        context.writeError(QStringLiteral("\n"));
    if (notStarted > 0)
        context.writeError(QStringLiteral("%1 camera(s) not started: the --deadline of %2 s had passed\n")
                               .arg(notStarted)
                               .arg(*invocation.deadlineSeconds));
    return outcomes;
}

} // namespace qzr::cli
