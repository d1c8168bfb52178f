// "qzr encoders" run as a real process against the simulated camera on
// loopback: which requests go out in which order, over how many connections,
// and what the table and the JSON show.

#include "QzrProcess.h"
#include "tests/support/SimRequests.h"
#include "cli/Commands.h"
#include "sim/SimThread.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

#include <memory>

using qzr::sim::FaultMode;
using qzr::sim::SimThread;

using qzr::clitest::Outcome;
using qzr::clitest::runQzr;
using qzr::testsupport::targetsOf;

namespace {




QString key(int encoder, const char *name)
{
    return QStringLiteral("encode(%1).%2").arg(encoder).arg(QLatin1String(name));
}

// The targets one read of all three encoders asks, given each encoder's codec.
QStringList expectedTargets(const QStringList &codecs)
{
    QStringList targets;
    for (int encoder = 1; encoder <= 3; ++encoder) {
        const bool jpeg = codecs.at(encoder - 1) == QLatin1String("jpeg");
        for (const char *name : {"type", jpeg ? "quality" : "bitrate", "framesize", "cbr_mode", "iframeinterval",
                                 "framerate"})
            targets << QStringLiteral("/api/param?") + key(encoder, name);
    }
    return targets;
}


QString cameraValue(const SimThread &sim, int encoder, const char *name)
{
    const std::optional<QString> value = sim.value(key(encoder, name));
    return value ? *value : QStringLiteral("<no such key>");
}

} // namespace

class EncodersCommandTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimThread> m_sim;

    // Every request of the call came over one connection, with the tool's
    // request head and the default credentials.
    void verifyOneKeptAliveConnection(const QList<qzr::sim::ReceivedRequest> &requests)
    {
        QCOMPARE(m_sim->connectionCount(), 1);
        for (const qzr::sim::ReceivedRequest &request : requests) {
            QCOMPARE(request.connection, 1);
            QCOMPARE(request.raw, QByteArray("GET " + request.target.toLatin1() +
                                             " HTTP/1.1\r\n"
                                             "Host: 127.0.0.1\r\n"
                                             "Accept: text/html, */*\r\n"
                                             "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
                                             "Authorization: Basic YWRtaW46a3Ft\r\n"
                                             "\r\n"));
        }
    }

private slots:
    void init()
    {
        m_sim = std::make_unique<SimThread>();
        QVERIFY(m_sim->start(0) != 0);
    }

    void cleanup() { m_sim.reset(); }

    void defaultEncodersAsTable()
    {
        const Outcome outcome = runQzr({"encoders"}, m_sim->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);

        const QList<qzr::sim::ReceivedRequest> requests = m_sim->requests();
        QCOMPARE(requests.size(), 18);
        QCOMPARE(targetsOf(requests), expectedTargets({"h264high", "jpeg", "off"}));
        verifyOneKeptAliveConnection(requests);

        // Encoder 2 is JPEG: its JPEG size stands where the bitrate would;
        // encoder 3 is off and shows no values.
        QCOMPARE(outcome.out, QByteArray("ENCODER  TYPE      BITRATE/JPEG  FRAME SIZE  MODE  I-FRAME  FPS\n"
                                         "1        h264high  4000000       1920x1080   cbr   30       15\n"
                                         "2        jpeg      160k          1920x1080   afs   30       15\n"
                                         "3        off       -             -           -     -        -\n"));
    }

    void changedEncodersAsTable()
    {
        const QList<QPair<QString, QString>> values = {
            {"encode(1).type", "jpeg"},          {"encode(1).quality", "320k"},
            {"encode(1).framesize", "vga"},      {"encode(1).cbr_mode", "vbr"},
            {"encode(1).iframeinterval", "5"},   {"encode(1).framerate", "25"},
            {"encode(2).type", "h264baseline"},  {"encode(2).bitrate", "64000"},
            {"encode(2).framesize", "quadvga"},  {"encode(2).cbr_mode", "cbr"},
            {"encode(2).iframeinterval", "120"}, {"encode(2).framerate", "1"},
            {"encode(3).type", "mpeg4"},         {"encode(3).bitrate", "8000000"},
            {"encode(3).framesize", "qvga"},     {"encode(3).iframeinterval", "90"},
            {"encode(3).framerate", "30"},
        };
        for (const auto &[name, value] : values)
            m_sim->setValue(name, value);

        const Outcome outcome = runQzr({"encoders"}, m_sim->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(targetsOf(m_sim->requests()), expectedTargets({"jpeg", "h264baseline", "mpeg4"}));
        QCOMPARE(outcome.out,
                 QString("ENCODER  TYPE          BITRATE/JPEG  FRAME SIZE  MODE  I-FRAME  FPS\n"
                            "1        jpeg          320k          vga         vbr   5        25\n"
                            "2        h264baseline  64000         quadvga     cbr   120      1\n"
                            "3        mpeg4         8000000       qvga        cbr   90       30\n"));
    }

    void defaultEncodersAsJson()
    {
        const Outcome outcome = runQzr({"encoders", "--json"}, m_sim->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        const QList<qzr::sim::ReceivedRequest> requests = m_sim->requests();
        QCOMPARE(targetsOf(requests), expectedTargets({"h264high", "jpeg", "off"}));
        verifyOneKeptAliveConnection(requests);

        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(outcome.out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(document.isArray());
        const QJsonArray array = document.array();
        QCOMPARE(array.size(), 3);
        for (int encoder = 1; encoder <= 3; ++encoder) {
            const QJsonObject object = array.at(encoder - 1).toObject();
            const QString type = cameraValue(*m_sim, encoder, "type");
            const bool jpeg = type == QLatin1String("jpeg");
            QCOMPARE(object.value("encoder").toInt(), encoder);
            QCOMPARE(object.value("type").toString(), type);
            QCOMPARE(object.value("off").toBool(), type == QLatin1String("off"));
            // Only what was asked: the JPEG size for "jpeg", else the bitrate.
            QCOMPARE(object.contains("jpegSize"), jpeg);
            QCOMPARE(object.contains("bitrate"), !jpeg);
            if (jpeg)
                QCOMPARE(object.value("jpegSize").toString(), cameraValue(*m_sim, encoder, "quality"));
            else
                QCOMPARE(object.value("bitrate").toString(), cameraValue(*m_sim, encoder, "bitrate"));
            QCOMPARE(object.value("frameSize").toString(), cameraValue(*m_sim, encoder, "framesize"));
            QCOMPARE(object.value("cbrMode").toString(), cameraValue(*m_sim, encoder, "cbr_mode"));
            QCOMPARE(object.value("iframeInterval").toString(), cameraValue(*m_sim, encoder, "iframeinterval"));
            QCOMPARE(object.value("frameRate").toString(), cameraValue(*m_sim, encoder, "framerate"));
            QCOMPARE(object.size(), 8);
        }
        // The "off" encoder still reports what the camera holds.
        QCOMPARE(array.at(2).toObject().value("frameSize").toString(), QStringLiteral("640x360"));
        QCOMPARE(array.at(0).toObject().value("bitrate").toString(), QStringLiteral("4000000"));
        QCOMPARE(array.at(1).toObject().value("jpegSize").toString(), QStringLiteral("160k"));
    }

    void failureEndsTheRead_data()
    {
        QTest::addColumn<int>("nth");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("first request") << 1 << int(FaultMode::Unauthorized) << QByteArray("refused the login (401 Unauthorized): check --user and the password.\n");
        QTest::newRow("encoder 2 frame size") << 9 << int(FaultMode::NotFound) << QByteArray("does not know the request (404 Not Found): check that --host and --port lead to a QZ-R camera.\n");
        QTest::newRow("encoder 3 type") << 13 << int(FaultMode::ServerError)
                                        << QByteArray("failed the request (500 Internal Server Error): try again, or restart the camera.\n");
        QTest::newRow("last request") << 18 << int(FaultMode::NotFound) << QByteArray("does not know the request (404 Not Found): check that --host and --port lead to a QZ-R camera.\n");
    }

    void failureEndsTheRead()
    {
        QFETCH(int, nth);
        QFETCH(int, mode);
        QFETCH(QByteArray, text);
        for (const QStringList &arguments : {QStringList{"encoders"}, QStringList{"encoders", "--json"}}) {
            m_sim->clearRequests();
            m_sim->setFault(FaultMode(mode), nth);
            const Outcome outcome = runQzr(arguments, m_sim->port());
            QVERIFY(outcome.finished);
            QCOMPARE(outcome.exitCode, 1);
            QCOMPARE(outcome.err, QStringLiteral("127.0.0.1:%1 ").arg(m_sim->port()).toUtf8() + text);
            QCOMPARE(outcome.out, QByteArray());
            // Nothing after the failed request is sent.
            QCOMPARE(targetsOf(m_sim->requests()),
                     expectedTargets({"h264high", "jpeg", "off"}).mid(0, nth));
        }
    }

    void refusedConnectionFails()
    {
        const quint16 port = m_sim->port();
        m_sim->stopListening();
        const Outcome outcome = runQzr({"encoders"}, port);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(outcome.err, QStringLiteral("127.0.0.1:%1 refused the connection (Socket Error # 111 Connection refused.): check --host and --port.\n").arg(port).toUtf8());
    }

    void usageErrorsSendNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("argument") << QStringList{"encoders", "1"};
        QTest::newRow("json for get") << QStringList{"get", "encode(1).type", "--json"};
        QTest::newRow("json with a value") << QStringList{"--json=yes", "encoders"};
    }

    void usageErrorsSendNothing()
    {
        QFETCH(QStringList, arguments);
        const Outcome outcome = runQzr(arguments, m_sim->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 2);
        QCOMPARE(outcome.out, QByteArray());
        QVERIFY(outcome.err.startsWith("qzr: "));
        QCOMPARE(m_sim->connectionCount(), 0);
    }

    void helpListsTheCommand()
    {
        const Outcome outcome = runQzr({"--help"}, m_sim->port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY(outcome.out.contains("encoders [--json]"));
        QVERIFY(outcome.out.contains("--json"));
        QCOMPARE(m_sim->connectionCount(), 0);
    }

    // --- formatting in-process ----------------------------------------------

    void tableKeepsOneLinePerEncoder()
    {
        qzr::cli::AllEncoderSettings encoders;
        encoders[0] = {1, "h264high", "", "12\r\n34", "1920x1080", "", "3\t0", "15"};
        encoders[1] = {2, "jpeg", "80k", "never shown", "vga", "cbr", "30", "5"};
        encoders[2] = {3, "off", "", "1", "2", "3", "4", "5"};
        QCOMPARE(qzr::cli::encodersTable(encoders),
                 QString("ENCODER  TYPE      BITRATE/JPEG  FRAME SIZE  MODE  I-FRAME  FPS\n"
                            "1        h264high  12\\r\\n34      1920x1080   \"\"    3\\t0     15\n"
                            "2        jpeg      80k           vga         cbr   30       5\n"
                            "3        off       -             -           -     -        -\n"));

        const QJsonArray array = QJsonDocument::fromJson(qzr::cli::encodersJson(encoders)).array();
        QCOMPARE(array.size(), 3);
        QCOMPARE(array.at(0).toObject().value("bitrate").toString(), QStringLiteral("12\r\n34"));
        QCOMPARE(array.at(0).toObject().value("cbrMode").toString(), QString());
        QCOMPARE(array.at(1).toObject().value("jpegSize").toString(), QStringLiteral("80k"));
        QVERIFY(!array.at(1).toObject().contains("bitrate"));
        QCOMPARE(array.at(2).toObject().value("off").toBool(), true);
        QCOMPARE(array.at(2).toObject().value("bitrate").toString(), QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(EncodersCommandTest)
#include "EncodersCommandTest.moc"
