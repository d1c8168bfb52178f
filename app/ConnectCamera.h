#pragma once
#include <QString>

// Connects the main window to the camera at address:port as "IP Setup" >
// "Save Settings" does: the address and port go into the main window's
// fields and into "IP Setup", and the main window reads and shows the
// camera's model, firmware and MAC. When loginNeeded, the user is asked for
// a user name and password first (they go into the main window; cancelled,
// nothing happens). A failure is reported. True when connected.
bool connectMainWindow(const QString &address, int port, bool loginNeeded);
