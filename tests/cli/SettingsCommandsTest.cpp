// "qzr save", "upload", "diff" and "clone" against simulated cameras on
// loopback, run as the real executable (and in-process where a terminal has
// to answer): the requests each camera receives, in order; files byte for
// byte; standard output, standard error, reports and exit status.

#include "QzrProcess.h"
#include "tests/support/SimRequests.h"
#include "cli/Commands.h"
#include "cli/SettingsCommands.h"
#include "settingsfile/SettingsFile.h"
#include "sim/SimThread.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include "tests/support/ExpectedRequests.h"
#include "tests/support/TestFiles.h"

#include <QtTest>

#include <cstdio>
#include <memory>

using namespace qzr;
using qzr::sim::FaultMode;
using qzr::sim::SimThread;

using qzr::clitest::Outcome;
using qzr::clitest::runQzr;
using qzr::clitest::kProcessLimitMs;

using qzr::testsupport::readAll;
using qzr::testsupport::writeBytes;
using qzr::testsupport::targetsOf;

namespace {




// A terminal that answers from a script; nothing left means end of input.
class ScriptedTerminal : public cli::Terminal
{
public:
    explicit ScriptedTerminal(QStringList answers) : m_answers(std::move(answers)) {}
    bool isInteractive() const override { return true; }
    std::optional<QString> readLine() override
    {
        ++m_questions;
        if (m_answers.isEmpty())
            return std::nullopt;
        return m_answers.takeFirst();
    }
    int questions() const { return m_questions; }

private:
    QStringList m_answers;
    int m_questions = 0;
};

QByteArray readStream(std::FILE *stream)
{
    std::fflush(stream);
    std::rewind(stream);
    QByteArray bytes;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
        bytes.append(buffer, qsizetype(n));
    return bytes;
}

// Runs qzr in-process with a scripted terminal.
Outcome runInProcess(const QStringList &arguments, quint16 port, cli::Terminal &terminal)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> out(std::tmpfile(), &std::fclose);
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> err(std::tmpfile(), &std::fclose);
    Outcome outcome;
    if (!out || !err)
        return outcome;
    const cli::EnvironmentLookup environment = [port](const char *name) -> std::optional<QString> {
        if (qstrcmp(name, "QZR_HOST") == 0)
            return QStringLiteral("127.0.0.1");
        if (qstrcmp(name, "QZR_PORT") == 0)
            return QString::number(port);
        return std::nullopt;
    };
    outcome.exitCode = cli::run(arguments, environment, out.get(), err.get(), terminal);
    outcome.finished = true;
    outcome.out = readStream(out.get());
    outcome.err = readStream(err.get());
    return outcome;
}

// One request to the simulator's admin paths; the reply's body.
QByteArray adminGet(quint16 port, const QByteArray &target)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(kProcessLimitMs))
        return "<no connection>";
    socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray reply;
    for (int reads = 0; reads < 100 && socket.waitForReadyRead(kProcessLimitMs); ++reads)
        reply += socket.readAll();
    reply += socket.readAll();
    return reply.mid(reply.indexOf("\r\n\r\n") + 4);
}




// A file for scene file 2 whose every value differs from the factory ones
// (but encoder 2's I-frame interval, which a JPEG encoder does not upload).
QStringList fleetLines()
{
    return {"encoder1", "h264baseline", "1024000", "1280x720", "vbr", "60", "25",
            "encoder2", "jpeg", "320k", "vga", "cbr", "30", "10",
            "encoder3", "h264high", "256000", "qvga", "afs", "15", "5",
            "KameraSettings", "2", "high", "autoH", "2", "1000", "4", "autoN", "b", "color",
            "on", "1", "20", "30", "40"};
}

// The upload's requests of a file, as the camera decodes them.
QStringList uploadTargets(const QStringList &lines)
{
    QStringList targets;
    for (const settingsfile::UploadStep &step : settingsfile::uploadSteps(lines))
        targets << QStringLiteral("/api/param?") + step.request.text();
    return targets;
}

std::unique_ptr<SimThread> startedCamera()
{
    auto sim = std::make_unique<SimThread>();
    return sim->start(0) != 0 ? std::move(sim) : nullptr;
}

QString hostOf(const SimThread &sim)
{
    return QStringLiteral("127.0.0.1:%1").arg(sim.port());
}

// Seconds vary from run to run; everything else is compared as it stands.
QByteArray withoutSeconds(QByteArray text)
{
    static const QRegularExpression seconds(QStringLiteral("\\b\\d+\\.\\d{3}\\b"));
    static const QRegularExpression time(QStringLiteral("\\b\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\\b"));
    return QString::fromUtf8(text).replace(seconds, QStringLiteral("S")).replace(time, QStringLiteral("T")).toUtf8();
}

// Table rows with their column padding folded, so that rows can be
// compared whatever the port numbers' widths (the alignment itself is
// checked in cloneTableIsAligned).
QStringList foldedRows(const QByteArray &table)
{
    QStringList rows;
    for (const QString &line : QString::fromUtf8(withoutSeconds(table)).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        rows << line.simplified();
    return rows;
}

} // namespace

class SettingsCommandsTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    // Writes a settings file for the test and returns its path.
    QString settingsFile(const char *name, const QStringList &lines) const
    {
        const QString file = path(name);
        return settingsfile::writeSettingsFile(file, lines).isEmpty() ? file : QString();
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // upload reads back: a value the camera answers OK to but does not keep
    // is named (exit 3), never "Setting Complete"; --no-verify reads
    // nothing back; a refusal names what the camera had already taken.
    void uploadNamesWhatTheCameraDidNotKeep()
    {
        const auto camera = startedCamera();
        QVERIFY(camera);
        const QString file = settingsFile("kept.txt", fleetLines());
        camera->ignoreWrite("encode(1).bitrate", "1024000");
        const Outcome dropped = runQzr({"upload", file, "--yes"}, camera->port());
        QCOMPARE(dropped.exitCode, 3);
        QCOMPARE(dropped.out, QByteArray());
        QCOMPARE(dropped.err, QByteArray("The camera did not keep 1 of the settings uploaded: encode(1).bitrate "
                                         "(file 1024000, camera 4000000)\n"));

        camera->clearRequests();
        const Outcome unchecked = runQzr({"upload", file, "--yes", "--no-verify"}, camera->port());
        QCOMPARE(unchecked.exitCode, 0);
        QCOMPARE(targetsOf(*camera), uploadTargets(fleetLines()));

        QStringList refused = fleetLines();
        refused[25] = QStringLiteral("9999"); // a shutter value the camera refuses
        const Outcome half = runQzr({"upload", settingsFile("refused.txt", refused), "--yes"}, camera->port());
        QCOMPARE(half.exitCode, 1);
        QVERIFY2(half.err.contains("(written: encoders 1-3 stored, scene file 2: "), half.err.constData());
    }

    // save: the window's reads in order, the file byte for byte, no output.
    void saveWritesTheCamerasSettings()
    {
        const auto camera = startedCamera();
        QVERIFY(camera);
        camera->setValue("camera.scene.status", "5");
        camera->setValue("encode(2).framerate", "25");
        camera->setValue("encode(3).framesize", "");
        camera->setValue("camera.scene(5).image.gamma", "1");
        camera->setValue("camera.scene(5).image.pedestal", "-4");

        const QString file = path("saved.txt");
        const Outcome outcome = runQzr({"save", file}, camera->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(targetsOf(*camera), testsupport::encoderReadTargets({"h264high", "jpeg", "off"})
                                         + QStringList{"/api/param?camera.scene.status"} + testsupport::sceneReadTargets("5"));
        // Scene file 5 ("Data Saving"): factory values but gamma and black level.
        QCOMPARE(readAll(file), QByteArray("encoder1\r\nh264high\r\n4000000\r\n1920x1080\r\ncbr\r\n30\r\n15\r\n"
                                           "encoder2\r\njpeg\r\n160k\r\n1920x1080\r\nafs\r\n30\r\n25\r\n"
                                           "encoder3\r\noff\r\n512000\r\n\r\ncbr\r\n30\r\n15\r\n"
                                           "KameraSettings\r\n5\r\n"
                                           "high\r\nautoM\r\n0\r\nauto100\r\n0\r\nautoW\r\noff\r\nautoM\r\noff\r\n1\r\n"
                                           "0\r\n50\r\n30\r\n"));
    }

    // A save that fails writes nothing: an existing file stays as it was.
    void failedSaveWritesNothing_data()
    {
        QTest::addColumn<int>("nth");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<QByteArray>("err");
        // %1: the camera's port.
        QTest::newRow("first request, no file") << 1 << "50" << false << QByteArray("127.0.0.1:%1 does not know the request (404 Not Found): check that --host and --port lead to a QZ-R camera.\n");
        QTest::newRow("last request, old file") << 34 << "50" << true << QByteArray("127.0.0.1:%1 does not know the request (404 Not Found): check that --host and --port lead to a QZ-R camera.\n");
        QTest::newRow("colour not a number") << 0 << "8o" << true
                                             << QByteArray("'8o' is not a valid integer value.\n");
    }

    void failedSaveWritesNothing()
    {
        QFETCH(int, nth);
        QFETCH(QString, colour);
        QFETCH(bool, fileExists);
        QFETCH(QByteArray, err);
        const auto camera = startedCamera();
        QVERIFY(camera);
        camera->setValue("camera.scene(0).image.color", colour);
        if (nth > 0)
            camera->setFault(FaultMode::NotFound, nth);
        const QString file = path("failed-save.txt");
        QFile::remove(file);
        if (fileExists)
            QVERIFY(writeBytes(file, "older contents\r\n"));

        const Outcome outcome = runQzr({"save", file}, camera->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(outcome.err, err.contains("%1") ? QString::fromUtf8(err).arg(camera->port()).toUtf8() : err);
        QCOMPARE(QFile::exists(file), fileExists);
        if (fileExists)
            QCOMPARE(readAll(file), QByteArray("older contents\r\n"));
        QCOMPARE(QDir(m_dir.path()).entryList({"failed-save*"}, QDir::Files | QDir::Hidden).size(),
                 fileExists ? 1 : 0);
    }

    // A file that fails the check is named with its first bad line and
    // nothing is sent by upload or clone, not even a connection.
    void badFileSendsNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("problem");
        QByteArray good = settingsfile::encodeSettingsFile(fleetLines()).value();
        QByteArray ampersand = good;
        ampersand.replace("\r\n1280x720\r\n", "\r\n1280x720&a=b\r\n");
        QByteArray scene = good;
        scene.replace("KameraSettings\r\n2\r\n", "KameraSettings\r\n8\r\n");
        QByteArray shortFile = good;
        shortFile.chop(4); // the last line, "40\r\n"
        QByteArray marker = good;
        marker.replace("encoder2", "encoder 2");
        QTest::newRow("ampersand") << ampersand << QByteArray("Line 4: the value holds \"&\"");
        QTest::newRow("scene 8") << scene << QByteArray("Line 23: the scene number must be 0 to 7, found \"8\"");
        QTest::newRow("35 lines") << shortFile
                                  << QByteArray("Line 36: missing; the file has 35 lines, 36 are needed.");
        QTest::newRow("marker") << marker
                                << QByteArray("Line 8: expected the marker \"encoder2\", found \"encoder 2\"");
    }

    void badFileSendsNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, problem);
        const auto camera = startedCamera();
        QVERIFY(camera);
        const QString file = path("bad.txt");
        QVERIFY(writeBytes(file, bytes));
        for (const QStringList &arguments :
             {QStringList{"upload", file, "--yes"}, QStringList{"upload", file},
              QStringList{"clone", file, "--hosts", hostOf(*camera)}}) {
            const Outcome outcome = runQzr(arguments, camera->port());
            QVERIFY(outcome.finished);
            QCOMPARE(outcome.exitCode, 1);
            QCOMPARE(outcome.out, QByteArray());
            QCOMPARE(outcome.err, file.toLocal8Bit() + ": " + problem + '\n');
        }
        const Outcome missing = runQzr({"upload", path("none.txt"), "--yes"}, camera->port());
        QCOMPARE(missing.exitCode, 1);
        QCOMPARE(missing.err, "Cannot open file " + path("none.txt").toLocal8Bit() + ": No such file or directory.\n");
        QCOMPARE(camera->connectionCount(), 0);
    }

    // Without a terminal and without --yes the upload asks nobody and sends
    // nothing.
    void uploadWithoutTerminalRefuses()
    {
        const auto camera = startedCamera();
        QVERIFY(camera);
        const QString file = settingsFile("no-terminal.txt", fleetLines());
        const Outcome outcome = runQzr({"upload", file}, camera->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 2);
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(outcome.err, QByteArray("qzr: 'upload' asks for confirmation, but standard input is not a "
                                         "terminal; give --yes to upload without asking (see 'qzr --help')\n"));
        QCOMPARE(camera->connectionCount(), 0);
    }

    // On a terminal the upload asks first; only "y" or "yes" sends anything.
    void uploadAsksOnTerminal_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<bool>("uploads");
        QTest::newRow("n") << QStringList{"n"} << false;
        QTest::newRow("just Enter") << QStringList{""} << false;
        QTest::newRow("end of input") << QStringList{} << false;
        QTest::newRow("something else") << QStringList{"ja"} << false;
        QTest::newRow("Yes") << QStringList{" Yes "} << true;
    }

    void uploadAsksOnTerminal()
    {
        QFETCH(QStringList, answers);
        QFETCH(bool, uploads);
        const auto camera = startedCamera();
        QVERIFY(camera);
        const QString file = settingsFile("terminal.txt", fleetLines());
        ScriptedTerminal terminal(answers);
        const Outcome outcome = runInProcess({"upload", file}, camera->port(), terminal);
        QCOMPARE(terminal.questions(), 1);
        const QByteArray question = "Make sure to select correct IP, user, password and Port for destination camera ! "
                                    "If you want to change now, press Cancel, otherwise proceed with Yes\n"
                                    "Destination: 127.0.0.1, port " + QByteArray::number(camera->port())
                                    + ", user admin\nYes or Cancel? [y/N] ";
        if (uploads) {
            QCOMPARE(outcome.exitCode, 0);
            QCOMPARE(outcome.err, question);
            QCOMPARE(outcome.out, QByteArray("Setting Complete, you might continue now\n"));
            // The upload, then the read-back of what it wrote: the encoders
            // and scene file 2, as clone verifies.
            QCOMPARE(targetsOf(*camera), uploadTargets(fleetLines())
                                             + testsupport::encoderReadTargets({"h264baseline", "jpeg", "h264high"})
                                             + testsupport::sceneReadTargets("2"));
        } else {
            QCOMPARE(outcome.exitCode, 1);
            QCOMPARE(outcome.err, question + (answers.isEmpty() ? "\n" : "")
                                      + "I want to change camera, stop upload\n");
            QCOMPARE(outcome.out, QByteArray());
            QCOMPARE(camera->connectionCount(), 0);
        }
    }

    // Save from one camera, upload into another, then diff: equal (exit 0,
    // nothing printed); a changed value is named with both values (exit 3).
    void saveUploadDiffRoundTrip()
    {
        const auto source = startedCamera();
        const auto target = startedCamera();
        QVERIFY(source && target);
        const QList<QPair<QString, QString>> changes = {
            {"encode(1).type", "jpeg"},     {"encode(1).quality", "80k"},       {"encode(1).framesize", "vga"},
            {"encode(2).type", "mpeg4"},    {"encode(2).bitrate", "128000"},    {"encode(3).type", "h264baseline"},
            {"encode(3).framerate", "30"},  {"camera.scene(0).shutter", "60"}, {"camera.scene(0).image.color", "99"},
            {"camera.scene(0).image.clvi", "on"}};
        for (const auto &[key, value] : changes)
            source->setValue(key, value);

        const QString file = path("round-trip.txt");
        QCOMPARE(runQzr({"save", file}, source->port()).exitCode, 0);
        const QByteArray saved = readAll(file);
        const Outcome upload = runQzr({"upload", file, "--yes"}, target->port());
        QCOMPARE(upload.err, QByteArray());
        QCOMPARE(upload.out, QByteArray("Setting Complete, you might continue now\n"));
        QCOMPARE(upload.exitCode, 0);
        QCOMPARE(targetsOf(*target), uploadTargets(settingsfile::splitSettingsBytes(saved))
                                         + testsupport::encoderReadTargets({"jpeg", "mpeg4", "h264baseline"})
                                         + testsupport::sceneReadTargets("0"));

        target->clearRequests();
        const Outcome same = runQzr({"diff", file}, target->port());
        QCOMPARE(same.err, QByteArray());
        QCOMPARE(same.out, QByteArray());
        QCOMPARE(same.exitCode, 0);
        // The diff only reads (the encoders and the scene file the file
        // names, as a clone verifies them) and writes no file.
        QCOMPARE(targetsOf(*target), testsupport::encoderReadTargets({"jpeg", "mpeg4", "h264baseline"})
                                         + testsupport::sceneReadTargets("0"));
        QCOMPARE(readAll(file), saved);

        target->setValue("camera.scene(0).image.gamma", "1");
        target->setValue("encode(2).bitrate", "");
        const Outcome differs = runQzr({"diff", file}, target->port());
        QCOMPARE(differs.err, QByteArray());
        QCOMPARE(differs.exitCode, 3);
        QCOMPARE(differs.out, "LINE  SETTING                      " + file.toLocal8Bit().leftJustified(file.size())
                                  + "  camera\n"
                                    "10    encode(2).bitrate            128000"
                                  + QByteArray(file.size() - 6, ' ') + "  \"\"\n"
                                    "33    camera.scene(0).image.gamma  0.45"
                                  + QByteArray(file.size() - 4, ' ') + "  1\n");

        const Outcome json = runQzr({"diff", file, "--json"}, target->port());
        QCOMPARE(json.exitCode, 3);
        const QJsonObject object = QJsonDocument::fromJson(json.out).object();
        QCOMPARE(object.value("first").toString(), file);
        QCOMPARE(object.value("second").toString(), QStringLiteral("camera"));
        QCOMPARE(object.value("equal").toBool(true), false);
        const QJsonArray differences = object.value("differences").toArray();
        QCOMPARE(differences.size(), 2);
        const QJsonObject gamma = differences.at(1).toObject();
        QCOMPARE(gamma.value("line").toInt(), 33);
        QCOMPARE(gamma.value("setting").toString(), QStringLiteral("camera.scene(0).image.gamma"));
        QCOMPARE(gamma.value("first").toString(), QStringLiteral("0.45"));
        QCOMPARE(gamma.value("second").toString(), QStringLiteral("1"));
    }

    // The camera's bytes go into the file and into another camera unchanged:
    // E9 74 E9 ("été"), 80 and 9F ("€", "Ÿ" in Windows-1252) and a UTF-8 pair
    // (C3 9F) that is not encoded twice.
    void bytesSurviveSaveUploadAndDiff()
    {
        const auto source = startedCamera();
        const auto target = startedCamera();
        QVERIFY(source && target);
        const QList<QPair<QString, QString>> values = {
            {"encode(1).framesize", QString::fromLatin1("\xE9t\xE9")},
            {"camera.scene(0).image.3ddnr", QString::fromLatin1("\x80\x9F")},
            {"camera.scene(0).image.white_balance", QString::fromLatin1("\xC3\x9F")}};
        for (const auto &[key, value] : values) {
            source->setValue(key, value);
            target->acceptWrite(key, value);
        }
        const QString file = path("bytes.txt");
        const Outcome save = runQzr({"save", file}, source->port());
        QCOMPARE(save.err, QByteArray());
        QCOMPARE(save.exitCode, 0);
        const QByteArray saved = readAll(file);
        QVERIFY2(saved.startsWith("encoder1\r\nh264high\r\n4000000\r\n\xE9t\xE9\r\n"), saved.constData());
        QVERIFY2(saved.contains("KameraSettings\r\n0\r\n\x80\x9F\r\n"), saved.constData());
        QVERIFY2(saved.contains("\r\n\xC3\x9F\r\noff\r\n"), saved.constData());

        const Outcome upload = runQzr({"upload", file, "--yes"}, target->port());
        QCOMPARE(upload.err, QByteArray());
        QCOMPARE(upload.exitCode, 0);
        QByteArray wire;
        for (const sim::ReceivedRequest &request : target->requests())
            wire += request.raw.left(request.raw.indexOf("\r\n")) + '\n';
        QVERIFY2(wire.contains("GET /api/param?encode(1).type=h264high&encode(1).framesize=%E9t%E9&"), wire.constData());
        QVERIFY2(wire.contains("GET /api/param?camera.scene(0).image.3ddnr=%80%9F HTTP/1.1\n"), wire.constData());
        QVERIFY2(wire.contains("GET /api/param?camera.scene(0).image.white_balance=%C3%9F HTTP/1.1\n"),
                 wire.constData());
        for (const auto &[key, value] : values)
            QCOMPARE(target->savedValue(key), std::optional<QString>(value));

        const Outcome diff = runQzr({"diff", file}, target->port());
        QCOMPARE(diff.out, QByteArray());
        QCOMPARE(diff.exitCode, 0);
    }

    // A camera value that the upload would refuse is named by the save.
    void saveNamesWhatTheUploadRefuses()
    {
        const auto camera = startedCamera();
        QVERIFY(camera);
        camera->setValue("encode(1).framesize", "vga#2");
        const QString file = path("refused-later.txt");
        const Outcome outcome = runQzr({"save", file}, camera->port());
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.err, file.toLocal8Bit() + " was saved, but an upload refuses it: Line 4: the value holds \"#\"\n");
        QVERIFY(readAll(file).contains("\r\nvga#2\r\n"));
    }

    // diff compares what the camera holds: a colour of 200 is not the 100
    // that a file records of it.
    void diffDoesNotClamp()
    {
        const auto camera = startedCamera();
        QVERIFY(camera);
        camera->setValue("camera.scene(0).image.color", "200");
        const QString file = path("clamped.txt");
        QCOMPARE(runQzr({"save", file}, camera->port()).exitCode, 0);
        QCOMPARE(readAll(file).split('\n').value(34), QByteArray("100\r"));
        const Outcome diff = runQzr({"diff", file}, camera->port());
        QCOMPARE(diff.exitCode, 3);
        QCOMPARE(foldedRows(diff.out), QStringList({"LINE SETTING " + file + " camera",
                                                    "35 camera.scene(0).image.color 100 200"}));
    }

    // diff of two files: no camera, names from the first file's scene.
    void diffTwoFiles_data()
    {
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<bool>("json");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QStringList changed = fleetLines();
        changed[1] = "jpeg";        // line 2
        changed[35] = "";           // line 36
        QTest::newRow("equal") << fleetLines() << false << 0 << QByteArray();
        QTest::newRow("equal, json") << fleetLines() << true << 0
                                     << QByteArray("{\n    \"differences\": [\n    ],\n    \"equal\": true,\n"
                                                   "    \"first\": \"A\",\n    \"second\": \"B\"\n}\n");
        QTest::newRow("differ") << changed << false << 3
                                << QByteArray("LINE  SETTING                        A             B\n"
                                              "2     encode(1).type                 h264baseline  jpeg\n"
                                              "36    camera.scene(2).image.enhance  40            \"\"\n");
        QTest::newRow("differ, json") << changed << true << 3
                                      << QByteArray("{\n    \"differences\": [\n        {\n"
                                                    "            \"first\": \"h264baseline\",\n"
                                                    "            \"line\": 2,\n            \"second\": \"jpeg\",\n"
                                                    "            \"setting\": \"encode(1).type\"\n        },\n"
                                                    "        {\n            \"first\": \"40\",\n"
                                                    "            \"line\": 36,\n            \"second\": \"\",\n"
                                                    "            \"setting\": \"camera.scene(2).image.enhance\"\n"
                                                    "        }\n    ],\n    \"equal\": false,\n"
                                                    "    \"first\": \"A\",\n    \"second\": \"B\"\n}\n");
    }

    void diffTwoFiles()
    {
        QFETCH(QStringList, second);
        QFETCH(bool, json);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        const auto camera = startedCamera();
        QVERIFY(camera);
        QVERIFY(!settingsFile("A", fleetLines()).isEmpty());
        QVERIFY(!settingsFile("B", second).isEmpty());
        // Relative names, as typed: the labels are the names given.
        QStringList arguments{"diff", "A", "B"};
        if (json)
            arguments << "--json";
        const Outcome outcome = runQzr(arguments, camera->port(), {}, m_dir.path());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.out, out);
        QCOMPARE(outcome.exitCode, exitCode);
        QCOMPARE(camera->connectionCount(), 0);
    }

    // clone into several cameras at once: one takes everything, one refuses a
    // value, one is not there, one fails in the middle of the upload. Each is
    // verified (or not) on its own; the table, the progress lines, the report
    // and the exit status say which.
    void cloneToFleet_data()
    {
        QTest::addColumn<QStringList>("roles");
        QTest::addColumn<bool>("hostsFile");
        QTest::addColumn<QString>("report");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("json, three fail")
            << QStringList{"ok", "drops", "closed", "fails", "refuses store"} << true << "json" << 1;
        QTest::newRow("csv, one differs") << QStringList{"ok", "drops"} << false << "csv" << 3;
        QTest::newRow("all verified") << QStringList{"ok", "ok", "ok"} << false << "" << 0;
    }

    void cloneToFleet()
    {
        QFETCH(QStringList, roles);
        QFETCH(bool, hostsFile);
        QFETCH(QString, report);
        QFETCH(int, exitCode);

        std::vector<std::unique_ptr<SimThread>> cameras;
        QStringList names;
        for (const QString &role : roles) {
            cameras.push_back(startedCamera());
            QVERIFY(cameras.back());
            SimThread &camera = *cameras.back();
            if (role == QLatin1String("drops"))
                QCOMPARE(adminGet(camera.port(), "/__camsim/ignore?camera.scene(2).image.gamma=1"),
                         QByteArray("ok\r\n"));
            else if (role == QLatin1String("refuses store"))
                QCOMPARE(adminGet(camera.port(), "/__camsim/refuse?encode(1).status=save"), QByteArray("ok\r\n"));
            else if (role == QLatin1String("closed"))
                camera.stopListening();
            else if (role == QLatin1String("fails"))
                camera.setFault(FaultMode::ServerError, 10);
            camera.clearRequests();
            // In the hosts file the first camera is named without its port,
            // which then comes from QZR_PORT.
            names << (hostsFile && names.isEmpty() ? QStringLiteral("127.0.0.1") : hostOf(camera));
        }

        const QStringList lines = fleetLines();
        const QString file = settingsFile("fleet.txt", lines);
        QString hosts = names.join(QLatin1Char(','));
        if (hostsFile) {
            hosts = path("hosts.txt");
            QByteArray text = "# the fleet\n\n";
            for (const QString &name : names)
                text += "  " + name.toLatin1() + "   # " + QByteArray::number(text.size()) + "\r\n";
            QVERIFY(writeBytes(hosts, text));
        }
        QStringList arguments{"clone", file, "--hosts", hosts, "--jobs", "4"};
        const QString reportPath = path("report.") + report;
        QFile::remove(reportPath);
        if (!report.isEmpty())
            arguments << "--report" << reportPath;
        const Outcome outcome = runQzr(arguments, cameras.front()->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, exitCode);

        // What each camera received: the upload, then the read-back of the
        // encoders and of scene file 2 (no scene-number query), or the upload
        // up to the failed request.
        const QStringList upload = uploadTargets(lines);
        const QStringList verification =
            testsupport::encoderReadTargets({"h264baseline", "jpeg", "h264high"}) + testsupport::sceneReadTargets("2");
        QStringList rows{"HOST RESULT SECONDS DETAIL"};
        QStringList progress;
        QStringList csv{"host,result,seconds,line,setting,file_value,camera_value,error,time,writes,written"};
        QStringList partly;
        int verified = 0, differ = 0, failed = 0;
        for (std::size_t i = 0; i < cameras.size(); ++i) {
            const QString &role = roles.at(int(i));
            const QString &name = names.at(int(i));
            SimThread &camera = *cameras[i];
            QString result;
            QString detail;
            if (role == QLatin1String("ok")) {
                QCOMPARE(targetsOf(camera), upload + verification);
                QCOMPARE(camera.value("camera.scene.status"), std::optional<QString>("0"));
                result = "verified";
                csv << name + ",verified,S,,,,,,T,32,";
                ++verified;
            } else if (role == QLatin1String("refuses store")) {
                // The refused store command ends this camera's upload.
                QCOMPARE(targetsOf(camera), upload.mid(0, 2));
                result = "failed";
                detail = "The camera refused encode(1).status (encode(1).status=save) (written: encoder 1 written but "
                         "not stored, encoders 2-3 and scene file 2 not written)";
                partly << "  " + name + ": encoder 1 written but not stored, encoders 2-3 and scene file 2 not written";
                ++failed;
            } else if (role == QLatin1String("drops")) {
                QCOMPARE(targetsOf(camera), upload + verification);
                result = "differs";
                detail = "camera.scene(2).image.gamma (file 1, camera 0.45)";
                csv << name + ",differs,S,33,camera.scene(2).image.gamma,1,0.45,,T,32,";
                ++differ;
            } else if (role == QLatin1String("closed")) {
                QCOMPARE(camera.connectionCount(), 0);
                result = "failed";
                detail = "refused the connection (Socket Error # 111 Connection refused.): check --host and --port.";
                ++failed;
            } else {
                QCOMPARE(targetsOf(camera), upload.mid(0, 10));
                result = "failed";
                // Nine requests taken, the tenth failed.
                detail = "failed the request (500 Internal Server Error): try again, or restart the camera. (written: encoders 1-3 stored, scene file 2: 1 of 13 settings "
                         "stored, 1 written but not stored)";
                partly << "  " + name + ": encoders 1-3 stored, scene file 2: 1 of 13 settings stored, 1 written but "
                                        "not stored";
                ++failed;
            }
            rows << QStringList{name, result, "S", detail}.join(QLatin1Char(' ')).trimmed();
            progress << name + ' ' + result + (detail.isEmpty() ? QString() : ": " + detail);
        }
        QCOMPARE(foldedRows(outcome.out), rows);

        // Progress: one line per camera as it finishes, counted up, then the
        // totals.
        QStringList errLines = QString::fromUtf8(outcome.err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        // Then the cameras written only in part, with what they hold.
        if (!partly.isEmpty()) {
            QStringList named = errLines.mid(errLines.size() - partly.size());
            named.sort();
            partly.sort();
            QCOMPARE(named, partly);
            errLines = errLines.mid(0, errLines.size() - partly.size());
            QCOMPARE(errLines.takeLast(), QStringLiteral("Written only in part:"));
        }
        QCOMPARE(errLines.size(), roles.size() + 1);
        QCOMPARE(errLines.takeLast(), QStringLiteral("%1 camera(s): %2 verified, %3 differ, %4 failed")
                                          .arg(roles.size())
                                          .arg(verified)
                                          .arg(differ)
                                          .arg(failed));
        QStringList finished;
        for (int i = 0; i < errLines.size(); ++i) {
            const QString prefix = QStringLiteral("[%1/%2] ").arg(i + 1).arg(roles.size());
            QVERIFY2(errLines.at(i).startsWith(prefix), qPrintable(errLines.at(i)));
            finished << errLines.at(i).mid(prefix.size());
        }
        finished.sort();
        progress.sort();
        QCOMPARE(finished, progress);

        if (report == QLatin1String("json")) {
            const QJsonObject document = QJsonDocument::fromJson(readAll(reportPath)).object();
            QCOMPARE(document.value("file").toString(), file);
            QCOMPARE(document.value("verified").toInt(-1), verified);
            QCOMPARE(document.value("differs").toInt(-1), differ);
            QCOMPARE(document.value("failed").toInt(-1), failed);
            const QJsonArray entries = document.value("cameras").toArray();
            QCOMPARE(entries.size(), roles.size());
            for (int i = 0; i < entries.size(); ++i) {
                const QJsonObject entry = entries.at(i).toObject();
                QCOMPARE(entry.value("host").toString(), names.at(i));
                QVERIFY2(entry.value("seconds").isDouble() && entry.value("seconds").toDouble() >= 0,
                         "seconds is a number");
                const QString &role = roles.at(i);
                QVERIFY2(QDateTime::fromString(entry.value("time").toString(), Qt::ISODate).isValid(),
                         "the time of the result");
                QJsonObject expected{
                    {"host", names.at(i)}, {"seconds", entry.value("seconds")}, {"time", entry.value("time")}};
                if (role == QLatin1String("ok")) {
                    expected.insert("result", "verified");
                    expected.insert("writes", 32);
                } else if (role == QLatin1String("refuses store")) {
                    expected.insert("result", "failed");
                    expected.insert("error", "The camera refused encode(1).status (encode(1).status=save)");
                    expected.insert("writes", 1);
                    expected.insert("written", "encoder 1 written but not stored, encoders 2-3 and scene file 2 not "
                                               "written");
                } else if (role == QLatin1String("drops")) {
                    expected.insert("writes", 32);
                    expected.insert("result", "differs");
                    expected.insert("differences",
                                    QJsonArray{QJsonObject{{"line", 33},
                                                           {"setting", "camera.scene(2).image.gamma"},
                                                           {"file", "1"},
                                                           {"camera", "0.45"}}});
                } else if (role == QLatin1String("closed")) {
                    expected.insert("result", "failed");
                    expected.insert("error", "refused the connection (Socket Error # 111 Connection refused.): check --host and --port.");
                    expected.insert("writes", 0);
                } else {
                    expected.insert("result", "failed");
                    expected.insert("error", "failed the request (500 Internal Server Error): try again, or restart the camera.");
                    expected.insert("writes", 9);
                    expected.insert("written", "encoders 1-3 stored, scene file 2: 1 of 13 settings stored, 1 written "
                                               "but not stored");
                }
                QCOMPARE(entry, expected);
            }
        } else if (report == QLatin1String("csv")) {
            QCOMPARE(withoutSeconds(readAll(reportPath)), (csv.join(QStringLiteral("\r\n")) + "\r\n").toUtf8());
        } else {
            QVERIFY2(!QFile::exists(reportPath), "no report unless asked for");
        }
    }

    // The simulator's knob for one camera of a fleet: it refuses exactly the
    // write it was told to, until told to take everything again.
    void simulatorRefusesWhatItIsTold()
    {
        const auto camera = startedCamera();
        QVERIFY(camera);
        QCOMPARE(adminGet(camera->port(), "/__camsim/refuse?camera.scene(2).image.gamma=1"), QByteArray("ok\r\n"));
        const QByteArray refused = runQzr({"raw", "camera.scene(2).image.gamma=1&camera.scene(3).image.gamma=1"},
                                          camera->port()).out;
        QVERIFY2(refused.contains("\r\ncamera.scene(2).image.gamma=NG&\r\ncamera.scene(3).image.gamma=1&\r\n"),
                 refused.constData());
        QCOMPARE(camera->value("camera.scene(2).image.gamma"), std::optional<QString>("0.45"));

        QCOMPARE(adminGet(camera->port(), "/__camsim/refuse"), QByteArray("ok\r\n"));
        QCOMPARE(runQzr({"set", "camera.scene(2).image.gamma=1"}, camera->port()).exitCode, 0);
        QCOMPARE(camera->value("camera.scene(2).image.gamma"), std::optional<QString>("1"));
    }

    // Mistakes in a clone's command line are found before anything is sent.
    void cloneUsageErrorsSendNothing_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("no --hosts") << QStringList{} << QByteArray("qzr: 'clone' needs --hosts LIST");
        QTest::newRow("report name") << QStringList{"--hosts", "HOST", "--report", "r.txt"}
                                     << QByteArray("qzr: --report needs a file name ending in .json or .csv, got "
                                                   "'r.txt'");
        QTest::newRow("port 0") << QStringList{"--hosts", "HOST,127.0.0.1:0"}
                                << QByteArray("qzr: '127.0.0.1:0' in --hosts: the port must be a number from 1 "
                                              "to 65535");
        QTest::newRow("listed twice") << QStringList{"--hosts", "HOST,HOST"}
                                      << QByteArray("qzr: 'HOST' in --hosts names a camera listed before");
        QTest::newRow("listed under two names") << QStringList{"--hosts", "HOST,localhost:PORT"}
                                                << QByteArray("qzr: --hosts: 'HOST' and 'localhost:PORT' are the "
                                                              "same camera");
        QTest::newRow("file that is not there") << QStringList{"--hosts", "hosts_typo.txt"}
                                                << QByteArray("qzr: --hosts: there is no file 'hosts_typo.txt'");
        QTest::newRow("file over 1 MiB") << QStringList{"--hosts", "BIG"}
                                         << QByteArray("qzr: the --hosts file BIG is larger than a host list may be "
                                                       "(1048576 bytes at most)");
        QTest::newRow("address with a slash") << QStringList{"--hosts", "HOST,127.0.0.1/"}
                                              << QByteArray("qzr: --hosts: '127.0.0.1/' is not an IP address or "
                                                            "host name");
        QTest::newRow("empty list") << QStringList{"--hosts", " , "} << QByteArray("qzr: --hosts names no camera");
        QTest::newRow("jobs 0") << QStringList{"--hosts", "HOST", "--jobs", "0"}
                                << QByteArray("qzr: '0' is not a valid number for --jobs (1 to 512)");
        QTest::newRow("--yes") << QStringList{"--hosts", "HOST", "--yes"}
                               << QByteArray("qzr: 'clone' has no option --yes");
    }

    void cloneUsageErrorsSendNothing()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, err);
        const auto camera = startedCamera();
        QVERIFY(camera);
        const QString file = settingsFile("usage.txt", fleetLines());
        // The camera's line, then comments up to one byte over a host list's size.
        const QString big = m_dir.filePath(QStringLiteral("big_hosts.txt"));
        QFile bigFile(big);
        QVERIFY(bigFile.open(QIODevice::WriteOnly));
        const QByteArray first = hostOf(*camera).toLatin1() + ':' + QByteArray::number(camera->port()) + '\n';
        bigFile.write(first + QByteArray(1024 * 1024 + 1 - first.size(), '#'));
        bigFile.close();
        options.replaceInStrings(QStringLiteral("BIG"), big);
        err.replace("BIG", big.toLocal8Bit());
        options.replaceInStrings(QStringLiteral("HOST"), hostOf(*camera));
        options.replaceInStrings(QStringLiteral("PORT"), QString::number(camera->port()));
        err.replace("HOST", hostOf(*camera).toLatin1());
        err.replace("PORT", QByteArray::number(camera->port()));
        const Outcome outcome = runQzr(QStringList{"clone", file} + options, camera->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 2);
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(outcome.err, err + " (see 'qzr --help')\n");
        QCOMPARE(camera->connectionCount(), 0);
    }

    // --hosts as lines of a file or as a comma list.
    void hostListEntries_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected"); // name|host|port
        QTest::newRow("comma list") << "cam1, 10.0.0.2:8080 ,cam3,"
                                    << QStringList{"cam1|cam1|81", "10.0.0.2:8080|10.0.0.2|8080", "cam3|cam3|81"};
        QTest::newRow("lines") << "# fleet\n\ncam1\r\n  10.0.0.2:8080  # lobby\n#cam9\ncam3\n"
                               << QStringList{"cam1|cam1|81", "10.0.0.2:8080|10.0.0.2|8080", "cam3|cam3|81"};
        QTest::newRow("IPv6") << "[::1]:8081,::1,[fe80::2]"
                              << QStringList{"[::1]:8081|::1|8081", "::1|::1|81", "[fe80::2]|fe80::2|81"};
        QTest::newRow("same host, other ports") << "cam:1,cam:2"
                                                << QStringList{"cam:1|cam|1", "cam:2|cam|2"};
    }

    void hostListEntries()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QStringList got;
        for (const cli::CloneTarget &target : cli::hostsFromText(text, QStringLiteral("81")))
            got << target.name + '|' + target.host + '|' + target.port;
        QCOMPARE(got, expected);
    }

    void badHostListEntries_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("port 65536") << "cam:65536" << "'cam:65536' in --hosts: the port must be a number from 1 to 65535";
        QTest::newRow("port text") << "cam:http" << "'cam:http' in --hosts: the port must be a number from 1 to 65535";
        QTest::newRow("no port after colon") << "cam:" << "'cam:' in --hosts: the port must be a number from 1 to 65535";
        QTest::newRow("no host") << ":80" << "':80' in --hosts has no host";
        QTest::newRow("blank inside") << "cam one" << "'cam one' in --hosts holds a blank";
        QTest::newRow("unclosed bracket") << "[::1:80" << "'[::1:80' in --hosts lacks its closing ']'";
        QTest::newRow("same camera twice") << "CAM,cam:81" << "'cam:81' in --hosts names a camera listed before";
        QTest::newRow("only comments") << "# none\n\n" << "--hosts names no camera";
    }

    void badHostListEntries()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QString got;
        try {
            cli::hostsFromText(text, QStringLiteral("81"));
        } catch (const cli::UsageError &error) {
            got = error.text();
        }
        QCOMPARE(got, message);
    }

    // The table's columns line up whatever the widths; the CSV quotes what
    // has to be quoted.
    void cloneTableAndCsvFormats()
    {
        cli::CloneOutcome verified;
        verified.target = {"camera-with-a-long-name:8080", "camera-with-a-long-name", "8080"};
        verified.result = cli::CloneResult::Verified;
        verified.seconds = 1.5;
        cli::CloneOutcome differs;
        differs.target = {"b", "b", "80"};
        differs.result = cli::CloneResult::Differs;
        differs.seconds = 12.25;
        differs.differences = {{5, "encode(1).cbr_mode", "vbr", ""}, {33, "camera.scene(0).image.gamma", "1", "a,\"b\""}};
        cli::CloneOutcome failed;
        failed.target = {"c:81", "c", "81"};
        failed.seconds = 0.0004;
        failed.error = "Socket Error # 111\r\nConnection refused.";

        QCOMPARE(cli::cloneTable({verified, differs, failed}),
                 QByteArray("HOST                          RESULT    SECONDS  DETAIL\n"
                            "camera-with-a-long-name:8080  verified  1.500\n"
                            "b                             differs   12.250   encode(1).cbr_mode (file vbr, camera \"\"); "
                            "camera.scene(0).image.gamma (file 1, camera a,\"b\")\n"
                            "c:81                          failed    0.000    Socket Error # 111 Connection refused.\n"));
        QCOMPARE(cli::cloneReportCsv({verified, differs, failed}),
                 QByteArray("host,result,seconds,line,setting,file_value,camera_value,error,time,writes,written\r\n"
                            "camera-with-a-long-name:8080,verified,1.500,,,,,,,,\r\n"
                            "b,differs,12.250,5,encode(1).cbr_mode,vbr,,,,,\r\n"
                            "b,differs,12.250,33,camera.scene(0).image.gamma,1,\"a,\"\"b\"\"\",,,,\r\n"
                            "c:81,failed,0.000,,,,,Socket Error # 111 Connection refused.,,,\r\n"));
        QCOMPARE(cli::cloneProgressLine(2, 3, failed),
                 QStringLiteral("[2/3] c:81 failed: Socket Error # 111 Connection refused.\n"));
        QCOMPARE(cli::cloneExitStatus({verified, differs, failed}), 1);
        QCOMPARE(cli::cloneExitStatus({verified, differs}), 3);
        QCOMPARE(cli::cloneExitStatus({verified}), 0);
    }

    // The help names the commands, their options and exit status 3.
    void helpListsTheCommands()
    {
        const auto camera = startedCamera();
        QVERIFY(camera);
        const Outcome outcome = runQzr({"--help"}, camera->port());
        QCOMPARE(outcome.exitCode, 0);
        for (const char *text : {"  save FILE | --hosts LIST --dir DIR [--jobs N] [--report PATH]\n", "  upload FILE [--yes] [--no-verify]\n",
                                 "  diff FILE [FILE2] [--json] | FILE --hosts LIST [--jobs N] [--report PATH]\n",
                                 "  clone FILE --hosts LIST [--jobs N] [--report PATH]\n", "  --yes ", "  --hosts LIST ",
                                 "  --jobs N ", "  --report PATH ", "  --dir DIR ", "  --retry-from REPORT\n",
                                 "  --deadline S ", "  --password-file F\n", "  3  'diff': the settings differ"})
            QVERIFY2(outcome.out.contains(text), text);
        QCOMPARE(camera->connectionCount(), 0);
    }
};

QTEST_GUILESS_MAIN(SettingsCommandsTest)
#include "SettingsCommandsTest.moc"
