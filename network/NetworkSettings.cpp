#include "network/NetworkSettings.h"

#include "protocol/ConnectionInput.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QStringList>

#include <memory>

namespace qzr::network {

namespace {

const QString kNothingSent = QStringLiteral(" Nothing was sent to the camera.");
const QString kAddressField = QStringLiteral("New IP Address");
const QString kMaskField = QStringLiteral("New Subnetmask");
const QString kGatewayField = QStringLiteral("New Gateway");
const QString kPortField = QStringLiteral("New HTTP Port");

// The address rule of every address the tool takes (ConnectionInput.h).
std::optional<quint32> octetValue(const QString &text)
{
    return ipv4OctetValue(text);
}

std::optional<quint32> dottedValue(const QString &text)
{
    return ipv4Value(text);
}

QString fieldProblem(const QString &field, const QString &what)
{
    return field + QStringLiteral(": ") + what + kNothingSent;
}

std::optional<QString> dottedProblem(const QString &field, const QString &text, const char *example)
{
    if (text.isEmpty())
        return fieldProblem(field, QStringLiteral("the field is empty."));
    if (!dottedValue(text))
        return fieldProblem(field, QStringLiteral("\"%1\" is not a dotted address of four whole numbers from 0 "
                                                  "to 255 (like %2).")
                                       .arg(text, QLatin1String(example)));
    return std::nullopt;
}

} // namespace

QString joinedAddress(const std::array<QString, 4> &octets)
{
    return QStringList(octets.begin(), octets.end()).join(QLatin1Char('.'));
}

QString addressConfirmation(const QString &address)
{
    return QStringLiteral("Do you want to change Camera Network settings now ? New IP will be ") + address;
}

ParamQuery addressRequest(const QString &address, const QString &subnetMask, const QString &gateway)
{
    return ParamQuery().set(kIpKey, address).set(kSubnetMaskKey, subnetMask).set(kGatewayKey, gateway);
}

ParamQuery interfaceRestartRequest()
{
    return ParamQuery().set(QStringLiteral("network.interface.status"), QStringLiteral("restart"));
}

ParamQuery httpPortRequest(const QString &port)
{
    return ParamQuery().set(kHttpPortKey, port);
}

ParamQuery httpRestartRequest()
{
    return ParamQuery().set(QStringLiteral("network.http.status"), QStringLiteral("restart"));
}

ParamQuery passwordRequest(const QString &password)
{
    return ParamQuery().set(kPasswordKey, password);
}

QByteArray dhcpRequest(bool enabled)
{
    return targetForRawQuery(enabled ? QStringLiteral("&network.interface.dhcp.status=on")
                                     : QStringLiteral("&network.interface.dhcp.status=off"));
}

std::optional<QString> addressSettingsProblem(const std::array<QString, 4> &octets, const QString &subnetMask,
                                              const QString &gateway)
{
    static const char *const kOrdinals[] = {"first", "second", "third", "fourth"};
    for (size_t i = 0; i < octets.size(); ++i) {
        const QString ordinal = QLatin1String(kOrdinals[i]);
        if (octets[i].isEmpty())
            return fieldProblem(kAddressField, QStringLiteral("the %1 octet is empty.").arg(ordinal));
        if (!octetValue(octets[i]))
            return fieldProblem(kAddressField,
                                QStringLiteral("the %1 octet \"%2\" is not a whole number from 0 to 255 "
                                               "(digits only, no leading zero).")
                                    .arg(ordinal, octets[i]));
    }
    if (auto problem = dottedProblem(kMaskField, subnetMask, "255.255.255.0"))
        return problem;
    // Ones first, then zeros: the inverted mask plus one is a power of two.
    const quint32 hostBits = ~*dottedValue(subnetMask);
    if (hostBits == 0xFFFFFFFFu || (hostBits & (hostBits + 1)) != 0)
        return fieldProblem(kMaskField, QStringLiteral("\"%1\" is not a subnet mask: its ones must come first, "
                                                       "without gaps (like 255.255.255.0).")
                                            .arg(subnetMask));
    return dottedProblem(kGatewayField, gateway, "192.168.0.1");
}

std::optional<QString> httpPortProblem(const QString &port)
{
    if (port.isEmpty())
        return fieldProblem(kPortField, QStringLiteral("the field is empty."));
    bool digitsOnly = port.size() <= 5;
    for (const QChar c : port)
        digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int number = digitsOnly ? port.toInt() : 0;
    if (number < 1 || number > 65535)
        return fieldProblem(kPortField,
                            QStringLiteral("\"%1\" is not a whole number from 1 to 65535.").arg(port));
    return std::nullopt;
}

DetachedCommand addressCacheFlushCommand()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("C:/Windows/System32/ARP.exe"), {QStringLiteral("-d")}};
#elif defined(Q_OS_MACOS)
    return {QStringLiteral("/usr/sbin/arp"), {QStringLiteral("-a"), QStringLiteral("-d")}};
#else
    // Where iproute2 puts it, with or without the merged /usr.
    return {QStringLiteral("/sbin/ip"), {QStringLiteral("neigh"), QStringLiteral("flush"), QStringLiteral("all")}};
#endif
}

void runInBackground(QObject *owner, const DetachedCommand &command, CommandDone done)
{
    auto *process = new QProcess(owner);
    process->setProgram(command.program);
    process->setArguments(command.arguments);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::SeparateChannels);
    // Reported once, whichever comes: the start failed, or the tool ended.
    auto report = std::make_shared<CommandDone>(std::move(done));
    QObject::connect(process, &QProcess::errorOccurred, process, [process, report](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart || !*report)
            return;
        (*report)(QStringLiteral("%1 could not be started (%2)").arg(process->program(), process->errorString()));
        *report = nullptr;
        process->deleteLater();
    });
    const auto ended = [process, report](int exitCode, QProcess::ExitStatus status) {
        if (!*report)
            return;
        QString failure;
        if (status != QProcess::NormalExit) {
            failure = QStringLiteral("%1 ended abnormally").arg(process->program());
        } else if (exitCode != 0) {
            const QString complaint = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
            failure = complaint.isEmpty()
                          ? QStringLiteral("%1 ended with exit code %2").arg(process->program()).arg(exitCode)
                          : complaint;
        }
        (*report)(failure);
        *report = nullptr;
        process->deleteLater();
    };
    QObject::connect(process, &QProcess::finished, process, ended);
    process->start();
}

QString cacheNotClearedNotice(const DetachedCommand &command, const QString &failure)
{
    return QStringLiteral("The PC's address cache was not cleared: %1. A camera that has just changed its address "
                          "may not be found until the old entry has expired; to clear it now, run \"%2\" as "
                          "administrator.")
        .arg(failure, (QStringList{command.program} + command.arguments).join(QLatin1Char(' ')));
}

PortSearchResult searchMovedCamera(int newPort, int oldPort, const std::function<bool(int port)> &answersOn,
                                   const std::function<void(int pause_ms)> &pause, int search_ms, int pause_ms)
{
    QElapsedTimer clock;
    clock.start();
    const int tries = qMax(1, search_ms / qMax(1, pause_ms) + 1);
    for (int attempt = 1; attempt <= tries; ++attempt) {
        if (answersOn(newPort))
            return PortSearchResult::NewPort;
        if (attempt == tries || clock.elapsed() >= search_ms)
            break;
        pause(pause_ms);
    }
    return answersOn(oldPort) ? PortSearchResult::OldPort : PortSearchResult::Neither;
}

QString portKeptMessage(const QString &newPort, const QString &oldPort)
{
    return QStringLiteral("The camera did not move to HTTP port %1 (is it taken?) and still answers on port %2. "
                          "The tool keeps using port %2.")
        .arg(newPort, oldPort);
}

QString portNotFoundMessage(const QString &newPort, const QString &oldPort)
{
    return QStringLiteral("The camera answered neither on the new HTTP port %1 nor on the old port %2 (tried for "
                          "%3 seconds). The tool keeps port %2; check the camera and enter its port in the main "
                          "window.")
        .arg(newPort, oldPort)
        .arg(kPortSearch_ms / 1000);
}

QString passwordKeptMessage(const QString &failure)
{
    return QStringLiteral("The camera kept its old password: a request with the new one failed (%1). The tool "
                          "keeps using the old password.")
        .arg(failure);
}

} // namespace qzr::network
