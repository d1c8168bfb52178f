#include "cli/Commands.h"

#include "cli/DiscoverCommand.h"
#include "cli/ReportCommand.h"
#include "cli/SettingsCommands.h"

#include "protocol/CameraError.h"
#include "protocol/CodePage.h"
#include "protocol/Logging.h"
#include "protocol/Version.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QHash>
#include <QJsonObject>
#include <QLoggingCategory>
#include <exception>
#include <unistd.h>

namespace qzr::cli {

namespace {

constexpr const char *kProgram = "qzr";

void requireArguments(const QStringList &arguments, const char *command, const char *what)
{
    if (arguments.isEmpty())
        throw UsageError(QStringLiteral("'%1' needs %2").arg(QLatin1String(command), QLatin1String(what)));
}

void writeText(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

bool isTerminal(std::FILE *stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

// Text for standard error: on a terminal nothing in it may drive the
// terminal (a camera's status line or value can hold escapes).
void writeErrorText(std::FILE *stream, const QString &text)
{
    writeText(stream, isTerminal(stream) ? terminalText(text) : text);
}

// The codec text of an encoder that is switched off.
constexpr const char *kCodecOff = "off";
constexpr const char *kCodecJpeg = "jpeg";
// What the table shows where an "off" encoder has no value.
constexpr const char *kNoValue = "-";

bool isOff(const encoder::EncoderSettings &settings)
{
    return settings.type == QLatin1String(kCodecOff);
}

bool isJpeg(const encoder::EncoderSettings &settings)
{
    return settings.type == QLatin1String(kCodecJpeg);
}

} // namespace

// ---------------------------------------------------------------------------
// Context

CommandContext::CommandContext(const Invocation &invocation, std::FILE *out, std::FILE *err, Terminal &terminal)
    : m_invocation(invocation), m_out(out), m_err(err), m_terminal(terminal)
{
}

CameraSession &CommandContext::camera()
{
    if (!m_session) {
        m_session.emplace(m_log);
        const ConnectionFields &fields = m_invocation.connection;
        qCDebug(lcCli).noquote() << "camera" << fields.address << "port" << fields.port
                                 << (fields.user.isEmpty() ? QStringLiteral("without credentials")
                                                           : QStringLiteral("as user ") + fields.user);
        m_session->client().setReplyTimeoutMs(m_invocation.replyTimeoutMs);
        m_session->setConnectionNames(commandLineConnectionNames());
        m_session->applyConnection(fields);
    }
    return *m_session;
}

void CommandContext::write(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
}

bool CommandContext::outputIsTerminal() const
{
    return ::isatty(::fileno(m_out)) == 1;
}

bool CommandContext::errorIsTerminal() const
{
    return isTerminal(m_err);
}

void CommandContext::writeCameraText(const QString &text)
{
    if (outputIsTerminal()) {
        write(terminalText(text).toLocal8Bit());
        return;
    }
    // The camera's own bytes; text that the code page cannot hold (never a
    // camera value) goes out as UTF-8.
    write(toCameraBytes(text).value_or(text.toUtf8()));
}

void CommandContext::writeTable(const QByteArray &utf8)
{
    if (outputIsTerminal())
        write(terminalText(QString::fromUtf8(utf8)).toLocal8Bit());
    else
        write(utf8);
}

void CommandContext::writeError(const QString &text)
{
    writeErrorText(m_err, text);
    std::fflush(m_err);
}

void CommandContext::writeStatusLine(const QString &line)
{
    // The carriage return and "erase line" are the tool's own.
    writeText(m_err, QStringLiteral("\r\x1b[K") + terminalText(line));
    std::fflush(m_err);
}

namespace {

// "\x1B": a control character made visible.
QString hexEscape(ushort code)
{
    return QStringLiteral("\\x") + QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

} // namespace

QString escapedText(const QString &value)
{
    QString text;
    text.reserve(value.size());
    for (const QChar c : value) {
        const ushort code = c.unicode();
        if (code == '\\')
            text += QStringLiteral("\\\\");
        else if (code == '\r')
            text += QStringLiteral("\\r");
        else if (code == '\n')
            text += QStringLiteral("\\n");
        else if (code == '\t')
            text += QStringLiteral("\\t");
        else if (code < 0x20 || (code >= 0x7F && code <= 0x9F))
            text += hexEscape(code);
        else
            text += c;
    }
    return text;
}

QString cellText(const QString &value)
{
    const QString text = escapedText(value);
    return text.isEmpty() ? QStringLiteral("\"\"") : text;
}

QString terminalText(const QString &text)
{
    // Lines stay lines; everything else that could drive the terminal is
    // shown as an escape.
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = normalised.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        QString shown;
        for (const QChar c : line) {
            const ushort code = c.unicode();
            shown += code == '\t' || (code >= 0x20 && code != 0x7F && !(code >= 0x80 && code <= 0x9F))
                ? QString(c)
                : hexEscape(code);
        }
        line = shown;
    }
    return lines.join(QLatin1Char('\n'));
}

// ---------------------------------------------------------------------------
// Commands

void runGet(CommandContext &context, const QStringList &keys)
{
    requireArguments(keys, "get", "at least one KEY");
    for (const QString &key : keys) {
        if (key.isEmpty())
            throw UsageError(QStringLiteral("'get' needs a KEY, not an empty text"));
    }
    CameraSession &camera = context.camera();
    QStringList refused;
    QStringList unanswered;
    for (const QString &key : keys) {
        const QString value = camera.readParameter(key);
        // The trimmed reply begins with "KEY=" when the camera answered.
        if (!camera.log().lines().value(0).startsWith(key + QLatin1Char('='))) {
            unanswered << key;
            continue;
        }
        if (value == QLatin1String(kRefusedValue)) {
            refused << key;
            continue;
        }
        context.writeCameraText(key + QLatin1Char('=') + (context.outputIsTerminal() ? escapedText(value) : value)
                                + QLatin1Char('\n'));
    }
    QStringList problems;
    if (!refused.isEmpty())
        problems << QStringLiteral("The camera refused %1").arg(refused.join(QStringLiteral(", ")));
    if (!unanswered.isEmpty())
        problems << QStringLiteral("The camera's reply holds no value for %1")
                        .arg(unanswered.join(QStringLiteral(", ")));
    if (!problems.isEmpty())
        throw CameraError(problems.join(QStringLiteral("; ")));
}

ParamQuery assignmentsQuery(const QStringList &arguments)
{
    ParamQuery query;
    for (const QString &argument : arguments) {
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (equals < 0)
            throw UsageError(QStringLiteral("'set' needs KEY=VALUE, got '%1'").arg(argument));
        if (equals == 0)
            throw UsageError(QStringLiteral("'set' needs a KEY before '=', got '%1'").arg(argument));
        query.set(argument.left(equals), argument.mid(equals + 1));
    }
    return query;
}

void runSet(CommandContext &context, const QStringList &arguments)
{
    requireArguments(arguments, "set", "at least one KEY=VALUE");
    const ParamQuery query = assignmentsQuery(arguments);
    // Typed text goes out in the camera's code page; an argument it cannot
    // hold is named before anything is sent.
    for (qsizetype i = 0; i < arguments.size(); ++i)
        toCameraBytesOrThrow(QStringLiteral("'set' argument %1").arg(i + 1), arguments.at(i));
    // Each written key; the last assignment of a key counts.
    QStringList keys;
    QHash<QString, QString> sent;
    for (const QString &argument : arguments) {
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString key = argument.left(equals);
        if (!keys.contains(key))
            keys << key;
        sent.insert(key, argument.mid(equals + 1));
    }
    const QByteArray body = context.camera().cameraGet(query);
    if (body.isEmpty())
        throw CameraError(QStringLiteral("The camera's reply to %1 is empty").arg(withSecretsMasked(query.text())));
    // The camera takes each assignment on its own: say which it refused and
    // which it took, since those are in it now.
    const QStringList refused = refusedKeys(body);
    if (!refused.isEmpty()) {
        QStringList took;
        for (const QString &key : std::as_const(keys)) {
            if (!refused.contains(key))
                took << key;
        }
        throw CameraError(refusedText(refused, withSecretsMasked(query.text()))
                          + (took.isEmpty() ? QStringLiteral("; it took none of the others")
                                            : QStringLiteral("; it took %1").arg(took.join(QStringLiteral(", ")))));
    }
    if (!context.invocation().verify)
        return;

    QStringList differing;
    for (const QString &key : keys) {
        const QString value = context.camera().readParameter(key);
        if (value != sent.value(key))
            differing << QStringLiteral("%1 (sent %2, camera %3)").arg(key, cellText(sent.value(key)), cellText(value));
    }
    if (!differing.isEmpty()) {
        context.writeError(QStringLiteral("The camera does not hold what was written: %1\n")
                               .arg(differing.join(QStringLiteral("; "))));
        context.setExitStatus(ExitDiffers);
    }
}

void runRaw(CommandContext &context, const QStringList &arguments)
{
    requireArguments(arguments, "raw", "a QUERY");
    if (arguments.size() > 1)
        throw UsageError(QStringLiteral("'raw' takes one QUERY; join assignments with '&' and quote it"));
    const QByteArray body = context.camera().cameraGet(targetForRawQuery(arguments.first()));
    // Piped: the body byte for byte; on a terminal, with its controls shown.
    if (context.outputIsTerminal())
        context.writeCameraText(bodyText(body));
    else
        context.write(body);
}

QString alignedTable(const QList<QStringList> &rows)
{
    QList<qsizetype> widths;
    for (const QStringList &row : rows) {
        widths.resize(qMax(widths.size(), row.size()), 0);
        for (qsizetype column = 0; column < row.size(); ++column)
            widths[column] = qMax(widths[column], row.at(column).size());
    }
    QString text;
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype column = 0; column < row.size(); ++column) {
            if (column + 1 < row.size())
                line += row.at(column).leftJustified(widths[column]) + QStringLiteral("  ");
            else
                line += row.at(column);
        }
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        text += line + QLatin1Char('\n');
    }
    return text;
}

QString encodersTable(const AllEncoderSettings &encoders)
{
    const QStringList header{QStringLiteral("ENCODER"),    QStringLiteral("TYPE"),
                             QStringLiteral("BITRATE/JPEG"), QStringLiteral("FRAME SIZE"),
                             QStringLiteral("MODE"),       QStringLiteral("I-FRAME"),
                             QStringLiteral("FPS")};
    QList<QStringList> rows{header};
    for (const encoder::EncoderSettings &settings : encoders) {
        QStringList row{QString::number(settings.encoder), cellText(settings.type)};
        if (isOff(settings)) {
            // As the info page shows it: the codec only, the values emptied.
            for (qsizetype i = row.size(); i < header.size(); ++i)
                row << QString::fromLatin1(kNoValue);
        } else {
            row << cellText(isJpeg(settings) ? settings.quality : settings.bitrate) << cellText(settings.frameSize)
                << cellText(settings.cbrMode) << cellText(settings.iframeInterval) << cellText(settings.frameRate);
        }
        rows << row;
    }

    return alignedTable(rows);
}

QByteArray encodersJson(const AllEncoderSettings &encoders)
{
    QJsonArray array;
    for (const encoder::EncoderSettings &settings : encoders) {
        QJsonObject object;
        object.insert(QStringLiteral("encoder"), settings.encoder);
        object.insert(QStringLiteral("type"), settings.type);
        object.insert(QStringLiteral("off"), isOff(settings));
        // Only the one the camera was asked for.
        if (isJpeg(settings))
            object.insert(QStringLiteral("jpegSize"), settings.quality);
        else
            object.insert(QStringLiteral("bitrate"), settings.bitrate);
        object.insert(QStringLiteral("frameSize"), settings.frameSize);
        object.insert(QStringLiteral("cbrMode"), settings.cbrMode);
        object.insert(QStringLiteral("iframeInterval"), settings.iframeInterval);
        object.insert(QStringLiteral("frameRate"), settings.frameRate);
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

void runEncoders(CommandContext &context, const QStringList &arguments)
{
    if (!arguments.isEmpty())
        throw UsageError(QStringLiteral("'encoders' takes no arguments, got '%1'").arg(arguments.first()));
    const AllEncoderSettings encoders = encoder::readAllEncoderSettings(context.camera());
    if (context.invocation().json)
        context.write(encodersJson(encoders));
    else
        context.writeCameraText(encodersTable(encoders));
}

const QList<Command> &commandTable()
{
    static const QList<Command> table = {
        {"get", "KEY...",
         "Read each KEY, one request each, and print KEY=VALUE, one line per key.\n"
         "A key the camera refuses (KEY=NG) or answers without a value is not\n"
         "printed; it is named on standard error and the exit status is 1.",
         &runGet},
        {"set", "KEY=VALUE... [--verify]",
         "Write all assignments in ONE request, joined by \"&\". Each argument is\n"
         "split at its first \"=\"; a value may hold \"=\", \"&\" or spaces (sent\n"
         "percent-encoded). Prints nothing on success; a key the camera refuses\n"
         "(KEY=NG) or an empty reply is a failure. With --verify each key is\n"
         "read back; exit status 3 names the keys whose value differs.",
         &runSet, false, OptionVerify},
        {"raw", "QUERY",
         "Send \"/api/param?\" + QUERY as typed (its \"&\" and \"=\" are kept) and\n"
         "print the reply body exactly as received.",
         &runRaw},
        {"encoders", "[--json]",
         "Read the settings of encoders 1, 2 and 3 as the tool's encoder info\n"
         "page does (18 reads in all: type; bitrate, or the JPEG size for\n"
         "\"jpeg\"; frame size; bitrate mode; I-frame interval; frame rate) and\n"
         "print them as a table, one row per encoder; an encoder that is \"off\"\n"
         "shows \"-\" for its values. With --json: a JSON array of one object per\n"
         "encoder (encoder, type, off, bitrate or jpegSize, frameSize, cbrMode,\n"
         "iframeInterval, frameRate; values as the camera's text). Nothing is\n"
         "printed when a read fails.",
         &runEncoders, true},
    };
    static const QList<Command> withSettings = table + settingsCommands() + discoverCommands() + reportCommands();
    return withSettings;
}

const Command *findCommand(const QString &name)
{
    for (const Command &command : commandTable()) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

namespace {

QString commandsHelpText()
{
    QString text = QStringLiteral(
        "Usage: qzr [OPTIONS] COMMAND [ARGUMENTS...]\n"
        "       qzr help [COMMAND]\n"
        "\n"
        "Reads and writes the parameters of a QZ-R series network camera through\n"
        "its HTTP parameter interface (/api/param). All requests of one call share\n"
        "one kept-alive connection ('clone': one per camera). Requests are sent one\n"
        "after another; the first failure ends the call (what was done before it\n"
        "stays done; 'clone' goes on with the other cameras).\n"
        "\n"
        "Commands:\n");
    for (const Command &command : commandTable()) {
        const QString head = QStringLiteral("  %1 %2").arg(QLatin1String(command.name), QLatin1String(command.synopsis));
        text += head + QLatin1Char('\n');
        for (const QString &line : QString::fromLatin1(command.summary).split(QLatin1Char('\n')))
            text += QStringLiteral("      ") + line + QLatin1Char('\n');
    }
    return text;
}

constexpr const char *kOptionsHeading = "Options (before or after the command; \"--\" ends the options):\n";

QString optionsHelpText()
{
    return QLatin1String(kOptionsHeading) + optionHelpEntries(~0u, true) + QStringLiteral(
        "\n"
        "Output:\n"
        "  Camera values are the camera's bytes (code page Windows-1252). Piped or\n"
        "  redirected, they are written unchanged; on a terminal they are shown in\n"
        "  its encoding, with control characters as visible escapes (\\x1B), so\n"
        "  that a camera cannot drive the terminal. Typed values ('set') are sent\n"
        "  in that code page; a character it cannot hold is refused.\n"
        "\n"
        "Environment:\n"
        "  QZR_HOST, QZR_PORT, QZR_USER\n"
        "                override the defaults; the options override these\n"
        "  QZR_PASSWORD  password (default: the camera's factory password). There\n"
        "                is no password option: a command line is visible to\n"
        "                every user of the machine (see --password-file).\n"
        "\n"
        "Exit status:\n"
        "  0  success\n"
        "  1  a request failed, the camera refused a key (KEY=NG) or answered\n"
        "     without a value, or a setting could not be converted; standard\n"
        "     error holds the failure text, e.g. \"127.0.0.1:80 refused the login\n"
        "     (401 Unauthorized): check --user and the password.\" or\n"
        "     \"'8o' is not a valid integer value.\"; a settings file that cannot\n"
        "     be read or fails the check; an upload cancelled at the question;\n"
        "     'clone', 'save --hosts', 'diff --hosts': at least one camera failed\n"
        "     or was not started before the --deadline; too few open files allowed\n"
        "     for --jobs; a file, report, index or journal that could not be\n"
        "     written (named with the reason), or a folder that cannot take them;\n"
        "     'report': a camera failed or has no picture\n"
        "  2  usage error: unknown command or option, missing arguments, a port\n"
        "     or address that is not one (--port, --host, QZR_PORT, QZR_HOST,\n"
        "     --hosts), a 'set' argument without \"=\", --json for a command\n"
        "     without JSON output,\n"
        "     'upload' without --yes when standard input is not a terminal; a\n"
        "     symbolic link where a file is to be written, a --dir of another\n"
        "     user or writable by others; two cameras that would share a backup\n"
        "  3  'diff': the settings differ; 'clone': no camera failed, but at\n"
        "     least one does not hold every setting of the file after the\n"
        "     upload; 'set --verify': the camera holds another value; 'report\n"
        "     --against': no camera failed, but at least one differs from FILE;\n"
        "     'discover': no camera was found\n"
        "  130, 143\n"
        "     'clone', 'save --hosts', 'diff --hosts' stopped by SIGINT (Ctrl-C)\n"
        "     or SIGTERM: the report and journal were written\n"
        "\n"
        "Examples:\n"
        "  qzr --host 192.168.0.57 get system.model 'encode(1).framerate'\n"
        "  QZR_PASSWORD=secret qzr set 'encode(1).framerate=15' 'encode(1).status=save'\n"
        "  qzr raw 'encode(1).type&encode(1).framesize'\n"
        "  qzr --host 192.168.0.57 encoders --json\n"
        "  qzr --host 192.168.0.57 save camera57.txt\n"
        "  qzr --host 192.168.0.58 upload camera57.txt\n"
        "  qzr --host 192.168.0.58 diff camera57.txt\n"
        "  qzr clone camera57.txt --hosts cameras.txt --jobs 16 --report clone.csv\n"
        "  qzr clone camera57.txt --hosts cameras.txt --retry-from clone.csv\n"
        "  qzr save --hosts cameras.txt --dir backup --password-file ~/.qzr-password\n"
        "  qzr diff camera57.txt --hosts cameras.txt --report audit.json\n"
        "  qzr report --hosts cameras.txt --out site-report --against camera57.txt\n");
}

} // namespace

QString helpText()
{
    return commandsHelpText() + QLatin1Char('\n') + optionsHelpText();
}

namespace {

// The CommandOption flags a command takes: those it lists, and
// --netrc-file wherever --hosts is.
unsigned acceptedOptions(const Command &command)
{
    return command.acceptedOptions | ((command.acceptedOptions & OptionHosts) ? unsigned(OptionNetrcFile) : 0u);
}

} // namespace

QString commandHelpText(const Command &command)
{
    QString text = QStringLiteral("Usage: qzr [OPTIONS] %1 %2\n\n").arg(QLatin1String(command.name),
                                                                         QLatin1String(command.synopsis));
    text += QString::fromLatin1(command.summary) + QStringLiteral("\n\n");
    return text + QLatin1String(kOptionsHeading) + optionHelpEntries(acceptedOptions(command), command.offersJson);
}


// ---------------------------------------------------------------------------
// Running one call

int run(const QStringList &arguments, const EnvironmentLookup &environment, std::FILE *out, std::FILE *err)
{
    return run(arguments, environment, out, err, standardInput());
}

int run(const QStringList &arguments, const EnvironmentLookup &environment, std::FILE *out, std::FILE *err,
        Terminal &terminal)
{
    auto usage = [&](const QString &problem) {
        std::fflush(out);
        writeErrorText(err, QStringLiteral("%1: %2 (see '%1 --help')\n").arg(QLatin1String(kProgram), problem));
        return int(ExitUsage);
    };
    auto failure = [&](const QString &text) {
        std::fflush(out);
        writeErrorText(err, text + QLatin1Char('\n'));
        return int(ExitFailure);
    };

    Invocation invocation;
    try {
        invocation = parseCommandLine(arguments, environment);
    } catch (const UsageError &error) {
        return usage(error.text());
    }
    for (const QString &warning : invocation.warnings)
        writeErrorText(err, QStringLiteral("%1: %2\n").arg(QLatin1String(kProgram), warning));
    // "--help", "COMMAND --help" and "help [COMMAND]": a help that cannot be
    // written is a failure.
    const bool helpCommand = invocation.command == QLatin1String(kHelpCommand);
    if (invocation.help || helpCommand) {
        QString topic = invocation.command;
        if (helpCommand) {
            if (invocation.arguments.size() > 1)
                return usage(QStringLiteral("'help' takes at most one COMMAND"));
            topic = invocation.arguments.value(0);
        }
        QString text = helpText();
        if (!topic.isEmpty() && topic != QLatin1String(kHelpCommand)) {
            const Command *command = findCommand(topic);
            if (!command)
                return usage(QStringLiteral("unknown command '%1'").arg(topic));
            text = commandHelpText(*command);
        }
        writeText(out, text);
        if (std::fflush(out) != 0 || std::ferror(out))
            return failure(QStringLiteral("%1: cannot write to standard output.").arg(QLatin1String(kProgram)));
        return int(ExitSuccess);
    }
    if (invocation.version) {
        writeText(out, versionLine(QLatin1String(kProgram)) + QLatin1Char('\n'));
        return std::fflush(out) == 0 ? int(ExitSuccess) : int(ExitFailure);
    }

    const Command *command = findCommand(invocation.command);
    if (!command)
        return usage(QStringLiteral("unknown command '%1'").arg(invocation.command));
    if (invocation.json && !command->offersJson)
        return usage(QStringLiteral("'%1' has no --json output").arg(invocation.command));
    for (const CommandOption option : kCommandOptions) {
        if ((invocation.commandOptions & option) && !(acceptedOptions(*command) & option))
            return usage(QStringLiteral("'%1' has no option %2")
                             .arg(invocation.command, QLatin1String(commandOptionName(option))));
    }
    // The credentials of many cameras are for a run on many cameras.
    if ((invocation.commandOptions & OptionNetrcFile) && !(invocation.commandOptions & (OptionHosts | OptionRetryFrom)))
        return usage(QStringLiteral("'%1' takes --netrc-file only with --hosts or --retry-from").arg(invocation.command));

    int status = ExitSuccess;
    try {
        CommandContext context(invocation, out, err, terminal);
        command->run(context, invocation.arguments);
        status = context.exitStatus();
    } catch (const UsageError &error) {
        return usage(error.text());
    } catch (const CameraError &error) {
        // The same text as the tool's error box.
        return failure(withFinalPeriod(error.text()));
    } catch (const std::exception &error) {
        return failure(withFinalPeriod(QString::fromLocal8Bit(error.what())));
    }

    if (std::fflush(out) != 0 || std::ferror(out))
        return failure(QStringLiteral("%1: cannot write to standard output.").arg(QLatin1String(kProgram)));
    return status;
}

namespace {

// Log lines carry camera text too: its control characters are shown as
// escapes wherever the log goes.
void writeLogMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    writeText(stderr, terminalText(qFormatLogMessage(type, context, message)) + QLatin1Char('\n'));
    std::fflush(stderr);
}

} // namespace

int runMain(int argc, char **argv)
{
    qInstallMessageHandler(writeLogMessage);
    // Quiet unless asked for: QT_LOGGING_RULES (e.g. "qzr.*=true") still wins.
    QLoggingCategory::setFilterRules(QStringLiteral("qzr.*.debug=false"));
    QStringList arguments;
    arguments.reserve(argc > 1 ? argc - 1 : 0);
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return run(arguments, processEnvironment(), stdout, stderr);
}

} // namespace qzr::cli
