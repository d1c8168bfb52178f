#include "video/VideoTypes.h"

#include <algorithm>

namespace qzr::video {

QString errorCategoryText(VideoErrorCategory category)
{
    switch (category) {
    case VideoErrorCategory::Refused: return QStringLiteral("Connection refused");
    case VideoErrorCategory::Unauthorised: return QStringLiteral("Unauthorised");
    case VideoErrorCategory::NotFound: return QStringLiteral("Stream not found");
    case VideoErrorCategory::NoData: return QStringLiteral("No data");
    case VideoErrorCategory::StreamLost: return QStringLiteral("Stream lost");
    case VideoErrorCategory::BadStream: return QStringLiteral("Bad stream");
    case VideoErrorCategory::Redirected: return QStringLiteral("Redirect refused");
    }
    return QStringLiteral("Error");
}

bool RetryPolicy::isFatal(VideoErrorCategory category)
{
    switch (category) {
    case VideoErrorCategory::Unauthorised:
    case VideoErrorCategory::NotFound:
    case VideoErrorCategory::BadStream:
    case VideoErrorCategory::Redirected:
        return true;
    default:
        return false;
    }
}

int RetryPolicy::delayMs(VideoErrorCategory category, int failures) const
{
    if (isFatal(category))
        return retryFatal ? fatalDelayMs : -1;
    int delay = firstDelayMs;
    for (int i = 1; i < failures && delay < maxDelayMs; ++i)
        delay *= 2;
    return std::min(delay, maxDelayMs);
}

} // namespace qzr::video
