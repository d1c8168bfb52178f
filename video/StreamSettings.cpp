#include "video/StreamSettings.h"

namespace qzr::video {

StreamSettings &StreamSettings::current()
{
    static StreamSettings settings;
    return settings;
}

QString StreamSettings::urlFor(const QString &ip, const QString &channel) const
{
    QString url = urlTemplate;
    url.replace(QLatin1String("{ip}"), ip.trimmed());
    url.replace(QLatin1String("{channel}"), channel.trimmed().isEmpty() ? QStringLiteral("1") : channel.trimmed());
    return url;
}

} // namespace qzr::video
