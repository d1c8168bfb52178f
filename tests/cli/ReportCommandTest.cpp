// "qzr report" against a fleet of simulated cameras on loopback (one
// qzr-camsim process, each camera with RTSP video of its own), run as the
// real executable: each camera's settings, its audit against a settings
// file and the first picture of its stream, written as a page and as JSON.
// One camera differs from the file, one fails, one has no video where it
// says; a camera value holding markup stays text in the page.

#include "QzrProcess.h"
#include "tests/support/SimRequests.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <QtTest>

using namespace qzr;
using qzr::clitest::Outcome;
using qzr::clitest::runQzr;
using qzr::testsupport::httpGet;
using qzr::testsupport::readAll;
using qzr::testsupport::writeBytes;

namespace {

const QString kPassword = QStringLiteral("Pw-report-7");
const QString kMarkupModel = QStringLiteral("<script>alert(\"qzr\")</script>'");
constexpr int kCameras = 5;

// A port on 127.0.0.1 that nothing listens on (bound, then closed).
quint16 closedPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

} // namespace

class ReportCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void reportsAFleetWithAnAudit();
    void aDifferingCameraAloneExitsWithThree();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    quint16 port(int camera) const { return quint16(m_firstPort + camera); }
    QString host(int camera) const { return QStringLiteral("127.0.0.1:%1").arg(port(camera)); }
    // An admin request to one camera of the fleet; true when it answered "ok".
    bool admin(int camera, const QByteArray &target) const { return httpGet(port(camera), target).startsWith("ok"); }

    QTemporaryDir m_dir;
    QProcess m_fleet;
    quint16 m_firstPort = 0;
    QString m_passwordFile;
    QString m_reference;
};

void ReportCommandTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_passwordFile = path(QStringLiteral("password"));
    QVERIFY(writeBytes(m_passwordFile, kPassword.toUtf8()));
    QVERIFY(QFile::setPermissions(m_passwordFile, QFile::ReadOwner | QFile::WriteOwner));

    m_fleet.start(QStringLiteral(QZR_CAMSIM), {"--cameras", QString::number(kCameras), "--port", "0", "--rtsp-port",
                                               "0", "--password", kPassword, "--no-discovery"});
    QVERIFY(m_fleet.waitForStarted(clitest::kProcessLimitMs));
    QVERIFY(m_fleet.waitForReadyRead(clitest::kProcessLimitMs));
    m_firstPort = quint16(m_fleet.readLine().trimmed().toUInt());
    QVERIFY(m_firstPort != 0);

    // 0: as the file, its model holding markup; 1: another frame rate;
    // 2: answers every request with 500; 3: names an RTSP port nobody serves;
    // 4: names an RTSP port that is none.
    QVERIFY(admin(0, "/__camsim/set?system.model=%3Cscript%3Ealert(%22qzr%22)%3C%2Fscript%3E'"));
    m_reference = path(QStringLiteral("reference.txt"));
    const Outcome saved = runQzr({"save", m_reference, "--password-file", m_passwordFile}, port(0));
    QCOMPARE(saved.exitCode, 0);
    QVERIFY(admin(1, "/__camsim/set?encode(1).framerate=25"));
    QVERIFY(admin(2, "/__camsim/fault?mode=servererror"));
    const quint16 nowhere = closedPort();
    QVERIFY(nowhere != 0);
    QVERIFY(admin(3, "/__camsim/set?network.rtsp.port=" + QByteArray::number(nowhere)));
    QVERIFY(admin(4, "/__camsim/set?network.rtsp.port=99999"));
}

void ReportCommandTest::cleanupTestCase()
{
    m_fleet.terminate();
    if (!m_fleet.waitForFinished(clitest::kProcessLimitMs))
        m_fleet.kill();
}

void ReportCommandTest::reportsAFleetWithAnAudit()
{
    QStringList hosts;
    for (int k = 0; k < kCameras; ++k)
        hosts << host(k);
    const QString out = path(QStringLiteral("site report"));
    const Outcome run = runQzr({"report", "--hosts", hosts.join(QLatin1Char(',')), "--out", out, "--against",
                                m_reference, "--jobs", "4", "--password-file", m_passwordFile},
                               port(0));
    QVERIFY(run.finished);
    // A camera failed and one has no picture: no success.
    QCOMPARE(run.exitCode, 1);
    const QString err = QString::fromUtf8(run.err);
    QVERIFY2(err.contains(QStringLiteral("5 camera(s): 3 equal, 1 differ, 1 failed, 2 without a picture")),
             qPrintable(err));
    QVERIFY2(err.contains(hosts[3] + QStringLiteral(" no picture: Connection refused")), qPrintable(err));
    QVERIFY2(err.contains(hosts[4] + QStringLiteral(" no picture: the camera reports network.rtsp.port '99999', which "
                                                    "is no port from 1 to 65535\n")),
             qPrintable(err));

    // The JSON: every camera in the order given, its values as the camera sent them.
    const QJsonObject json = QJsonDocument::fromJson(readAll(QDir(out).filePath("report.json"))).object();
    QCOMPARE(json.value("against").toString(), m_reference);
    QCOMPARE(json.value("equal").toInt(), 3);
    QCOMPARE(json.value("differs").toInt(), 1);
    QCOMPARE(json.value("failed").toInt(), 1);
    QCOMPARE(json.value("without_picture").toInt(), 2);
    const QJsonArray cameras = json.value("cameras").toArray();
    QCOMPARE(cameras.size(), 5);
    const QJsonObject first = cameras.at(0).toObject();
    QCOMPARE(first.value("host").toString(), QStringLiteral("127.0.0.1"));
    QCOMPARE(first.value("port").toString(), QString::number(port(0)));
    QCOMPARE(first.value("result").toString(), QStringLiteral("equal"));
    QCOMPARE(first.value("model").toString(), kMarkupModel);
    QCOMPARE(first.value("firmware").toString(), QStringLiteral("2.10.0045"));
    QCOMPARE(first.value("mac").toString(), QStringLiteral("00:11:22:33:44:55"));
    QCOMPARE(first.value("scene").toString(), QStringLiteral("0"));
    const QJsonObject encoder1 = first.value("encoders").toArray().at(0).toObject();
    QCOMPARE(encoder1.value("type").toString(), QStringLiteral("h264high"));
    QCOMPARE(encoder1.value("frame_size").toString(), QStringLiteral("1920x1080"));
    QCOMPARE(encoder1.value("bitrate").toString(), QStringLiteral("4000000"));
    QCOMPARE(first.value("encoders").toArray().at(1).toObject().value("jpeg_size").toString(),
             QStringLiteral("160k"));
    QCOMPARE(first.value("image").toObject().value("image.gamma").toString(), QStringLiteral("0.45"));
    QCOMPARE(first.value("image").toObject().value("shutter").toString(), QStringLiteral("auto100"));
    QCOMPARE(first.value("channel").toInt(), 1);

    const QJsonObject second = cameras.at(1).toObject();
    QCOMPARE(second.value("result").toString(), QStringLiteral("differs"));
    const QJsonArray differences = second.value("differences").toArray();
    QCOMPARE(differences.size(), 1);
    QCOMPARE(differences.at(0).toObject().value("setting").toString(), QStringLiteral("encode(1).framerate"));
    QCOMPARE(differences.at(0).toObject().value("file").toString(), QStringLiteral("15"));
    QCOMPARE(differences.at(0).toObject().value("camera").toString(), QStringLiteral("25"));

    const QJsonObject third = cameras.at(2).toObject();
    QCOMPARE(third.value("result").toString(), QStringLiteral("failed"));
    QVERIFY2(third.value("error").toString().contains(QStringLiteral("500")), qPrintable(third.value("error").toString()));
    QVERIFY(!third.contains("model"));
    QVERIFY(!third.contains("picture"));

    const QJsonObject fourth = cameras.at(3).toObject();
    QCOMPARE(fourth.value("result").toString(), QStringLiteral("equal"));
    QVERIFY(!fourth.contains("picture"));
    QVERIFY(fourth.value("picture_error").toString().startsWith(QStringLiteral("Connection refused")));
    QCOMPARE(cameras.at(4).toObject().value("rtsp_port").toString(), QStringLiteral("99999"));
    QVERIFY(!cameras.at(4).toObject().contains("stream"));

    // The pictures: JPEG files that decode, 1920 x 1080 scaled to 1280 x 720.
    for (const int k : {0, 1}) {
        const QJsonObject picture = cameras.at(k).toObject().value("picture").toObject();
        QCOMPARE(picture.value("width").toInt(), 1280);
        QCOMPARE(picture.value("height").toInt(), 720);
        const QString file = QDir(out).filePath(picture.value("file").toString());
        QVERIFY2(readAll(file).startsWith("\xFF\xD8\xFF"), qPrintable(file));
        const QImage image(file);
        QCOMPARE(image.size(), QSize(1280, 720));
    }

    // The page: the summary, a section per camera, the difference with both
    // values, the failure and the missing picture named; camera text as text.
    const QString page = QString::fromUtf8(readAll(QDir(out).filePath("index.html")));
    QVERIFY(page.startsWith(QStringLiteral("<!DOCTYPE html>")));
    QVERIFY(page.contains(QStringLiteral("<tr><th>Cameras</th><td>5</td></tr>")));
    QVERIFY(page.contains(QStringLiteral("<tr><th>Differ</th><td>1</td></tr>")));
    QVERIFY(page.contains(QStringLiteral("<tr><th>Failed</th><td>1</td></tr>")));
    QVERIFY(page.contains(QStringLiteral("<tr><th>Without a picture</th><td>2</td></tr>")));
    QCOMPARE(page.count(QStringLiteral("<section class=\"camera\"")), 5);
    for (int k = 1; k <= 5; ++k) {
        QVERIFY(page.contains(QStringLiteral("<a class=\"thumb\" href=\"#camera-%1\">").arg(k)));
        QVERIFY(page.contains(QStringLiteral("<section class=\"camera\" id=\"camera-%1\">").arg(k)));
    }
    QCOMPARE(page.count(QStringLiteral("<img src=\"camera-001.jpg\"")), 2); // thumbnail and picture
    QVERIFY(page.contains(QStringLiteral("<td>encode(1).framerate</td><td>15</td><td>25</td>")));
    const qsizetype third3 = page.indexOf(QStringLiteral("id=\"camera-3\""));
    const qsizetype fourth4 = page.indexOf(QStringLiteral("id=\"camera-4\""));
    QVERIFY(page.indexOf(QStringLiteral("<p class=\"problem\">Failed: "), third3) < fourth4);
    QVERIFY(page.indexOf(QStringLiteral("<p class=\"problem\">No picture: Connection refused"), fourth4) > 0);
    QVERIFY(page.contains(
        QStringLiteral("<td>&lt;script&gt;alert(&quot;qzr&quot;)&lt;/script&gt;&#39;</td>")));
    QVERIFY(!page.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
    QVERIFY(!page.contains(QStringLiteral("http://"), Qt::CaseInsensitive));
    QVERIFY(!page.contains(QStringLiteral("https://"), Qt::CaseInsensitive));
    QVERIFY(page.contains(QStringLiteral("@media print")));

    // The password went only to the cameras.
    for (const QByteArray &text : {readAll(QDir(out).filePath("index.html")), readAll(QDir(out).filePath("report.json")),
                                   run.err, run.out})
        QVERIFY(!text.contains(kPassword.toUtf8()));
}

void ReportCommandTest::aDifferingCameraAloneExitsWithThree()
{
    const QString hosts = host(0) + QLatin1Char(',') + host(1);
    const QString out = path(QStringLiteral("two"));
    const Outcome run = runQzr({"report", "--hosts", hosts, "--out", out, "--against", m_reference,
                                "--password-file", m_passwordFile},
                               port(0));
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains("2 camera(s): 1 equal, 1 differ, 0 failed, 0 without a picture"), run.err.constData());
    const QJsonObject json = QJsonDocument::fromJson(readAll(QDir(out).filePath("report.json"))).object();
    QCOMPARE(json.value("cameras").toArray().at(1).toObject().value("picture").toObject().value("file").toString(),
             QStringLiteral("camera-002.jpg"));
    QVERIFY(!QImage(QDir(out).filePath("camera-002.jpg")).isNull());
}

QTEST_GUILESS_MAIN(ReportCommandTest)
#include "ReportCommandTest.moc"
