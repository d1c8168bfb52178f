#pragma once
// Runs the real "qzr" executable against a camera on 127.0.0.1 and collects
// what it did. QZR_EXECUTABLE is the executable's path, set by the build.
#include <QByteArray>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace qzr::clitest {

struct Outcome
{
    bool finished = false; // false when it did not start or end in time
    int exitCode = -1;     // -1 when it crashed
    QByteArray out;
    QByteArray err;
};

// How long one call may take before it is killed (a bound, not a measure).
inline constexpr int kProcessLimitMs = 60'000;

// The environment of a qzr call: the camera's address in QZR_HOST/QZR_PORT;
// none of the caller's own QZR_* settings or logging rules leak in.
// `environment` adds or overrides variables.
inline QProcessEnvironment qzrEnvironment(quint16 port, const QHash<QString, QString> &environment = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QZR_HOST", "QZR_PORT", "QZR_USER", "QZR_PASSWORD", "QT_LOGGING_RULES"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("QZR_HOST"), QStringLiteral("127.0.0.1"));
    env.insert(QStringLiteral("QZR_PORT"), QString::number(port));
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        env.insert(it.key(), it.value());
    return env;
}

// Starts qzr (or `program`, with qzr among its arguments) in the background,
// standard input closed; true when it started.
inline bool startQzr(QProcess &process, const QStringList &arguments, quint16 port,
                     const QHash<QString, QString> &environment = {})
{
    process.setProcessEnvironment(qzrEnvironment(port, environment));
    process.start(QStringLiteral(QZR_EXECUTABLE), arguments);
    if (!process.waitForStarted(kProcessLimitMs))
        return false;
    process.closeWriteChannel();
    return true;
}

// What a started qzr did, once it ended (killed after kProcessLimitMs).
inline Outcome finishedQzr(QProcess &process)
{
    Outcome outcome;
    outcome.finished = process.waitForFinished(kProcessLimitMs);
    if (!outcome.finished) {
        process.kill();
        process.waitForFinished(kProcessLimitMs);
        return outcome;
    }
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

// Runs qzr with `input` on standard input, then closed (no terminal), in
// the environment of qzrEnvironment.
inline Outcome runQzr(const QStringList &arguments, quint16 port, const QHash<QString, QString> &environment = {},
                      const QString &workingDirectory = {}, const QByteArray &input = {})
{
    QProcess process;
    process.setProcessEnvironment(qzrEnvironment(port, environment));
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(QZR_EXECUTABLE), arguments);
    if (!process.waitForStarted(kProcessLimitMs))
        return Outcome{};
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    return finishedQzr(process);
}

} // namespace qzr::clitest
