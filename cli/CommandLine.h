#pragma once
#include "cli/Netrc.h"
#include "protocol/CameraSession.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace qzr::cli {

// Exit status of one call of the command line.
enum ExitCode : int {
    ExitSuccess = 0,
    ExitFailure = 1, // a request or a conversion failed
    ExitUsage = 2,   // the command line itself is wrong
    ExitDiffers = 3, // settings compared and found different
    ExitNoneFound = 3, // "discover": no camera answered
};

// Options that only some commands take; a command lists the ones it accepts.
enum CommandOption : unsigned {
    OptionYes = 1u << 0,    // --yes
    OptionHosts = 1u << 1,  // --hosts LIST
    OptionJobs = 1u << 2,   // --jobs N
    OptionReport = 1u << 3, // --report PATH
    OptionVerify = 1u << 4,    // --verify
    OptionInterface = 1u << 5, // --interface NAME|ADDRESS (repeatable)
    OptionSweep = 1u << 6,     // --sweep CIDR[:PORT] (repeatable)
    OptionWait = 1u << 7,      // --wait SECONDS
    OptionDir = 1u << 8,       // --dir DIR
    OptionRetryFrom = 1u << 9, // --retry-from REPORT
    OptionDeadline = 1u << 10, // --deadline SECONDS
    OptionIdentify = 1u << 11, // --identify
    OptionNoVerify = 1u << 13, // --no-verify
    OptionNetrcFile = 1u << 12, // --netrc-file FILE: goes with every command that takes --hosts
    OptionOut = 1u << 14,       // --out DIR
    OptionAgainst = 1u << 15,   // --against FILE
    OptionStreamUrl = 1u << 16, // --stream-url TEMPLATE
};

// Every CommandOption, for the checks that go through all of them.
inline constexpr CommandOption kCommandOptions[] = {OptionYes,       OptionHosts,     OptionJobs,   OptionReport,
                                                     OptionVerify,    OptionInterface, OptionSweep,  OptionWait,
                                                     OptionDir,       OptionRetryFrom, OptionDeadline, OptionIdentify,
                                                     OptionNetrcFile, OptionNoVerify, OptionOut,    OptionAgainst,
                                                     OptionStreamUrl};

// "--yes", "--hosts", ... for one CommandOption flag.
const char *commandOptionName(CommandOption option);

// The help's entries of the options: those of every command, those of the
// CommandOption flags given and, with json, that of --json.
QString optionHelpEntries(unsigned commandOptions, bool json);

// The most cameras "clone" works on at once, and its default.
inline constexpr int kMaxJobs = 512;
inline constexpr int kDefaultJobs = 8;

// "qzr help [COMMAND]": the help, or one command's help.
inline constexpr const char *kHelpCommand = "help";

// The tool's own connection defaults, as the main window starts with them.
inline constexpr const char *kDefaultHost = "192.168.0.57";
inline constexpr const char *kDefaultPort = "80";
inline constexpr const char *kDefaultUser = "admin";
inline constexpr const char *kDefaultPassword = "kqm";
inline constexpr int kDefaultReplyTimeoutMs = 30'000;

// Environment variables that override the defaults (the options override them
// in turn; the password has no option, only --password-file).
inline constexpr const char *kEnvHost = "QZR_HOST";
inline constexpr const char *kEnvPort = "QZR_PORT";
inline constexpr const char *kEnvUser = "QZR_USER";
inline constexpr const char *kEnvPassword = "QZR_PASSWORD";

// Looks up one environment variable; nullopt when it is not set at all (a
// variable set to "" is a value like any other).
using EnvironmentLookup = std::function<std::optional<QString>(const char *name)>;

// The lookup of the running process.
EnvironmentLookup processEnvironment();

// A mistake in the command line: reported with a one-line hint, exit status 2.
class UsageError
{
public:
    explicit UsageError(QString text) : m_text(std::move(text)) {}
    const QString &text() const { return m_text; }

private:
    QString m_text;
};

// Everything one call of the command line asks for.
struct Invocation
{
    ConnectionFields connection{QString::fromLatin1(kDefaultHost), QString::fromLatin1(kDefaultPort),
                                QString::fromLatin1(kDefaultUser), QString::fromLatin1(kDefaultPassword)};
    int replyTimeoutMs = kDefaultReplyTimeoutMs; // 0: no limit
    bool help = false;
    bool version = false;        // "--version"
    bool json = false;           // "--json": machine-readable output, where a command offers it
    unsigned commandOptions = 0; // the CommandOption flags given
    bool yes = false;            // "--yes": no confirmation
    bool verify = false;         // "--verify": read written keys back
    bool identify = false;       // "--identify": read found cameras with the credentials
    bool noVerify = false;       // "--no-verify": no read-back after an upload
    QString hosts;               // "--hosts LIST"
    int jobs = kDefaultJobs;     // "--jobs N", 1 to kMaxJobs
    QString reportPath;          // "--report PATH"
    QStringList interfaces;      // "--interface", each time given
    QStringList sweeps;          // "--sweep", each time given
    QString waitSeconds;         // "--wait", as typed
    QString dir;                 // "--dir DIR"
    QString retryFrom;           // "--retry-from REPORT"
    std::optional<double> deadlineSeconds; // "--deadline SECONDS"
    QString netrcFile;           // "--netrc-file FILE"
    QString out;                 // "--out DIR"
    QString against;             // "--against FILE"
    QString streamUrl;           // "--stream-url TEMPLATE"
    QList<NetrcEntry> netrc;     // its entries, read with the command line
    QStringList warnings;        // said on standard error before the command runs
    QString command;             // empty only together with help or version
    QStringList arguments;       // the command's own arguments
};

// Reads the arguments (without the program name). Options may stand before or
// after the command; "--" ends the options. Throws UsageError. Whether the
// command exists and its arguments fit is the command's affair.
Invocation parseCommandLine(const QStringList &arguments, const EnvironmentLookup &environment);

// The port text of --port or QZR_PORT (named by source): a whole number
// from 1 to 65535, else UsageError.
void checkPortText(const QString &text, const QString &source);

// The address of --host, QZR_HOST or a --hosts entry (named by source): an
// IP address or host name, else UsageError. Returns it trimmed of blanks.
QString checkedHost(const QString &text, const QString &source);

// "--jobs" text: a whole number from 1 to kMaxJobs; throws UsageError.
int parseJobs(const QString &text);

// The password of "--password-file PATH": the first line of the file
// without its line end; "-" reads it from standard input (only that line is
// consumed). Throws UsageError when the file cannot be read or is empty.
QString readPasswordFile(const QString &path);
inline constexpr qint64 kMaxPasswordFileLine = 4096;

// A warning when the --password-file may be read by other users than its
// owner (naming the file and its mode), else empty.
QString passwordFileWarning(const QString &path);

// The same for another file of secrets, named by its option ("--netrc-file").
QString readableByOthersWarning(const QString &option, const QString &path);

// The entries of "--netrc-file PATH"; throws UsageError naming the file
// (and the line) when it cannot be read, is too large or is no netrc file.
QList<NetrcEntry> readNetrcOption(const QString &path);

// The credentials this call gives the camera at host (as its host list
// writes it): those of its --netrc-file entry (a "machine" of that
// address, else "default"), each of login and password that the entry
// lacks, and all of them without an entry, from --user and
// --password-file or QZR_PASSWORD.
ConnectionFields cameraCredentials(const Invocation &invocation, const QString &host);

// The options a failure message tells the user to check.
inline ConnectionNames commandLineConnectionNames()
{
    return {QStringLiteral("--host"), QStringLiteral("--port"), QStringLiteral("--user and the password")};
}

// "--deadline" text in seconds (decimals allowed, 0 or more); throws UsageError.
double parseDeadlineSeconds(const QString &text);

// "--timeout" text in seconds to milliseconds (0 = no limit); throws UsageError.
int parseTimeoutSeconds(const QString &text);

} // namespace qzr::cli
