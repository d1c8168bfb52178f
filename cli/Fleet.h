#pragma once
// Working on many cameras at once: "clone", "save --hosts" and "diff
// --hosts". Each camera at work runs on a fiber of its own over a session
// (and so a libcurl handle and connection) of its own, a few threads serving
// them all (protocol/FleetLoop.h); the pauses inside one camera's work hold
// up only that camera. Every camera's start, steps and result go to the
// run's journal as they happen; SIGINT or SIGTERM stops the run at safe
// points.
#include "cli/Journal.h"
#include "cli/SettingsCommands.h"
#include "protocol/FleetLoop.h"

#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

namespace qzr::cli {

// One camera at work as the fleet runs it: its transfers and pauses go to
// the fleet's camera; once a stop was asked, a transfer at a safe point is
// not started (it fails at once, and the camera is "interrupted"); its
// steps go to the journal.
class CameraAtWork final : public FleetCamera
{
public:
    CameraAtWork(FleetCamera &camera, const QString &host, Journal *journal);

    CURLcode perform(CURL *easy) override;
    void closeConnections() override;
    void pause(int ms) override;

    // Between a write and its store command the camera is not at a safe
    // point: the store command goes out even after a stop was asked.
    void setAtSafePoint(bool safe) { m_atSafePoint = safe; }
    // Whether a transfer was held back for a stop.
    bool stopped() const { return m_stopped; }

    // Writes an event about this camera to the journal (with its host).
    void record(QJsonObject event);
    // Writes that the camera took request `step` of an upload (a write, or
    // the store command after it).
    void recordStep(bool stored, int step);

private:
    FleetCamera &m_camera;
    const QString m_host;
    QByteArray m_hostJson; // "host":"...", for the step lines
    Journal *m_journal;
    bool m_atSafePoint = true;
    bool m_stopped = false;
};

// The work on one camera, run on its fiber: its client's transfers go to
// `camera` (ParamClient::setTransferRunner) and its pauses to camera.pause().
using CameraWork = std::function<CloneOutcome(const CloneTarget &target, CameraAtWork &camera)>;

// Runs work on every target, up to `jobs` at once. After `deadlineSeconds`
// (counted from the call), or once SIGINT or SIGTERM asked for a stop
// (StopSignals.h), no further camera is started; those left are "not
// started". Each camera's start and result go to the journal when there is
// one. Progress goes to standard error: on a terminal one line that updates
// itself (the counts of `counted`, how many are left, the rate and the time
// left), else one line per finished camera. Returns the outcomes in the
// order of the targets.
QList<CloneOutcome> runOnFleet(CommandContext &context, const QList<CloneTarget> &targets, const CameraWork &work,
                               const QList<CloneResult> &counted, Journal *journal = nullptr);

// The self-updating progress line (without the leading carriage return):
// "12 verified / 1 differs / 0 failed / 987 left, 98.4 cameras/s, 10 s left".
QString fleetStatusLine(const QList<CloneResult> &counted, const int *counts, int left, double elapsedSeconds);

// The file descriptors `jobs` cameras at once need, at most: the soft limit
// is raised to the hard limit when it is lower; a CameraError tells what to
// do when even that is too low.
void ensureFileDescriptors(int jobs);

// The targets of a fleet command: --hosts, and with --retry-from only the
// cameras that `record` (read from --retry-from) names for another run (the
// record's own list when --hosts is not given). Throws UsageError.
QList<CloneTarget> fleetTargets(const Invocation &invocation, const std::optional<SiteRecord> &record,
                                const char *command);

void countResults(const QList<CloneOutcome> &outcomes, int *counts);

} // namespace qzr::cli
