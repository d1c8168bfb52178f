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
// The most streams received at once: decoding is the work, so twice as
// many as the machine has cores (fewer when --jobs says so), 32 at most.
// More only share the cores: on 2 cores 32 streams at once took 2.5 times
// as long as 4, with 7 times the memory.
inline constexpr int kMaxPictureJobs = 32;
int pictureJobs(int jobs);

} // namespace qzr::cli
