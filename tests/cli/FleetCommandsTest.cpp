// A whole site at once against simulated cameras on loopback, run as the
// real executable: the backup of every camera ("save --hosts"), the audit
// against a reference file ("diff --hosts"), another run of only the cameras
// a report names (--retry-from), --deadline, the password from a file, and
// the self-updating progress line on a terminal.

#include "QzrProcess.h"
#include "tests/support/SimRequests.h"
#include "cli/Commands.h"
#include "sim/SimThread.h"
#include "tests/support/CameraFleet.h"
#include "tests/support/ConnectWatch.h"
#include "tests/support/ExpectedRequests.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QHostAddress>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

using namespace qzr;
using qzr::clitest::finishedQzr;
using qzr::testsupport::ConnectWatch;
using qzr::clitest::Outcome;
using qzr::clitest::runQzr;
using qzr::clitest::startQzr;
using qzr::sim::SimThread;

using qzr::testsupport::Fleet;
using qzr::testsupport::hostList;
using qzr::testsupport::hostOf;
using qzr::testsupport::readAll;
using qzr::testsupport::writeBytes;
using qzr::testsupport::targetsOf;

namespace {

// The fleet's cameras share the password "site-7".
Fleet startedFleet(int count)
{
    return testsupport::startedFleet(count, QStringLiteral("site-7"));
}


// Table rows with seconds as "S" and the column padding folded.
QStringList foldedRows(const QByteArray &table)
{
    static const QRegularExpression seconds(QStringLiteral("\\b\\d+\\.\\d{3}\\b"));
    QStringList rows;
    for (const QString &line : QString::fromUtf8(table).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        rows << QString(line).replace(seconds, QStringLiteral("S")).simplified();
    return rows;
}

// The results of a report, host by host.
QMap<QString, QString> reportResults(const QByteArray &json)
{
    QMap<QString, QString> results;
    for (const QJsonValue &camera : QJsonDocument::fromJson(json).object().value("cameras").toArray())
        results.insert(camera.toObject().value("host").toString(), camera.toObject().value("result").toString());
    return results;
}

// The journal's events; a line cut short is skipped.
QList<QJsonObject> journalEvents(const QString &path)
{
    QList<QJsonObject> events;
    for (const QByteArray &line : readAll(path).split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        if (!event.isEmpty())
            events << event;
    }
    return events;
}

int countEvents(const QList<QJsonObject> &events, const QString &kind)
{
    return int(std::count_if(events.cbegin(), events.cend(),
                             [&](const QJsonObject &event) { return event.value("event").toString() == kind; }));
}

// Waits, at most 30 s, until the journal (another than `earlier`) holds
// `count` events of a kind.
bool journalReaches(const QString &path, const QString &kind, int count, const QByteArray &earlier = {})
{
    for (int round = 0; round < 3000; ++round) {
        if (readAll(path) != earlier && countEvents(journalEvents(path), kind) >= count)
            return true;
        QThread::msleep(10);
    }
    return false;
}

// Each camera's entry of a report, by host.
QMap<QString, QJsonObject> reportEntries(const QByteArray &json)
{
    QMap<QString, QJsonObject> entries;
    for (const QJsonValue &camera : QJsonDocument::fromJson(json).object().value("cameras").toArray())
        entries.insert(camera.toObject().value("host").toString(), camera.toObject());
    return entries;
}

// What the file to clone sets apart from a camera's defaults: each
// encoder's frame rate (the simulator's is 15 for all three).
const QStringList kClonedFrameRates{"25", "10", "5"};

} // namespace

class FleetCommandsTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // The password file of the fleet's cameras, without a line end after it.
    QString passwordFile() const
    {
        const QString file = path(QStringLiteral("password"));
        return writeBytes(file, "site-7") && QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner)
            ? file
            : QString();
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // A backup of 20 cameras, each with settings of its own: every file is
    // byte for byte what a single "qzr save" of that camera writes; a camera
    // that is not there leaves no file, is named in the index with its
    // error, and does not stop the others.
    void backupOfTwentyCameras()
    {
        const Fleet fleet = startedFleet(20);
        QCOMPARE(fleet.size(), size_t(20));
        for (int k = 0; k < 20; ++k) {
            fleet[size_t(k)]->setValue("encode(1).bitrate", QString::number(512000 + 1000 * k));
            fleet[size_t(k)]->setValue("camera.scene(0).image.color", QString::number(k));
        }
        fleet[7]->stopListening();
        const QString dir = path("backup");
        const QString password = passwordFile();
        const Outcome outcome = runQzr({"save", "--hosts", hostList(fleet), "--dir", dir, "--jobs", "6",
                                        "--password-file", password, "--report", path("backup.csv")},
                                       fleet.front()->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(outcome.err.endsWith("20 camera(s): 19 saved, 1 failed\n"), outcome.err.constData());

        const QJsonObject index = QJsonDocument::fromJson(readAll(dir + "/index.json")).object();
        QCOMPARE(index.value("dir").toString(), dir);
        QCOMPARE(index.value("saved").toInt(), 19);
        QCOMPARE(index.value("failed").toInt(), 1);
        const QJsonArray cameras = index.value("cameras").toArray();
        QCOMPARE(cameras.size(), 20);
        QStringList files;
        for (int k = 0; k < 20; ++k) {
            const SimThread &camera = *fleet[size_t(k)];
            const QString name = QStringLiteral("127.0.0.1_%1.txt").arg(camera.port());
            QJsonObject entry = cameras.at(k).toObject();
            entry.remove("seconds");
            QVERIFY2(QDateTime::fromString(entry.take("time").toString(), Qt::ISODate).isValid(), "a result's time");
            if (k == 7) {
                QCOMPARE(entry, (QJsonObject{{"host", hostOf(camera)},
                                             {"result", "failed"},
                                             {"error", "refused the connection (Socket Error # 111 Connection refused.): check --host and --port."}}));
                QVERIFY(!QFile::exists(dir + '/' + name));
                continue;
            }
            QVERIFY2(QDateTime::fromString(entry.take("file_time").toString(), Qt::ISODate).isValid(),
                     "the file's time");
            QCOMPARE(entry, (QJsonObject{{"host", hostOf(camera)},
                                         {"result", "saved"},
                                         {"file", name},
                                         {"mac", QStringLiteral("02:00:00:00:00:%1").arg(k + 1, 2, 10, QChar('0'))}}));
            files << name;
            // The same camera saved alone, with the password from standard input.
            const QString single = path(QStringLiteral("single-%1.txt").arg(k));
            const Outcome alone =
                runQzr({"save", single, "--password-file", "-"}, camera.port(), {}, {}, "site-7\r\nmore\n");
            QCOMPARE(alone.exitCode, 0);
            QCOMPARE(readAll(dir + '/' + name), readAll(single));
        }
        files << "index.json" << "index.journal";
        files.sort();
        QStringList found = QDir(dir).entryList(QDir::Files);
        found.sort();
        QCOMPARE(found, files); // no temporary file left behind

        const QList<QByteArray> csv = readAll(path("backup.csv")).split('\n');
        QCOMPARE(csv.at(0), QByteArray("host,result,seconds,file,mac,error,time,file_time,earlier_file\r"));
        QVERIFY2(csv.at(2).startsWith(hostOf(*fleet[1]).toUtf8() + ",saved,"), csv.at(2).constData());
        static const QRegularExpression savedRow(QStringLiteral(
            ",127\\.0\\.0\\.1_%1\\.txt,02:00:00:00:00:02,,(\\d{4}-[0-9T:-]{14}Z),\\1,\r$").arg(fleet[1]->port()));
        QVERIFY2(savedRow.match(QString::fromUtf8(csv.at(2))).hasMatch(), csv.at(2).constData());
    }

    // A password file that cannot be read is a usage error; nothing is sent.
    void unreadablePasswordFile()
    {
        const Fleet fleet = startedFleet(1);
        QCOMPARE(fleet.size(), size_t(1));
        const Outcome missing = runQzr({"get", "system.model", "--password-file", path("no-such-file")},
                                       fleet.front()->port());
        QCOMPARE(missing.exitCode, 2);
        QCOMPARE(missing.err, "qzr: --password-file: cannot read " + path("no-such-file").toUtf8()
                                  + ": No such file or directory (see 'qzr --help')\n");
        const Outcome wrong = runQzr({"get", "system.model"}, fleet.front()->port());
        QCOMPARE(wrong.exitCode, 1);
        QCOMPARE(wrong.err, QStringLiteral("127.0.0.1:%1 refused the login (401 Unauthorized): check --user and the password.\n").arg(fleet.front()->port()).toUtf8());
        QCOMPARE(fleet.front()->requests().size(), 1);
    }

    // An audit right after a clone agrees with it, also for a file whose
    // scene file is not the one the cameras use; a camera answering with
    // empty bodies fails with its own text, it does not "differ".
    void auditAfterCloneAgrees()
    {
        const Fleet fleet = startedFleet(3);
        QCOMPARE(fleet.size(), size_t(3));
        const QString file = path("scene3.txt");
        fleet[0]->setValue("camera.scene.status", "3");
        fleet[0]->setValue("camera.scene(3).image.gamma", "1");
        QCOMPARE(runQzr({"save", file, "--password-file", passwordFile()}, fleet[0]->port()).exitCode, 0);
        fleet[0]->setValue("camera.scene.status", "0");
        const Outcome clone = runQzr({"clone", file, "--hosts", hostList(fleet), "--password-file", passwordFile()},
                                     fleet[0]->port());
        QVERIFY2(clone.err.endsWith("3 camera(s): 3 verified, 0 differ, 0 failed\n"), clone.err.constData());
        const Outcome audit = runQzr({"diff", file, "--hosts", hostList(fleet), "--password-file", passwordFile()},
                                     fleet[0]->port());
        QCOMPARE(audit.exitCode, 0);
        QVERIFY2(audit.err.endsWith("3 camera(s): 3 equal, 0 differ, 0 failed\n"), audit.err.constData());

        fleet[2]->setFault(sim::FaultMode::EmptyBody);
        const Outcome empty = runQzr({"diff", file, "--hosts", hostList(fleet), "--password-file", passwordFile()},
                                     fleet[0]->port());
        QCOMPARE(empty.exitCode, 1);
        QVERIFY2(foldedRows(empty.out).contains(hostOf(*fleet[2]) + " failed S the camera answered without a value "
                                                                     "for encode(1).type."),
                 empty.out.constData());
    }

    // An audit against a reference file: two cameras changed, one not there.
    void auditTwoChangedOneFailing_data()
    {
        QTest::addColumn<bool>("withFailing");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("one failing") << true << 1;
        QTest::newRow("none failing") << false << 3;
    }

    void auditTwoChangedOneFailing()
    {
        QFETCH(bool, withFailing);
        QFETCH(int, exitCode);
        const Fleet fleet = startedFleet(5);
        QCOMPARE(fleet.size(), size_t(5));
        const QString reference = path("reference.txt");
        QCOMPARE(runQzr({"save", reference, "--password-file", passwordFile()}, fleet[0]->port()).exitCode, 0);
        fleet[1]->setValue("encode(1).framerate", "25");
        fleet[3]->setValue("camera.scene(0).image.gamma", "1");
        fleet[3]->setValue("encode(3).cbr_mode", "vbr");
        if (withFailing)
            fleet[4]->stopListening();
        for (const auto &camera : fleet)
            camera->clearRequests();

        const QString report = path("audit.json");
        const Outcome outcome = runQzr({"diff", reference, "--hosts", hostList(fleet), "--jobs", "3", "--report",
                                        report, "--password-file", passwordFile()},
                                       fleet[0]->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, exitCode);
        QStringList rows{"HOST RESULT SECONDS DETAIL",
                         hostOf(*fleet[0]) + " equal S",
                         hostOf(*fleet[1]) + " differs S encode(1).framerate (file 15, camera 25)",
                         hostOf(*fleet[2]) + " equal S",
                         hostOf(*fleet[3]) + " differs S encode(3).cbr_mode (file cbr, camera vbr); "
                                             "camera.scene(0).image.gamma (file 0.45, camera 1)"};
        rows << (withFailing ? hostOf(*fleet[4]) + " failed S refused the connection (Socket Error # 111 Connection refused.): check --host and --port."
                             : hostOf(*fleet[4]) + " equal S");
        QCOMPARE(foldedRows(outcome.out), rows);
        QVERIFY2(outcome.err.endsWith(withFailing ? "5 camera(s): 2 equal, 2 differ, 1 failed\n"
                                                  : "5 camera(s): 3 equal, 2 differ, 0 failed\n"),
                 outcome.err.constData());
        // Each camera is read as "qzr diff FILE" reads it (the file's scene
        // file, as a clone verifies it), and nothing is written.
        const QStringList reads = testsupport::encoderReadTargets({"h264high", "jpeg", "off"})
                                  + testsupport::sceneReadTargets("0");
        QCOMPARE(targetsOf(*fleet[2]), reads);

        const QJsonObject document = QJsonDocument::fromJson(readAll(report)).object();
        QCOMPARE(document.value("file").toString(), reference);
        QCOMPARE(document.value("equal").toInt(), withFailing ? 2 : 3);
        QCOMPARE(document.value("differs").toInt(), 2);
        QCOMPARE(document.value("failed").toInt(), withFailing ? 1 : 0);
        QCOMPARE(document.value("cameras").toArray().at(1).toObject().value("differences").toArray(),
                 (QJsonArray{QJsonObject{
                     {"line", 7}, {"setting", "encode(1).framerate"}, {"file", "15"}, {"camera", "25"}}}));
    }

    // Another run with --retry-from works on exactly the cameras the report
    // names as failed (or differs, or not started), with the same file, and
    // its record keeps every camera of the site: the retried ones with their
    // new result, the others as they were. A retry with nothing left to do
    // sends nothing and leaves the record as it was.
    void retryTouchesOnlyTheFailed_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("report");
        QTest::addColumn<bool>("keepHosts");
        QTest::newRow("clone, csv report, --hosts again") << "clone" << "first.csv" << true;
        QTest::newRow("clone, json report alone") << "clone" << "first.json" << false;
        QTest::newRow("save, its index") << "save" << "backup2/index.json" << false;
    }

    void retryTouchesOnlyTheFailed()
    {
        QFETCH(QString, command);
        QFETCH(QString, report);
        QFETCH(bool, keepHosts);
        const Fleet fleet = startedFleet(5);
        QCOMPARE(fleet.size(), size_t(5));
        const QString file = path("retry-source.txt");
        QCOMPARE(runQzr({"save", file, "--password-file", passwordFile()}, fleet[0]->port()).exitCode, 0);
        fleet[1]->stopListening();
        fleet[3]->setFault(sim::FaultMode::ServerError, 3);

        QStringList options{"--password-file", passwordFile(), "--jobs", "5"};
        QStringList first{command};
        if (command == QLatin1String("clone"))
            first << file << "--report" << path(report);
        else
            first << "--dir" << path("backup2");
        const Outcome failed = runQzr(first + options + QStringList{"--hosts", hostList(fleet)}, fleet[0]->port());
        QCOMPARE(failed.exitCode, 1);

        QVERIFY(fleet[1]->resumeListening());
        fleet[3]->setFault(sim::FaultMode::None);
        for (const auto &camera : fleet)
            camera->clearRequests();
        QStringList again{command};
        again << (command == QLatin1String("clone") ? QStringList{file, "--report", path("again.json")}
                                                     : QStringList{"--dir", path("backup2")});
        again << "--retry-from" << path(report);
        if (keepHosts)
            again << "--hosts" << hostList(fleet);
        const Outcome retried = runQzr(again + options, fleet[0]->port());
        QVERIFY(retried.finished);
        QCOMPARE(retried.exitCode, 0);
        for (size_t k = 0; k < fleet.size(); ++k) {
            if (k == 1 || k == 3)
                QVERIFY2(!fleet[k]->requests().isEmpty(), "a failed camera is worked on again");
            else
                QCOMPARE(targetsOf(*fleet[k]), QStringList());
        }
        const QString secondReport = command == QLatin1String("clone") ? path("again.json")
                                                                        : path("backup2/index.json");
        const QString result = command == QLatin1String("clone") ? "verified" : "saved";
        QMap<QString, QString> all;
        for (const auto &camera : fleet)
            all.insert(hostOf(*camera), result);
        QCOMPARE(reportResults(readAll(secondReport)), all);
        if (!report.endsWith(QLatin1String(".csv"))) {
            // The cameras done with in the first run keep their entries.
            const QJsonArray before = QJsonDocument::fromJson(readAll(path(report))).object().value("cameras").toArray();
            const QJsonArray after = QJsonDocument::fromJson(readAll(secondReport)).object().value("cameras").toArray();
            QCOMPARE(after.size(), 5);
            QCOMPARE(after.at(0), before.at(0));
            QCOMPARE(after.at(2), before.at(2));
            QCOMPARE(after.at(4), before.at(4));
        }

        // Nothing left: nothing sent, the record unchanged.
        for (const auto &camera : fleet)
            camera->clearRequests();
        const QByteArray record = readAll(secondReport);
        QStringList empty{command};
        empty << (command == QLatin1String("clone") ? QStringList{file, "--report", secondReport}
                                                     : QStringList{"--dir", path("backup2")});
        empty << "--retry-from" << secondReport;
        const Outcome nothing = runQzr(empty + options, fleet[0]->port());
        QCOMPARE(nothing.exitCode, 0);
        QCOMPARE(nothing.err, "Nothing to retry: every camera of " + secondReport.toUtf8()
                                  + " is done with; nothing was sent or written.\n");
        QCOMPARE(readAll(secondReport), record);
        for (const auto &camera : fleet)
            QCOMPARE(targetsOf(*camera), QStringList());
    }

    // After --deadline no camera is started: those left are "not started"
    // and receive nothing; the one at work finishes.
    void deadlineLeavesTheRestNotStarted()
    {
        const Fleet fleet = startedFleet(3);
        QCOMPARE(fleet.size(), size_t(3));
        const QString file = path("deadline.txt");
        QCOMPARE(runQzr({"save", file, "--password-file", passwordFile()}, fleet[0]->port()).exitCode, 0);
        fleet[0]->clearRequests();
        const Outcome outcome = runQzr({"clone", file, "--hosts", hostList(fleet), "--jobs", "1", "--deadline", "0.2",
                                        "--report", path("deadline.csv"), "--password-file", passwordFile()},
                                       fleet[0]->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(foldedRows(outcome.out), (QStringList{"HOST RESULT SECONDS DETAIL", hostOf(*fleet[0]) + " verified S",
                                                       hostOf(*fleet[1]) + " not started S",
                                                       hostOf(*fleet[2]) + " not started S"}));
        QCOMPARE(fleet[1]->connectionCount(), 0);
        QCOMPARE(fleet[2]->connectionCount(), 0);
        QCOMPARE(outcome.err, "[1/3] " + hostOf(*fleet[0]).toUtf8()
                                  + " verified\n"
                                    "2 camera(s) not started: the --deadline of 0.2 s had passed\n"
                                    "3 camera(s): 1 verified, 0 differ, 0 failed, 2 not started\n");
        const QList<QByteArray> csv = readAll(path("deadline.csv")).split('\n');
        QVERIFY2(csv.at(3).startsWith(hostOf(*fleet[2]).toUtf8() + ",not started,0.000,,,,,,"), csv.at(3).constData());
    }

    // Eight cameras at once on however few threads: a camera's 500 ms pause
    // after its first encoder write holds up no other camera, so by the time
    // any camera's store command arrives, every other camera has had its
    // first write (cameras run one after another on a thread would have had
    // none). Each camera keeps one connection through its pauses, with the
    // requests of a single upload and read-back on it.
    void pausesHoldUpNoOtherCamera()
    {
        const Fleet fleet = startedFleet(8);
        QCOMPARE(fleet.size(), size_t(8));
        const QString file = path("paused.txt");
        QCOMPARE(runQzr({"save", file, "--password-file", passwordFile()}, fleet[0]->port()).exitCode, 0);
        fleet[0]->clearRequests();
        const int connectionsBefore = fleet[0]->connectionCount();
        const Outcome outcome = runQzr(
            {"clone", file, "--hosts", hostList(fleet), "--jobs", "8", "--password-file", passwordFile()},
            fleet[0]->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 0);

        QList<QList<sim::ReceivedRequest>> received;
        for (size_t k = 0; k < fleet.size(); ++k) {
            const QList<sim::ReceivedRequest> requests = fleet[k]->requests();
            QCOMPARE(requests.size(), 65);
            QVERIFY(requests.at(0).target.startsWith("/api/param?encode(1).type="));
            QCOMPARE(requests.at(1).target, QStringLiteral("/api/param?encode(1).status=save"));
            QCOMPARE(requests.at(64).target,
                     QStringLiteral("/api/param?camera.scene(0).auto_exposure.av_pk.black_white"));
            for (const sim::ReceivedRequest &request : requests)
                QCOMPARE(request.connection, requests.at(0).connection);
            QCOMPARE(fleet[k]->connectionCount(), (k == 0 ? connectionsBefore : 0) + 1);
            QVERIFY2(requests.at(0).time.msecsTo(requests.at(1).time) >= 500, "the store command waits for the pause");
            received << requests;
        }
        for (int k = 0; k < received.size(); ++k) {
            const QDateTime store = received.at(k).at(1).time;
            int writtenBefore = 0;
            for (int j = 0; j < received.size(); ++j)
                writtenBefore += j != k && received.at(j).at(0).time <= store ? 1 : 0;
            QVERIFY2(writtenBefore == received.size() - 1,
                     qPrintable(QStringLiteral("camera %1's store came when only %2 others had had their first write")
                                    .arg(k + 1)
                                    .arg(writtenBefore)));
        }
    }

    // A camera that goes wrong at its third request fails with the text a
    // single camera's command gives (after the --timeout when it hangs),
    // while the camera beside it is audited as usual.
    void faultyCameraFailsAlone_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("error");
        QTest::newRow("hang") << int(sim::FaultMode::Hang) << "did not answer within 1 s.";
        QTest::newRow("close mid-reply")
            << int(sim::FaultMode::CloseMidReply)
            << "sent a malformed reply: the body is shorter than its announced length.";
        QTest::newRow("garbage status") << int(sim::FaultMode::GarbageStatus)
                                        << "sent a reply that has no valid status line.";
        QTest::newRow("unauthorized") << int(sim::FaultMode::Unauthorized) << "refused the login (401 Unauthorized): check --user and the password.";
    }
    void faultyCameraFailsAlone()
    {
        QFETCH(int, fault);
        QFETCH(QString, error);
        const Fleet fleet = startedFleet(2);
        QCOMPARE(fleet.size(), size_t(2));
        const QString reference = path("faulty.txt");
        QCOMPARE(runQzr({"save", reference, "--password-file", passwordFile()}, fleet[0]->port()).exitCode, 0);
        fleet[1]->setFault(sim::FaultMode(fault), 3);
        const Outcome outcome = runQzr({"diff", reference, "--hosts", hostList(fleet), "--timeout", "1", "--report",
                                        path("faulty.json"), "--password-file", passwordFile()},
                                       fleet[0]->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 1);
        const QJsonArray cameras =
            QJsonDocument::fromJson(readAll(path("faulty.json"))).object().value("cameras").toArray();
        QCOMPARE(cameras.at(0).toObject().value("result").toString(), QStringLiteral("equal"));
        QCOMPARE(cameras.at(1).toObject().value("result").toString(), QStringLiteral("failed"));
        QCOMPARE(cameras.at(1).toObject().value("error").toString(), error);
        QCOMPARE(fleet[1]->requests().size(), 3);
    }

    // A run stopped by SIGINT or SIGTERM leaves a record: the report (or
    // index) and the journal name each camera "verified"/"saved",
    // "interrupted" with what it holds, or "not started"; what a clone's
    // camera holds is what the simulator stored. A second signal, and even
    // kill -9, still leave the journal, and --retry-from it finishes the site
    // without touching the cameras already done.
    void stoppedRunLeavesARecordAndResumes_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("twice");
        QTest::addColumn<int>("exitCode"); // -1: killed
        QTest::newRow("clone, Ctrl-C") << "clone" << int(SIGINT) << false << 130;
        QTest::newRow("save --dir, SIGTERM") << "save" << int(SIGTERM) << false << 143;
        QTest::newRow("clone, SIGTERM twice") << "clone" << int(SIGTERM) << true << 143;
        QTest::newRow("clone, kill -9") << "clone" << int(SIGKILL) << false << -1;
    }

    void stoppedRunLeavesARecordAndResumes()
    {
        QFETCH(QString, command);
        QFETCH(int, signal);
        QFETCH(bool, twice);
        QFETCH(int, exitCode);
        const bool clone = command == QLatin1String("clone");
        const Fleet fleet = startedFleet(10);
        QCOMPARE(fleet.size(), size_t(10));
        const QString tag = QString::number(signal) + (twice ? "-twice" : "");
        const QString file = path("stop-" + tag + ".txt");
        {
            sim::CameraOptions options;
            options.password = QStringLiteral("site-7");
            SimThread source(options);
            QVERIFY(source.start(0));
            for (int k = 1; k <= 3; ++k)
                source.setValue(QStringLiteral("encode(%1).framerate").arg(k), kClonedFrameRates.at(k - 1));
            source.setValue("camera.scene(0).image.gamma", "1");
            QCOMPARE(runQzr({"save", file, "--password-file", passwordFile()}, source.port()).exitCode, 0);
        }
        const QString dir = path("stopped-backup-" + tag);
        const QString record = clone ? path("stop-" + tag + ".json") : dir + "/index.json";
        const QString journal = clone ? path("stop-" + tag + ".journal") : dir + "/index.journal";
        QStringList arguments{command};
        if (clone) {
            arguments << file << "--report" << record << "--jobs" << "3";
        } else {
            // An earlier backup of every camera, then changed cameras. The
            // run is one camera at a time; the third camera hangs, and the
            // signal comes while it does.
            QCOMPARE(runQzr({"save", "--hosts", hostList(fleet), "--dir", dir, "--password-file", passwordFile()},
                            fleet[0]->port())
                         .exitCode,
                     0);
            for (const auto &camera : fleet)
                camera->setValue("encode(1).framerate", "2");
            fleet[2]->setFault(sim::FaultMode::Hang, 1);
            arguments << "--dir" << dir << "--jobs" << "1" << "--timeout" << "3";
        }
        QMap<QString, QByteArray> earlierFiles;
        const QMap<QString, QJsonObject> earlierIndex = reportEntries(readAll(record));
        for (const auto &camera : fleet)
            earlierFiles.insert(hostOf(*camera), readAll(dir + QStringLiteral("/127.0.0.1_%1.txt").arg(camera->port())));
        for (const auto &camera : fleet)
            camera->clearRequests();

        const QByteArray earlierJournal = readAll(journal);
        QProcess run;
        QVERIFY(startQzr(run, arguments + QStringList{"--hosts", hostList(fleet), "--password-file", passwordFile()},
                         fleet[0]->port()));
        // Clone: stop while cameras are part way (a few stores in); save:
        // while the third camera hangs.
        QVERIFY2(clone ? journalReaches(journal, "stored", 4) : journalReaches(journal, "start", 3, earlierJournal),
                 readAll(journal).constData());
        ::kill(pid_t(run.processId()), signal);
        if (twice) {
            QThread::msleep(50);
            ::kill(pid_t(run.processId()), signal);
        }
        const Outcome stopped = finishedQzr(run);
        QVERIFY(stopped.finished);
        QCOMPARE(stopped.exitCode, exitCode);
        QCOMPARE(countEvents(journalEvents(journal), "run"), 1);

        if (exitCode != -1 && !twice) {
            QVERIFY2(stopped.err.contains(QStringLiteral("%1: stopping. No further camera is started")
                                              .arg(signal == SIGINT ? "SIGINT" : "SIGTERM")
                                              .toUtf8()),
                     stopped.err.constData());
            QVERIFY2(stopped.err.endsWith("To go on with the cameras not done with: --retry-from " + journal.toUtf8()
                                          + "\n"),
                     stopped.err.constData());
            // Every camera of the site in the record, each with its state.
            const QMap<QString, QJsonObject> entries = reportEntries(readAll(record));
            QCOMPARE(entries.size(), 10);
            int interrupted = 0;
            int notStarted = 0;
            for (const auto &camera : fleet) {
                const QJsonObject entry = entries.value(hostOf(*camera));
                const QString result = entry.value("result").toString();
                if (result == QLatin1String("not started")) {
                    ++notStarted;
                    QCOMPARE(targetsOf(*camera), QStringList());
                    if (!clone) {
                        // It keeps its earlier backup, untouched and so named.
                        QCOMPARE(readAll(dir + '/' + entry.value("file").toString()),
                                 earlierFiles.value(hostOf(*camera)));
                        QCOMPARE(entry.value("earlier_file").toBool(), true);
                        QCOMPARE(entry.value("file_time"), earlierIndex.value(hostOf(*camera)).value("file_time"));
                    }
                    continue;
                }
                if (clone && result == QLatin1String("interrupted")) {
                    ++interrupted;
                    // What it holds, as the simulator stored it: encoder k
                    // after request 2k, and a write always with its store.
                    const int writes = entry.value("writes").toInt(-1);
                    QVERIFY2(writes > 0 && writes % 2 == 0, qPrintable(QString::number(writes)));
                    const QByteArray written = entry.value("written").toString().toUtf8();
                    QVERIFY2(!written.isEmpty(), "what it holds is named");
                    QVERIFY2(stopped.err.contains(hostOf(*camera).toUtf8() + ": " + written), stopped.err.constData());
                    for (int k = 1; k <= 3; ++k) {
                        const QString key = QStringLiteral("encode(%1).framerate").arg(k);
                        QCOMPARE(camera->savedValue(key),
                                 std::optional<QString>(writes >= 2 * k ? kClonedFrameRates.at(k - 1) : "15"));
                    }
                    continue;
                }
                if (clone) {
                    QCOMPARE(result, QStringLiteral("verified"));
                } else if (camera.get() == fleet[2].get()) {
                    // Its request was under way: it ran to its time limit and
                    // keeps its earlier file.
                    QCOMPARE(result, QStringLiteral("failed"));
                    QCOMPARE(entry.value("earlier_file").toBool(), true);
                    QCOMPARE(readAll(dir + '/' + entry.value("file").toString()), earlierFiles.value(hostOf(*camera)));
                } else {
                    QCOMPARE(result, QStringLiteral("saved"));
                    QVERIFY(readAll(dir + '/' + entry.value("file").toString()) != earlierFiles.value(hostOf(*camera)));
                }
            }
            QVERIFY2(notStarted > 0, "the signal came before every camera started");
            if (clone)
                QVERIFY2(interrupted > 0, "the signal came while cameras were part way");
        } else if (twice) {
            QVERIFY2(stopped.err.contains("qzr: stopped at once; the journal " + journal.toUtf8()),
                     stopped.err.constData());
        }

        // Go on from the journal: the cameras done with are left alone, and
        // the record ends with every camera of the site done.
        QStringList done; // by this run (the journal opens with the earlier record)
        bool thisRun = false;
        for (const QJsonObject &event : journalEvents(journal)) {
            thisRun = thisRun || event.value("event").toString() == QLatin1String("run");
            const QString result = thisRun ? event.value("result").toString() : QString();
            if (result == QLatin1String("verified") || result == QLatin1String("saved"))
                done << event.value("host").toString();
        }
        fleet[2]->setFault(sim::FaultMode::None);
        for (const auto &camera : fleet)
            camera->clearRequests();
        QStringList again{command};
        again << (clone ? QStringList{file, "--report", record} : QStringList{"--dir", dir});
        const Outcome resumed =
            runQzr(again + QStringList{"--retry-from", journal, "--jobs", "10", "--password-file", passwordFile()},
                   fleet[0]->port());
        QCOMPARE(resumed.exitCode, 0);
        const QMap<QString, QJsonObject> entries = reportEntries(readAll(record));
        QCOMPARE(entries.size(), 10);
        for (const auto &camera : fleet) {
            QCOMPARE(entries.value(hostOf(*camera)).value("result").toString(),
                     clone ? QStringLiteral("verified") : QStringLiteral("saved"));
            if (done.contains(hostOf(*camera)))
                QCOMPARE(targetsOf(*camera), QStringList());
            else
                QVERIFY(!targetsOf(*camera).isEmpty());
            if (clone)
                QCOMPARE(camera->savedValue("encode(3).framerate"), std::optional<QString>("5"));
        }
    }

    // Files go only where the user meant: a link standing where the tool
    // would write (the index, a camera's file, a report, the journal) is
    // refused, and so is a --dir of another user or one that anyone may
    // write into without the sticky bit (a sticky one is fine). Nothing is
    // sent and the link's target is left alone.
    void refusedPlacesSendNothing_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("index is a link") << "index" << 2 << "/index.json is a symbolic link";
        QTest::newRow("camera file is a link") << "camera" << 2 << ".txt is a symbolic link";
        QTest::newRow("report is a link") << "report" << 2 << "/linked.csv is a symbolic link";
        QTest::newRow("journal is a link") << "journal" << 2 << "/linked.journal is a symbolic link";
        QTest::newRow("folder of another user") << "owner" << 2 << "belongs to another user (uid 65534)";
        QTest::newRow("folder anyone may write") << "open" << 2 << "may be written by any user (mode 0777)";
        QTest::newRow("sticky folder") << "sticky" << 0 << "";
    }

    void refusedPlacesSendNothing()
    {
        QFETCH(QString, place);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const Fleet fleet = startedFleet(2);
        QCOMPARE(fleet.size(), size_t(2));
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString dir = work.filePath("backup");
        QVERIFY(QDir().mkpath(dir));
        const QString victim = work.filePath("victim");
        QVERIFY(writeBytes(victim, "not the tool's\n"));
        QStringList arguments{"save", "--dir", dir};
        if (place == QLatin1String("index")) {
            QVERIFY(QFile::link(victim, dir + "/index.json"));
        } else if (place == QLatin1String("camera")) {
            QVERIFY(QFile::link(victim, dir + QStringLiteral("/127.0.0.1_%1.txt").arg(fleet[1]->port())));
        } else if (place == QLatin1String("report")) {
            QVERIFY(QFile::link(victim, work.filePath("linked.csv")));
            arguments << "--report" << work.filePath("linked.csv");
        } else if (place == QLatin1String("journal")) {
            QVERIFY(QFile::link(victim, work.filePath("linked.journal")));
            arguments = QStringList{"diff", path("refused-places.txt"), "--report", work.filePath("linked.json")};
            QVERIFY(writeBytes(path("refused-places.txt"), "a\r\n"));
        } else if (place == QLatin1String("owner")) {
            if (::chown(QFile::encodeName(dir).constData(), 65534, 65534) != 0)
                QSKIP("this user cannot give a folder to another user");
        } else {
            QVERIFY(::chmod(QFile::encodeName(dir).constData(), place == QLatin1String("open") ? 0777 : 01777) == 0);
        }
        const Outcome outcome =
            runQzr(arguments + QStringList{"--hosts", hostList(fleet), "--password-file", passwordFile()},
                   fleet[0]->port());
        QCOMPARE(outcome.exitCode, exitCode);
        QCOMPARE(readAll(victim), QByteArray("not the tool's\n"));
        if (exitCode == 0) {
            QCOMPARE(reportResults(readAll(dir + "/index.json")).size(), 2);
            return;
        }
        QVERIFY2(outcome.err.contains(message.toUtf8()), outcome.err.constData());
        for (const auto &camera : fleet)
            QCOMPARE(camera->connectionCount(), 0);
    }

    // Two cameras whose backups would share a file name ("ab::1" and the
    // host "ab--1") are refused before anything starts, naming both. Run in
    // a network namespace of its own, so that looking up the name reaches
    // no name server.
    void backupNamesThatCollideAreRefused()
    {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        QProcess probe;
        probe.start("unshare", {"-n", "true"});
        if (!probe.waitForFinished(10'000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
            QSKIP("unshare -n is not allowed here");
        QProcess run;
        run.setProcessEnvironment(clitest::qzrEnvironment(80));
        run.start("unshare", {"-n", QStringLiteral(QZR_EXECUTABLE), "save", "--hosts", "[ab::1]:8080,ab--1:8080",
                              "--dir", work.filePath("backup"), "--timeout", "2"});
        QVERIFY(run.waitForFinished(60'000));
        QCOMPARE(run.exitCode(), 2);
        QCOMPARE(run.readAllStandardError(),
                 QByteArray("qzr: --hosts: '[ab::1]:8080' and 'ab--1:8080' would both be saved as ab--1_8080.txt; "
                            "give one of them another way (an address instead of a name) (see 'qzr --help')\n"));
        QVERIFY(!QFileInfo::exists(work.filePath("backup")));
    }

    // Three cameras on three loopback addresses, two with credentials of
    // their own from a netrc file: every request to each camera carries its
    // own credentials and no other's; the camera without an entry gets those
    // of the call. No password of the file reaches the output, the report or
    // its journal.
    void cloneWithCredentialsPerCamera()
    {
        const QStringList addresses{"127.0.0.1", "127.0.0.2", "127.0.0.3"};
        const QStringList users{"admin", "admin", "operator"};
        const QStringList passwords{"site-7", "north \"gate\" 2", "east\\9"};
        Fleet fleet;
        QStringList hosts;
        for (int k = 0; k < 3; ++k) {
            sim::CameraOptions camera;
            camera.mac = QStringLiteral("02:00:00:00:01:%1").arg(k + 1, 2, 10, QLatin1Char('0'));
            camera.user = users.at(k);
            camera.password = passwords.at(k);
            sim::ServerOptions server;
            server.address = QHostAddress(addresses.at(k));
            fleet.push_back(std::make_unique<SimThread>(camera, server));
            QVERIFY(fleet.back()->start(0) != 0);
            hosts << QStringLiteral("%1:%2").arg(addresses.at(k)).arg(fleet.back()->port());
        }
        const QString file = path("netrc-source.txt");
        QCOMPARE(runQzr({"save", file, "--password-file", passwordFile()}, fleet[0]->port()).exitCode, 0);
        // The macro's lines are no entries: its "machine 127.0.0.1" would
        // give the first camera a wrong password.
        const QString netrc = path("site.netrc");
        QVERIFY(writeBytes(netrc, "# the cameras that do not have the site's password\n"
                                  "machine 127.0.0.2 login admin password \"north \\\"gate\\\" 2\"\n"
                                  "macdef init\n"
                                  "machine 127.0.0.1 password wrong\n"
                                  "\n"
                                  "machine 127.0.0.3\n"
                                  "    login operator account site password \"east\\\\9\"\n"));
        QVERIFY(QFile::setPermissions(netrc, QFile::ReadOwner | QFile::WriteOwner));
        for (const auto &camera : fleet)
            camera->clearRequests();

        const QString report = path("netrc-clone.json");
        const Outcome outcome = runQzr({"clone", file, "--hosts", hosts.join(QLatin1Char(',')), "--netrc-file", netrc,
                                        "--password-file", passwordFile(), "--report", report},
                                       fleet[0]->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(foldedRows(outcome.out), (QStringList{"HOST RESULT SECONDS DETAIL", hosts.at(0) + " verified S",
                                                       hosts.at(1) + " verified S", hosts.at(2) + " verified S"}));
        QVERIFY2(outcome.err.endsWith("3 camera(s): 3 verified, 0 differ, 0 failed\n"), outcome.err.constData());
        QVERIFY2(!outcome.err.contains("warning"), outcome.err.constData());

        static const QRegularExpression authorization(QStringLiteral("\r\nAuthorization: ([^\r]*)\r\n"));
        const QStringList expected{"Basic YWRtaW46c2l0ZS03", "Basic YWRtaW46bm9ydGggImdhdGUiIDI=",
                                   "Basic b3BlcmF0b3I6ZWFzdFw5"};
        for (int k = 0; k < 3; ++k) {
            const QList<sim::ReceivedRequest> requests = fleet[size_t(k)]->requests();
            QCOMPARE(requests.size(), 65);
            QSet<QString> sent;
            for (const sim::ReceivedRequest &request : requests)
                sent.insert(authorization.match(QString::fromLatin1(request.raw)).captured(1));
            QCOMPARE(sent, QSet<QString>{expected.at(k)});
        }
        const QByteArray record = readAll(report) + readAll(path("netrc-clone.journal"));
        QVERIFY(record.contains(hosts.at(2).toUtf8()));
        for (const QByteArray &secret : {QByteArray("north"), QByteArray("east"), QByteArray("wrong")}) {
            QVERIFY(!outcome.out.contains(secret));
            QVERIFY(!outcome.err.contains(secret));
            QVERIFY(!record.contains(secret));
        }
    }

    // A netrc file that cannot be read, is too large or is no netrc file
    // ends the call with exit status 2 before anything is sent, naming the
    // file (and the line) but no word of it; one that others may read is
    // named with its mode; --netrc-file goes with --hosts alone.
    void netrcFileRefused_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<bool>("ownerOnly");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("error"); // FILE: the file's path
        const QStringList clone{"clone", "SETTINGS", "--hosts", "HOSTS"};
        QTest::newRow("missing") << QByteArray() << true << clone
                                 << QByteArray("qzr: --netrc-file: cannot read FILE: No such file or directory "
                                               "(see 'qzr --help')\n");
        QTest::newRow("larger than 64 KiB")
            << (QByteArray("# ").append(61, 'x').append('\n').repeated(1024) + "default password x\n") << true << clone
            << QByteArray("qzr: --netrc-file: FILE, line 1025: the file is larger than 64 KiB; not read "
                          "(see 'qzr --help')\n");
        QTest::newRow("a word longer than 1024 bytes")
            << ("machine 127.0.0.1\npassword " + QByteArray(1025, 'p') + "\n") << true << clone
            << QByteArray("qzr: --netrc-file: FILE, line 2: a word longer than 1024 bytes (see 'qzr --help')\n");
        QTest::newRow("a password of two words without quotes")
            << QByteArray("machine 127.0.0.1\nlogin admin password open sesame\n") << true << clone
            << QByteArray("qzr: --netrc-file: FILE, line 2: a word that is no netrc keyword (machine, default, "
                          "login, password, account, macdef); a word with blanks needs quotes (see 'qzr --help')\n");
        QTest::newRow("readable by others, a command without --hosts")
            << QByteArray("default password x\n") << false << QStringList{"get", "system.model"}
            << QByteArray("qzr: warning: --netrc-file FILE may be read by other users (mode 0644); keep it readable "
                          "by its owner only (chmod 600 FILE)\n"
                          "qzr: 'get' has no option --netrc-file (see 'qzr --help')\n");
        QTest::newRow("save of one camera")
            << QByteArray("default password x\n") << true << QStringList{"save", "SETTINGS"}
            << QByteArray("qzr: 'save' takes --netrc-file only with --hosts or --retry-from (see 'qzr --help')\n");
    }

    void netrcFileRefused()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, ownerOnly);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, error);
        const Fleet fleet = startedFleet(2);
        QCOMPARE(fleet.size(), size_t(2));
        const QString netrc = path(QStringLiteral("refused-%1.netrc").arg(QTest::currentDataTag()));
        if (!content.isNull()) {
            QVERIFY(writeBytes(netrc, content));
            QVERIFY(QFile::setPermissions(netrc, ownerOnly ? QFile::ReadOwner | QFile::WriteOwner
                                                         : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                               | QFile::ReadOther));
        }
        const QString settings = path("refused-settings.txt");
        QVERIFY(writeBytes(settings, "unused\n"));
        arguments.replaceInStrings(QStringLiteral("SETTINGS"), settings);
        arguments.replaceInStrings(QStringLiteral("HOSTS"), hostList(fleet));
        const Outcome outcome =
            runQzr(arguments + QStringList{"--netrc-file", netrc, "--password-file", passwordFile()}, fleet[0]->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 2);
        QCOMPARE(outcome.err, error.replace("FILE", netrc.toUtf8()));
        QCOMPARE(outcome.out, QByteArray());
        for (const auto &camera : fleet)
            QCOMPARE(camera->connectionCount(), 0);
    }

    // A clone connects to the cameras of its list and nowhere else: every
    // connection this process opens while it runs goes to one of them.
    void cloneConnectsOnlyToItsCameras()
    {
        const Fleet fleet = startedFleet(3);
        QCOMPARE(fleet.size(), size_t(3));
        const QString file = path("watched.txt");
        QCOMPARE(runQzr({"save", file, "--password-file", passwordFile()}, fleet[0]->port()).exitCode, 0);
        std::FILE *out = std::tmpfile();
        std::FILE *err = std::tmpfile();
        QVERIFY(out && err);
        const cli::EnvironmentLookup environment = [](const char *name) -> std::optional<QString> {
            if (qstrcmp(name, "QZR_PASSWORD") == 0)
                return QStringLiteral("site-7");
            return std::nullopt;
        };
        ConnectWatch::clear();
        const int status = cli::run({"clone", file, "--hosts", hostList(fleet), "--jobs", "3"}, environment, out, err);
        std::fclose(out);
        std::fclose(err);
        QCOMPARE(status, 0);
        QList<quint16> ports;
        for (const auto &camera : fleet) {
            ports << camera->port();
            QVERIFY2(ConnectWatch::destinations().contains(QStringLiteral("tcp 127.0.0.1:%1").arg(camera->port())),
                     qPrintable(ConnectWatch::destinations().join(", ")));
        }
        QCOMPARE(ConnectWatch::elsewhere("127.0.0.1", ports), QStringList());
    }

    // On a terminal the progress is one line that rewrites itself: the
    // counts, what is left, the rate and the time left; no line per camera.
    void progressLineOnTerminal()
    {
        const Fleet fleet = startedFleet(3);
        QCOMPARE(fleet.size(), size_t(3));
        int master = -1;
        int slave = -1;
        QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        std::FILE *err = ::fdopen(slave, "w");
        std::FILE *out = std::tmpfile();
        QVERIFY(err && out);
        const cli::EnvironmentLookup environment = [](const char *name) -> std::optional<QString> {
            if (qstrcmp(name, "QZR_PASSWORD") == 0)
                return QStringLiteral("site-7");
            return std::nullopt;
        };
        const int status = cli::run({"save", "--hosts", hostList(fleet), "--dir", path("tty"), "--jobs", "2"},
                                    environment, out, err);
        std::fclose(out);
        std::fclose(err);
        QCOMPARE(status, 0);
        QByteArray shown;
        char buffer[4096];
        for (ssize_t n = 0; (n = ::read(master, buffer, sizeof buffer)) > 0;)
            shown.append(buffer, n);
        ::close(master);
        static const QRegularExpression line(
            QStringLiteral("^\\r\\x1b\\[K3 saved / 0 failed / 0 left, \\d+\\.\\d cameras/s, 0 s left\\r?\\n"
                           "3 camera\\(s\\): 3 saved, 0 failed\\r?\\n$"));
        const QString text = QString::fromUtf8(shown);
        const qsizetype last = text.lastIndexOf(QLatin1Char('\r'), text.indexOf(QStringLiteral("\x1b[K3 saved")));
        QVERIFY2(line.match(text.mid(last)).hasMatch(), qPrintable(text.mid(last)));
        QVERIFY2(text.startsWith(QStringLiteral("\r\x1b[K")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("[1/3]")), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(FleetCommandsTest)
#include "FleetCommandsTest.moc"
