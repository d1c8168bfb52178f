#include "image/SceneKeys.h"

#include "protocol/CameraSession.h"

#include <algorithm>

namespace qzr::image {

namespace {

template <std::size_t N>
std::optional<QString> sentAt(const std::array<ListEntry, N> &entries, int index)
{
    if (index < 0 || index >= int(N))
        return std::nullopt;
    return QString::fromLatin1(entries[std::size_t(index)].sent);
}

template <std::size_t N>
std::optional<int> entrySending(const std::array<ListEntry, N> &entries, const QString &value)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (value == QLatin1String(entries[i].sent))
            return int(i);
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> sceneNumberAt(int position)
{
    if (position < 0 || position >= int(kSceneEntries.size()))
        return std::nullopt;
    return QString::number(position);
}

bool isScrollBarKey(SceneKey key)
{
    return key == SceneKey::Color || key == SceneKey::Enhance || key == SceneKey::Pedestal;
}

const char *sceneKeySuffix(SceneKey key)
{
    switch (key) {
    case SceneKey::Dnr3d: return ".image.3ddnr";
    case SceneKey::Agc: return ".image.brightness";
    case SceneKey::SenseUp: return ".image.senseup_limit";
    case SceneKey::Shutter: return ".shutter";
    case SceneKey::Brightness: return ".auto_exposure.reference";
    case SceneKey::Color: return ".image.color";
    case SceneKey::DayNight: return ".image.true_daynight";
    case SceneKey::WhiteBalance: return ".image.white_balance";
    case SceneKey::Blc: return ".image.blc";
    case SceneKey::Enhance: return ".image.enhance";
    case SceneKey::Clvi: return ".image.clvi";
    case SceneKey::Pedestal: return ".image.pedestal";
    case SceneKey::Gamma: return ".image.gamma";
    case SceneKey::AvpColor: return ".auto_exposure.av_pk.color";
    case SceneKey::AvpBlackWhite: return ".auto_exposure.av_pk.black_white";
    }
    return "";
}

QString scenePrefix(const QString &sceneNumber)
{
    return QStringLiteral("camera.scene(") + sceneNumber + QLatin1Char(')');
}

QString sceneKey(const QString &sceneNumber, SceneKey key)
{
    return scenePrefix(sceneNumber) + QLatin1String(sceneKeySuffix(key));
}

QString highGainKey(const QString &sceneNumber)
{
    return scenePrefix(sceneNumber) + QStringLiteral(".image.brightness.highgain");
}

QString sceneStatusKey(const QString &sceneNumber)
{
    return scenePrefix(sceneNumber) + QStringLiteral(".status");
}

int readBackValueStart(const QString &sceneNumber, SceneKey key)
{
    return defaultValueStart(sceneKey(sceneNumber, key));
}

std::optional<int> scrollPositionFromValue(const QString &value)
{
    const QString text = value.trimmed();
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok, 10);
    if (!ok || text != value)
        return std::nullopt;
    return int(std::clamp<qlonglong>(number, kScrollBarMin, kScrollBarMax));
}

QString notAnIntegerMessage(const QString &value)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(value);
}

ParamQuery sceneCommand(const QString &sceneNumber, const char *command)
{
    ParamQuery query;
    query.set(sceneStatusKey(sceneNumber), QString::fromLatin1(command));
    return query;
}

QList<ParamQuery> writeAndStore(const QString &sceneNumber, const QString &key, const QString &value)
{
    ParamQuery write;
    write.set(key, value);
    return {write, sceneCommand(sceneNumber, kSaveCommand)};
}

ParamQuery gotoRequest(const QString &sceneNumber)
{
    return sceneCommand(sceneNumber, kGotoCommand);
}

QList<ParamQuery> initializeSceneRequests(const QString &sceneNumber)
{
    return {sceneCommand(sceneNumber, kInitializeCommand), sceneCommand(sceneNumber, kSaveCommand)};
}

QList<ParamQuery> selectActiveSceneRequests(const QString &sceneNumber)
{
    return {sceneCommand(sceneNumber, kGotoCommand), sceneCommand(sceneNumber, kSaveCommand)};
}

bool modelTakesHighGain(const QString &modelLabel)
{
    return std::any_of(kHighGainModels.begin(), kHighGainModels.end(), [&modelLabel](const char *model) {
        return modelLabel == QLatin1String(kModelLabelPrefix) + QLatin1String(model);
    });
}

const char *setterCaption(Setter setter)
{
    switch (setter) {
    case Setter::Dnr3d: return "Set 3D NR";
    case Setter::Agc: return "Set AGC";
    case Setter::SenseUp: return "Set Sense Up";
    case Setter::Shutter: return "Set Shutter";
    case Setter::Brightness: return "Set Brightness";
    case Setter::WhiteBalance: return "Set WB";
    case Setter::Blc: return "Set BLC ";
    case Setter::DayNight: return "Set Day/Night";
    case Setter::Clvi: return "Set CLVI";
    case Setter::Pedestal: return "Set Black L.";
    case Setter::Color: return "Set Color";
    case Setter::Enhance: return "Set Enhance";
    case Setter::Gamma: return "Set Gamma";
    case Setter::AvpColor: return "Set AVP Color";
    case Setter::AvpBlackWhite: return "AVP B&W";
    }
    return "";
}

SceneKey setterKey(Setter setter)
{
    switch (setter) {
    case Setter::Dnr3d: return SceneKey::Dnr3d;
    case Setter::Agc: return SceneKey::Agc;
    case Setter::SenseUp: return SceneKey::SenseUp;
    case Setter::Shutter: return SceneKey::Shutter;
    case Setter::Brightness: return SceneKey::Brightness;
    case Setter::WhiteBalance: return SceneKey::WhiteBalance;
    case Setter::Blc: return SceneKey::Blc;
    case Setter::DayNight: return SceneKey::DayNight;
    case Setter::Clvi: return SceneKey::Clvi;
    case Setter::Pedestal: return SceneKey::Pedestal;
    case Setter::Color: return SceneKey::Color;
    case Setter::Enhance: return SceneKey::Enhance;
    case Setter::Gamma: return SceneKey::Gamma;
    case Setter::AvpColor: return SceneKey::AvpColor;
    case Setter::AvpBlackWhite: return SceneKey::AvpBlackWhite;
    }
    return SceneKey::Dnr3d;
}

bool isListSetter(Setter setter)
{
    switch (setter) {
    case Setter::Dnr3d:
    case Setter::Agc:
    case Setter::SenseUp:
    case Setter::Shutter:
    case Setter::Brightness:
    case Setter::WhiteBalance:
    case Setter::Blc:
    case Setter::DayNight:
    case Setter::Clvi:
        return true;
    default:
        return false;
    }
}

bool setterFillsProgress(Setter setter)
{
    return setter == Setter::Pedestal || setter == Setter::Color || setter == Setter::Enhance;
}

std::optional<QString> listValueAt(Setter setter, int selectedIndex)
{
    switch (setter) {
    case Setter::Dnr3d: return sentAt(kDnrEntries, selectedIndex);
    case Setter::Agc: return sentAt(kAgcEntries, selectedIndex);
    case Setter::SenseUp: return sentAt(kSenseUpEntries, selectedIndex);
    case Setter::Shutter: return sentAt(kShutterEntries, selectedIndex);
    case Setter::Brightness: return sentAt(kBrightnessEntries, selectedIndex);
    case Setter::WhiteBalance: return sentAt(kWhiteBalanceEntries, selectedIndex);
    case Setter::Blc: return sentAt(kBlcEntries, selectedIndex);
    case Setter::Clvi: return sentAt(kClviEntries, selectedIndex);
    default: return std::nullopt;
    }
}

std::optional<int> entryForCameraValue(SceneKey key, const QString &value)
{
    switch (key) {
    case SceneKey::Dnr3d: return entrySending(kDnrEntries, value);
    case SceneKey::Agc: return entrySending(kAgcEntries, value);
    case SceneKey::SenseUp: return entrySending(kSenseUpEntries, value);
    case SceneKey::Shutter: return entrySending(kShutterEntries, value);
    case SceneKey::Brightness: return entrySending(kBrightnessEntries, value);
    case SceneKey::WhiteBalance: return entrySending(kWhiteBalanceEntries, value);
    case SceneKey::Blc: return entrySending(kBlcEntries, value);
    case SceneKey::Clvi: return entrySending(kClviEntries, value);
    case SceneKey::DayNight:
        for (std::size_t i = 0; i < kDayNightEntries.size(); ++i) {
            if (kDayNightEntries[i].trueDayNight && value == QLatin1String(kDayNightEntries[i].trueDayNight))
                return int(i);
        }
        return std::nullopt;
    default: return std::nullopt;
    }
}

QList<ParamQuery> dayNightRequests(const QString &sceneNumber, int selectedIndex, const QString &modelLabel)
{
    QList<ParamQuery> requests;
    if (selectedIndex < 0 || selectedIndex >= int(kDayNightEntries.size()))
        return requests;
    const DayNightEntry &entry = kDayNightEntries[std::size_t(selectedIndex)];
    if (entry.highGain && modelTakesHighGain(modelLabel))
        requests << writeAndStore(sceneNumber, highGainKey(sceneNumber), QString::fromLatin1(entry.highGain));
    if (entry.trueDayNight)
        requests << writeAndStore(sceneNumber, sceneKey(sceneNumber, SceneKey::DayNight),
                                  QString::fromLatin1(entry.trueDayNight));
    return requests;
}

QList<ParamQuery> setterRequests(Setter setter, const QString &sceneNumber, const SetterInputs &inputs)
{
    const QString key = sceneKey(sceneNumber, setterKey(setter));
    auto list = [&](int index) -> QList<ParamQuery> {
        const std::optional<QString> value = listValueAt(setter, index);
        return value ? writeAndStore(sceneNumber, key, *value) : QList<ParamQuery>{};
    };
    switch (setter) {
    case Setter::Dnr3d: return list(inputs.dnr3d);
    case Setter::Agc: return list(inputs.agc);
    case Setter::SenseUp: return list(inputs.senseUp);
    case Setter::Shutter: return list(inputs.shutter);
    case Setter::Brightness: return list(inputs.brightness);
    case Setter::WhiteBalance: return list(inputs.whiteBalance);
    case Setter::Blc: return list(inputs.blc);
    case Setter::Clvi: return list(inputs.clvi);
    case Setter::DayNight: return dayNightRequests(sceneNumber, inputs.dayNight, inputs.modelLabel);
    case Setter::Pedestal: return writeAndStore(sceneNumber, key, QString::number(inputs.pedestal));
    case Setter::Color: return writeAndStore(sceneNumber, key, QString::number(inputs.color));
    case Setter::Enhance: return writeAndStore(sceneNumber, key, QString::number(inputs.enhance));
    case Setter::Gamma: return writeAndStore(sceneNumber, key, inputs.gamma);
    case Setter::AvpColor: return writeAndStore(sceneNumber, key, inputs.avpColor);
    case Setter::AvpBlackWhite: return writeAndStore(sceneNumber, key, inputs.avpBlackWhite);
    }
    return {};
}

QList<ParamQuery> setToSceneFileRequests(const QString &sceneNumber, const SetterInputs &inputs)
{
    QList<ParamQuery> requests;
    for (Setter setter : kSetToSceneFileOrder)
        requests << setterRequests(setter, sceneNumber, inputs);
    return requests;
}

void sendAll(CameraSession &session, const QList<ParamQuery> &requests)
{
    for (const ParamQuery &request : requests)
        session.cameraGet(request);
}

} // namespace qzr::image
