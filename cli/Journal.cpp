#include "cli/Journal.h"

#include "protocol/CameraError.h"
#include "settingsfile/SafeFile.h"
#include "settingsfile/SettingsFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace qzr::cli {

using settingsfile::systemErrorText;

namespace {

// How long a line may wait for its flush to the disk.
constexpr auto kSyncInterval = std::chrono::milliseconds(250);
// Lines that come within this time of each other are written together, so
// that a thousand cameras do not wake the writer for each of their lines.
constexpr auto kGatherInterval = std::chrono::milliseconds(2);

const QString kEvent = QStringLiteral("event");

QByteArray line(const QJsonObject &event)
{
    return QJsonDocument(event).toJson(QJsonDocument::Compact) + '\n';
}

QString journalFailure(const QString &path, int error)
{
    return QStringLiteral("Cannot write journal %1: %2").arg(path, systemErrorText(error));
}

} // namespace

QString journalPathFor(const QString &reportPath)
{
    const QFileInfo info(reportPath);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? reportPath : reportPath.left(reportPath.size() - suffix.size() - 1);
    return base + QLatin1String(kJournalSuffix);
}

Journal::Journal(const QString &path, const QList<QJsonObject> &firstEvents) : m_path(path)
{
    QByteArray first;
    for (const QJsonObject &event : firstEvents)
        first += line(event);
    // The new journal takes the old one's place whole, then grows by appending.
    const QString error = settingsfile::writeFileAtomically(path, first);
    if (!error.isEmpty())
        throw CameraError(QStringLiteral("Cannot start the journal: %1").arg(error));
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd < 0)
        throw CameraError(journalFailure(path, errno));
    m_writer = std::thread([this] { writeLoop(); });
}

Journal::~Journal()
{
    finish();
}

void Journal::record(const QJsonObject &event)
{
    recordLine(QJsonDocument(event).toJson(QJsonDocument::Compact));
}

void Journal::recordLine(const QByteArray &json)
{
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        first = m_pending.isEmpty();
        m_pending += json;
        m_pending += '\n';
    }
    // The writer is woken by the first line; it takes those after it too.
    if (first)
        m_wake.notify_one();
}

void Journal::writeLoop()
{
    auto lastSync = std::chrono::steady_clock::now();
    bool unsynced = false;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait_for(lock, kSyncInterval, [this] { return !m_pending.isEmpty() || m_closing; });
        if (!m_pending.isEmpty() && !m_closing) {
            lock.unlock();
            std::this_thread::sleep_for(kGatherInterval);
            lock.lock();
        }
        const QByteArray lines = std::exchange(m_pending, QByteArray());
        const bool closing = m_closing;
        // The cameras' threads go on meanwhile: they only queue their lines.
        lock.unlock();
        int error = 0;
        if (!lines.isEmpty() && m_error.isEmpty()) {
            if (settingsfile::writeAllBytes(m_fd, lines))
                unsynced = true;
            else
                error = errno;
        }
        const auto now = std::chrono::steady_clock::now();
        if (error == 0 && unsynced && (closing || now - lastSync >= kSyncInterval)) {
            if (::fdatasync(m_fd) != 0 && errno != EINVAL)
                error = errno;
            unsynced = false;
            lastSync = now;
        }
        lock.lock();
        if (error != 0 && m_error.isEmpty())
            m_error = journalFailure(m_path, error);
        if (closing && m_pending.isEmpty())
            return;
    }
}

QString Journal::finish()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
    }
    m_wake.notify_one();
    if (m_writer.joinable())
        m_writer.join();
    if (m_fd >= 0) {
        if (::close(m_fd) != 0 && errno != EINTR && m_error.isEmpty())
            m_error = journalFailure(m_path, errno);
        m_fd = -1;
    }
    return m_error;
}

SiteRecord recordFromJournal(const QByteArray &bytes)
{
    SiteRecord record;
    QHash<QString, qsizetype> placeOf;
    QHash<QString, QString> sceneOf; // the scene file of each camera's upload
    const auto cameraNamed = [&](const QString &host) -> CloneOutcome & {
        const auto found = placeOf.constFind(host);
        if (found != placeOf.constEnd())
            return record.cameras[*found];
        placeOf.insert(host, record.cameras.size());
        CloneOutcome outcome;
        outcome.target.name = host;
        outcome.result = CloneResult::NotStarted;
        record.cameras << outcome;
        return record.cameras.last();
    };

    for (const QByteArray &text : bytes.split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(text).object();
        const QString kind = event.value(kEvent).toString();
        if (kind == QLatin1String("result")) {
            if (const std::optional<CloneOutcome> outcome = outcomeFromJson(event))
                cameraNamed(outcome->target.name) = *outcome;
        } else if (kind == QLatin1String("run")) {
            const QString time = event.value(QStringLiteral("time")).toString();
            const QString scene = event.value(QStringLiteral("scene")).toString();
            for (const QJsonValue &value : event.value(QStringLiteral("hosts")).toArray()) {
                const QString host = value.toString();
                if (host.isEmpty())
                    continue;
                sceneOf.insert(host, scene);
                CloneOutcome &camera = cameraNamed(host);
                CloneOutcome notStarted;
                notStarted.target.name = host;
                notStarted.result = CloneResult::NotStarted;
                notStarted.time = time;
                if (!camera.file.isEmpty()) {
                    notStarted.file = camera.file;
                    notStarted.fileTime = camera.fileTime;
                    notStarted.mac = camera.mac;
                    notStarted.earlierFile = true;
                }
                camera = notStarted;
            }
        } else if (kind == QLatin1String("start")) {
            const QString host = event.value(QStringLiteral("host")).toString();
            if (host.isEmpty())
                continue;
            CloneOutcome &camera = cameraNamed(host);
            camera.result = CloneResult::Interrupted;
            camera.time = event.value(QStringLiteral("time")).toString();
            camera.error = QStringLiteral("The run ended before this camera was done with.");
        } else if (kind == QLatin1String("written") || kind == QLatin1String("stored")) {
            const QString host = event.value(QStringLiteral("host")).toString();
            if (host.isEmpty())
                continue;
            CloneOutcome &camera = cameraNamed(host);
            camera.writes = event.value(QStringLiteral("step")).toInt();
            camera.written = settingsfile::uploadProgressText(sceneOf.value(host), camera.writes);
        }
    }
    return record;
}

} // namespace qzr::cli
