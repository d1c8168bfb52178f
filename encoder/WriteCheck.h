#pragma once
#include "encoder/EncoderRead.h"
#include "encoder/EncoderRequests.h"
#include "encoder/EncoderTables.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qzr::encoder {

// One value written to the camera: its key, the value sent and, for an
// encoder setting, which one (a command such as "status=save" has none and
// is only checked for a refusal).
struct WrittenValue
{
    QString key;
    QString value;
    std::optional<EncoderKey> setting;
};

// The values "Set to Camera" writes, in the order sent: those of
// setToCameraRequest, then the store command. Empty when the request is
// refused.
QList<WrittenValue> setToCameraValues(const WorkingValues &values);

// The values of an encoder 1 setter: the setting, then the store command.
QList<WrittenValue> setterValues(EncoderKey key, const QString &value);

// A setting the camera refused ("KEY=NG&") or answered as taken but did not
// keep; held is what it reported afterwards when the read-back asked it.
struct UntakenSetting
{
    QString key;
    QString sent;
    std::optional<QString> held;
    QStringList offered;
};

// The value a read-back reported for a setting; nothing when the read did
// not ask it (the bitrate of a JPEG encoder, the JPEG size of any other).
std::optional<QString> heldValue(const EncoderSettings &held, EncoderKey key);

// Every written value the camera refused (refusedKeys: the keys of its
// "KEY=NG&" lines) or, read back in held, does not hold, in the order sent.
// offered gives the values the tool offers for a setting (may be empty).
QList<UntakenSetting> untakenSettings(const QList<WrittenValue> &written, const QStringList &refusedKeys,
                                      const std::optional<EncoderSettings> &held,
                                      const std::function<QStringList(EncoderKey)> &offered);

// One line per setting: "The camera did not take encode(1).bitrate: sent
// 999, it holds 4000000. Values offered: 64000, 128000." ("it holds" only
// when known, the offered values only when there are any).
QString untakenMessage(const QList<UntakenSetting> &untaken);

// Sends the "Set to Camera" request and then the store request, as
// setToCamera does; returns the keys the camera refused in both replies.
// Sends nothing for a refused request.
QStringList setToCameraRefusedKeys(CameraSession &session, const PreparedRequest &request,
                                   const QString &encoderNumber);

} // namespace qzr::encoder
