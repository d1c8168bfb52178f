#pragma once
#include "cli/CommandLine.h"
#include "cli/Terminal.h"
#include "encoder/EncoderRead.h"
#include "protocol/CameraSession.h"
#include "protocol/ReplyLog.h"
#include "protocol/RequestTarget.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdio>
#include <optional>

namespace qzr::cli {

// What a command works with: the call's settings, standard output, standard
// error, the terminal and the camera. The camera connection is set up on
// first use, so that a command checks all of its arguments before anything
// is converted or sent. All requests of one call go through the one session,
// over one kept-alive connection ("clone" opens sessions of its own).
class CommandContext
{
public:
    CommandContext(const Invocation &invocation, std::FILE *out, std::FILE *err, Terminal &terminal);
    CommandContext(const CommandContext &) = delete;
    CommandContext &operator=(const CommandContext &) = delete;

    const Invocation &invocation() const { return m_invocation; }

    // Applies host, port, user, password and the reply time limit on the
    // first call. Throws CameraError (a port text that is not a number).
    CameraSession &camera();

    // Writes bytes to standard output as they are.
    void write(const QByteArray &bytes);

    // Whether standard output is a terminal.
    bool outputIsTerminal() const;

    // Writes text holding camera values: on a terminal in its encoding, its
    // control characters shown as escapes (terminalText), so that a camera
    // cannot drive the terminal; else in the camera's code page, so that the
    // camera's bytes pass unchanged.
    void writeCameraText(const QString &text);

    // Writes a table or message (UTF-8) that may hold camera text: on a
    // terminal with its control characters shown as escapes, else unchanged.
    void writeTable(const QByteArray &utf8);

    // Whether standard error is a terminal.
    bool errorIsTerminal() const;

    // Writes text to standard error at once (progress, questions); on a
    // terminal with its control characters shown as escapes (terminalText).
    void writeError(const QString &text);

    // On a terminal: rewrites the self-updating status line with `line`
    // (escaped as writeError does); an empty line just clears it.
    void writeStatusLine(const QString &line);

    Terminal &terminal() { return m_terminal; }

    // The exit status of a command that ran to its end (default success).
    void setExitStatus(int status) { m_exitStatus = status; }
    int exitStatus() const { return m_exitStatus; }

private:
    const Invocation &m_invocation;
    std::FILE *m_out;
    std::FILE *m_err;
    Terminal &m_terminal;
    int m_exitStatus = ExitSuccess;
    ReplyLog m_log;
    std::optional<CameraSession> m_session;
};

// One command: its name, how its arguments are written, a help summary and
// the function that runs it. A function throws UsageError for arguments that
// do not fit (before it touches the camera) and CameraError for a failure.
struct Command
{
    const char *name;
    const char *synopsis;
    const char *summary;
    void (*run)(CommandContext &context, const QStringList &arguments);
    bool offersJson = false;      // accepts "--json"
    unsigned acceptedOptions = 0; // the CommandOption flags it accepts
};

// The commands, in the order "--help" lists them.
const QList<Command> &commandTable();
const Command *findCommand(const QString &name);

// The commands themselves.
void runGet(CommandContext &context, const QStringList &arguments);
void runSet(CommandContext &context, const QStringList &arguments);
void runRaw(CommandContext &context, const QStringList &arguments);
void runEncoders(CommandContext &context, const QStringList &arguments);

// The three encoders as "encoders" prints them: an aligned table with a
// header line, or (json) an indented JSON array of one object per encoder.
using AllEncoderSettings = std::array<encoder::EncoderSettings, encoder::kEncoderCount>;
QString encodersTable(const AllEncoderSettings &encoders);

// Rows of cells as left-aligned columns two blanks apart, one line each,
// without trailing blanks.
QString alignedTable(const QList<QStringList> &rows);
QByteArray encodersJson(const AllEncoderSettings &encoders);

// "KEY=VALUE" arguments (split at the first "=") as one write request.
// Throws UsageError for an argument without "=" or with an empty key.
ParamQuery assignmentsQuery(const QStringList &arguments);

// A camera value with its control characters (0x00-0x1F, 0x7F-0x9F) and
// "\\" written as escapes: "\\r", "\\n", "\\t", "\\x1B", "\\\\".
QString escapedText(const QString &value);

// A camera value for one table cell: escapedText (so a row stays one line),
// an empty value as "".
QString cellText(const QString &value);

// Text for a terminal: lines stay lines (CR LF and LF), every other control
// character is shown as "\\xHH".
QString terminalText(const QString &text);

// The whole help, and the help of one command.
QString helpText();
QString commandHelpText(const Command &command);

// Runs one call: parses the arguments (without the program name), runs the
// command, reports failures on err and returns the exit status.
int run(const QStringList &arguments, const EnvironmentLookup &environment, std::FILE *out, std::FILE *err);
// The same, asking its questions on the given terminal.
int run(const QStringList &arguments, const EnvironmentLookup &environment, std::FILE *out, std::FILE *err,
        Terminal &terminal);

// main() of the executable.
int runMain(int argc, char **argv);

} // namespace qzr::cli
