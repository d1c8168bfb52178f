#pragma once
#include "cli/Commands.h"
#include "discovery/FoundCameras.h"

namespace qzr::cli {

// "discover": finds cameras by WS-Discovery and an optional address sweep.
QList<Command> discoverCommands();
void runDiscover(CommandContext &context, const QStringList &arguments);

// The cameras as "discover" prints them: an aligned table with a header line
// (address, port, model, firmware, MAC, found by, flags), or a JSON array.
QByteArray discoveredTable(const QList<discovery::FoundCamera> &cameras);
QByteArray discoveredJson(const QList<discovery::FoundCamera> &cameras);

// "--wait" text in seconds to milliseconds (0 to 60, decimals allowed);
// throws UsageError.
int parseWaitSeconds(const QString &text);

} // namespace qzr::cli
