#include "lens/FocusRequests.h"

namespace qzr::lens {

const char *adjustModeValue(AdjustMode mode)
{
    switch (mode) {
    case AdjustMode::Day: return "day";
    case AdjustMode::Night: return "night";
    case AdjustMode::Select: return "select";
    case AdjustMode::InitPos: return "init_pos";
    }
    return "select";
}

ParamQuery adjustModeRequest(AdjustMode mode)
{
    return ParamQuery().set(QString::fromLatin1(kAdjustModeKey), QString::fromLatin1(adjustModeValue(mode)));
}

QList<ParamQuery> dayAutoFocusStartRequests()
{
    return {adjustModeRequest(AdjustMode::Day),
            ParamQuery().set(QString::fromLatin1(kFocusCommandKey), QStringLiteral("op_auto"))};
}

QList<ParamQuery> backFocusStartRequests()
{
    return {adjustModeRequest(AdjustMode::InitPos),
            ParamQuery().set(QString::fromLatin1(kBackFocusCommandKey), QStringLiteral("initialize"))};
}

ParamQuery focusEndRequest()
{
    return adjustModeRequest(AdjustMode::Select);
}

ParamQuery fineFocusRequest(FineDirection direction, const QString &step)
{
    const QChar sign = direction == FineDirection::Plus ? QLatin1Char('+') : QLatin1Char('-');
    return ParamQuery().set(QString::fromLatin1(kFineFocusKey), sign + step);
}

ParamQuery nightFocusStepRequest(NightStep step)
{
    return ParamQuery().set(QString::fromLatin1(kNightFocusKey),
                            step == NightStep::Down ? QStringLiteral("-") : QStringLiteral("+"));
}

void runNightFocusClick(int position, const std::function<int()> &cameraValue,
                        const std::function<void(NightStep)> &step)
{
    if (position < cameraValue())
        step(NightStep::Down);
    // The value is read again: a step down has refreshed it.
    if (position > cameraValue())
        step(NightStep::Up);
}

PollResult pollFocusStatus(FocusRun run, const std::function<void(int pause_ms)> &pause,
                           const std::function<QString()> &readStatus, int pollLimit)
{
    for (int poll = 1; poll <= pollLimit; ++poll) {
        pause(kPollIntervalMs);
        const QString status = readStatus();
        if (status == QLatin1String(kStatusStopped))
            return {PollOutcome::Stopped, poll};
        // The back-focus initialisation waits for "stop" alone.
        if (run == FocusRun::DayAutoFocus && status == QLatin1String(kStatusObjectError))
            return {PollOutcome::ObjectError, poll};
    }
    return {PollOutcome::TimedOut, pollLimit};
}

QString closingMessage(FocusRun run, PollOutcome outcome)
{
    if (outcome == PollOutcome::ObjectError)
        return QString::fromLatin1(kOutOfRangeMessage);
    const bool stopped = outcome == PollOutcome::Stopped;
    if (run == FocusRun::BackFocusInitialize)
        return QString::fromLatin1(stopped ? kBackFocusFinishedMessage : kBackFocusTimedOutMessage);
    return QString::fromLatin1(stopped ? kFocusFinishedMessage : kFocusTimedOutMessage);
}

bool backFocusAllowed(const QString &modelLabel)
{
    return modelLabel == QLatin1String(kBackFocusModelLabel);
}

} // namespace qzr::lens
