#pragma once
// The journal of a run on many cameras: one JSON object a line, each written
// to the file the moment it happens (and flushed to the disk a few times a
// second), so that even after kill -9 or a power cut it tells which cameras
// were done, which were written in part and which were never started.
//
// Its lines:
//   {"event":"result", ...a camera as the report names it...}
//       the record of an earlier run, before the run's own lines
//   {"event":"run","command":"clone","hosts":[...],"time":...,"file"|"dir":...,
//    "scene":S}
//       a run starts on these cameras (each "not started" until it is); a
//       clone's upload writes scene file S
//   {"event":"start","host":...,"time":...}
//   {"event":"written"|"stored","host":...,"step":N}
//       the camera took request N of the upload (a write, or its store)
//   {"event":"result", ...}
//       a camera's result, as the report names it
#include "cli/SiteRecord.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace qzr::cli {

inline constexpr char kJournalSuffix[] = ".journal";

// The journal beside a report or index: "report.json" -> "report.journal".
QString journalPathFor(const QString &reportPath);

class Journal
{
public:
    // Starts the journal at path anew with its first lines: they are written
    // to a file beside it that then takes its place, so a journal of an
    // earlier run stays until the new one holds them. Refuses a symbolic
    // link at path. Throws CameraError naming the file and the reason.
    Journal(const QString &path, const QList<QJsonObject> &firstEvents);
    // Flushes and closes (see finish()).
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    const QString &path() const { return m_path; }

    // Queues one line, which a thread of the journal's own writes at once
    // (so a camera's thread never waits for the disk); from any thread.
    void record(const QJsonObject &event);
    // The same for a line already in JSON (without its line end).
    void recordLine(const QByteArray &json);

    // Flushes to the disk and closes. Returns the first failure of any
    // write or flush ("Cannot write journal PATH: No space left on device"),
    // empty when every line was taken.
    QString finish();

private:
    void writeLoop();

    QString m_path;
    int m_fd = -1;
    std::mutex m_mutex; // m_pending, m_closing, m_error
    std::condition_variable m_wake;
    QByteArray m_pending; // lines queued for the writer
    bool m_closing = false;
    QString m_error;
    std::thread m_writer; // writes the lines within milliseconds, flushes a few times a second
};

// The record a journal holds: each camera's latest result. A camera that
// started but has no result is "interrupted", with what it got of an upload
// ("written"); a camera of a run that never started it is "not started",
// keeping any earlier file as one from an earlier run. A line cut short
// (a power cut while writing it) is skipped.
SiteRecord recordFromJournal(const QByteArray &bytes);

} // namespace qzr::cli
