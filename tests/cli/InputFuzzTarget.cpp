// libFuzzer entry points for what the command line reads from users, files
// and cameras; build with QZR_FUZZ=ON and clang (scripts/fuzz.sh). One
// executable per QZR_FUZZ_* definition. Each aborts when a rule is broken:
//   HOSTS     the address rule and host lists: an accepted address holds
//             nothing that could reach another part of a URL, and an IPv4
//             form is exactly four decimal octets
//   RECORD    the CSV writer and reader give back every field as written
//             (formula guard included); the journal and CSV readers take
//             any bytes
//   SWEEP     a sweep range that is accepted spans at most 1,024 addresses
//   TERMINAL  terminal text holds no control character but line ends and
//             tabs; a table cell none at all
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Journal.h"
#include "cli/SettingsCommands.h"
#include "cli/SiteRecord.h"
#include "discovery/SweepRange.h"
#include "protocol/ConnectionInput.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void broken(const QString &what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::abort();
}

[[maybe_unused]] void checkHosts(const QString &text)
{
    if (const std::optional<QString> host = qzr::cameraHost(text)) {
        for (const QChar c : *host) {
            if (c.isSpace() || QStringLiteral("/#?@[]\\\"<>").contains(c))
                broken(QStringLiteral("accepted address '%1' holds '%2'").arg(*host, c));
        }
        bool digitsAndDots = true;
        for (const QChar c : *host)
            digitsAndDots = digitsAndDots && (c.isDigit() || c == QLatin1Char('.'));
        if (digitsAndDots && !qzr::ipv4Value(*host))
            broken(QStringLiteral("accepted '%1' is no strict IPv4 address").arg(*host));
    }
    try {
        const QList<qzr::cli::CloneTarget> targets = qzr::cli::hostsFromText(text, QStringLiteral("80"));
        for (const qzr::cli::CloneTarget &target : targets) {
            if (!qzr::cameraHost(target.host))
                broken(QStringLiteral("host list took '%1'").arg(target.host));
        }
    } catch (const qzr::cli::UsageError &) {
    }
}

[[maybe_unused]] void checkRecord(const QByteArray &bytes)
{
    // Fields split at NUL bytes, written as one row and read back.
    QStringList fields = QString::fromUtf8(bytes).split(QChar(u'\0'));
    if (fields.size() > 64)
        fields = fields.mid(0, 64);
    const QString row = qzr::cli::csvRow(fields);
    qsizetype position = 0;
    const QStringList back = qzr::cli::csvRecord(row, position);
    if (back != fields || position != row.size())
        broken(QStringLiteral("CSV row %1 read back as %2 fields").arg(row).arg(back.size()));
    const QString guarded = row.chopped(2).section(QLatin1Char(','), 0, 0); // without the row's CR LF
    if (!guarded.isEmpty() && QStringLiteral("=+-@\t\r").contains(guarded.front()))
        broken(QStringLiteral("CSV cell begins as a formula: %1").arg(row));
    qzr::cli::recordFromJournal(bytes);
    const QString text = QString::fromUtf8(bytes);
    qsizetype at = 0;
    for (int rows = 0; at < text.size() && rows < 10000; ++rows) {
        const qsizetype before = at;
        qzr::cli::csvRecord(text, at);
        if (at <= before)
            broken(QStringLiteral("CSV reader made no progress"));
    }
}

[[maybe_unused]] void checkSweep(const QString &text)
{
    QString error;
    if (const auto range = qzr::discovery::parseSweepRange(text, &error)) {
        if (range->addresses().size() > 1024)
            broken(QStringLiteral("sweep '%1' spans %2 addresses").arg(text).arg(range->addresses().size()));
    } else if (error.isEmpty()) {
        broken(QStringLiteral("sweep '%1' refused without a reason").arg(text));
    }
}

[[maybe_unused]] void checkTerminal(const QString &text)
{
    for (const QChar c : qzr::cli::terminalText(text)) {
        const ushort code = c.unicode();
        if ((code < 0x20 && code != '\n' && code != '\t') || code == 0x7F || (code >= 0x80 && code <= 0x9F))
            broken(QStringLiteral("terminal text holds U+%1").arg(code, 4, 16, QLatin1Char('0')));
    }
    for (const QChar c : qzr::cli::cellText(text)) {
        const ushort code = c.unicode();
        if (code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F))
            broken(QStringLiteral("table cell holds U+%1").arg(code, 4, 16, QLatin1Char('0')));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
#if defined(QZR_FUZZ_HOSTS)
    checkHosts(QString::fromUtf8(bytes));
#elif defined(QZR_FUZZ_RECORD)
    checkRecord(bytes);
#elif defined(QZR_FUZZ_SWEEP)
    checkSweep(QString::fromUtf8(bytes));
#else
    checkTerminal(QString::fromUtf8(bytes));
#endif
    return 0;
}
