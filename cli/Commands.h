#pragma once
#include "cli/CommandLine.h"
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

// What a command works with: the call's settings, standard output and the
// camera. The camera connection is set up on first use, so that a command
// checks all of its arguments before anything is converted or sent. All
// requests of one call go through the one session, over one kept-alive
// connection.
class CommandContext
{
public:
    CommandContext(const Invocation &invocation, std::FILE *out);
    CommandContext(const CommandContext &) = delete;
    CommandContext &operator=(const CommandContext &) = delete;

    const Invocation &invocation() const { return m_invocation; }

    // Applies host, port, user, password and the reply time limit on the
    // first call. Throws CameraError (a port text that is not a number).
    CameraSession &camera();

    // Writes bytes to standard output as they are.
    void write(const QByteArray &bytes);

private:
    const Invocation &m_invocation;
    std::FILE *m_out;
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
    bool offersJson = false; // accepts "--json"
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
QByteArray encodersTable(const AllEncoderSettings &encoders);
QByteArray encodersJson(const AllEncoderSettings &encoders);

// "KEY=VALUE" arguments (split at the first "=") as one write request.
// Throws UsageError for an argument without "=" or with an empty key.
ParamQuery assignmentsQuery(const QStringList &arguments);

QString helpText();

// Runs one call: parses the arguments (without the program name), runs the
// command, reports failures on err and returns the exit status.
int run(const QStringList &arguments, const EnvironmentLookup &environment, std::FILE *out, std::FILE *err);

// main() of the executable.
int runMain(int argc, char **argv);

} // namespace qzr::cli
