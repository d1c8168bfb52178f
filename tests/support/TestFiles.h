#pragma once
// Whole files as bytes, for tests that compare what was written.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace qzr::testsupport {

// The file's bytes, or "<unreadable>" (never equal to expected bytes).
inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace qzr::testsupport
