#include "RequestLog.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "SimLogging.h"

namespace qzr::sim {

bool RequestLog::open(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qCWarning(lcSim) << "cannot open request log" << path << m_file.errorString();
        return false;
    }
    return true;
}

void RequestLog::append(const ReceivedRequest &request)
{
    if (!m_file.isOpen())
        return;
    m_file.write(toJsonLine(request));
    m_file.flush();
}

QByteArray RequestLog::toJsonLine(const ReceivedRequest &request)
{
    const QJsonObject object{
        {QStringLiteral("time"), request.time.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("connection"), request.connection},
        {QStringLiteral("target"), request.target},
        {QStringLiteral("raw"), QString::fromLatin1(request.raw)},
        {QStringLiteral("answered"), request.answered},
        {QStringLiteral("fault"), request.fault},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace qzr::sim
