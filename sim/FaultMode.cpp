#include "FaultMode.h"

#include <array>
#include <utility>

namespace qzr::sim {

namespace {

struct FaultModeEntry {
    FaultMode mode;
    const char *name;
};

constexpr std::array kFaultModes{
    FaultModeEntry{FaultMode::None, "none"},
    FaultModeEntry{FaultMode::Refuse, "refuse"},
    FaultModeEntry{FaultMode::RefuseAfterReply, "refuse-after-reply"},
    FaultModeEntry{FaultMode::Hang, "hang"},
    FaultModeEntry{FaultMode::CloseMidReply, "close-mid-reply"},
    FaultModeEntry{FaultMode::Http10, "http10"},
    FaultModeEntry{FaultMode::ConnectionClose, "connection-close"},
    FaultModeEntry{FaultMode::Chunked, "chunked"},
    FaultModeEntry{FaultMode::Redirect, "redirect"},
    FaultModeEntry{FaultMode::Unauthorized, "unauthorized"},
    FaultModeEntry{FaultMode::NotFound, "notfound"},
    FaultModeEntry{FaultMode::ServerError, "servererror"},
    FaultModeEntry{FaultMode::GarbageStatus, "garbage-status"},
    FaultModeEntry{FaultMode::EmptyBody, "empty-body"},
    FaultModeEntry{FaultMode::CloseIdle, "close-idle"},
};

} // namespace

QString faultModeName(FaultMode mode)
{
    for (const auto &entry : kFaultModes) {
        if (entry.mode == mode)
            return QString::fromLatin1(entry.name);
    }
    return QStringLiteral("none");
}

std::optional<FaultMode> faultModeFromName(const QString &name)
{
    for (const auto &entry : kFaultModes) {
        if (name == QLatin1String(entry.name))
            return entry.mode;
    }
    return std::nullopt;
}

QStringList faultModeNames()
{
    QStringList names;
    for (const auto &entry : kFaultModes)
        names << QString::fromLatin1(entry.name);
    return names;
}

} // namespace qzr::sim
