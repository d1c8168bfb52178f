#pragma once

#include <QString>
#include <QStringList>

namespace qzr::video::test {

// Writes a short clip with the ffmpeg command line: `source` is a lavfi
// source ("testsrc=size=640x360:rate=15"), `codecArguments` the encoder
// arguments. Returns an empty string (and the reason in *error) on failure.
QString makeClip(const QString &directory, const QString &fileName, const QString &source,
                 double seconds, const QStringList &codecArguments, QString *error);

// Encoder arguments per codec name: "h264", "mjpeg", "mpeg4".
QStringList codecArguments(const QString &codec);

// A loopback TCP port on which nothing listens.
quint16 closedLoopbackPort();

} // namespace qzr::video::test
