#pragma once
#include <QString>

namespace qzr {

// The release number of the tool, the command line and the simulator: the
// project's version, one number for all three and for the Debian package.
QString versionNumber();

// `git describe` of the source the running program was built from; empty
// when the build had no git checkout. Each program's main() hands it over
// (only the three main.cpp files see the description, so a new commit
// relinks just the three programs).
QString gitDescription();
void setGitDescription(const char *description);

// "0.1", or "0.1 (git 3c56789-dirty)" when the build has a git description.
QString versionText();

// What "--version" prints: "qzr 0.1 (git 3c56789)".
QString versionLine(const QString &program);

} // namespace qzr
