// A site's record without cameras: what a journal left by a killed run
// says of each camera, how a retry merges into the record, a CSV report read
// back, backup file names that would collide, and host names looked up side
// by side within the time limit.

#include "cli/CommandLine.h"
#include "cli/Journal.h"
#include "cli/SettingsCommands.h"
#include "cli/SiteRecord.h"
#include "tests/support/TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace qzr;
using namespace qzr::cli;
using qzr::testsupport::writeBytes;

namespace {

QString resultsOf(const SiteRecord &record)
{
    QStringList results;
    for (const CloneOutcome &camera : record.cameras)
        results << camera.target.name + '=' + cloneResultName(camera.result);
    return results.join(QLatin1Char(' '));
}

CloneOutcome outcome(const QString &host, CloneResult result)
{
    CloneOutcome camera;
    camera.target = {host, host.section(':', 0, 0), host.section(':', 1)};
    camera.result = result;
    return camera;
}

// Journal lines written with ' for " (JSON has no ' of its own here).
QByteArray quoted(QByteArray text)
{
    return text.replace('\'', '"');
}

} // namespace

class SiteRecordTest : public QObject
{
    Q_OBJECT

private slots:
    // The journal of a backup killed part way: the earlier record first,
    // then the run. Cameras done before keep their result; the run's
    // cameras it never started are "not started" with their earlier file;
    // one that started is "interrupted" with what it got; a line cut short
    // by the power cut is skipped.
    void killedRunInTheJournal()
    {
        const QByteArray journal =
            quoted("{'event':'result','host':'a:80','result':'saved','time':'2026-12-01T08:00:00Z','file':'a_80.txt','file_time':'2026-12-01T08:00:00Z','mac':'02:00:00:00:00:01'}\n"
            "{'event':'result','host':'b:80','result':'saved','time':'2026-12-01T08:00:00Z','file':'b_80.txt','file_time':'2026-12-01T08:00:00Z','mac':'02:00:00:00:00:02'}\n"
            "{'event':'result','host':'c:80','result':'failed','time':'2026-12-01T08:00:00Z','error':'Read timed out.'}\n"
            "{'event':'run','command':'clone','file':'golden.txt','time':'2026-12-08T09:00:00Z','hosts':['b:80','c:80','d:80','e:80'],'scene':'0'}\n"
            "{'event':'start','host':'b:80','time':'2026-12-08T09:00:01Z'}\n"
            "{'event':'start','host':'c:80','time':'2026-12-08T09:00:01Z'}\n"
            "{'event':'written','host':'c:80','step':1}\n"
            "{'event':'result','host':'b:80','result':'verified','time':'2026-12-08T09:00:03Z','writes':32}\n"
            "{'event':'stored','host':'c:80','step':2}\n"
            "{'event':'start','host':'d:80','ti");
        const SiteRecord record = recordFromJournal(journal);
        QCOMPARE(resultsOf(record), QStringLiteral("a:80=saved b:80=verified c:80=interrupted d:80=not started "
                                                   "e:80=not started"));
        const CloneOutcome &done = record.cameras.at(0);
        QCOMPARE(done.file, QStringLiteral("a_80.txt"));
        QVERIFY(!done.earlierFile);
        const CloneOutcome &partly = record.cameras.at(2);
        QCOMPARE(partly.writes, 2);
        QCOMPARE(partly.written, QStringLiteral("encoder 1 stored, encoders 2-3 and scene file 0 not written"));
        QCOMPARE(partly.time, QStringLiteral("2026-12-08T09:00:01Z"));
        QCOMPARE(camerasToRetry(record), (QStringList{"c:80", "d:80", "e:80"}));
        QCOMPARE(record.cameras.at(4).time, QStringLiteral("2026-12-08T09:00:00Z"));

        // A backup camera the run did not get to keeps its earlier file, marked so.
        const SiteRecord backup = recordFromJournal(
            quoted("{'event':'result','host':'a:80','result':'saved','time':'2026-12-01T08:00:00Z','file':'a_80.txt','file_time':'2026-12-01T08:00:00Z','mac':'m'}\n"
            "{'event':'run','command':'save','dir':'site','time':'2026-12-08T09:00:00Z','hosts':['a:80']}"));
        QCOMPARE(resultsOf(backup), QStringLiteral("a:80=not started"));
        QCOMPARE(backup.cameras.at(0).file, QStringLiteral("a_80.txt"));
        QCOMPARE(backup.cameras.at(0).fileTime, QStringLiteral("2026-12-01T08:00:00Z"));
        QVERIFY(backup.cameras.at(0).earlierFile);
    }

    // A retry's results take the places of the earlier ones; the others stay;
    // a camera that fails again keeps the file of its earlier backup.
    void retryMergesIntoTheRecord()
    {
        CloneOutcome a = outcome("a:80", CloneResult::Saved);
        a.file = "a_80.txt";
        a.fileTime = "2026-12-01T08:00:00Z";
        a.mac = "m-a";
        CloneOutcome b = outcome("b:80", CloneResult::Failed);
        CloneOutcome c = outcome("c:80", CloneResult::Saved);
        c.file = "c_80.txt";
        CloneOutcome aAgain = outcome("a:80", CloneResult::Failed);
        aAgain.error = "Read timed out.";
        CloneOutcome bAgain = outcome("b:80", CloneResult::Saved);
        bAgain.file = "b_80.txt";
        const CloneOutcome d = outcome("d:80", CloneResult::Saved);

        const QList<CloneOutcome> merged = mergedRecord({a, b, c}, {bAgain, aAgain, d});
        QCOMPARE(resultsOf({merged}), QStringLiteral("a:80=failed b:80=saved c:80=saved d:80=saved"));
        QCOMPARE(merged.at(0).error, QStringLiteral("Read timed out."));
        QCOMPARE(merged.at(0).file, QStringLiteral("a_80.txt"));
        QCOMPARE(merged.at(0).fileTime, QStringLiteral("2026-12-01T08:00:00Z"));
        QCOMPARE(merged.at(0).mac, QStringLiteral("m-a"));
        QVERIFY(merged.at(0).earlierFile);
        QCOMPARE(merged.at(1).file, QStringLiteral("b_80.txt"));
        QVERIFY(!merged.at(1).earlierFile);
        QCOMPARE(merged.at(2).file, QStringLiteral("c_80.txt"));
    }

    // A CSV report read back names each camera once, a differing one with
    // all its settings, and what a camera written in part holds. A camera's
    // text that a spreadsheet would run as a formula is written as text
    // (a "'" before it) and read back as it was.
    void csvReportReadBack()
    {
        CloneOutcome verified = outcome("a:80", CloneResult::Verified);
        CloneOutcome differs = outcome("b:80", CloneResult::Differs);
        differs.differences = {{5, "encode(1).cbr_mode", "vbr", "@SUM(A1)"},
                               {28, "camera.scene(0).auto_exposure.reference", "-2", "'quoted"},
                               {33, "camera.scene(0).image.gamma", "1", "=HYPERLINK(\"http://x\",\"a,b\")"}};
        CloneOutcome failed = outcome("c:80", CloneResult::Failed);
        failed.error = "+500 Internal Server Error.";
        failed.writes = 6;
        failed.written = "encoders 1-3 stored, scene file 0 not written";
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("report.csv");
        const QByteArray csv = cloneReportCsv({verified, differs, failed});
        QVERIFY2(csv.contains("\r\nb:80,differs,0.000,5,encode(1).cbr_mode,vbr,'@SUM(A1),,,,\r\n"
                              "b:80,differs,0.000,28,camera.scene(0).auto_exposure.reference,'-2,''quoted,,,,\r\n"
                              "b:80,differs,0.000,33,camera.scene(0).image.gamma,1,"
                              "\"'=HYPERLINK(\"\"http://x\"\",\"\"a,b\"\")\",,,,\r\n"
                              "c:80,failed,0.000,,,,,'+500 Internal Server Error.,,6,"),
                 csv.constData());
        QVERIFY(writeBytes(path, csv));
        const SiteRecord record = readSiteRecord(path, "--retry-from");
        QCOMPARE(resultsOf(record), QStringLiteral("a:80=verified b:80=differs c:80=failed"));
        QCOMPARE(record.cameras.at(1).differences.size(), 3);
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(record.cameras.at(1).differences.at(k).first, differs.differences.at(k).first);
            QCOMPARE(record.cameras.at(1).differences.at(k).second, differs.differences.at(k).second);
        }
        QCOMPARE(record.cameras.at(2).error, QStringLiteral("+500 Internal Server Error."));
        QCOMPARE(record.cameras.at(2).writes, 6);
        QCOMPARE(record.cameras.at(2).written, QStringLiteral("encoders 1-3 stored, scene file 0 not written"));
        QCOMPARE(camerasToRetry(record), (QStringList{"b:80", "c:80"}));
    }

    // Two cameras whose backups would share a file name are refused, naming
    // both; so is one whose file the folder's index gives to another camera.
    void backupNamesNeverCollide()
    {
        const CloneTarget v6{"[ab::1]:80", "ab::1", "80"};
        const CloneTarget name{"ab--1:80", "ab--1", "80"};
        try {
            checkBackupFileNames({v6, name}, {});
            QFAIL("two cameras saved as ab--1_80.txt");
        } catch (const UsageError &error) {
            QCOMPARE(error.text(), QStringLiteral("--hosts: '[ab::1]:80' and 'ab--1:80' would both be saved as "
                                                  "ab--1_80.txt; give one of them another way (an address instead "
                                                  "of a name)"));
        }
        CloneOutcome earlier = outcome("[ab::1]:80", CloneResult::Saved);
        earlier.file = "ab--1_80.txt";
        try {
            checkBackupFileNames({name}, {earlier});
            QFAIL("a camera saved over another camera's backup");
        } catch (const UsageError &error) {
            QVERIFY2(error.text().contains("'ab--1:80' would be saved as ab--1_80.txt, which holds the backup of "
                                           "'[ab::1]:80'"),
                     qPrintable(error.text()));
        }
        checkBackupFileNames({v6}, {earlier}); // its own file: fine
    }

    // Names are looked up side by side: all of them are under way at once.
    // A lookup that never ends is given up at the time limit; its name
    // resolves to nothing and the others keep their addresses. Addresses
    // need no lookup.
    void namesResolveSideBySide()
    {
        constexpr int kNames = 40;
        struct Gate
        {
            std::mutex mutex;
            std::condition_variable changed;
            int underWay = 0;
            int mostAtOnce = 0;
            bool open = false;
            bool hangReleased = false;
            int hangDone = 0;
        };
        auto gate = std::make_shared<Gate>();
        const HostResolver resolve = [gate](const QString &host) -> QSet<QString> {
            std::unique_lock<std::mutex> lock(gate->mutex);
            if (host == QLatin1String("hangs.example")) {
                // Held until the test ends, well past the limit.
                gate->changed.wait(lock, [&] { return gate->hangReleased; });
                ++gate->hangDone;
                gate->changed.notify_all();
                return {};
            }
            ++gate->underWay;
            gate->mostAtOnce = std::max(gate->mostAtOnce, gate->underWay);
            if (gate->underWay == kNames)
                gate->open = true;
            gate->changed.notify_all();
            // Every lookup waits until all are under way: serial lookups
            // would never get there (and would be given up at the limit).
            gate->changed.wait_for(lock, std::chrono::seconds(20), [&] { return gate->open; });
            --gate->underWay;
            return {QStringLiteral("10.0.0.%1").arg(host.section(QLatin1Char('-'), 1).section(QLatin1Char('.'), 0, 0).toInt())};
        };
        QStringList hosts;
        for (int k = 0; k < kNames; ++k)
            hosts << QStringLiteral("camera-%1.example").arg(k);
        hosts << "hangs.example" << "127.0.0.9";
        const QList<QSet<QString>> addresses = resolveHosts(hosts, 1500, resolve);
        {
            std::unique_lock<std::mutex> lock(gate->mutex);
            QCOMPARE(gate->mostAtOnce, kNames);
            gate->hangReleased = true;
            gate->changed.notify_all();
            QVERIFY(gate->changed.wait_for(lock, std::chrono::seconds(20), [&] { return gate->hangDone == 1; }));
        }
        QCOMPARE(addresses.size(), kNames + 2);
        for (int k = 0; k < kNames; ++k)
            QCOMPARE(addresses.at(k), (QSet<QString>{QStringLiteral("10.0.0.%1").arg(k)}));
        QCOMPARE(addresses.at(kNames), QSet<QString>());
        QCOMPARE(addresses.at(kNames + 1), QSet<QString>{"127.0.0.9"});
    }
};

QTEST_GUILESS_MAIN(SiteRecordTest)
#include "SiteRecordTest.moc"
