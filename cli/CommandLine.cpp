#include "cli/CommandLine.h"

#include "protocol/CameraError.h"
#include "protocol/ConnectionInput.h"

#include <QFile>
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
    }
    return "";
}

namespace {

enum class Option { Host, Port, User, Timeout, Json, Help, Version, Yes, Hosts, Jobs, Report, Verify, Interface, Sweep, Wait,
                    PasswordFile, Dir, RetryFrom, Deadline, Identify, NoVerify, NetrcFile };

struct OptionInfo
{
    const char *name;
    Option option;
    bool takesValue;
};

constexpr OptionInfo kOptions[] = {
    {"--host", Option::Host, true},
    {"--port", Option::Port, true},
    {"--user", Option::User, true},
    {"--timeout", Option::Timeout, true},
    {"--json", Option::Json, false},
    {"--yes", Option::Yes, false},
    {"--hosts", Option::Hosts, true},
    {"--jobs", Option::Jobs, true},
    {"--report", Option::Report, true},
    {"--verify", Option::Verify, false},
    {"--interface", Option::Interface, true},
    {"--sweep", Option::Sweep, true},
    {"--wait", Option::Wait, true},
    {"--password-file", Option::PasswordFile, true},
    {"--dir", Option::Dir, true},
    {"--retry-from", Option::RetryFrom, true},
    {"--deadline", Option::Deadline, true},
    {"--identify", Option::Identify, false},
    {"--no-verify", Option::NoVerify, false},
    {"--netrc-file", Option::NetrcFile, true},
    {"--help", Option::Help, false},
    {"-h", Option::Help, false},
    {"--version", Option::Version, false},
};

const OptionInfo *findOption(const QString &name)
{
    for (const OptionInfo &option : kOptions) {
        if (name == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

} // namespace

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

    std::optional<QString> passwordFile;
    QStringList positional;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            positional << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }

        // "--name value" or "--name=value".
        QString name = argument;
        std::optional<QString> inlineValue;
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (argument.startsWith(QLatin1String("--")) && equals > 0) {
            name = argument.left(equals);
            inlineValue = argument.mid(equals + 1);
        }

        const OptionInfo *option = findOption(name);
        if (!option) {
            if (name == QLatin1String("--password") || name == QLatin1String("-p"))
                throw UsageError(QStringLiteral("there is no password option; use --password-file or set %1 instead")
                                     .arg(QLatin1String(kEnvPassword)));
            throw UsageError(QStringLiteral("unknown option '%1'").arg(name));
        }
        if (!option->takesValue) {
            if (inlineValue)
                throw UsageError(QStringLiteral("option '%1' takes no value").arg(name));
        } else if (!inlineValue) {
            if (i + 1 >= arguments.size())
                throw UsageError(QStringLiteral("option '%1' needs a value").arg(name));
            inlineValue = arguments.at(++i);
        }

        switch (option->option) {
        case Option::Host:
            invocation.connection.address = *inlineValue;
            hostSource = QStringLiteral("--host");
            break;
        case Option::Port:
            invocation.connection.port = *inlineValue;
            portSource = QStringLiteral("--port");
            break;
        case Option::User:
            invocation.connection.user = *inlineValue;
            break;
        case Option::Timeout:
            invocation.replyTimeoutMs = parseTimeoutSeconds(*inlineValue);
            break;
        case Option::Json:
            invocation.json = true;
            break;
        case Option::Help:
            invocation.help = true;
            break;
        case Option::Version:
            invocation.version = true;
            break;
        case Option::Yes:
            invocation.yes = true;
            invocation.commandOptions |= OptionYes;
            break;
        case Option::Hosts:
            invocation.hosts = *inlineValue;
            invocation.commandOptions |= OptionHosts;
            break;
        case Option::Jobs:
            invocation.jobs = parseJobs(*inlineValue);
            invocation.commandOptions |= OptionJobs;
            break;
        case Option::Report:
            invocation.reportPath = *inlineValue;
            invocation.commandOptions |= OptionReport;
            break;
        case Option::Verify:
            invocation.verify = true;
            invocation.commandOptions |= OptionVerify;
            break;
        case Option::Interface:
            invocation.interfaces << *inlineValue;
            invocation.commandOptions |= OptionInterface;
            break;
        case Option::Sweep:
            invocation.sweeps << *inlineValue;
            invocation.commandOptions |= OptionSweep;
            break;
        case Option::Wait:
            invocation.waitSeconds = *inlineValue;
            invocation.commandOptions |= OptionWait;
            break;
        case Option::PasswordFile:
            passwordFile = *inlineValue;
            break;
        case Option::Dir:
            invocation.dir = *inlineValue;
            invocation.commandOptions |= OptionDir;
            break;
        case Option::RetryFrom:
            invocation.retryFrom = *inlineValue;
            invocation.commandOptions |= OptionRetryFrom;
            break;
        case Option::Deadline:
            invocation.deadlineSeconds = parseDeadlineSeconds(*inlineValue);
            invocation.commandOptions |= OptionDeadline;
            break;
        case Option::Identify:
            invocation.identify = true;
            invocation.commandOptions |= OptionIdentify;
            break;
        case Option::NoVerify:
            invocation.noVerify = true;
            invocation.commandOptions |= OptionNoVerify;
            break;
        case Option::NetrcFile:
            invocation.netrcFile = *inlineValue;
            invocation.commandOptions |= OptionNetrcFile;
            break;
        }
    }

    // Read once the whole line is known to be sound.
    if (passwordFile && !invocation.help && !invocation.version) {
        invocation.connection.password = readPasswordFile(*passwordFile);
        const QString warning = passwordFileWarning(*passwordFile);
        if (!warning.isEmpty())
            invocation.warnings << warning;
    }
    if ((invocation.commandOptions & OptionNetrcFile) && !invocation.help && !invocation.version) {
        invocation.netrc = readNetrcOption(invocation.netrcFile);
        const QString warning = readableByOthersWarning(QStringLiteral("--netrc-file"), invocation.netrcFile);
        if (!warning.isEmpty())
            invocation.warnings << warning;
    }
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
