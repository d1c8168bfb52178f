#pragma once

namespace qzr {

// The desktop tool's entry: options, the window set, the message loop.
int runTool(int argc, char *argv[]);

} // namespace qzr
