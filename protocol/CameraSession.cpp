#include "protocol/CameraSession.h"

#include "protocol/CameraError.h"

namespace qzr {

CameraSession::CameraSession(ReplyLog &log)
    : m_log(log)
{
}

void CameraSession::applyConnection(const ConnectionFields &fields)
{
    m_lastCameraIp = fields.address;
    m_lastCameraPort = fields.port;
    applyCredentialsOnly(fields);
}

void CameraSession::applyCredentialsOnly(const ConnectionFields &fields)
{
    toIntegerOrThrow(fields.port);
    m_client.setCredentials(fields.user, fields.password);
}

int CameraSession::requestPort() const
{
    bool ok = false;
    const int port = m_lastCameraPort.trimmed().toInt(&ok);
    return ok && port > 0 && port < 65536 ? port : 80;
}

QByteArray CameraSession::cameraGet(const QByteArray &target)
{
    const QString host = m_lastCameraIp;
    const int port = requestPort();
    auto exchange = [this, host, port, target] { return m_client.get(host, port, target); };
    const HttpReply reply = m_runner ? m_runner(exchange) : exchange();
    if (reply.openedConnection)
        m_log.setText(reply.statusTextBeforeConnect);
    if (!reply.ok)
        throw CameraError(reply.errorText);
    return reply.body;
}

QString CameraSession::readParameter(const QString &key, int start)
{
    const QByteArray body = cameraGet(ParamQuery::read(key));
    m_log.setText(bodyText(body));
    m_log.trimReply();
    return valueFrom(m_log.text(), start > 0 ? start : defaultValueStart(key));
}

void CameraSession::logReply(const QByteArray &body)
{
    m_log.setText(bodyText(body));
}

} // namespace qzr
