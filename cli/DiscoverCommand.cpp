#include "cli/DiscoverCommand.h"

#include "discovery/CameraFinder.h"
#include "protocol/CameraError.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <memory>
#include <unistd.h>

namespace qzr::cli {

namespace {

constexpr double kMaxWaitSeconds = 60;

QJsonArray jsonList(const QStringList &list)
{
    return QJsonArray::fromStringList(list);
}

} // namespace

int parseWaitSeconds(const QString &text)
{
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > kMaxWaitSeconds)
        throw UsageError(QStringLiteral("'%1' is not a valid number of seconds for --wait (0 to %2)")
                             .arg(text).arg(kMaxWaitSeconds));
    return int(std::lround(seconds * 1000));
}

QByteArray discoveredTable(const QList<discovery::FoundCamera> &cameras)
{
    const QStringList header{QStringLiteral("ADDRESS"), QStringLiteral("PORT"), QStringLiteral("MODEL"),
                             QStringLiteral("FIRMWARE"), QStringLiteral("MAC"), QStringLiteral("FOUND BY"),
                             QStringLiteral("FLAGS")};
    QList<QStringList> rows{header};
    for (const discovery::FoundCamera &camera : cameras) {
        const auto cell = [](const QString &value) { return value.isEmpty() ? QStringLiteral("-") : cellText(value); };
        rows.append({cell(camera.address), QString::number(camera.port), cell(camera.model()),
                     cell(camera.identity.firmware), cell(camera.identity.mac),
                     discovery::foundByText(camera.foundBy), cell(discovery::flagsText(camera))});
    }
    return alignedTable(rows).toUtf8();
}

QByteArray discoveredJson(const QList<discovery::FoundCamera> &cameras)
{
    QJsonArray array;
    for (const discovery::FoundCamera &camera : cameras) {
        QJsonObject object{
            {QStringLiteral("address"), camera.address},
            {QStringLiteral("port"), camera.port},
            {QStringLiteral("model"), camera.model()},
            {QStringLiteral("hardware"), camera.hardware},
            {QStringLiteral("name"), camera.name},
            {QStringLiteral("from"), camera.sender},
            {QStringLiteral("firmware"), camera.identity.firmware},
            {QStringLiteral("mac"), camera.identity.mac},
            {QStringLiteral("foundBy"), jsonList(discovery::foundByText(camera.foundBy).split(QLatin1Char(',')))},
            {QStringLiteral("flags"), jsonList(discovery::flagNames(camera))},
            {QStringLiteral("loginNeeded"), camera.identity.loginNeeded},
            {QStringLiteral("endpoint"), camera.endpoint},
            {QStringLiteral("xaddrs"), jsonList(camera.xaddrs)},
            {QStringLiteral("interfaces"), jsonList(camera.heardOn)},
        };
        if (!camera.suggestedCommand.isEmpty())
            object.insert(QStringLiteral("suggestedCommand"), camera.suggestedCommand);
        if (!camera.identity.error.isEmpty())
            object.insert(QStringLiteral("identityError"), camera.identity.error);
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

void runDiscover(CommandContext &context, const QStringList &arguments)
{
    if (!arguments.isEmpty())
        throw UsageError(QStringLiteral("'discover' takes no arguments, only options"));
    const Invocation &invocation = context.invocation();
    discovery::SearchOptions options;
    options.interfaces = invocation.interfaces;
    for (const QString &text : invocation.sweeps) {
        QString error;
        const auto range = discovery::parseSweepRange(text, &error);
        if (!range)
            throw UsageError(error);
        options.sweeps.append(*range);
    }
    if (invocation.commandOptions & OptionWait)
        options.wait_ms = parseWaitSeconds(invocation.waitSeconds);
    if (invocation.commandOptions & OptionJobs)
        options.jobs = invocation.jobs;
    // The credentials go only with --identify, and then only to the
    // addresses the replies came from.
    options.identify = invocation.identify;
    options.user = invocation.connection.user;
    options.password = invocation.connection.password;

    // The search needs an event loop; the command line has no application
    // object of its own.
    std::unique_ptr<QCoreApplication> application;
    static int argc = 1;
    static char name[] = "qzr";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        application = std::make_unique<QCoreApplication>(argc, argv);

    discovery::CameraFinder finder;
    const bool progress = ::isatty(STDERR_FILENO) == 1;
    QEventLoop loop;
    QObject::connect(&finder, &discovery::CameraFinder::finished, &loop, &QEventLoop::quit);
    if (progress) {
        QObject::connect(&finder, &discovery::CameraFinder::progressChanged, &finder, [&](int done, int total) {
            context.writeError(QStringLiteral("\rsearching: %1%, %2 found ")
                                   .arg(total > 0 ? done * 100 / total : 100)
                                   .arg(finder.cameraCount()));
        });
    }
    if (!finder.start(options)) {
        // Nothing was searched: that is no "no camera found".
        if (finder.errorText().startsWith(QLatin1String("no interface can send the probe"))) {
            context.writeError(QStringLiteral("qzr: nothing was searched: %1.\n").arg(finder.errorText()));
            context.setExitStatus(ExitUsage);
            return;
        }
        throw qzr::CameraError(finder.errorText());
    }
    for (const QString &warning : finder.warnings())
        context.writeError(QStringLiteral("qzr: warning: %1\n").arg(warning));
    if (finder.isRunning())
        loop.exec();
    if (progress)
        context.writeError(QStringLiteral("\n"));

    const QList<discovery::FoundCamera> cameras = finder.cameras();
    if (invocation.json)
        context.write(discoveredJson(cameras));
    else
        context.writeTable(discoveredTable(cameras));
    // Replies lost or not listed are said, under the table or on stderr.
    for (const QString &loss : finder.lossTexts()) {
        if (invocation.json)
            context.writeError(QStringLiteral("qzr: warning: %1\n").arg(loss));
        else
            context.write(QStringLiteral("Note: %1.\n").arg(loss).toUtf8());
    }
    context.setExitStatus(cameras.isEmpty() ? ExitNoneFound : ExitSuccess);
}

QList<Command> discoverCommands()
{
    return {
        {"discover", "[--interface I]... [--sweep CIDR[:PORT]]... [--wait S] [--jobs N] [--identify] [--json]",
         "Find cameras: a WS-Discovery Probe (sent three times) on every\n"
         "interface that is up and multicast-capable, or on each --interface;\n"
         "answers and Hello announcements are collected for --wait seconds\n"
         "(default 3). Each --sweep range is also read address by address\n"
         "(system.model; --jobs at once, default 64; 0.7 s to connect). The\n"
         "search sends no credentials: each camera is read without them, only\n"
         "at the address its reply came from, and its model is otherwise the\n"
         "hardware its Scopes name. With --identify, model, firmware and MAC\n"
         "are read with --user and QZR_PASSWORD from those addresses. Prints\n"
         "one row per camera: address, port, model, firmware, MAC, how it was\n"
         "found and its flags (address conflict, other subnet (INTERFACE),\n"
         "factory address, login needed, endpoint conflict, MAC conflict,\n"
         "https, not read, host name, not resolved), and a note of replies\n"
         "the system dropped; with --json an array of objects. Exit status 3\n"
         "when no camera was found, 2 when no interface could send the probe.",
         &runDiscover, true, OptionJobs | OptionInterface | OptionSweep | OptionWait | OptionIdentify},
    };
}

} // namespace qzr::cli
