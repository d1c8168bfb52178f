#pragma once
// Working on many cameras at once: "clone", "save --hosts" and "diff
// --hosts". Each camera at work runs on a fiber of its own over a session
// (and so a libcurl handle and connection) of its own, a few threads serving
// them all (FleetLoop.h); the pauses inside one camera's work hold up only
// that camera.
#include "cli/FleetLoop.h"
#include "cli/SettingsCommands.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

namespace qzr::cli {

// The work on one camera, run on its fiber: its client's transfers go to
// `camera` (ParamClient::setTransferRunner) and its pauses to camera.pause().
using CameraWork = std::function<CloneOutcome(const CloneTarget &target, FleetCamera &camera)>;

// Runs work on every target, up to `jobs` at once. After `deadlineSeconds`
// (counted from the call) no further camera is started; those left are
// "not started". Progress goes to standard error: on a terminal one line
// that updates itself (the counts of `counted`, how many are left, the rate
// and the time left), else one line per finished camera. Returns the
// outcomes in the order of the targets.
QList<CloneOutcome> runOnFleet(CommandContext &context, const QList<CloneTarget> &targets, const CameraWork &work,
                               const QList<CloneResult> &counted);

// The self-updating progress line (without the leading carriage return):
// "12 verified / 1 differs / 0 failed / 987 left, 98.4 cameras/s, 10 s left".
QString fleetStatusLine(const QList<CloneResult> &counted, const int *counts, int left, double elapsedSeconds);

// The file descriptors `jobs` cameras at once need, at most: the soft limit
// is raised to the hard limit when it is lower; a CameraError tells what to
// do when even that is too low.
void ensureFileDescriptors(int jobs);

// The cameras a previous report (JSON or CSV, as clone, save and diff write
// them) names as "failed", "differs" or "not started", by their entry as
// given. Throws UsageError when the report cannot be read or is not one.
QStringList camerasToRetry(const QString &reportPath);

// The targets of a fleet command: --hosts, and with --retry-from only the
// cameras that report names for another run (the report's own list when
// --hosts is not given). Throws UsageError.
QList<CloneTarget> fleetTargets(const Invocation &invocation, const char *command);

// The counts of each result, indexed by int(CloneResult).
inline constexpr int kResultCount = 6;
void countResults(const QList<CloneOutcome> &outcomes, int *counts);

} // namespace qzr::cli
