#include "protocol/CameraSession.h"

#include "protocol/CameraError.h"
#include "protocol/ConnectionInput.h"

namespace qzr {

CameraSession::CameraSession(ReplyLog &log)
    : m_log(log)
{
}

void CameraSession::applyConnection(const ConnectionFields &fields)
{
    m_lastCameraIp = fields.address;
    m_lastCameraPort = fields.port;
    portOrThrow(fields.port);
    requestHost(fields.address);
    m_client.setCredentials(fields.user, fields.password);
}

void CameraSession::applyCredentialsOnly(const ConnectionFields &fields)
{
    portOrThrow(fields.port);
    m_client.setCredentials(fields.user, fields.password);
}

int CameraSession::requestPort() const
{
    bool ok = false;
    const int port = m_lastCameraPort.trimmed().toInt(&ok);
    if (!ok)
        return kDefaultPort;
    if (port < kMinPort || port > kMaxPort)
        throw CameraError(notAPortText(m_lastCameraPort));
    return port;
}

QString CameraSession::requestHost(const QString &address)
{
    const std::optional<QString> host = cameraHost(address);
    if (!host)
        throw CameraError(notAHostText(QString::fromLatin1(kAddressFieldName), address));
    return *host;
}

QByteArray CameraSession::cameraGet(const QByteArray &target)
{
    const QString host = requestHost(m_lastCameraIp);
    const int port = requestPort();
    auto exchange = [this, host, port, target] { return m_client.get(host, port, target); };
    const QString camera = cameraAddressText(host, port);
    HttpReply reply;
    if (m_runner) {
        // A cancel is for this request only.
        m_client.clearAbort();
        reply = m_runner({camera, [this] { m_client.abort(); }}, exchange);
    } else {
        reply = exchange();
    }
    if (reply.openedConnection)
        m_log.setText(reply.statusTextBeforeConnect);
    if (reply.failure == RequestFailure::Cancelled)
        throw CameraError::cancelled(reply.errorText);
    if (!reply.ok)
        throw CameraError(camera, failureDescription(reply, m_client.replyTimeoutMs(), m_names), reply.failure);
    return reply.body;
}

QByteArray CameraSession::cameraWrite(const ParamQuery &query)
{
    const QByteArray body = cameraGet(query);
    const QStringList refused = refusedKeys(body);
    if (!refused.isEmpty())
        throw CameraError(refusedText(refused, withSecretsMasked(query.text())));
    return body;
}

QByteArray CameraSession::cameraWrite(const QByteArray &target)
{
    const QByteArray body = cameraGet(target);
    const QStringList refused = refusedKeys(body);
    if (!refused.isEmpty()) {
        const QString text = QString::fromLatin1(target);
        const qsizetype query = text.indexOf(QLatin1Char('?'));
        throw CameraError(refusedText(refused, withSecretsMasked(query < 0 ? text : text.mid(query + 1))));
    }
    return body;
}

QString CameraSession::readParameter(const QString &key, int start)
{
    const QByteArray body = cameraGet(ParamQuery::read(key));
    m_log.setText(bodyText(body));
    m_log.trimReply();
    if (m_valuesRequired && !m_log.lines().value(0).startsWith(key + QLatin1Char('=')))
        throw CameraError(QStringLiteral("the camera answered without a value for %1").arg(key));
    return valueFrom(m_log.text(), start > 0 ? start : defaultValueStart(key));
}

void CameraSession::logReply(const QByteArray &body)
{
    m_log.setText(bodyText(body));
}

} // namespace qzr
