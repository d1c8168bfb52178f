#include "CameraSimulator.h"


#include <algorithm>
#include <utility>

namespace qzr::sim {

namespace {

constexpr int kEncoderCount = 3;
constexpr int kSceneCount = 8;
constexpr int kChannelCount = 3;
constexpr int kMinBitrate = 64000;
constexpr int kMaxBitrate = 8000000;
constexpr int kMinImageLevel = 0;
constexpr int kMaxImageLevel = 255;
constexpr int kMinFineFocus = 0;
constexpr int kMaxFineFocus = 1000;
constexpr int kMinNightFocus = 0;
constexpr int kMaxNightFocus = 9;
constexpr int kMinPort = 1;
constexpr int kMaxPort = 65535;

const QString kFocusRunning = QStringLiteral("run");
const QString kFocusStopped = QStringLiteral("stop");
const QString kFocusObjectError = QStringLiteral("OBJECT_ERROR");
const QString kFocusStatusKey = QStringLiteral("camera.focus.status");
const QString kFocusModeKey = QStringLiteral("camera.focus.adjust_mode");
const QString kFineFocusKey = QStringLiteral("camera.focus.finefocus");
const QString kNightFocusKey = QStringLiteral("camera.focus.nightfocus");
// The one model with a back-focus motor.
const QString kBackFocusModel = QStringLiteral("QZ-R50");
const QString kCurrentSceneKey = QStringLiteral("camera.scene.status");
const QString kPasswordKey = QStringLiteral("system.password.operator(0)");

std::function<bool(const QString &)> oneOf(const QStringList &allowed)
{
    return [allowed](const QString &value) { return allowed.contains(value); };
}

std::optional<int> toInt(const QString &text)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

std::function<bool(const QString &)> intRange(int low, int high)
{
    return [low, high](const QString &value) {
        const auto number = toInt(value);
        return number && *number >= low && *number <= high;
    };
}

bool isIpv4(const QString &value)
{
    const QStringList parts = value.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    return std::all_of(parts.begin(), parts.end(), [](const QString &part) {
        const auto number = toInt(part);
        return !part.isEmpty() && part.size() <= 3 && number && *number >= 0 && *number <= 255;
    });
}

bool isNonEmpty(const QString &value)
{
    return !value.isEmpty();
}

QString encoderKey(int encoder, const char *suffix)
{
    return QStringLiteral("encode(%1).%2").arg(encoder).arg(QLatin1String(suffix));
}

QString sceneKey(int scene, const QString &suffix)
{
    return QStringLiteral("camera.scene(%1)%2").arg(scene).arg(suffix);
}

QString channelKey(int channel, const char *suffix)
{
    return QStringLiteral("network.destination(%1).%2").arg(channel).arg(QLatin1String(suffix));
}

struct SceneKey {
    const char *suffix;
    QStringList allowed; // empty: checked by range
    int low;
    int high;
};

// The image parameters of one scene file, with the values the camera accepts.
const QList<SceneKey> &sceneKeys()
{
    static const QList<SceneKey> keys{
        {".image.3ddnr", {"high", "mid", "low", "off"}, 0, 0},
        {".image.brightness", {"manual", "autoM", "autoH"}, 0, 0},
        {".image.senseup_limit", {"0", "2", "4", "8", "16", "32", "60"}, 0, 0},
        {".shutter",
         {"30", "50", "60", "100", "250", "500", "1000", "2000", "4000", "10000", "auto100",
          "auto1000", "flickerless"},
         0,
         0},
        {".auto_exposure.reference", {}, -5, 5},
        {".image.color", {}, kMinImageLevel, kMaxImageLevel},
        {".image.true_daynight", {"color", "bw", "autoL", "autoM", "autoH"}, 0, 0},
        {".image.white_balance", {"autoW", "autoN"}, 0, 0},
        {".image.blc", {"off", "a", "b", "c", "d"}, 0, 0},
        {".image.enhance", {}, kMinImageLevel, kMaxImageLevel},
        {".image.clvi", {"on", "off"}, 0, 0},
        {".image.pedestal", {}, kMinImageLevel, kMaxImageLevel},
        {".image.gamma", {"1", "0.45"}, 0, 0},
        {".auto_exposure.av_pk.color", {}, 5, 10},
        {".auto_exposure.av_pk.black_white", {}, 5, 10},
        {".image.brightness.highgain", {"auto", "color", "bw"}, 0, 0},
    };
    return keys;
}

const QString kPrioritySuffix = QStringLiteral(".auto_exposure.priority");

// Factory values of scene file s; files 0..7 are General, Indoor, Outdoor,
// CLVI, Traffic, Data Saving, Day (Color) and Night (B&W).
QMap<QString, QString> sceneFactoryValues(int scene)
{
    QMap<QString, QString> values{
        {".image.3ddnr", "mid"},
        {".image.brightness", "autoM"},
        {".image.senseup_limit", "0"},
        {".shutter", "auto100"},
        {".auto_exposure.reference", "0"},
        {".image.color", "50"},
        {".image.true_daynight", "autoM"},
        {".image.white_balance", "autoW"},
        {".image.blc", "off"},
        {".image.enhance", "50"},
        {".image.clvi", "off"},
        {".image.pedestal", "50"},
        {".image.gamma", "0.45"},
        {".auto_exposure.av_pk.color", "8"},
        {".auto_exposure.av_pk.black_white", "8"},
        {".image.brightness.highgain", "auto"},
        {kPrioritySuffix, "standard"},
    };
    switch (scene) {
    case 1: // Indoor
        values[".image.white_balance"] = "autoN";
        values[".shutter"] = "auto1000";
        break;
    case 2: // Outdoor
        values[".image.brightness"] = "manual";
        values[".auto_exposure.reference"] = "-2";
        values[".image.enhance"] = "60";
        break;
    case 3: // CLVI
        values[".image.clvi"] = "on";
        values[".image.3ddnr"] = "low";
        break;
    case 4: // Traffic
        values[".shutter"] = "500";
        values[".image.3ddnr"] = "off";
        values[".image.blc"] = "a";
        break;
    case 5: // Data Saving
        values[".image.3ddnr"] = "high";
        values[".image.enhance"] = "30";
        break;
    case 6: // Day (Color)
        values[".image.true_daynight"] = "color";
        values[".image.color"] = "60";
        break;
    case 7: // Night (B&W)
        values[".image.true_daynight"] = "bw";
        values[".image.brightness"] = "autoH";
        values[".image.senseup_limit"] = "8";
        values[".image.gamma"] = "1";
        break;
    default:
        break;
    }
    return values;
}

struct EncoderDefaults {
    const char *type;
    const char *framesize;
    const char *framerate;
    const char *cbrMode;
    const char *bitrate;
    const char *quality;
    const char *iframeInterval;
};

constexpr EncoderDefaults kEncoderDefaults[kEncoderCount] = {
    {"h264high", "1920x1080", "15", "cbr", "4000000", "160k", "30"},
    {"jpeg", "1920x1080", "15", "afs", "2048000", "160k", "30"},
    {"off", "640x360", "15", "cbr", "512000", "160k", "30"},
};

struct ChannelDefaults {
    const char *address;
    const char *port;
};

constexpr ChannelDefaults kChannelDefaults[kChannelCount] = {
    {"225.0.1.1", "49152"},
    {"225.0.2.1", "59152"},
    {"225.0.4.1", "29152"},
};

// "+N" / "-N" move a value by N, a plain number sets it; clamped to [low, high].
std::optional<QString> steppedValue(const QString &current, const QString &requested, int step,
                                    int low, int high)
{
    const bool relative = requested.startsWith(QLatin1Char('+')) || requested.startsWith(QLatin1Char('-'));
    int target = 0;
    if (relative) {
        const QString amountText = requested.mid(1);
        const auto amount = amountText.isEmpty() ? std::optional<int>(step) : toInt(amountText);
        if (!amount || *amount < 0)
            return std::nullopt;
        const int base = toInt(current).value_or(low);
        target = requested.startsWith(QLatin1Char('+')) ? base + *amount : base - *amount;
        target = std::clamp(target, low, high);
    } else {
        const auto absolute = toInt(requested);
        if (!absolute || *absolute < low || *absolute > high)
            return std::nullopt;
        target = *absolute;
    }
    return QString::number(target);
}

} // namespace

CameraSimulator::CameraSimulator(const CameraOptions &options)
    : m_user(options.user),
      m_focusPolls(options.focusPolls),
      m_focusResult(options.focusResult),
      m_focusStatus(kFocusStopped)
{
    addSystemKeys(options);
    addEncoderKeys();
    addSceneKeys();
    addFocusKeys();
    addNetworkKeys(options);
    addStorageAndZoomKeys();
    for (auto it = m_rules.cbegin(); it != m_rules.cend(); ++it)
        m_values.insert(it.key(), it->factory);
    m_saved = m_values;
}

void CameraSimulator::addKey(const QString &key, const QString &factory, Validator accepts)
{
    m_rules.insert(key, KeyRule{factory, std::move(accepts)});
}

void CameraSimulator::addCommand(const QString &key, Command command)
{
    m_commands.insert(key, std::move(command));
}

void CameraSimulator::addSystemKeys(const CameraOptions &options)
{
    addKey(QStringLiteral("system.model"), options.model, {});
    addKey(QStringLiteral("system.software.revision"), options.softwareRevision, {});
    addKey(kPasswordKey, options.password, isNonEmpty);
}

void CameraSimulator::addEncoderKeys()
{
    const auto types = oneOf({"h264high", "h264baseline", "jpeg", "off", "mpeg4"});
    const auto sizes = oneOf({"1920x1080", "quadvga", "1280x720", "qvga", "640x360", "vga"});
    const auto rates = oneOf({"1", "2", "3", "5", "10", "15", "25", "30"});
    const auto modes = oneOf({"cbr", "vbr", "afs"});
    const auto bitrates = intRange(kMinBitrate, kMaxBitrate);
    const auto qualities = oneOf({"80k", "120k", "160k", "200k", "240k", "280k", "320k"});
    const auto intervals = oneOf({"5", "10", "15", "30", "60", "90", "120"});
    for (int n = 1; n <= kEncoderCount; ++n) {
        const EncoderDefaults &defaults = kEncoderDefaults[n - 1];
        addKey(encoderKey(n, "type"), defaults.type, types);
        addKey(encoderKey(n, "framesize"), defaults.framesize, sizes);
        addKey(encoderKey(n, "framerate"), defaults.framerate, rates);
        addKey(encoderKey(n, "cbr_mode"), defaults.cbrMode, modes);
        addKey(encoderKey(n, "bitrate"), defaults.bitrate, bitrates);
        addKey(encoderKey(n, "quality"), defaults.quality, qualities);
        addKey(encoderKey(n, "iframeinterval"), defaults.iframeInterval, intervals);
        const QString prefix = QStringLiteral("encode(%1).").arg(n);
        addCommand(encoderKey(n, "status"), [this, prefix](const QString &command) {
            if (command != QLatin1String("save"))
                return false;
            saveKeysWithPrefix(prefix);
            return true;
        });
    }
}

void CameraSimulator::addSceneKeys()
{
    addKey(kCurrentSceneKey, QStringLiteral("0"), {});
    for (int s = 0; s < kSceneCount; ++s) {
        const QMap<QString, QString> factory = sceneFactoryValues(s);
        for (const SceneKey &rule : sceneKeys()) {
            const QString suffix = QLatin1String(rule.suffix);
            const Validator accepts = rule.allowed.isEmpty() ? intRange(rule.low, rule.high)
                                                             : oneOf(rule.allowed);
            addKey(sceneKey(s, suffix), factory.value(suffix), accepts);
        }
        addKey(sceneKey(s, kPrioritySuffix), factory.value(kPrioritySuffix), isNonEmpty);
        addCommand(sceneKey(s, QStringLiteral(".status")), [this, s](const QString &command) {
            if (command == QLatin1String("goto"))
                return gotoScene(s);
            if (command == QLatin1String("initialize"))
                return initializeScene(s);
            if (command == QLatin1String("save")) {
                saveKeysWithPrefix(sceneKey(s, QStringLiteral(".")));
                return true;
            }
            return false;
        });
    }
}

void CameraSimulator::addFocusKeys()
{
    addKey(kFocusStatusKey, kFocusStopped, {});
    const auto dayNightSelect = oneOf({"day", "night", "select"});
    addKey(kFocusModeKey, QStringLiteral("select"), [this, dayNightSelect](const QString &mode) {
        return mode == QLatin1String("init_pos") ? hasBackFocus() : dayNightSelect(mode);
    });
    addKey(kFineFocusKey, QStringLiteral("500"), isNonEmpty);   // checked in resolveWrite
    addKey(kNightFocusKey, QStringLiteral("5"), isNonEmpty);    // checked in resolveWrite
    const auto start = [this](const QString &expected) {
        return [this, expected](const QString &command) {
            if (command != expected)
                return false;
            startAutoFocus();
            return true;
        };
    };
    addCommand(QStringLiteral("camera.focus"), start(QStringLiteral("op_auto")));
    addCommand(QStringLiteral("camera.focus.abf_pos"), [this](const QString &command) {
        if (command != QLatin1String("initialize") || !hasBackFocus())
            return false;
        startAutoFocus();
        return true;
    });
}

bool CameraSimulator::hasBackFocus() const
{
    return m_values.value(QStringLiteral("system.model")) == kBackFocusModel;
}

void CameraSimulator::addNetworkKeys(const CameraOptions &options)
{
    const auto ports = intRange(kMinPort, kMaxPort);
    addKey(QStringLiteral("network.interface.mac"), options.mac, {});
    addKey(QStringLiteral("network.interface.ip"), QStringLiteral("192.168.0.57"), isIpv4);
    addKey(QStringLiteral("network.interface.subnetmask"), QStringLiteral("255.255.255.0"), isIpv4);
    addKey(QStringLiteral("network.gateway(ipv4)"), QStringLiteral("192.168.0.1"), isIpv4);
    addKey(QStringLiteral("network.http.port"), QStringLiteral("80"), ports);
    addKey(QStringLiteral("network.rtsp.port"), QStringLiteral("554"), ports);
    addKey(QStringLiteral("network.interface.dhcp.status"), QStringLiteral("off"), oneOf({"on", "off"}));
    const auto restart = [this](NetworkRestart kind) {
        return [this, kind](const QString &command) {
            if (command != QLatin1String("restart"))
                return false;
            if (m_pendingRestart != NetworkRestart::Interface)
                m_pendingRestart = kind;
            return true;
        };
    };
    addCommand(QStringLiteral("network.interface.status"), restart(NetworkRestart::Interface));
    addCommand(QStringLiteral("network.http.status"), restart(NetworkRestart::Http));
    for (int c = 1; c <= kChannelCount; ++c) {
        addKey(channelKey(c, "address"), kChannelDefaults[c - 1].address, isIpv4);
        addKey(channelKey(c, "port"), kChannelDefaults[c - 1].port, ports);
        addKey(channelKey(c, "status"), QStringLiteral("stop"), oneOf({"start", "stop"}));
    }
}

void CameraSimulator::addStorageAndZoomKeys()
{
    addKey(QStringLiteral("storage.disk(1).size"), QStringLiteral("31914983424"), {});
    addKey(QStringLiteral("storage.disk(1).status"), QStringLiteral("off"), oneOf({"on", "off"}));
    addKey(QStringLiteral("application.object(8).source"), QStringLiteral("encode(1)"),
           oneOf({"encode(1)", "encode(2)", "encode(3)"}));
    addKey(QStringLiteral("application.event(8).status"), QStringLiteral("off"), oneOf({"on", "off"}));
    addKey(QStringLiteral("camera.motion.zoom.mode"), QStringLiteral("in"), oneOf({"in", "out"}));
    addKey(QStringLiteral("camera.motion.zoom.status"), QStringLiteral("stop"), oneOf({"start", "stop"}));
}

QByteArray CameraSimulator::handleParamQuery(const QByteArray &rawQuery)
{
    QList<ParamReplyLine> lines;
    for (const ParamItem &item : parseParamQuery(rawQuery)) {
        const QString shown = item.isWrite ? write(item.key, item.value) : read(item.key);
        lines << ParamReplyLine{item.key, shown};
    }
    return paramReplyBody(lines);
}

QString CameraSimulator::read(const QString &key)
{
    if (key == kFocusStatusKey)
        return readFocusStatus();
    return m_values.value(key, QString::fromLatin1(kRefusedValue));
}

void CameraSimulator::refuseWrite(const QString &key, const QString &value)
{
    if (!m_refusedWrites.contains(key, value))
        m_refusedWrites.insert(key, value);
}

void CameraSimulator::acceptWrite(const QString &key, const QString &value)
{
    if (!m_acceptedWrites.contains(key, value))
        m_acceptedWrites.insert(key, value);
}

void CameraSimulator::ignoreWrite(const QString &key, const QString &value)
{
    if (!m_ignoredWrites.contains(key, value))
        m_ignoredWrites.insert(key, value);
}

QString CameraSimulator::write(const QString &key, const QString &value)
{
    if (m_refusedWrites.contains(key, value))
        return QString::fromLatin1(kRefusedValue);
    if (m_ignoredWrites.contains(key, value))
        return value;
    if (m_acceptedWrites.contains(key, value) && m_values.contains(key)) {
        m_values[key] = value;
        afterWrite(key, value);
        return value;
    }
    const auto command = m_commands.constFind(key);
    if (command != m_commands.cend())
        return (*command)(value) ? value : QString::fromLatin1(kRefusedValue);

    // Destination status also takes "save", which stores the channel but is no state.
    if (key.startsWith(QLatin1String("network.destination(")) && key.endsWith(QLatin1String(".status"))
        && value == QLatin1String("save") && m_values.contains(key)) {
        saveKeysWithPrefix(key.left(key.size() - int(qstrlen("status"))));
        return value;
    }

    const auto stored = resolveWrite(key, value);
    if (!stored)
        return QString::fromLatin1(kRefusedValue);
    m_values[key] = *stored;
    afterWrite(key, *stored);
    return *stored;
}

std::optional<QString> CameraSimulator::resolveWrite(const QString &key, const QString &value) const
{
    const auto rule = m_rules.constFind(key);
    if (rule == m_rules.cend() || !rule->accepts)
        return std::nullopt;
    if (key == kFineFocusKey)
        return steppedValue(m_values.value(key), value, 1, kMinFineFocus, kMaxFineFocus);
    if (key == kNightFocusKey)
        return steppedValue(m_values.value(key), value, 1, kMinNightFocus, kMaxNightFocus);
    if (!rule->accepts(value))
        return std::nullopt;
    return value;
}

void CameraSimulator::afterWrite(const QString &key, const QString &value)
{
    if (key != kFocusModeKey)
        return;
    if (value == QLatin1String("day") || value == QLatin1String("init_pos")) {
        startAutoFocus();
    } else if (value == QLatin1String("select")) {
        m_focusRunning = false;
        m_focusStatus = kFocusStopped;
    }
}

void CameraSimulator::startAutoFocus()
{
    m_focusRunning = true;
    m_focusPollsLeft = m_focusPolls;
    m_focusStatus = kFocusRunning;
}

QString CameraSimulator::readFocusStatus()
{
    if (m_focusRunning) {
        if (m_focusPollsLeft > 0) {
            --m_focusPollsLeft;
            return kFocusRunning;
        }
        m_focusRunning = false;
        m_focusStatus = m_focusResult == FocusResult::ObjectError ? kFocusObjectError : kFocusStopped;
    }
    return m_focusStatus;
}

bool CameraSimulator::gotoScene(int scene)
{
    m_values[kCurrentSceneKey] = QString::number(scene);
    return true;
}

bool CameraSimulator::initializeScene(int scene)
{
    const QMap<QString, QString> factory = sceneFactoryValues(scene);
    for (auto it = factory.cbegin(); it != factory.cend(); ++it)
        m_values[sceneKey(scene, it.key())] = it.value();
    return true;
}

void CameraSimulator::saveKeysWithPrefix(const QString &prefix)
{
    // The keys are sorted: those with the prefix stand together from its place.
    const QMap<QString, QString> &values = m_values;
    for (auto it = values.lowerBound(prefix); it != values.cend() && it.key().startsWith(prefix); ++it)
        m_saved[it.key()] = it.value();
}

std::optional<QString> CameraSimulator::value(const QString &key) const
{
    if (key == kFocusStatusKey)
        return m_focusRunning ? kFocusRunning : m_focusStatus;
    const auto it = m_values.constFind(key);
    return it == m_values.cend() ? std::nullopt : std::optional<QString>(*it);
}

std::optional<QString> CameraSimulator::savedValue(const QString &key) const
{
    const auto it = m_saved.constFind(key);
    return it == m_saved.cend() ? std::nullopt : std::optional<QString>(*it);
}

void CameraSimulator::setValue(const QString &key, const QString &value)
{
    m_values[key] = value;
}

QStringList CameraSimulator::dump() const
{
    QStringList lines;
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        const QString shown = it.key() == kFocusStatusKey ? *value(it.key()) : it.value();
        lines << it.key() + QLatin1Char('=') + shown;
    }
    for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it)
        lines << QStringLiteral("[saved] ") + it.key() + QLatin1Char('=') + it.value();
    return lines;
}

QString CameraSimulator::password() const
{
    return m_values.value(kPasswordKey);
}

bool CameraSimulator::checkCredentials(const QString &user, const QString &password) const
{
    return user == m_user && password == this->password();
}

NetworkRestart CameraSimulator::takePendingRestart()
{
    return std::exchange(m_pendingRestart, NetworkRestart::None);
}

} // namespace qzr::sim
