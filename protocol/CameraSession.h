#pragma once
#include "protocol/CameraFailure.h"
#include "protocol/ParamClient.h"
#include "protocol/ReplyLog.h"
#include "protocol/RequestTarget.h"

#include <functional>

namespace qzr {

// The connection settings as the four fields of the main window hold them.
struct ConnectionFields
{
    QString address;
    QString port;
    QString user;
    QString password;
};

// The camera's parameter requests as every window uses them: the last-used
// address, the one HTTP client and the reply log. Failures are thrown as
// CameraError and end the running operation.
class CameraSession
{
public:
    // The request a runner waits on: the camera as messages name it, and how
    // to cancel the request from the waiting thread.
    struct Waited
    {
        QString camera;
        std::function<void()> cancel;
    };
    // Runs one blocking exchange; the window set runs it on a worker while the
    // windows stay painted, the command line simply calls it.
    using Runner = std::function<HttpReply(const Waited &waited, const std::function<HttpReply()> &exchange)>;

    explicit CameraSession(ReplyLog &log);

    void setRunner(Runner runner) { m_runner = std::move(runner); }

    ParamClient &client() { return m_client; }

    // How failure messages name the connection settings to check.
    void setConnectionNames(const ConnectionNames &names) { m_names = names; }
    ReplyLog &log() { return m_log; }

    // The address field's name in messages, as the main window labels it.
    static constexpr const char *kAddressFieldName = "Camera IP";
    // The port of a last-used port text that is empty or not a number.
    static constexpr int kDefaultPort = 80;

    // Takes address, port, user and password from the fields, in that order.
    // A port text that is not a whole number from 1 to 65535, or an address
    // that is not an IP address or host name, fails before anything is sent
    // (the last-used address and port are already taken over by then).
    void applyConnection(const ConnectionFields &fields);

    // Gives the client user and password (and checks the port text) without
    // changing the last-used address.
    void applyCredentialsOnly(const ConnectionFields &fields);

    const QString &lastCameraIp() const { return m_lastCameraIp; }
    const QString &lastCameraPort() const { return m_lastCameraPort; }

    // One GET of "HTTP://" + last-used address + ":" + port + target; returns
    // the body byte for byte. A failure names the camera and what to check
    // ("127.0.0.1:80 refused the login (401 Unauthorized): check User and
    // Password"); a cancelled request fails with "Cancelled".
    QByteArray cameraGet(const QByteArray &target);
    QByteArray cameraGet(const ParamQuery &query) { return cameraGet(query.target()); }

    // A write that the camera must take: cameraGet, then a reply that refuses
    // any key ("KEY=NG&") throws CameraError naming the keys and the request.
    QByteArray cameraWrite(const ParamQuery &query);
    // The same for a request target ("/api/param?KEY=VALUE&...").
    QByteArray cameraWrite(const QByteArray &target);

    // Reads a key, puts the reply into the log, trims it and returns the value
    // from start (default: the first character after "KEY="). With values
    // required, a reply without a "KEY=" line (an empty body, another key)
    // throws CameraError "the camera answered without a value for KEY".
    QString readParameter(const QString &key, int start = -1);

    // Whether readParameter requires the camera's reply to carry the key:
    // for reads whose values are kept or compared (settings files).
    void setValuesRequired(bool required) { m_valuesRequired = required; }
    bool valuesRequired() const { return m_valuesRequired; }

    // Replaces the log's text with a reply body, untrimmed.
    void logReply(const QByteArray &body);

    // The port actually contacted: 80 when the last-used port text is empty or
    // not a number; a number outside 1 to 65535 throws CameraError.
    int requestPort() const;

    // The address actually contacted: the text trimmed of blanks; one that is
    // not an IP address or host name throws CameraError naming the field.
    static QString requestHost(const QString &address);

private:
    ReplyLog &m_log;
    ParamClient m_client;
    bool m_valuesRequired = false;
    Runner m_runner;
    ConnectionNames m_names;
    QString m_lastCameraIp;
    QString m_lastCameraPort;
};

} // namespace qzr
