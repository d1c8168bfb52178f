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
        rows.append({cell(camera.address), QString::number(camera.port), cell(camera.identity.model),
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
            {QStringLiteral("model"), camera.identity.model},
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
                                   .arg(finder.cameras().size()));
        });
    }
    if (!finder.start(options))
        throw qzr::CameraError(finder.errorText());
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
    context.setExitStatus(cameras.isEmpty() ? ExitNoneFound : ExitSuccess);
}

QList<Command> discoverCommands()
{
    return {
        {"discover", "[--interface I]... [--sweep CIDR[:PORT]]... [--wait S] [--jobs N] [--json]",
         "Find cameras: a WS-Discovery Probe (sent three times) on every\n"
         "interface that is up and multicast-capable, or on each --interface;\n"
         "answers and Hello announcements are collected for --wait seconds\n"
         "(default 3). Each --sweep range is also read address by address\n"
         "(system.model; --jobs at once, default 64; 0.7 s to connect). The\n"
         "model, firmware and MAC of every camera found are read with --user and\n"
         "QZR_PASSWORD. Prints one row per camera: address, port, model,\n"
         "firmware, MAC, how it was found and its flags (address conflict,\n"
         "other subnet (INTERFACE), factory address, login needed); with\n"
         "--json an array of objects. Exit status 3 when no camera was found.",
         &runDiscover, true, OptionJobs | OptionInterface | OptionSweep | OptionWait},
    };
}

} // namespace qzr::cli
