#include "protocol/Version.h"

#include "BuildVersion.h" // generated on every build: QZR_VERSION, QZR_GIT_DESCRIPTION

namespace qzr {

QString versionNumber()
{
    return QStringLiteral(QZR_VERSION);
}

QString gitDescription()
{
    return QStringLiteral(QZR_GIT_DESCRIPTION);
}

QString versionText()
{
    const QString description = gitDescription();
    return description.isEmpty() ? versionNumber()
                                 : QStringLiteral("%1 (git %2)").arg(versionNumber(), description);
}

QString versionLine(const QString &program)
{
    return program + QLatin1Char(' ') + versionText();
}

} // namespace qzr
