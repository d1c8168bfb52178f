// The settings file: exact bytes, reading with any line end, the atomic
// write, the check and the upload list sent to the simulated camera.
#include "CameraFixture.h"
#include "protocol/CodePage.h"
#include "tests/support/TestFiles.h"
#include "settingsfile/SettingsFile.h"
#include "encoder/SettingsText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qzr;
using namespace qzr::settingsfile;
using qzr::encodertest::SimulatedCamera;

using qzr::testsupport::readAll;
using qzr::testsupport::writeBytes;

namespace {

// Encoder 1 on H.264, encoder 2 on JPEG, encoder 3 off; scene file 2.
QStringList knownLines()
{
    return {"encoder1", "h264high", "2048000", "1920x1080", "cbr", "30", "15",
            "encoder2", "jpeg", "160k", "1920x1080", "afs", "", "10",
            "encoder3", "off", "64000", "qvga", "vbr", "60", "5",
            "KameraSettings", "2", "high", "manual", "8", "auto1000", "-2", "autoN", "b", "autoL",
            "on", "1", "40", "60", "70"};
}

QByteArray knownBytes()
{
    return "encoder1\r\nh264high\r\n2048000\r\n1920x1080\r\ncbr\r\n30\r\n15\r\n"
           "encoder2\r\njpeg\r\n160k\r\n1920x1080\r\nafs\r\n\r\n10\r\n"
           "encoder3\r\noff\r\n64000\r\nqvga\r\nvbr\r\n60\r\n5\r\n"
           "KameraSettings\r\n2\r\nhigh\r\nmanual\r\n8\r\nauto1000\r\n-2\r\nautoN\r\nb\r\nautoL\r\n"
           "on\r\n1\r\n40\r\n60\r\n70\r\n";
}

} // namespace

class SettingsFileTest : public QObject
{
    Q_OBJECT

private slots:
    void roundTripHasExactBytes();
    void lineEndsAreAllRead_data();
    void lineEndsAreAllRead();
    void failedWriteLeavesTargetUntouched_data();
    void failedWriteLeavesTargetUntouched();
    void checkNamesFirstBadLine_data();
    void checkNamesFirstBadLine();
    void bytes80To9FAreNoControlCharacters();
    void uploadStepsByCodec();
    void oversizedFilesAreRefusedUnread();
    void uploadProgressNamesWhatTheCameraHolds_data();
    void uploadProgressNamesWhatTheCameraHolds();
    void uploadReachesCamera();
    void comparisonNamesSettings();
};

void SettingsFileTest::roundTripHasExactBytes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("cam.txt");
    QStringList lines = knownLines();
    lines[kSceneNumberLine] = QString::fromLatin1("h\xe9gh"); // a Latin-1 letter, one byte
    QCOMPARE(writeSettingsFile(path, lines), QString());
    QByteArray expected = knownBytes();
    expected.replace("\r\nhigh\r\n", "\r\nh\xe9gh\r\n");
    QCOMPARE(readAll(path), expected);
    QCOMPARE(readSettingsFile(path), std::optional<QStringList>(lines));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"cam.txt"});
    QVERIFY(!validateSettings(knownLines()));
}

void SettingsFileTest::lineEndsAreAllRead_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF") << QByteArray("a\r\n\r\nb\r\n") << QStringList{"a", "", "b"};
    QTest::newRow("LF") << QByteArray("a\n\nb\n") << QStringList{"a", "", "b"};
    QTest::newRow("CR") << QByteArray("a\r\rb\r") << QStringList{"a", "", "b"};
    QTest::newRow("mixed, last unended") << QByteArray("a\n\r\nb\rc") << QStringList{"a", "", "b", "c"};
    QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("empty") << QByteArray() << QStringList{};
}

void SettingsFileTest::lineEndsAreAllRead()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QCOMPARE(splitSettingsBytes(bytes), lines);
}

void SettingsFileTest::failedWriteLeavesTargetUntouched_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("directory in the way") << "directory";
    QTest::newRow("read-only directory") << "readonly";
    QTest::newRow("character outside Windows-1252") << "unicode";
    QTest::newRow("symbolic link in its place") << "link";
}

void SettingsFileTest::failedWriteLeavesTargetUntouched()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sub = dir.filePath("out");
    QVERIFY(QDir().mkpath(sub));
    QString path = sub + "/cam.txt";
    QStringList lines = knownLines();
    const QByteArray old = "old contents\r\n";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    if (how == "directory") {
        path = sub + "/taken";
        QVERIFY(QDir().mkpath(path + "/inner"));
    } else if (how == "readonly") {
        QVERIFY(QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(sub + "/probe");
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("permissions are not enforced for this user");
        }
    } else if (how == "link") {
        // Another user's link would make the tool overwrite its target.
        path = sub + "/linked.txt";
        QVERIFY(QFile::link(sub + "/cam.txt", path));
    } else {
        lines[0] = QStringLiteral("encoder\u03a9");
    }
    const QStringList before = QDir(sub).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    const QString error = writeSettingsFile(path, lines);
    QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains(path), qPrintable(error));
    QCOMPARE(readAll(sub + "/cam.txt"), old);
    QCOMPARE(QDir(sub).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    if (how == "directory")
        QVERIFY(QFileInfo(path + "/inner").isDir());
    if (how == "link")
        QVERIFY2(error.contains("symbolic link") && QFileInfo(path).isSymLink(), qPrintable(error));
}

// A file far larger than any settings file (100 MB of one line, left
// sparse on the disk) is refused without being read whole; so is a line
// longer than any value, named by its number.
void SettingsFileTest::oversizedFilesAreRefusedUnread()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString huge = dir.filePath("huge.txt");
    {
        QFile file(huge);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(100 * 1024 * 1024));
    }
    QString error;
    QCOMPARE(readSettingsFile(huge, &error), std::nullopt);
    QCOMPARE(error, huge + " is no settings file: it is larger than 64 KiB (a settings file has 36 short lines)");

    const QString longLine = dir.filePath("long.txt");
    QVERIFY(writeBytes(longLine, "encoder1\r\nh264high\r\n" + QByteArray(1025, '7') + "\r\n"));
    QCOMPARE(readSettingsFile(longLine, &error), std::nullopt);
    QCOMPARE(error, longLine + ": Line 3: longer than 1024 characters; no setting is");
    QVERIFY(writeBytes(longLine, "encoder1\r\n" + QByteArray(1024, '7') + "\r\n"));
    QCOMPARE(readSettingsFile(longLine, &error)->size(), 2);
}

void SettingsFileTest::uploadProgressNamesWhatTheCameraHolds_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << 0 << "nothing written";
    QTest::newRow("first write") << 1 << "encoder 1 written but not stored, encoders 2-3 and scene file 2 not written";
    QTest::newRow("first store") << 2 << "encoder 1 stored, encoders 2-3 and scene file 2 not written";
    QTest::newRow("third write") << 5 << "encoders 1-2 stored, encoder 3 written but not stored, scene file 2 not "
                                        "written";
    QTest::newRow("encoders") << 6 << "encoders 1-3 stored, scene file 2 not written";
    QTest::newRow("scene write") << 7 << "encoders 1-3 stored, scene file 2: 0 of 13 settings stored, 1 written but "
                                        "not stored";
    QTest::newRow("scene store") << 8 << "encoders 1-3 stored, scene file 2: 1 of 13 settings stored";
    QTest::newRow("last write") << 31 << "encoders 1-3 stored, scene file 2: 12 of 13 settings stored, 1 written "
                                         "but not stored";
    QTest::newRow("all") << 32 << "encoders 1-3 and scene file 2 stored";
}

void SettingsFileTest::uploadProgressNamesWhatTheCameraHolds()
{
    QFETCH(int, steps);
    QFETCH(QString, text);
    QCOMPARE(uploadProgressText(knownLines().at(kSceneNumberLine - 1), steps), text);
    // The steps are those of the upload: a write, then its store command.
    const QList<UploadStep> upload = uploadSteps(knownLines());
    QCOMPARE(upload.size(), 32);
    if (steps > 0)
        QCOMPARE(upload.at(steps - 1).stores, steps % 2 == 0);
}

void SettingsFileTest::checkNamesFirstBadLine_data()
{
    QTest::addColumn<int>("line");     // line to replace (1-based), 0: none
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("count");    // lines kept, -1: all
    QTest::addColumn<int>("named");    // line the message names
    QTest::addColumn<QString>("what"); // a part of the message

    QTest::newRow("first marker") << 1 << "encoder 1" << -1 << 1 << "\"encoder1\"";
    QTest::newRow("second marker") << 8 << "encoder3" << -1 << 8 << "\"encoder2\"";
    QTest::newRow("third marker") << 15 << "" << -1 << 15 << "\"encoder3\"";
    QTest::newRow("scene marker case") << 22 << "kamerasettings" << -1 << 22 << "\"KameraSettings\"";
    QTest::newRow("scene 8") << 23 << "8" << -1 << 23 << "0 to 7";
    QTest::newRow("scene empty") << 23 << "" << -1 << 23 << "0 to 7";
    QTest::newRow("scene 07") << 23 << "07" << -1 << 23 << "0 to 7";
    QTest::newRow("scene -1") << 23 << "-1" << -1 << 23 << "0 to 7";
    QTest::newRow("ampersand") << 3 << "2048000&x=1" << -1 << 3 << "\"&\"";
    QTest::newRow("equals") << 24 << "a=b" << -1 << 24 << "\"=\"";
    QTest::newRow("question mark") << 36 << "7?" << -1 << 36 << "\"?\"";
    QTest::newRow("hash") << 10 << "#1" << -1 << 10 << "\"#\"";
    QTest::newRow("tab") << 30 << "b\tc" << -1 << 30 << "control character";
    QTest::newRow("delete") << 31 << "auto\x7f" << -1 << 31 << "control character";
    QTest::newRow("35 lines") << 0 << "" << 35 << 36 << "35 lines";
    QTest::newRow("no lines") << 0 << "" << 0 << 1 << "0 lines";
    QTest::newRow("37 lines") << 37 << "extra" << -1 << 37 << "37 lines";
    QTest::newRow("bad value before short end") << 5 << "c&" << 20 << 5 << "\"&\"";
}

void SettingsFileTest::checkNamesFirstBadLine()
{
    QFETCH(int, line);
    QFETCH(QString, value);
    QFETCH(int, count);
    QFETCH(int, named);
    QFETCH(QString, what);
    QStringList lines = knownLines();
    if (line > lines.size())
        lines << value;
    else if (line > 0)
        lines[line - 1] = value;
    if (count >= 0)
        lines = lines.mid(0, count);
    const std::optional<QString> message = validateSettings(lines);
    QVERIFY(message.has_value());
    QVERIFY2(message->startsWith(QStringLiteral("Line %1:").arg(named)), qPrintable(*message));
    QVERIFY2(message->contains(what), qPrintable(*message));
}

// A file holding "€", "Ÿ", the unassigned 0x81 and UTF-8 "ß" (C3 9F) passes
// the check and goes to disk as the same bytes; 0x1F and 0x7F do not pass.
void SettingsFileTest::bytes80To9FAreNoControlCharacters()
{
    QStringList lines = knownLines();
    lines[24] = fromCameraBytes("\x80\x81\x9F\xC3\x9F");
    QCOMPARE(validateSettings(lines), std::optional<QString>());
    QVERIFY(encodeSettingsFile(lines).value_or(QByteArray()).contains("\r\n\x80\x81\x9F\xC3\x9F\r\n"));
    lines[24] = fromCameraBytes("a\x1F");
    QCOMPARE(validateSettings(lines), std::optional<QString>("Line 25: the value holds a control character (U+001F)"));
    lines[24] = fromCameraBytes("a\x7F");
    QCOMPARE(validateSettings(lines), std::optional<QString>("Line 25: the value holds a control character (U+007F)"));
}

void SettingsFileTest::uploadStepsByCodec()
{
    // A trailing empty line after the last line end is fine.
    const QStringList lines = splitSettingsBytes(knownBytes() + "\r\n").mid(0, 36);
    QVERIFY(!validateSettings(splitSettingsBytes(knownBytes())));
    const QList<UploadStep> steps = uploadSteps(lines);
    QStringList texts;
    QList<int> pauses;
    int progress = 0;
    for (const UploadStep &step : steps) {
        texts << step.request.text();
        pauses << step.pauseAfterMs;
        progress += step.progressAfter;
    }
    // The window's bar is full once the last encoder is stored.
    QCOMPARE(progress, kUploadProgressMaximum);
    QCOMPARE(steps[5].progressAfter, 2);
    const QStringList expected{
        "encode(1).type=h264high&encode(1).framesize=1920x1080&encode(1).framerate=15&encode(1).cbr_mode=cbr"
        "&encode(1).bitrate=2048000&encode(1).iframeinterval=30",
        "encode(1).status=save",
        "encode(2).type=jpeg&encode(2).framesize=1920x1080&encode(2).framerate=10&encode(2).cbr_mode=afs"
        "&encode(2).quality=160k",
        "encode(2).status=save",
        "encode(3).type=off&encode(3).framesize=qvga&encode(3).framerate=5&encode(3).cbr_mode=vbr"
        "&encode(3).bitrate=64000&encode(3).iframeinterval=60",
        "encode(3).status=save",
        "camera.scene(2).image.3ddnr=high", "camera.scene(2).status=save",
        "camera.scene(2).image.brightness=manual", "camera.scene(2).status=save",
        "camera.scene(2).image.senseup_limit=8", "camera.scene(2).status=save",
        "camera.scene(2).shutter=auto1000", "camera.scene(2).status=save",
        "camera.scene(2).auto_exposure.reference=-2", "camera.scene(2).status=save",
        "camera.scene(2).image.white_balance=autoN", "camera.scene(2).status=save",
        "camera.scene(2).image.blc=b", "camera.scene(2).status=save",
        "camera.scene(2).image.true_daynight=autoL", "camera.scene(2).status=save",
        "camera.scene(2).image.clvi=on", "camera.scene(2).status=save",
        "camera.scene(2).image.gamma=1", "camera.scene(2).status=save",
        "camera.scene(2).image.pedestal=40", "camera.scene(2).status=save",
        "camera.scene(2).image.color=60", "camera.scene(2).status=save",
        "camera.scene(2).image.enhance=70", "camera.scene(2).status=save",
    };
    QCOMPARE(texts, expected);
    QList<int> expectedPauses(expected.size(), 0);
    expectedPauses[0] = expectedPauses[2] = expectedPauses[4] = kEncoderStorePauseMs;
    QCOMPARE(pauses, expectedPauses);
}

void SettingsFileTest::uploadReachesCamera()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    QStringList lines = knownLines();
    lines[8] = "h264baseline"; // encoder 2 as a stream: the blank I-frame line is not sent by JPEG only
    lines[9] = "1024000";
    lines[12] = "30";
    QVERIFY(!validateSettings(lines));
    QStringList targets;
    for (const UploadStep &step : uploadSteps(lines)) {
        camera.session.cameraGet(step.request);
        targets << QString::fromLatin1(step.request.target());
    }
    QCOMPARE(camera.sentTargets(), targets);
    QCOMPARE(camera.sim.savedValue("encode(2).bitrate"), std::optional<QString>("1024000"));
    QCOMPARE(camera.sim.savedValue("camera.scene(2).shutter"), std::optional<QString>("auto1000"));
    QCOMPARE(camera.sim.savedValue("camera.scene(2).image.enhance"), std::optional<QString>("70"));
    // The upload does not switch the camera's scene file.
    QCOMPARE(camera.sim.value("camera.scene.status"), std::optional<QString>("0"));
}

void SettingsFileTest::comparisonNamesSettings()
{
    const QStringList first = knownLines();
    QStringList second = first;
    second[2] = "4096000";
    second[9] = "320k";
    second[26] = "500";
    second[35] = "71";
    const QList<SettingDifference> diff = compareSettings(first, second);
    QStringList got;
    for (const SettingDifference &d : diff)
        got << QStringLiteral("%1 %2 %3 %4").arg(d.line).arg(d.name, d.first, d.second);
    QCOMPARE(got, (QStringList{"3 encode(1).bitrate 2048000 4096000", "10 encode(2).quality 160k 320k",
                               "27 camera.scene(2).shutter auto1000 500", "36 camera.scene(2).image.enhance 70 71"}));
    QVERIFY(compareSettings(first, first).isEmpty());
    QCOMPARE(compareSettings(first, first.mid(0, 35)).size(), 1);
}

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "SettingsFileTest.moc"
