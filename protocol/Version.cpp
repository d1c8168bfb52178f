#include "protocol/Version.h"

namespace qzr {

namespace {

QString &description()
{
    static QString text;
    return text;
}

} // namespace

QString versionNumber()
{
    return QStringLiteral(QZR_VERSION); // the project version, from the build
}

QString gitDescription()
{
    return description();
}

void setGitDescription(const char *text)
{
    description() = QString::fromLatin1(text);
}

QString versionText()
{
    const QString git = gitDescription();
    return git.isEmpty() ? versionNumber() : QStringLiteral("%1 (git %2)").arg(versionNumber(), git);
}

QString versionLine(const QString &program)
{
    return program + QLatin1Char(' ') + versionText();
}

} // namespace qzr
