#include "cli/CommandLine.h"

#include "protocol/CameraError.h"
#include "protocol/ConnectionInput.h"

#include <QCommandLineParser>
#include <QFile>
#include <QHash>
#include <QtGlobal>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <climits>
#include <cmath>

namespace qzr::cli {

EnvironmentLookup processEnvironment()
{
    return [](const char *name) -> std::optional<QString> {
        if (!qEnvironmentVariableIsSet(name))
            return std::nullopt;
        return qEnvironmentVariable(name);
    };
}

int parseTimeoutSeconds(const QString &text)
{
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds * 1000.0 > double(INT_MAX))
        throw UsageError(QStringLiteral("'%1' is not a valid number of seconds for --timeout").arg(text));
    const double ms = std::round(seconds * 1000.0);
    // A positive limit below half a millisecond would otherwise mean "none".
    return seconds > 0 && ms < 1 ? 1 : int(ms);
}

double parseDeadlineSeconds(const QString &text)
{
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0)
        throw UsageError(QStringLiteral("'%1' is not a valid number of seconds for --deadline").arg(text));
    return seconds;
}

QString passwordFileWarning(const QString &path)
{
    return readableByOthersWarning(QStringLiteral("--password-file"), path);
}

QString readableByOthersWarning(const QString &option, const QString &path)
{
    struct stat status {};
    if (path == QLatin1String("-") || ::stat(QFile::encodeName(path).constData(), &status) != 0)
        return QString();
    if (!(status.st_mode & (S_IRGRP | S_IROTH)))
        return QString();
    return QStringLiteral("warning: %1 %2 may be read by other users (mode %3); keep it readable by "
                          "its owner only (chmod 600 %2)")
        .arg(option, path)
        .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'));
}

QList<NetrcEntry> readNetrcOption(const QString &path)
{
    try {
        return readNetrcFile(path);
    } catch (const NetrcError &error) {
        throw UsageError(QStringLiteral("--netrc-file: %1").arg(error.text()));
    }
}

ConnectionFields cameraCredentials(const Invocation &invocation, const QString &host)
{
    ConnectionFields credentials = invocation.connection;
    if (const NetrcEntry *entry = netrcEntryFor(invocation.netrc, host)) {
        if (entry->login)
            credentials.user = *entry->login;
        if (entry->password)
            credentials.password = *entry->password;
    }
    return credentials;
}

QString readPasswordFile(const QString &path)
{
    QByteArray bytes;
    bool sawEnd = false;
    if (path == QLatin1String("-")) {
        // Byte by byte, so that nothing after the first line is taken away.
        for (;;) {
            char byte = 0;
            const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                throw UsageError(QStringLiteral("--password-file -: cannot read standard input: %1")
                                     .arg(QString::fromLocal8Bit(std::strerror(errno))));
            if (got == 0)
                break;
            sawEnd = true;
            if (byte == '\n')
                break;
            bytes += byte;
        }
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw UsageError(QStringLiteral("--password-file: cannot read %1: %2").arg(path, file.errorString()));
        // A password is one short line: a file of one endless line is not read whole.
        bytes = file.readLine(kMaxPasswordFileLine);
        sawEnd = !bytes.isEmpty();
        if (bytes.endsWith('\n'))
            bytes.chop(1);
    }
    if (!sawEnd)
        throw UsageError(QStringLiteral("--password-file: %1 is empty").arg(path));
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    return QString::fromLocal8Bit(bytes);
}

void checkPortText(const QString &text, const QString &source)
{
    try {
        portOrThrow(text);
    } catch (const CameraError &error) {
        QString text = error.text();
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
        throw UsageError(QStringLiteral("%1 for %2").arg(text, source));
    }
}

QString checkedHost(const QString &text, const QString &source)
{
    const std::optional<QString> host = cameraHost(text);
    if (!host)
        throw UsageError(notAHostText(source, text));
    return *host;
}

int parseJobs(const QString &text)
{
    bool ok = false;
    const int jobs = text.trimmed().toInt(&ok, 10);
    if (!ok || jobs < 1 || jobs > kMaxJobs)
        throw UsageError(QStringLiteral("'%1' is not a valid number for --jobs (1 to %2)").arg(text).arg(kMaxJobs));
    return jobs;
}

const char *commandOptionName(CommandOption option)
{
    switch (option) {
    case OptionYes: return "--yes";
    case OptionHosts: return "--hosts";
    case OptionJobs: return "--jobs";
    case OptionReport: return "--report";
    case OptionVerify: return "--verify";
    case OptionInterface: return "--interface";
    case OptionSweep: return "--sweep";
    case OptionWait: return "--wait";
    case OptionDir: return "--dir";
    case OptionRetryFrom: return "--retry-from";
    case OptionDeadline: return "--deadline";
    case OptionIdentify: return "--identify";
    case OptionNoVerify: return "--no-verify";
    case OptionNetrcFile: return "--netrc-file";
    case OptionOut: return "--out";
    case OptionAgainst: return "--against";
    case OptionStreamUrl: return "--stream-url";
    }
    return "";
}

namespace {

// Every option, in the order the help lists them: its names, its entry in
// the help (the lines of its description column) and the name of its value
// (none: a switch).
const QList<QCommandLineOption> &options()
{
    static const QList<QCommandLineOption> list{
        {QStringLiteral("host"), QStringLiteral("camera address (default %1)").arg(QLatin1String(kDefaultHost)),
         QStringLiteral("H")},
        {QStringLiteral("port"), QStringLiteral("camera HTTP port (default %1)").arg(QLatin1String(kDefaultPort)),
         QStringLiteral("P")},
        {QStringLiteral("user"),
         QStringLiteral("user name for Basic authentication (default %1);\n"
                        "--user \"\" sends no credentials at all")
             .arg(QLatin1String(kDefaultUser)),
         QStringLiteral("U")},
        {QStringLiteral("json"), QStringLiteral("JSON output ('encoders', 'diff')")},
        {QStringLiteral("timeout"),
         QStringLiteral("time limit of each request in seconds, decimals allowed\n"
                        "(default %1; 0: no limit); connecting alone gives up\n"
                        "after 10 s at most")
             .arg(kDefaultReplyTimeoutMs / 1000),
         QStringLiteral("S")},
        {QStringLiteral("yes"), QStringLiteral("'upload': upload without asking for confirmation")},
        {QStringLiteral("verify"), QStringLiteral("'set': read each written key back; exit status 3 naming\n"
                                                  "the keys whose value differs")},
        {QStringLiteral("password-file"),
         QStringLiteral("read the password from the first line of file F (its\n"
                        "line end dropped); \"-\": from standard input. Keeps it off\n"
                        "the command line and out of the environment; keep F\n"
                        "readable by its owner only. Overrides QZR_PASSWORD"),
         QStringLiteral("F")},
        {QStringLiteral("hosts"), QStringLiteral("'clone', 'save', 'diff', 'report': the cameras, as a\n"
                                                 "file of HOST[:PORT] lines or a comma-separated list\n"
                                                 "(port default: --port)"),
         QStringLiteral("LIST")},
        {QStringLiteral("netrc-file"),
         QStringLiteral("'clone', 'save', 'diff', 'report' with --hosts: the\n"
                        "user and password of each camera from F, a netrc file\n"
                        "(\"machine HOST login USER password PASSWORD\" entries,\n"
                        "HOST as the list writes it; \"default\" for the others);\n"
                        "a camera without an entry gets --user and the password\n"
                        "of this call. F is read whole first (64 KiB at most);\n"
                        "keep it readable by its owner only"),
         QStringLiteral("F")},
        {QStringLiteral("jobs"),
         QStringLiteral("'clone', 'save', 'diff', 'report' with --hosts: cameras\n"
                        "worked on at once (default %1, 1 to %2; 'report' takes\n"
                        "at most twice as many pictures at once as there are cores)\n"
                        "'discover': addresses read at once (default 64)")
             .arg(kDefaultJobs)
             .arg(kMaxJobs),
         QStringLiteral("N")},
        {QStringLiteral("report"), QStringLiteral("'clone', 'save', 'diff' with --hosts: also write the\n"
                                                  "results to PATH, as JSON when it ends in .json, as CSV\n"
                                                  "when it ends in .csv; the journal goes beside it\n"
                                                  "(PATH without .json/.csv, plus .journal)"),
         QStringLiteral("PATH")},
        {QStringLiteral("out"), QStringLiteral("'report': the folder of index.html, report.json and\n"
                                               "the cameras' pictures (created when missing)"),
         QStringLiteral("DIR")},
        {QStringLiteral("against"), QStringLiteral("'report': also audit each camera against this settings\n"
                                                   "file, as 'diff FILE --hosts' does"),
         QStringLiteral("FILE")},
        {QStringLiteral("stream-url"),
         QStringLiteral("'report': where a camera's video is, with {ip} (its\n"
                        "address), {port} (the RTSP port it reports) and {channel}\n"
                        "(default rtsp://{ip}:{port}/channel{channel})"),
         QStringLiteral("TEMPLATE")},
        {QStringLiteral("dir"), QStringLiteral("'save --hosts': the folder of the cameras' files, its\n"
                                               "index.json and index.journal"),
         QStringLiteral("DIR")},
        {QStringLiteral("retry-from"),
         QStringLiteral("'clone', 'save', 'diff': work again only on the cameras\n"
                        "that REPORT (a --report, index.json or journal of an\n"
                        "earlier run) names as \"failed\", \"differs\",\n"
                        "\"interrupted\" or \"not started\", and merge the results\n"
                        "into that record; with --hosts, only those of LIST"),
         QStringLiteral("REPORT")},
        {QStringLiteral("deadline"), QStringLiteral("'clone', 'save', 'diff' with --hosts: start no camera\n"
                                                    "after S seconds; those left are reported \"not started\"\n"
                                                    "(exit status 1), those at work finish"),
         QStringLiteral("S")},
        {QStringLiteral("interface"), QStringLiteral("'discover': probe only on this interface (name or\n"
                                                     "address); repeat for several (default: every interface\n"
                                                     "that is up and multicast-capable)"),
         QStringLiteral("I")},
        {QStringLiteral("sweep"), QStringLiteral("'discover': also read the model at every address of\n"
                                                 "CIDR[:PORT] (at most a /22; port default 80)"),
         QStringLiteral("R")},
        {QStringLiteral("wait"), QStringLiteral("'discover': seconds to collect WS-Discovery answers\n"
                                                "(default 3)"),
         QStringLiteral("S")},
        {QStringList{QStringLiteral("h"), QStringLiteral("help")},
         QStringLiteral("show this help and exit ('COMMAND --help', 'help COMMAND':\n"
                        "that command's help alone)")},
        {QStringLiteral("version"), QStringLiteral("show the version and exit")},
        // Explained by the help of the commands that take them.
        {QStringLiteral("identify"), QString()},
        {QStringLiteral("no-verify"), QString()},
    };
    return list;
}

// The name QCommandLineParser knows a CommandOption by ("yes" for --yes).
QString parserName(CommandOption option)
{
    return QString::fromLatin1(commandOptionName(option)).mid(2);
}

// The option "--name" (of more than one letter) or nullptr.
const QCommandLineOption *longOption(const QString &name)
{
    if (!name.startsWith(QLatin1String("--")) || name.size() < 4)
        return nullptr;
    for (const QCommandLineOption &option : options()) {
        if (option.names().contains(name.mid(2)))
            return &option;
    }
    return nullptr;
}

// QCommandLineParser says what it did not take but not where, and it takes
// "--h" and "-hh" for "-h"; the messages name the argument as typed, the
// first one at fault. So the arguments that stood where an option stands (all
// but the options' values and the positional arguments the parser found) are
// checked here in order, and with them the numbers given as values.
void checkOptionArguments(const QStringList &arguments, const QCommandLineParser &parser, Invocation &invocation)
{
    QStringList taken = parser.positionalArguments();
    for (const QCommandLineOption &option : options())
        taken += parser.values(option);
    QHash<QString, qsizetype> valuesSeen; // of each option, by its name
    for (const QString &argument : arguments) {
        if (taken.removeOne(argument) || argument == QLatin1String("--") || argument == QLatin1String("-h"))
            continue;
        // "--name=value": the name alone.
        const QString name = argument.startsWith(QLatin1String("--")) ? argument.section(QLatin1Char('='), 0, 0)
                                                                      : argument;
        const QCommandLineOption *option = longOption(name);
        if (!option) {
            if (name == QLatin1String("--password") || name == QLatin1String("-p"))
                throw UsageError(QStringLiteral("there is no password option; use --password-file or set %1 instead")
                                     .arg(QLatin1String(kEnvPassword)));
            throw UsageError(QStringLiteral("unknown option '%1'").arg(name));
        }
        if (option->valueName().isEmpty() && name != argument)
            throw UsageError(QStringLiteral("option '%1' takes no value").arg(name));
        const QStringList values = parser.values(*option);
        const qsizetype index = valuesSeen[name]++;
        if (index >= values.size()) // a switch, or the option without its value at the end
            continue;
        if (name == QLatin1String("--timeout"))
            invocation.replyTimeoutMs = parseTimeoutSeconds(values.at(index));
        else if (name == QLatin1String("--jobs"))
            invocation.jobs = parseJobs(values.at(index));
        else if (name == QLatin1String("--deadline"))
            invocation.deadlineSeconds = parseDeadlineSeconds(values.at(index));
    }
}

} // namespace

QString optionHelpEntries(unsigned commandOptions, bool json)
{
    constexpr qsizetype kColumn = 16; // where the descriptions start
    QString text;
    for (const QCommandLineOption &option : options()) {
        const QString &name = option.names().constLast();
        bool shown = name != QLatin1String("json") || json;
        for (const CommandOption flag : kCommandOptions) {
            if (name == parserName(flag))
                shown = commandOptions & flag;
        }
        if (!shown || option.description().isEmpty())
            continue;
        QStringList names;
        for (const QString &each : option.names())
            names << (each.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + each;
        QString head = QStringLiteral("  ") + names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            head += QLatin1Char(' ') + option.valueName();
        // The description in its column, from the line of the names when they leave room.
        const QString indent(kColumn, QLatin1Char(' '));
        text += head.size() < kColumn ? head.leftJustified(kColumn) : head + QLatin1Char('\n') + indent;
        text += QString(option.description()).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent) + QLatin1Char('\n');
    }
    return text;
}

Invocation parseCommandLine(const QStringList &arguments, const EnvironmentLookup &environment)
{
    Invocation invocation;
    QString hostSource = QStringLiteral("the default address");
    QString portSource = QStringLiteral("the default port");
    if (environment) {
        if (auto value = environment(kEnvHost)) {
            invocation.connection.address = *value;
            hostSource = QLatin1String(kEnvHost);
        }
        if (auto value = environment(kEnvPort)) {
            invocation.connection.port = *value;
            portSource = QLatin1String(kEnvPort);
        }
        if (auto value = environment(kEnvUser))
            invocation.connection.user = *value;
        if (auto value = environment(kEnvPassword))
            invocation.connection.password = *value;
    }

    QCommandLineParser parser;
    parser.addOptions(options());
    const bool parsed = parser.parse(QStringList{QStringLiteral("qzr")} + arguments);
    checkOptionArguments(arguments, parser, invocation);
    if (!parsed) // all that is left: the last argument is an option without its value
        throw UsageError(QStringLiteral("option '%1' needs a value").arg(arguments.constLast()));

    if (parser.isSet(QStringLiteral("host"))) {
        invocation.connection.address = parser.value(QStringLiteral("host"));
        hostSource = QStringLiteral("--host");
    }
    if (parser.isSet(QStringLiteral("port"))) {
        invocation.connection.port = parser.value(QStringLiteral("port"));
        portSource = QStringLiteral("--port");
    }
    if (parser.isSet(QStringLiteral("user")))
        invocation.connection.user = parser.value(QStringLiteral("user"));
    invocation.help = parser.isSet(QStringLiteral("help"));
    invocation.version = parser.isSet(QStringLiteral("version"));
    invocation.json = parser.isSet(QStringLiteral("json"));
    invocation.yes = parser.isSet(QStringLiteral("yes"));
    invocation.verify = parser.isSet(QStringLiteral("verify"));
    invocation.identify = parser.isSet(QStringLiteral("identify"));
    invocation.noVerify = parser.isSet(QStringLiteral("no-verify"));
    invocation.hosts = parser.value(QStringLiteral("hosts"));
    invocation.reportPath = parser.value(QStringLiteral("report"));
    invocation.interfaces = parser.values(QStringLiteral("interface"));
    invocation.sweeps = parser.values(QStringLiteral("sweep"));
    invocation.waitSeconds = parser.value(QStringLiteral("wait"));
    invocation.dir = parser.value(QStringLiteral("dir"));
    invocation.retryFrom = parser.value(QStringLiteral("retry-from"));
    invocation.netrcFile = parser.value(QStringLiteral("netrc-file"));
    invocation.out = parser.value(QStringLiteral("out"));
    invocation.against = parser.value(QStringLiteral("against"));
    invocation.streamUrl = parser.value(QStringLiteral("stream-url"));
    for (const CommandOption option : kCommandOptions) {
        if (parser.isSet(parserName(option)))
            invocation.commandOptions |= option;
    }

    // Read once the whole line is known to be sound.
    if (!invocation.help && !invocation.version) {
        if (parser.isSet(QStringLiteral("password-file"))) {
            const QString passwordFile = parser.value(QStringLiteral("password-file"));
            invocation.connection.password = readPasswordFile(passwordFile);
            const QString warning = passwordFileWarning(passwordFile);
            if (!warning.isEmpty())
                invocation.warnings << warning;
        }
        if (invocation.commandOptions & OptionNetrcFile) {
            invocation.netrc = readNetrcOption(invocation.netrcFile);
            const QString warning = readableByOthersWarning(QStringLiteral("--netrc-file"), invocation.netrcFile);
            if (!warning.isEmpty())
                invocation.warnings << warning;
        }
    }
    QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty()) {
        invocation.command = positional.takeFirst();
        invocation.arguments = positional;
    }
    if (invocation.command.isEmpty() && !invocation.help && !invocation.version)
        throw UsageError(QStringLiteral("no command given"));
    if (!invocation.help && !invocation.version && invocation.command != QLatin1String(kHelpCommand)) {
        // Nothing reaches a port or an address that is not one.
        checkPortText(invocation.connection.port, portSource);
        invocation.connection.address = checkedHost(invocation.connection.address, hostSource);
    }
    return invocation;
}

} // namespace qzr::cli
