#include "cli/SiteRecord.h"

#include "cli/CommandLine.h"
#include "cli/Journal.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace qzr::cli {

using settingsfile::SettingDifference;

namespace {

const QString kHost = QStringLiteral("host");
const QString kResult = QStringLiteral("result");

QString jsonText(const QJsonObject &object, const QString &key)
{
    return object.value(key).toString();
}

// A CSV report's rows as outcomes: one camera per host, a "differs" camera
// over several rows (one per setting).
SiteRecord recordFromCsv(const QString &path, const QString &text, const QString &source)
{
    qsizetype position = 0;
    const QStringList header = csvRecord(text, position);
    const auto column = [&header](const char *name) { return header.indexOf(QLatin1String(name)); };
    const qsizetype host = column("host");
    const qsizetype result = column("result");
    if (host < 0 || result < 0)
        throw UsageError(QStringLiteral("%1: %2 has no 'host' and 'result' columns").arg(source, path));
    const auto field = [](const QStringList &fields, qsizetype index) {
        return index >= 0 ? fields.value(index) : QString();
    };

    SiteRecord record;
    QHash<QString, qsizetype> rowOf;
    while (position < text.size()) {
        const QStringList fields = csvRecord(text, position);
        if (fields.size() == 1 && fields.first().isEmpty())
            continue;
        const std::optional<CloneResult> named = cloneResultFromName(field(fields, result));
        const QString name = field(fields, host);
        if (!named || name.isEmpty())
            continue;
        CloneOutcome *outcome = nullptr;
        if (const auto found = rowOf.constFind(name); found != rowOf.constEnd()) {
            outcome = &record.cameras[*found];
        } else {
            rowOf.insert(name, record.cameras.size());
            record.cameras.append(CloneOutcome{});
            outcome = &record.cameras.last();
            outcome->target.name = name;
            outcome->result = *named;
            outcome->seconds = field(fields, column("seconds")).toDouble();
            outcome->time = field(fields, column("time"));
            outcome->error = field(fields, column("error"));
            outcome->file = field(fields, column("file"));
            outcome->fileTime = field(fields, column("file_time"));
            outcome->earlierFile = field(fields, column("earlier_file")) == QLatin1String("yes");
            outcome->mac = field(fields, column("mac"));
            bool counted = false;
            const int writes = field(fields, column("writes")).toInt(&counted);
            outcome->writes = counted ? writes : -1;
            outcome->written = field(fields, column("written"));
        }
        if (*named == CloneResult::Differs && column("setting") >= 0)
            outcome->differences << SettingDifference{field(fields, column("line")).toInt(),
                                                      field(fields, column("setting")),
                                                      field(fields, column("file_value")),
                                                      field(fields, column("camera_value"))};
    }
    return record;
}

SiteRecord recordFromJson(const QString &path, const QByteArray &bytes, const QString &source)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.object().value(QStringLiteral("cameras")).isArray())
        throw UsageError(QStringLiteral("%1: %2 is not a report with a list of cameras").arg(source, path));
    SiteRecord record;
    for (const QJsonValue &camera : document.object().value(QStringLiteral("cameras")).toArray()) {
        if (const std::optional<CloneOutcome> outcome = outcomeFromJson(camera.toObject()))
            record.cameras << *outcome;
    }
    return record;
}

} // namespace

const char *cloneResultName(CloneResult result)
{
    switch (result) {
    case CloneResult::Verified: return "verified";
    case CloneResult::Differs: return "differs";
    case CloneResult::Failed: return "failed";
    case CloneResult::NotStarted: return "not started";
    case CloneResult::Equal: return "equal";
    case CloneResult::Saved: return "saved";
    case CloneResult::Interrupted: return "interrupted";
    case CloneResult::Read: return "read";
    }
    return "";
}

std::optional<CloneResult> cloneResultFromName(const QString &name)
{
    for (int result = 0; result < kResultCount; ++result) {
        if (name == QLatin1String(cloneResultName(CloneResult(result))))
            return CloneResult(result);
    }
    return std::nullopt;
}

QString recordTime()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

bool isDone(CloneResult result)
{
    return result == CloneResult::Verified || result == CloneResult::Equal || result == CloneResult::Saved
           || result == CloneResult::Read;
}

QJsonObject outcomeJson(const CloneOutcome &outcome)
{
    QJsonObject camera;
    camera.insert(kHost, outcome.target.name);
    camera.insert(kResult, QLatin1String(cloneResultName(outcome.result)));
    camera.insert(QStringLiteral("seconds"), std::round(outcome.seconds * 1000.0) / 1000.0);
    if (!outcome.time.isEmpty())
        camera.insert(QStringLiteral("time"), outcome.time);
    if (outcome.result == CloneResult::Differs) {
        QJsonArray differences;
        for (const SettingDifference &difference : outcome.differences) {
            QJsonObject object;
            object.insert(QStringLiteral("line"), difference.line);
            object.insert(QStringLiteral("setting"), difference.name);
            object.insert(QStringLiteral("file"), difference.first);
            object.insert(QStringLiteral("camera"), difference.second);
            differences.append(object);
        }
        camera.insert(QStringLiteral("differences"), differences);
    }
    if (outcome.result == CloneResult::Failed || outcome.result == CloneResult::Interrupted)
        camera.insert(QStringLiteral("error"), outcome.error);
    if (!outcome.file.isEmpty()) {
        camera.insert(QStringLiteral("file"), outcome.file);
        camera.insert(QStringLiteral("file_time"), outcome.fileTime);
        camera.insert(QStringLiteral("mac"), outcome.mac);
        if (outcome.earlierFile)
            camera.insert(QStringLiteral("earlier_file"), true);
    }
    if (outcome.writes >= 0)
        camera.insert(QStringLiteral("writes"), outcome.writes);
    if (!outcome.written.isEmpty())
        camera.insert(QStringLiteral("written"), outcome.written);
    return camera;
}

std::optional<CloneOutcome> outcomeFromJson(const QJsonObject &camera)
{
    const std::optional<CloneResult> result = cloneResultFromName(jsonText(camera, kResult));
    const QString host = jsonText(camera, kHost);
    if (!result || host.isEmpty())
        return std::nullopt;
    CloneOutcome outcome;
    outcome.target.name = host;
    outcome.result = *result;
    outcome.seconds = camera.value(QStringLiteral("seconds")).toDouble();
    outcome.time = jsonText(camera, QStringLiteral("time"));
    outcome.error = jsonText(camera, QStringLiteral("error"));
    for (const QJsonValue &value : camera.value(QStringLiteral("differences")).toArray()) {
        const QJsonObject difference = value.toObject();
        outcome.differences << SettingDifference{difference.value(QStringLiteral("line")).toInt(),
                                                 jsonText(difference, QStringLiteral("setting")),
                                                 jsonText(difference, QStringLiteral("file")),
                                                 jsonText(difference, QStringLiteral("camera"))};
    }
    outcome.file = jsonText(camera, QStringLiteral("file"));
    outcome.fileTime = jsonText(camera, QStringLiteral("file_time"));
    outcome.earlierFile = camera.value(QStringLiteral("earlier_file")).toBool();
    outcome.mac = jsonText(camera, QStringLiteral("mac"));
    outcome.writes = camera.value(QStringLiteral("writes")).toInt(-1);
    outcome.written = jsonText(camera, QStringLiteral("written"));
    return outcome;
}

SiteRecord readSiteRecord(const QString &path, const QString &source)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw UsageError(QStringLiteral("%1: cannot read %2: %3").arg(source, path, file.errorString()));
    if (file.size() > kMaxRecordBytes)
        throw UsageError(QStringLiteral("%1: %2 is larger than %3 MiB; it is no report of this tool")
                             .arg(source, path)
                             .arg(kMaxRecordBytes / (1024 * 1024)));
    const QByteArray bytes = file.read(kMaxRecordBytes);
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return recordFromCsv(path, QString::fromUtf8(bytes), source);
    if (path.endsWith(QLatin1String(kJournalSuffix), Qt::CaseInsensitive)) {
        if (!bytes.contains("\"event\":\"run\""))
            throw UsageError(QStringLiteral("%1: %2 is not a journal of a run on many cameras").arg(source, path));
        return recordFromJournal(bytes);
    }
    return recordFromJson(path, bytes, source);
}

QStringList camerasToRetry(const SiteRecord &record)
{
    QStringList hosts;
    for (const CloneOutcome &camera : record.cameras) {
        if (!isDone(camera.result) && !hosts.contains(camera.target.name))
            hosts << camera.target.name;
    }
    return hosts;
}

QList<CloneOutcome> mergedRecord(const QList<CloneOutcome> &earlier, const QList<CloneOutcome> &now)
{
    QList<CloneOutcome> merged = earlier;
    QHash<QString, qsizetype> placeOf;
    for (qsizetype i = 0; i < merged.size(); ++i)
        placeOf.insert(merged.at(i).target.name, i);
    for (CloneOutcome outcome : now) {
        const auto found = placeOf.constFind(outcome.target.name);
        if (found == placeOf.constEnd()) {
            placeOf.insert(outcome.target.name, merged.size());
            merged << outcome;
            continue;
        }
        const CloneOutcome &before = merged.at(*found);
        if (outcome.file.isEmpty() && !before.file.isEmpty()) {
            outcome.file = before.file;
            outcome.fileTime = before.fileTime;
            outcome.mac = before.mac;
            outcome.earlierFile = true;
        }
        merged[*found] = outcome;
    }
    return merged;
}

namespace {

bool startsAsFormula(const QString &text)
{
    static const QString kFormulaStarts = QStringLiteral("=+-@\t\r'");
    return !text.isEmpty() && kFormulaStarts.contains(text.front());
}

QString csvField(QString text)
{
    if (startsAsFormula(text))
        text.prepend(QLatin1Char('\''));
    static const QString kSpecial = QStringLiteral(",\"\r\n");
    bool quote = text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' '));
    for (const QChar c : text)
        quote = quote || kSpecial.contains(c);
    if (!quote)
        return text;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// A field as it was before csvField guarded it.
QString unguarded(const QString &field)
{
    return field.startsWith(QLatin1Char('\'')) ? field.mid(1) : field;
}

} // namespace

QString csvRow(const QStringList &fields)
{
    QStringList written;
    for (const QString &field : fields)
        written << csvField(field);
    return written.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

QStringList csvRecord(const QString &text, qsizetype &position)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    while (position < text.size()) {
        const QChar c = text.at(position++);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (position < text.size() && text.at(position) == QLatin1Char('"')) {
                    field += c;
                    ++position;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << unguarded(field);
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            break;
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    fields << unguarded(field);
    return fields;
}

} // namespace qzr::cli
