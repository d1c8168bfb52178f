#pragma once

#include <QByteArray>
#include <QDateTime>

namespace qzr::sim {

class CameraSimulator;

// The ONVIF device service a discovered camera names in its XAddrs
// (POST /onvif/device_service, SOAP 1.2): GetDeviceInformation and
// GetSystemDateAndTime, enough for standard clients to list the camera.
struct DeviceServiceReply {
    int status = 200;
    QByteArray reason = "OK";
    QByteArray body;
};

DeviceServiceReply deviceServiceReply(const QByteArray &requestBody, const CameraSimulator &camera,
                                      const QDateTime &nowUtc);

} // namespace qzr::sim
