#pragma once
#include "protocol/RequestTarget.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

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
// that has changed its address is found afresh.
DetachedCommand addressCacheFlushCommand();

// Starts the command without waiting for it, its output discarded; false
// when it could not be started (a missing program, for one).
bool startDetached(const DetachedCommand &command);

} // namespace qzr::network
