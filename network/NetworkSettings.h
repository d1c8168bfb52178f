#pragma once
#include "protocol/RequestTarget.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class QObject;

// The camera's own network settings as the IP settings window changes them:
// keys, requests, texts and the checks that run before anything is sent.
namespace qzr::network {

inline const QString kIpKey = QStringLiteral("network.interface.ip");
inline const QString kSubnetMaskKey = QStringLiteral("network.interface.subnetmask");
inline const QString kGatewayKey = QStringLiteral("network.gateway(ipv4)");
inline const QString kHttpPortKey = QStringLiteral("network.http.port");
inline const QString kRtspPortKey = QStringLiteral("network.rtsp.port");
inline const QString kPasswordKey = QStringLiteral("system.password.operator(0)");

// "Get Settings" reads these in this order, one field each (Edit5..Edit8).
inline const std::array<QString, 4> kReadBackKeys = {kSubnetMaskKey, kGatewayKey, kHttpPortKey, kRtspPortKey};

// The camera stores a new password at once but needs a moment before it
// takes requests with it.
inline constexpr int kPasswordSettle_ms = 3000;

inline const QString kConfirmTitle = QStringLiteral("Confirm");
inline const QString kNothingChanged = QStringLiteral("Nothing changed");
inline const QString kDone = QStringLiteral("Done !");
inline const QString kRestartNotice = QStringLiteral(
    "Please wait 2-3 minutes if you change Network Settings like IP address, until camera has "
    "rebooted with new settings");

// The four octet fields joined by ".", as typed.
QString joinedAddress(const std::array<QString, 4> &octets);

// "Do you want to change Camera Network settings now ? New IP will be " + address.
QString addressConfirmation(const QString &address);

// Address, subnet mask and gateway in one request.
ParamQuery addressRequest(const QString &address, const QString &subnetMask, const QString &gateway);
// network.interface.status=restart: the camera reboots with its new settings.
ParamQuery interfaceRestartRequest();
ParamQuery httpPortRequest(const QString &port);
// network.http.status=restart: the camera's web server moves to the new port.
ParamQuery httpRestartRequest();
ParamQuery passwordRequest(const QString &password);
// "/api/param?&network.interface.dhcp.status=on" (or off): the camera takes
// the query with its leading "&", so it goes out as it stands.
QByteArray dhcpRequest(bool enabled);

// Checks the new address (octet fields), subnet mask and gateway before the
// confirmation: four decimal octets 0 to 255 each, the mask ones followed by
// zeros (at least one one). Returns one message naming the first field that
// is wrong, or nothing.
std::optional<QString> addressSettingsProblem(const std::array<QString, 4> &octets, const QString &subnetMask,
                                              const QString &gateway);

// Checks the new HTTP port: a whole number from 1 to 65535.
std::optional<QString> httpPortProblem(const QString &port);

// A program and its arguments, started without a shell.
struct DetachedCommand
{
    QString program;
    QStringList arguments;
};

// How this platform clears the PC's address (ARP) cache, so that a camera
// that has changed its address is found afresh: the system's own tool by its
// absolute path, never one found through PATH.
DetachedCommand addressCacheFlushCommand();

// Reports how a command ended: an empty text when it ran and succeeded,
// otherwise why not ("could not be started", the tool's own complaint).
using CommandDone = std::function<void(const QString &failure)>;

// Starts the command without a shell and without waiting for it; done is
// called on this thread once it has ended. The process belongs to owner and
// ends with it.
void runInBackground(QObject *owner, const DetachedCommand &command, CommandDone done);

// Said once, without holding the user up, when the flush failed.
QString cacheNotClearedNotice(const DetachedCommand &command, const QString &failure);

// "Done !" comes only when the camera is found where the change put it.
// After the restart for a new HTTP port the camera is looked for on that
// port, one read every kPortSearchPause_ms, for up to kPortSearch_ms.
inline constexpr int kPortSearch_ms = 30000;
inline constexpr int kPortSearchPause_ms = 1000;

enum class PortSearchResult { NewPort, OldPort, Neither };

// Asks answersOn(newPort) until it is true, pausing between the tries, for
// at most search_ms (counted both by the clock and by the pauses); then, if
// the camera never answered there, once answersOn(oldPort).
PortSearchResult searchMovedCamera(int newPort, int oldPort, const std::function<bool(int port)> &answersOn,
                                   const std::function<void(int pause_ms)> &pause, int search_ms = kPortSearch_ms,
                                   int pause_ms = kPortSearchPause_ms);

QString portKeptMessage(const QString &newPort, const QString &oldPort);
QString portNotFoundMessage(const QString &newPort, const QString &oldPort);

// The camera took the password request but does not accept the new one.
QString passwordKeptMessage(const QString &failure);

} // namespace qzr::network
