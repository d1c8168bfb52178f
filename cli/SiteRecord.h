#pragma once
// What became of each camera of a site: the outcome of one camera's work,
// and the site's record that the reports, a backup folder's index and the
// journal keep of them. A run on some of a site's cameras (a retry) merges
// into the record, so that it always names every camera of the site with
// its latest result.
#include "settingsfile/SettingsFile.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace qzr::cli {

// One camera of a fleet command: the entry as given in --hosts and where it leads.
struct CloneTarget
{
    QString name; // the entry as given, e.g. "10.0.0.7:8080" or "10.0.0.8"
    QString host;
    QString port; // the entry's port, or the default port text
};

// What became of one camera of a clone, a site backup ("save --hosts") or an
// audit ("diff --hosts"); a camera of a commissioning report without an
// audit is "read".
enum class CloneResult { Verified, Differs, Failed, NotStarted, Equal, Saved, Interrupted, Read };
// The counts of each result, indexed by int(CloneResult).
inline constexpr int kResultCount = 8;
// "verified", "differs", "failed", "not started", "equal", "saved", "interrupted", "read".
const char *cloneResultName(CloneResult result);
std::optional<CloneResult> cloneResultFromName(const QString &name);

struct CloneOutcome
{
    CloneTarget target;
    CloneResult result = CloneResult::Failed;
    double seconds = 0;                                 // the camera's work
    QString time;                                       // when the result was reached, UTC, ISO 8601
    QString error;                                      // Failed, Interrupted: why
    QList<settingsfile::SettingDifference> differences; // Differs: file value first
    QString file;                                       // a backup's file in the folder
    QString fileTime;                                   // when that file was saved
    bool earlierFile = false;                           // the file is from an earlier run
    QString mac;                                        // the MAC the file was saved from
    int writes = -1;                                    // clone: the requests the camera took; -1 none sent
    QString written;                                    // clone: what a camera not done with holds
};

// The time of a result as the record keeps it: "2026-12-08T18:02:42Z".
QString recordTime();

// Whether a camera with this result is done with and is not run again by --retry-from.
bool isDone(CloneResult result);

// One camera as a report, an index and the journal name it: host, result,
// seconds, time; differences (Differs); error; file, file_time, mac and
// earlier_file (a backup); writes and written (a clone).
QJsonObject outcomeJson(const CloneOutcome &outcome);
// The same read back; nothing when the object names no host or no known result.
std::optional<CloneOutcome> outcomeFromJson(const QJsonObject &camera);

// Every camera a site's record names, in its order.
struct SiteRecord
{
    QList<CloneOutcome> cameras;
};

// The largest report, index or journal read back.
inline constexpr qint64 kMaxRecordBytes = 64 * 1024 * 1024;

// Reads a record: a report (JSON or CSV, as clone, save and diff write
// them), a backup folder's index.json, or a journal (".journal", as the
// journal of an interrupted run holds it). Throws UsageError, its text
// starting with `source` ("--retry-from"), when it cannot be read or is none.
SiteRecord readSiteRecord(const QString &path, const QString &source);

// The cameras of a record that are not done with ("failed", "differs",
// "interrupted", "not started"), by their entry as given.
QStringList camerasToRetry(const SiteRecord &record);

// The record after a run: the earlier record's cameras in their order, each
// camera of `now` in its place, cameras new to the record after them in
// their order. A camera of `now` without a file of its own keeps the file
// the earlier record names for it, marked as from an earlier run.
QList<CloneOutcome> mergedRecord(const QList<CloneOutcome> &earlier, const QList<CloneOutcome> &now);

// One CSV row ended by CR LF: a field with a comma, quote, line end or an
// outer blank is quoted (a quote inside doubled); a field that a
// spreadsheet would take for a formula (it begins with "=", "+", "-", "@",
// a tab or a carriage return), or that begins with "'", gets a "'" before
// it, so that it shows as the text it is.
QString csvRow(const QStringList &fields);

// The fields of one CSV row as csvRow writes them, from `position` of text
// (the "'" before a field dropped again); position ends after the row.
QStringList csvRecord(const QString &text, qsizetype &position);

} // namespace qzr::cli
