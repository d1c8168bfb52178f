// The settings window against simulated cameras: the saved file's bytes and
// the reads behind it, the upload's requests and waits, the checks that keep
// a bad file or a cancelled dialog from reaching a camera, and a save
// uploaded into a second camera.
#include "CameraWindows.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit5.h"
#include "app/Unit7.h"
#include "app/WindowSet.h"
#include "app/Unit7.h"
#include "app/Unit5.h"
#include "tests/support/ExpectedRequests.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using qzr::sim::FaultMode;

namespace {

// The camera state the save test starts from: scene file 2 in use, encoder 2
// on JPEG, and one empty value.
void setKnownState(qzr::sim::SimThread &sim)
{
    const QList<std::pair<const char *, const char *>> values{
        {"encode(1).type", "h264high"},          {"encode(1).bitrate", "2048000"},
        {"encode(1).framesize", "1920x1080"},    {"encode(1).cbr_mode", "cbr"},
        {"encode(1).iframeinterval", "30"},      {"encode(1).framerate", "15"},
        {"encode(2).type", "jpeg"},              {"encode(2).quality", "160k"},
        {"encode(2).framesize", "640x360"},      {"encode(2).cbr_mode", "afs"},
        {"encode(2).iframeinterval", ""},        {"encode(2).framerate", "10"},
        {"encode(3).type", "off"},               {"encode(3).bitrate", "64000"},
        {"encode(3).framesize", "qvga"},         {"encode(3).cbr_mode", "vbr"},
        {"encode(3).iframeinterval", "60"},      {"encode(3).framerate", "5"},
        {"camera.scene.status", "2"},            {"camera.scene(2).image.3ddnr", "high"},
        {"camera.scene(2).shutter", "auto1000"}, {"camera.scene(2).image.true_daynight", "autoL"},
        {"camera.scene(2).image.color", "60"},   {"camera.scene(2).image.pedestal", "40"},
        {"camera.scene(2).image.enhance", "70"}, {"camera.scene(2).image.gamma", "1"},
    };
    for (const auto &[key, value] : values)
        sim.setValue(QString::fromLatin1(key), QString::fromLatin1(value));
}

// The file saved from that state, byte for byte.
const QByteArray kSavedFile = "encoder1\r\nh264high\r\n2048000\r\n1920x1080\r\ncbr\r\n30\r\n15\r\n"
                              "encoder2\r\njpeg\r\n160k\r\n640x360\r\nafs\r\n\r\n10\r\n"
                              "encoder3\r\noff\r\n64000\r\nqvga\r\nvbr\r\n60\r\n5\r\n"
                              "KameraSettings\r\n2\r\n"
                              "high\r\nmanual\r\n0\r\nauto1000\r\n-2\r\nautoW\r\noff\r\nautoL\r\noff\r\n1\r\n"
                              "40\r\n60\r\n70\r\n";



QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Line n (from 1) of the saved file replaced.
QByteArray withLine(int n, const QByteArray &line)
{
    QList<QByteArray> lines = kSavedFile.split('\n');
    lines[n - 1] = line + '\r';
    return lines.join('\n');
}

} // namespace

class SettingsWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAtStart();
    void saveWritesTheCameraStateAsThirtySixLines();
    void aCancelledSaveWritesAndSendsNothing();
    void aFailedSaveLeavesTheOldFileAsItWas();
    void uploadSendsTheFileWithItsWaits();
    void uploadCancelledOrWithoutFileSendsNothing();
    void aFileThatIsNotASettingsFileIsRefused_data();
    void aFileThatIsNotASettingsFileIsRefused();
    void savedFileUploadedIntoAnotherCamera();
    void cameraBytesSurviveSaveAndUpload();
    void aRefusedStoreCommandEndsTheUpload();
    void aValueNotKeptIsNamed();
    void badConnectionFieldsSendNothing_data();
    void badConnectionFieldsSendNothing();

private:
    CameraWindows m_camera;
    std::optional<QTemporaryDir> m_tempDir;
    QDir m_dir;
};

void SettingsWindowTest::init()
{
    m_tempDir.emplace();
    QVERIFY(m_tempDir->isValid());
    m_dir.setPath(m_tempDir->path());
    QVERIFY(m_camera.startCamera());
    setKnownState(*m_camera.sim);
    m_camera.openWindows();
    m_camera.sim->clearRequests();
}

void SettingsWindowTest::cleanup()
{
    m_camera.close();
    m_tempDir.reset();
}

void SettingsWindowTest::windowAtStart()
{
    QVERIFY(Form5->isHidden());
    QVERIFY(Form5->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(Form5->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(Form5->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(Form5->Memo1->toPlainText().isEmpty());
    QVERIFY(Form5->Memo1->isReadOnly());
    QCOMPARE(Form5->Button1->text(), QString("Save Settings to PC HDD"));
    QCOMPARE(Form5->Button2->text(), QString("Upload Settings to Camera"));
    QCOMPARE(Form5->Label1->text(), QString("Please Enter IP, User and Password"));
    QCOMPARE(Form5->Label2->text(), QString("In Main application Form ( Red IP )"));
    QCOMPARE(Form5->Label2->palette().color(QPalette::WindowText), QColor(Qt::red));
}

void SettingsWindowTest::saveWritesTheCameraStateAsThirtySixLines()
{
    // A name without an extension gets ".txt".
    m_camera.dialogs->saveAnswer = m_dir.filePath("front-door");
    QTest::mouseClick(Form5->Button1, Qt::LeftButton);
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(m_camera.dialogs->fileDialogs, QStringList{"save *.txt"});

    // An empty value read from the camera is an empty line in its place.
    QCOMPARE(fileBytes(m_dir.filePath("front-door.txt")), kSavedFile);
    QCOMPARE(m_camera.queries(), qzr::testsupport::encoderReadQueries({"h264high", "jpeg", "off"})
                                     + QStringList{"camera.scene.status"} + qzr::testsupport::sceneReadQueries("2"));
    // Nothing was switched; the video settings window shows scene file 2.
    QCOMPARE(m_camera.sim->value("camera.scene.status"), QString("2"));
    QCOMPARE(qzr::shared().StoredSceneNumber, QString("2"));
    QCOMPARE(qzr::shared().EditedSceneNumber, QString("2"));
    QCOMPARE(Form7->ComboBox4->currentText(), QString("auto1000"));
    QCOMPARE(Form5->ProgressBar1->maximum(), 3);
    QCOMPARE(Form5->ProgressBar1->value(), 3);
    QCOMPARE(Form5->settingsText().lines().size(), 36);
    QTRY_COMPARE(Form5->Memo1->toPlainText().split('\n').value(22), QString("2"));
}

void SettingsWindowTest::aCancelledSaveWritesAndSendsNothing()
{
    m_camera.dialogs->saveAnswer.clear();
    QTest::mouseClick(Form5->Button1, Qt::LeftButton);
    QCOMPARE(m_camera.dialogs->fileDialogs, QStringList{"save *.txt"});
    QVERIFY(m_camera.queries().isEmpty());
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QVERIFY(QDir(m_tempDir->path()).entryList(QDir::Files).isEmpty());
}

void SettingsWindowTest::aFailedSaveLeavesTheOldFileAsItWas()
{
    const QString path = m_dir.filePath("kept.txt");
    QVERIFY(writeFile(path, "the previous settings\r\n"));
    m_camera.dialogs->saveAnswer = path;
    // The camera hangs up during the scene reads.
    m_camera.sim->setFault(FaultMode::CloseMidReply, 25);
    QTest::mouseClick(Form5->Button1, Qt::LeftButton);
    QCOMPARE(m_camera.dialogs->errors.size(), 1);
    QCOMPARE(fileBytes(path), QByteArray("the previous settings\r\n"));
    QCOMPARE(QDir(m_tempDir->path()).entryList(QDir::Files), QStringList{"kept.txt"});

    // A file that cannot be created is reported by name and reason before
    // the camera is read.
    m_camera.dialogs->errors.clear();
    m_camera.sim->setFault(FaultMode::None);
    m_camera.sim->clearRequests();
    const QString unwritable = m_dir.filePath("no-such-folder/settings.txt");
    m_camera.dialogs->saveAnswer = unwritable;
    QTest::mouseClick(Form5->Button1, Qt::LeftButton);
    QCOMPARE(m_camera.dialogs->errors.size(), 1);
    QCOMPARE(m_camera.dialogs->errors[0], "Cannot create file " + unwritable + ": No such file or directory (folder "
                                              + m_dir.filePath("no-such-folder") + ")");
    QCOMPARE(m_camera.sim->requests().size(), 0);
}

void SettingsWindowTest::uploadSendsTheFileWithItsWaits()
{
    const QString path = m_dir.filePath("upload.txt");
    // Encoder 1 without the final line end of the last line is fine too.
    QVERIFY(writeFile(path, withLine(27, "10000").chopped(2)));
    m_camera.sim->setValue("camera.scene.status", "0");
    m_camera.dialogs->openAnswer = path;
    QTest::mouseClick(Form5->Button2, Qt::LeftButton);
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));

    QCOMPARE(m_camera.dialogs->confirmations,
             QStringList{"Confirm|Make sure to select correct IP, user, password and Port for destination camera ! "
                         "If you want to change now, press Cancel, otherwise proceed with Yes"});
    QCOMPARE(m_camera.dialogs->fileDialogs, QStringList{"open *.txt"});
    const QStringList sent = m_camera.queries();
    // The upload, then the read-back of what it wrote: 18 encoder reads and
    // the 15 of the scene file.
    QCOMPARE(sent.size(), 6 + 26 + 33);
    QCOMPARE(sent.at(32), "encode(1).type");
    QCOMPARE(sent.mid(0, 6),
             QStringList({"encode(1).type=h264high&encode(1).framesize=1920x1080&encode(1).framerate=15"
                          "&encode(1).cbr_mode=cbr&encode(1).bitrate=2048000&encode(1).iframeinterval=30",
                          "encode(1).status=save",
                          "encode(2).type=jpeg&encode(2).framesize=640x360&encode(2).framerate=10"
                          "&encode(2).cbr_mode=afs&encode(2).quality=160k",
                          "encode(2).status=save",
                          "encode(3).type=off&encode(3).framesize=qvga&encode(3).framerate=5"
                          "&encode(3).cbr_mode=vbr&encode(3).bitrate=64000&encode(3).iframeinterval=60",
                          "encode(3).status=save"}));
    // Each scene value into scene file 2, followed by its store command.
    QCOMPARE(sent[6], QString("camera.scene(2).image.3ddnr=high"));
    QCOMPARE(sent[12], QString("camera.scene(2).shutter=10000"));
    QCOMPARE(sent[31], QString("camera.scene(2).status=save"));
    QCOMPARE(sent.filter(".status=save").size(), 3 + 13);
    QCOMPARE(m_camera.dialogs->pauses, QList<int>({500, 500, 500}));
    QCOMPARE(m_camera.dialogs->messages, QStringList{"Setting Complete, you might continue now"});
    QCOMPARE(m_camera.dialogs->messagePositions, QList<std::optional<QPoint>>{QPoint(400, 300)});
    QCOMPARE(Form5->ProgressBar1->maximum(), 9);
    QCOMPARE(Form5->ProgressBar1->value(), 9);
    QCOMPARE(qzr::shared().StoredSceneNumber, QString("2"));
    // Written into scene file 2 and stored, without switching to it.
    QCOMPARE(m_camera.sim->savedValue("camera.scene(2).shutter"), QString("10000"));
    QCOMPARE(m_camera.sim->value("camera.scene.status"), QString("0"));
    QCOMPARE(Form5->settingsText().lines().value(26), QString("10000"));
}

void SettingsWindowTest::uploadCancelledOrWithoutFileSendsNothing()
{
    const QString path = m_dir.filePath("upload.txt");
    QVERIFY(writeFile(path, kSavedFile));
    m_camera.dialogs->openAnswer = path;
    m_camera.dialogs->confirmAnswer = false;
    QTest::mouseClick(Form5->Button2, Qt::LeftButton);
    QCOMPARE(m_camera.dialogs->messages, QStringList{"I want to change camera, stop upload"});
    QVERIFY(m_camera.dialogs->fileDialogs.isEmpty());
    QCOMPARE(Form5->ProgressBar1->value(), 0);

    // Yes, then a cancelled file dialog.
    m_camera.dialogs->confirmAnswer = true;
    m_camera.dialogs->openAnswer.clear();
    QTest::mouseClick(Form5->Button2, Qt::LeftButton);
    QCOMPARE(m_camera.dialogs->fileDialogs, QStringList{"open *.txt"});
    QCOMPARE(m_camera.dialogs->messages.size(), 1);
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QVERIFY(m_camera.queries().isEmpty());

    // A file that is not there.
    m_camera.dialogs->openAnswer = m_dir.filePath("missing.txt");
    QTest::mouseClick(Form5->Button2, Qt::LeftButton);
    QCOMPARE(m_camera.dialogs->errors.size(), 1);
    QVERIFY(m_camera.dialogs->errors[0].startsWith("Cannot open file " + m_dir.filePath("missing.txt")));
    QVERIFY(m_camera.queries().isEmpty());
}

void SettingsWindowTest::aFileThatIsNotASettingsFileIsRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("named");

    QTest::newRow("35 lines") << kSavedFile.left(kSavedFile.lastIndexOf("70\r\n")) << "Line 36";
    QTest::newRow("marker") << withLine(8, "encoder 2") << "Line 8";
    QTest::newRow("scene number 8") << withLine(23, "8") << "Line 23";
    QTest::newRow("value with &") << withLine(10, "160k&encode(2).type=off") << "Line 10";
    QTest::newRow("value with =") << withLine(31, "autoL=") << "Line 31";
    QTest::newRow("37 lines") << kSavedFile + "extra\r\n" << "Line 37";
}

void SettingsWindowTest::aFileThatIsNotASettingsFileIsRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, named);
    const QString path = m_dir.filePath("bad.txt");
    QVERIFY(writeFile(path, bytes));
    m_camera.dialogs->openAnswer = path;
    QTest::mouseClick(Form5->Button2, Qt::LeftButton);
    QCOMPARE(m_camera.dialogs->errors.size(), 1);
    QVERIFY2(m_camera.dialogs->errors[0].contains(named + ":"), qPrintable(m_camera.dialogs->errors[0]));
    QVERIFY(m_camera.queries().isEmpty());
    QVERIFY(m_camera.dialogs->messages.isEmpty());
    QVERIFY(qzr::shared().StoredSceneNumber.isEmpty());
}

void SettingsWindowTest::savedFileUploadedIntoAnotherCamera()
{
    m_camera.sim->setValue("camera.scene(2).image.blc", "c");
    // The upload sends no I-frame interval for JPEG: the second camera keeps
    // its own, so the first has the same for the files to match.
    m_camera.sim->setValue("encode(2).iframeinterval", "30");
    m_camera.sim->setValue("camera.scene(2).image.white_balance", "autoN");
    const QString path = m_dir.filePath("clone.txt");
    m_camera.dialogs->saveAnswer = path;
    QTest::mouseClick(Form5->Button1, Qt::LeftButton);
    QVERIFY(m_camera.dialogs->errors.isEmpty());

    // A second camera with its factory values, named in the main window.
    qzr::sim::SimThread other;
    QVERIFY(other.start() != 0);
    Form1->Edit2->setText(QString::number(other.port()));
    m_camera.dialogs->openAnswer = path;
    m_camera.dialogs->realPauses = true;
    QTest::mouseClick(Form5->Button2, Qt::LeftButton);
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QCOMPARE(m_camera.dialogs->messages, QStringList{"Setting Complete, you might continue now"});

    // Every saved value is what the first camera holds, stored.
    for (const char *key :
         {"encode(1).type", "encode(1).bitrate", "encode(1).framesize", "encode(1).cbr_mode",
          "encode(1).iframeinterval", "encode(1).framerate", "encode(2).type", "encode(2).quality",
          "encode(2).framesize", "encode(2).cbr_mode", "encode(2).framerate", "encode(3).type",
          "encode(3).bitrate", "encode(3).framesize", "encode(3).cbr_mode", "encode(3).iframeinterval",
          "encode(3).framerate", "camera.scene(2).image.3ddnr", "camera.scene(2).image.brightness",
          "camera.scene(2).image.senseup_limit", "camera.scene(2).shutter",
          "camera.scene(2).auto_exposure.reference", "camera.scene(2).image.white_balance",
          "camera.scene(2).image.blc", "camera.scene(2).image.true_daynight", "camera.scene(2).image.clvi",
          "camera.scene(2).image.gamma", "camera.scene(2).image.pedestal", "camera.scene(2).image.color",
          "camera.scene(2).image.enhance"}) {
        QCOMPARE(other.savedValue(QString::fromLatin1(key)), m_camera.sim->value(QString::fromLatin1(key)));
    }
    QVERIFY(m_camera.sim->requests().size() > 0);
    QCOMPARE(other.requests().size(), 32 + 33); // the upload and its read-back

    // Saving the second camera's scene file 2 gives the same file.
    other.setValue("camera.scene.status", "2");
    const QString again = m_dir.filePath("again.txt");
    m_camera.dialogs->saveAnswer = again;
    QTest::mouseClick(Form5->Button1, Qt::LeftButton);
    QCOMPARE(fileBytes(again), fileBytes(path));
}

// E9 74 E9, 80 9F and the UTF-8 pair C3 9F read from one camera stand in the
// file and reach the next camera as the same bytes; a value the upload would
// refuse is named when it is saved.
void SettingsWindowTest::cameraBytesSurviveSaveAndUpload()
{
    const QList<QPair<QString, QString>> values = {{"encode(1).framesize", QString::fromLatin1("\xE9t\xE9")},
                                                   {"encode(2).framesize", QString::fromLatin1("\x80\x9F")},
                                                   {"encode(3).framesize", QString::fromLatin1("\xC3\x9F")}};
    qzr::sim::SimThread other;
    QVERIFY(other.start() != 0);
    for (const auto &[key, value] : values) {
        m_camera.sim->setValue(key, value);
        other.acceptWrite(key, value);
    }
    const QString path = m_dir.filePath("bytes.txt");
    m_camera.dialogs->saveAnswer = path;
    QTest::mouseClick(Form5->Button1, Qt::LeftButton);
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QVERIFY(m_camera.dialogs->messages.isEmpty());
    QByteArray expected = kSavedFile;
    expected.replace("\r\n1920x1080\r\n", "\r\n\xE9t\xE9\r\n");
    expected.replace("\r\n640x360\r\n", "\r\n\x80\x9F\r\n");
    expected.replace("\r\nqvga\r\n", "\r\n\xC3\x9F\r\n");
    QCOMPARE(fileBytes(path), expected);

    Form1->Edit2->setText(QString::number(other.port()));
    m_camera.dialogs->openAnswer = path;
    QTest::mouseClick(Form5->Button2, Qt::LeftButton);
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(m_camera.dialogs->messages, QStringList{"Setting Complete, you might continue now"});
    QByteArray wire;
    for (const qzr::sim::ReceivedRequest &request : other.requests())
        wire += request.raw.left(request.raw.indexOf("\r\n")) + '\n';
    for (const char *sent : {"encode(1).framesize=%E9t%E9&", "encode(2).framesize=%80%9F&", "encode(3).framesize=%C3%9F&"})
        QVERIFY2(wire.contains(sent), wire.constData());
    for (const auto &[key, value] : values)
        QCOMPARE(other.savedValue(key), std::optional<QString>(value));

    // "#" reaches the file, and the save says at once that an upload refuses it.
    m_camera.sim->setValue("encode(1).framesize", "vga#2");
    Form1->Edit2->setText(QString::number(m_camera.sim->port()));
    QTest::mouseClick(Form5->Button1, Qt::LeftButton);
    QCOMPARE(m_camera.dialogs->messages.value(1),
             path + " was saved, but an upload refuses it: Line 4: the value holds \"#\"");
}

// A store command that the camera answers with NG ends the upload with an
// error at that step, never with the completion message.
void SettingsWindowTest::aRefusedStoreCommandEndsTheUpload()
{
    const QString path = m_dir.filePath("refused.txt");
    QVERIFY(writeFile(path, kSavedFile));
    m_camera.sim->refuseWrite("camera.scene(2).status", "save");
    m_camera.dialogs->openAnswer = path;
    QTest::mouseClick(Form5->Button2, Qt::LeftButton);
    QCOMPARE(m_camera.dialogs->errors,
             QStringList{"The camera refused camera.scene(2).status (camera.scene(2).status=save) (written: "
                         "encoders 1-3 stored, scene file 2: 0 of 13 settings stored, 1 written but not stored)"});
    QVERIFY(m_camera.dialogs->messages.isEmpty());
    const QStringList sent = m_camera.queries();
    QCOMPARE(sent.size(), 6 + 2);
    QCOMPARE(sent.last(), QString("camera.scene(2).status=save"));
}

void SettingsWindowTest::badConnectionFieldsSendNothing_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("error");
    QTest::newRow("port 99999") << "127.0.0.1" << "99999" << "'99999' is not a valid port number (1 to 65535).";
    QTest::newRow("port 0") << "127.0.0.1" << "0" << "'0' is not a valid port number (1 to 65535).";
    QTest::newRow("address with a slash") << "127.0.0.1/" << "" << "Camera IP: '127.0.0.1/' is not an IP address or host name.";
    QTest::newRow("address with a fragment") << "127.0.0.1#x" << "" << "Camera IP: '127.0.0.1#x' is not an IP address or host name.";
    QTest::newRow("empty address") << "" << "" << "Camera IP: '' is not an IP address or host name.";
}

// A port or address that is not one stops the upload before anything is
// sent: neither the camera nor port 80 hears of it.
void SettingsWindowTest::badConnectionFieldsSendNothing()
{
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(QString, error);
    QTcpServer port80;
    const bool watching80 = port80.listen(QHostAddress::LocalHost, 80);
    Form1->Edit1->setText(address);
    if (!port.isEmpty())
        Form1->Edit2->setText(port);
    QTest::mouseClick(Form5->Button2, Qt::LeftButton);
    QCOMPARE(m_camera.dialogs->errors, QStringList{error});
    QVERIFY(m_camera.dialogs->confirmations.isEmpty());
    QVERIFY(m_camera.queries().isEmpty());
    if (watching80)
        QVERIFY2(!port80.waitForNewConnection(0) && !port80.hasPendingConnections(), "port 80 was contacted");
}

// A value the camera answers OK to but does not keep is found by the
// read-back and named; there is no completion message.
void SettingsWindowTest::aValueNotKeptIsNamed()
{
    const QString path = m_dir.filePath("kept.txt");
    QVERIFY(writeFile(path, kSavedFile));
    m_camera.sim->setValue("encode(1).bitrate", "4000000");
    m_camera.sim->ignoreWrite("encode(1).bitrate", "2048000");
    m_camera.dialogs->openAnswer = path;
    QTest::mouseClick(Form5->Button2, Qt::LeftButton);
    QCOMPARE(m_camera.dialogs->errors, QStringList{"The camera did not keep 1 of the settings uploaded: "
                                                   "encode(1).bitrate (file 2048000, camera 4000000)"});
    QVERIFY(m_camera.dialogs->messages.isEmpty());
}

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
