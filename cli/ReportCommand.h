#pragma once
// "report": the commissioning report of a site, as a page (DIR/index.html
// with each camera's picture beside it) and as JSON (DIR/report.json).
#include "cli/Commands.h"

#include <QList>

namespace qzr::cli {

QList<Command> reportCommands();
void runReport(CommandContext &context, const QStringList &arguments);

// How long a camera's stream may take to give its first picture.
inline constexpr int kPictureLimitMs = 15'000;
// The most streams received at once (each decodes on threads of its own).
inline constexpr int kMaxPictureJobs = 32;

} // namespace qzr::cli
