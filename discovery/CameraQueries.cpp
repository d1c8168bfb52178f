#include "discovery/CameraQueries.h"

#include "protocol/Identity.h"
#include "protocol/ReplyLog.h"
#include "protocol/RequestTarget.h"

namespace qzr::discovery {

namespace {
constexpr int kUnauthorized = 401;
}

QString replyValue(const QByteArray &body, const QString &key)
{
    ReplyLog log;
    log.setText(bodyText(body));
    log.trimReply();
    const QString line = log.lines().value(0);
    // Only a reply line that names the key carries its value.
    if (!line.startsWith(key + QLatin1Char('=')))
        return {};
    return valueFrom(log.text(), defaultValueStart(key)).trimmed();
}

SweepAnswer sweepAddress(ParamClient &client, const QString &host, int port)
{
    SweepAnswer answer;
    const HttpReply reply = client.get(host, port, ParamQuery::read(identity::kModelKey).target());
    if (!reply.ok) {
        answer.loginNeeded = reply.statusCode == kUnauthorized;
        answer.camera = answer.loginNeeded;
        return answer;
    }
    answer.model = replyValue(reply.body, identity::kModelKey);
    answer.camera = !answer.model.isEmpty() && answer.model != QLatin1String("NG");
    return answer;
}

Identity readIdentity(ParamClient &client, const QString &host, int port)
{
    Identity identity;
    identity.done = true;
    const auto read = [&](const QString &key, QString &value) {
        const HttpReply reply = client.get(host, port, ParamQuery::read(key).target());
        if (!reply.ok) {
            identity.loginNeeded = reply.statusCode == kUnauthorized;
            identity.error = reply.errorText;
            return false;
        }
        value = replyValue(reply.body, key);
        return true;
    };
    read(identity::kModelKey, identity.model) && read(identity::kRevisionKey, identity.firmware)
        && read(identity::kMacKey, identity.mac);
    return identity;
}

} // namespace qzr::discovery
