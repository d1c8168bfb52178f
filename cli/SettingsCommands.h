#pragma once
// The settings file commands: save, upload, diff and clone.
#include "cli/Commands.h"
#include "cli/SiteRecord.h"
#include "settingsfile/CameraSettings.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace qzr::cli {

class CameraAtWork;

// The commands of this file, in the order "--help" lists them.
QList<Command> settingsCommands();

void runSave(CommandContext &context, const QStringList &arguments);
void runUpload(CommandContext &context, const QStringList &arguments);
void runDiff(CommandContext &context, const QStringList &arguments);
void runClone(CommandContext &context, const QStringList &arguments);

// The question "upload" asks on a terminal before anything is sent: the
// settings window's confirmation text, the destination and "[y/N]".
QString uploadQuestion(const ConnectionFields &destination);
// Whether an answer to it means yes ("y" or "yes", any case).
bool isYes(const QString &answer);

// The differing settings as "diff" prints them: an aligned table with the
// header LINE, SETTING and the two labels (values as cellText shows them),
// or (json) one JSON object with both labels and the differences.
QString differencesTable(const QList<settingsfile::SettingDifference> &differences, const QString &firstLabel,
                         const QString &secondLabel);
QByteArray differencesJson(const QList<settingsfile::SettingDifference> &differences, const QString &firstLabel,
                           const QString &secondLabel);

// The --hosts value: the lines of the file of that name when there is one
// (blank lines and "#" comments skipped), else a comma-separated list. Each
// entry is HOST, HOST:PORT or [IPV6]:PORT; an entry without a port gets
// defaultPort. Throws UsageError for an empty list, a host that is not an IP
// address or host name, a port that is not 1 to 65535, a camera listed
// twice (also under two names), or a file name that names no file. Host
// names are resolved as withoutSameCameraTwice does.
QList<CloneTarget> parseHostList(const QString &list, const QString &defaultPort, int resolveLimitMs);
// The same for the text of a list (lines or commas), without resolving names.
QList<CloneTarget> hostsFromText(const QString &text, const QString &defaultPort);

// Whether a --hosts value names a file: it holds "/" or ends in .txt, .csv
// or .lst (one that does not exist is a usage error, not a host).
bool namesAFile(const QString &list);

// The addresses a host name resolves to, as text ("127.0.0.1", "::1"); none
// when it does not resolve.
using HostResolver = std::function<QSet<QString>(const QString &host)>;
QSet<QString> systemResolve(const QString &host);

// The addresses of each host, looked up side by side (up to
// kParallelLookups at once), each lookup given up after limitMs (0: the
// default request time limit), so that a slow name server costs one time
// limit, not one per name. A host that is an IP address stands for itself
// without a lookup; one given up or not resolved resolves to nothing.
inline constexpr int kParallelLookups = 256;
QList<QSet<QString>> resolveHosts(const QStringList &hosts, int limitMs, const HostResolver &resolve = systemResolve);

// The targets unchanged, or UsageError naming both entries when two of them
// lead to the same camera: the same port and a resolved address in common
// ("127.0.0.1:8080" and "localhost:8080"). Names resolve as resolveHosts.
QList<CloneTarget> withoutSameCameraTwice(const QList<CloneTarget> &targets, int resolveLimitMs);

// The name of a camera's file in a site backup: host and port, "HOST_PORT.txt",
// the colons of an IPv6 address written as "-" ("fe80--1_80.txt").
QString backupFileName(const CloneTarget &target);

// UsageError naming both when two cameras of a backup would share a file
// name ("ab::1" and "ab--1" on one port), in this run or with a camera the
// folder's earlier index keeps a file of.
void checkBackupFileNames(const QList<CloneTarget> &targets, const QList<CloneOutcome> &earlier);

// One camera of a site backup: read as 'save' reads it, with its MAC, and
// written atomically to dir/backupFileName; nothing is written on a failure.
CloneOutcome saveCamera(const CloneTarget &target, const QString &dir, const ConnectionFields &credentials,
                        int replyTimeoutMs, CameraAtWork &camera);

// One camera of an audit: read as 'diff' reads it and compared with the file.
CloneOutcome diffCamera(const CloneTarget &target, const QStringList &lines, const ConnectionFields &credentials,
                        int replyTimeoutMs, CameraAtWork &camera);

// One camera's work over a session of its own, connected as diffCamera's:
// `work` reads what it needs and sets the outcome's result; any failure
// makes the camera "failed" with the failure text, a stop "interrupted".
using SessionWork = std::function<void(CameraSession &session, CloneOutcome &outcome)>;
CloneOutcome workOnCameraSession(const CloneTarget &target, const ConnectionFields &credentials, int replyTimeoutMs,
                                 CameraAtWork &camera, const SessionWork &work);

// One camera of a clone, on its fiber with a session of its own:
// the upload, then the read-back of the encoders and of scene file s (line
// 23) and the comparison of what the upload wrote. Each request the camera
// takes goes to the journal; a camera that fails or is interrupted part way
// names what it holds ("written").
CloneOutcome cloneToCamera(const CloneTarget &target, const QStringList &lines, const ConnectionFields &credentials,
                           int replyTimeoutMs, CameraAtWork &camera);

// What "clone" prints and writes: the table (hosts in the given order), the
// progress line of one finished camera, the JSON and the CSV report (host,
// result, seconds, line, setting, file_value, camera_value, error, time,
// writes, written).
QByteArray cloneTable(const QList<CloneOutcome> &outcomes);
QString cloneProgressLine(int finished, int total, const CloneOutcome &outcome);
QByteArray cloneReportJson(const QString &file, const QList<CloneOutcome> &outcomes);
QByteArray cloneReportCsv(const QList<CloneOutcome> &outcomes);
// The reports of many cameras: `head` names what they worked with
// ({"file", FILE} or {"dir", DIR}), then the cameras and the count of each
// result of `counted`.
QByteArray fleetReportJson(const QString &headKey, const QString &head, const QList<CloneOutcome> &outcomes,
                           const QList<CloneResult> &counted);
// A site backup's CSV: host, result, seconds, file, mac, error, time,
// file_time, earlier_file ("yes" for a file from an earlier run).
QByteArray saveReportCsv(const QList<CloneOutcome> &outcomes);

// The cameras written only in part, one line each:
// "  HOST: encoders 1-3 stored, scene file 3 not written". Empty when none.
QString partlyWrittenText(const QList<CloneOutcome> &outcomes);

// 0 when every camera verified (or is equal, or saved), 1 when any failed,
// was interrupted or was not started, else 3.
int cloneExitStatus(const QList<CloneOutcome> &outcomes);

} // namespace qzr::cli
