// "qzr discover" as a process, in a network namespace of this test's own
// (in_private_network.sh): loopback and a veth pair, nothing else, so even a
// search on every interface stays inside. The simulated cameras use the
// standard discovery port there.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QProcess>
#include <QUdpSocket>
#include <QUuid>
#include <QtTest>

#include <memory>

namespace {

struct Outcome
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Outcome runQzr(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QZR_HOST", "QZR_PORT", "QZR_USER", "QZR_PASSWORD", "QT_LOGGING_RULES"})
        env.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QZR_EXECUTABLE), arguments);
    Outcome outcome;
    if (!process.waitForStarted(10'000))
        return outcome;
    process.closeWriteChannel();
    if (!process.waitForFinished(60'000)) {
        process.kill();
        process.waitForFinished(10'000);
        return outcome;
    }
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

// One qzr-camsim on the standard discovery port; its HTTP port on line one.
class Simulator
{
public:
    bool start(const QStringList &arguments)
    {
        m_process = std::make_unique<QProcess>();
        m_process->setStandardErrorFile(QProcess::nullDevice());
        m_process->start(QStringLiteral(QZR_CAMSIM), arguments + QStringList{"--port", "0"});
        if (!m_process->waitForStarted(10'000))
            return false;
        while (!m_process->canReadLine()) {
            if (!m_process->waitForReadyRead(10'000))
                return false;
        }
        m_port = m_process->readLine().trimmed();
        return !m_port.isEmpty();
    }
    QString port() const { return QString::fromLatin1(m_port); }
    ~Simulator()
    {
        if (m_process) {
            m_process->terminate();
            m_process->waitForFinished(10'000);
        }
    }

private:
    std::unique_ptr<QProcess> m_process;
    QByteArray m_port;
};

// The table's rows as their cells (columns are separated by two or more blanks).
QList<QStringList> tableRows(const QByteArray &out)
{
    QList<QStringList> rows;
    for (const QString &line : QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        rows << line.split(QRegularExpression(QStringLiteral(" {2,}")));
    return rows;
}

} // namespace

class DiscoverCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsSet("QZR_NO_NAMESPACE"))
            QSKIP(qPrintable(qEnvironmentVariable("QZR_NO_NAMESPACE")));
        // Searches here may use every interface: make sure there is no other.
        for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
            const QString name = interface.name();
            if (name != QLatin1String("lo") && name != QLatin1String("qzv0") && name != QLatin1String("qzv1"))
                QSKIP(qPrintable(QStringLiteral("not in a private network: interface %1 exists").arg(name)));
        }
    }

    // A thousand cameras answering within half a second are all listed, none
    // lost; then a flood of Hellos during a search (each a new endpoint, from
    // one address) is listed up to the list's bound and no further, and a
    // full list is said.
    void thousandCamerasAndAFlood()
    {
        {
            Simulator fleet;
            QVERIFY(fleet.start({"--cameras", "1000", "--discovery"}));
            QTest::qWait(4000); // its cameras join the group after it serves
            QProcess search;
            // The answers come within half a second of the Probe; the wait
            // leaves room for a machine busy with other tests.
            search.start(QStringLiteral(QZR_EXECUTABLE), {"discover", "--interface", "lo", "--wait", "6", "--json"});
            QVERIFY(search.waitForFinished(60'000));
            const QJsonArray listed = QJsonDocument::fromJson(search.readAllStandardOutput()).array();
            QCOMPARE(listed.size(), 1000);
            QCOMPARE(search.readAllStandardError(), QByteArray());
        }

        QProcess flooded;
        flooded.start(QStringLiteral(QZR_EXECUTABLE), {"discover", "--interface", "lo", "--wait", "2"});
        QVERIFY(flooded.waitForStarted(10'000));
        QTest::qWait(300);
        QUdpSocket hellos;
        QVERIFY(hellos.bind(QHostAddress(QStringLiteral("127.0.0.77")), 0));
        hellos.setMulticastInterface(QNetworkInterface::interfaceFromName(QStringLiteral("lo")));
        const QByteArray hello =
            "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
            "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
            "xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"><s:Header>"
            "<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/Hello</a:Action>"
            "<a:MessageID>urn:uuid:ID</a:MessageID></s:Header><s:Body><d:Hello><a:EndpointReference>"
            "<a:Address>urn:uuid:ID</a:Address></a:EndpointReference><d:Types>dn:NetworkVideoTransmitter</d:Types>"
            "<d:XAddrs>http://127.0.0.77/onvif/device_service</d:XAddrs><d:MetadataVersion>1</d:MetadataVersion>"
            "</d:Hello></s:Body></s:Envelope>";
        // Until the search is over (at most 40,000).
        for (int i = 0; i < 40'000 && flooded.state() != QProcess::NotRunning; ++i) {
            hellos.writeDatagram(QByteArray(hello).replace("ID", QUuid::createUuid().toByteArray(QUuid::WithoutBraces)),
                                 QHostAddress(QStringLiteral("239.255.255.250")), 3702);
            if (i % 100 == 99)
                QTest::qWait(10);
        }
        QVERIFY(flooded.state() == QProcess::NotRunning || flooded.waitForFinished(60'000));
        QCOMPARE(flooded.exitCode(), 0);
        const QByteArray out = flooded.readAllStandardOutput();
        const int rows = int(tableRows(out).size()) - 1;
        QVERIFY2(rows <= 4096 + 2, qPrintable(QString::number(rows))); // and the notes
        // How many arrive depends on the machine's load; a full list says so.
        QVERIFY2(rows < 4096 || out.contains("Note: the list is full at 4096 cameras;"),
                 (QByteArray::number(rows) + " rows; " + out.right(300)).constData());
        QVERIFY2(rows > 1000, qPrintable(QString::number(rows)));
    }

    // "qzr discover --interface lo" lists a fleet with model, firmware and MAC.
    void listsFleetOnLoopback()
    {
        Simulator fleet;
        QVERIFY(fleet.start({"--cameras", "3", "--address", "127.0.0.10", "--address-per-camera"}));
        const Outcome outcome = runQzr({"discover", "--interface", "lo", "--wait", "1.5", "--identify"});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(tableRows(outcome.out),
                 (QList<QStringList>{
                     {"ADDRESS", "PORT", "MODEL", "FIRMWARE", "MAC", "FOUND BY", "FLAGS"},
                     {"127.0.0.10", fleet.port(), "QZ-R410", "2.10.0045", "00:11:22:33:44:55", "ws-discovery", "-"},
                     {"127.0.0.11", fleet.port(), "QZ-R410", "2.10.0045", "00:11:22:33:44:56", "ws-discovery", "-"},
                     {"127.0.0.12", fleet.port(), "QZ-R410", "2.10.0045", "00:11:22:33:44:57", "ws-discovery", "-"},
                 }));
        QCOMPARE(outcome.err, QByteArray()); // no progress: standard error is no terminal
    }

    // --json: an array for scripts, with flags and how each camera was found.
    void printsJson()
    {
        Simulator fleet;
        QVERIFY(fleet.start({"--cameras", "3", "--address", "127.0.0.20", "--address-per-camera", "--conflict",
                             "--sweep-only", "1"}));
        const Outcome outcome = runQzr({"discover", "--interface", "127.0.0.1", "--wait", "1", "--json", "--identify", "--sweep",
                                        "127.0.0.16/28:" + fleet.port(), "--jobs", "4"});
        QCOMPARE(outcome.exitCode, 0);
        const QJsonArray cameras = QJsonDocument::fromJson(outcome.out).array();
        QCOMPARE(cameras.size(), 4);
        const auto field = [&](int index, const char *name) { return cameras.at(index).toObject().value(QLatin1String(name)); };
        QCOMPARE(field(0, "address").toString(), "127.0.0.20");
        QCOMPARE(field(0, "port").toInt(), fleet.port().toInt());
        QCOMPARE(field(0, "flags").toArray(), QJsonArray{"address conflict"});
        QCOMPARE(field(1, "address").toString(), "127.0.0.20");
        QCOMPARE(field(1, "flags").toArray(), QJsonArray{"address conflict"});
        QVERIFY(field(0, "endpoint").toString() != field(1, "endpoint").toString());
        QCOMPARE(field(2, "address").toString(), "127.0.0.21");
        QCOMPARE(field(2, "foundBy").toArray(), QJsonArray{"sweep"});
        QCOMPARE(field(2, "mac").toString(), "00:11:22:33:44:56");
        // The camera that claims .20 still serves at .22, where the sweep reaches it.
        QCOMPARE(field(3, "address").toString(), "127.0.0.22");
        QCOMPARE(field(3, "foundBy").toArray(), QJsonArray{"sweep"});
        QCOMPARE(field(3, "mac").toString(), "00:11:22:33:44:57");
        QCOMPARE(field(0, "foundBy").toArray(), (QJsonArray{"ws-discovery", "sweep"}));
        QCOMPARE(field(0, "interfaces").toArray(), QJsonArray{"lo"});
    }

    // Without --interface every interface that is up and multicast-capable is
    // probed (here the veth pair, not loopback); a camera heard on qzv1 with
    // an address outside its subnet is flagged with the command that helps.
    void searchesEveryInterface()
    {
        Simulator onVeth;
        QVERIFY(onVeth.start({"--address", "127.0.0.70", "--discovery-interface", "qzv1"}));
        Simulator onLoopback;
        QVERIFY(onLoopback.start({"--address", "127.0.0.71"}));
        const Outcome outcome = runQzr({"discover", "--wait", "1.5", "--json", "--identify"});
        QCOMPARE(outcome.exitCode, 0);
        const QJsonArray cameras = QJsonDocument::fromJson(outcome.out).array();
        QCOMPARE(cameras.size(), 1);
        const QJsonObject camera = cameras.at(0).toObject();
        QCOMPARE(camera.value("address").toString(), "127.0.0.70");
        QCOMPARE(camera.value("interfaces").toArray(), QJsonArray{"qzv1"});
        QCOMPARE(camera.value("flags").toArray(), QJsonArray{"other subnet (qzv1)"});
        QCOMPARE(camera.value("suggestedCommand").toString(), "sudo ip addr add 127.0.0.250/24 dev qzv1");

        // Naming the interfaces finds both.
        const Outcome named = runQzr({"discover", "--wait", "1", "--interface", "qzv1", "--interface", "lo", "--json", "--identify"});
        QCOMPARE(QJsonDocument::fromJson(named.out).array().size(), 2);
    }

    // A camera still on the factory address is flagged (the address lives on
    // this namespace's loopback, so the PC reaches it: no other-subnet flag).
    void flagsFactoryAddress()
    {
        Simulator factoryNew;
        QVERIFY(factoryNew.start({"--address", "192.168.0.57"}));
        const Outcome outcome = runQzr({"discover", "--interface", "lo", "--wait", "1", "--json", "--identify"});
        QCOMPARE(outcome.exitCode, 0);
        const QJsonArray cameras = QJsonDocument::fromJson(outcome.out).array();
        QCOMPARE(cameras.size(), 1);
        QCOMPARE(cameras.at(0).toObject().value("address").toString(), "192.168.0.57");
        QCOMPARE(cameras.at(0).toObject().value("flags").toArray(), QJsonArray{"factory address"});
        QCOMPARE(cameras.at(0).toObject().value("model").toString(), "QZ-R410");
    }

    // Exit status: 3 when nothing answered, 2 for usage errors, 1 for failures.
    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");
        QTest::newRow("none found") << QStringList{"discover", "--interface", "lo", "--wait", "0.3"} << 3 << "";
        QTest::newRow("range too wide") << QStringList{"discover", "--sweep", "10.0.0.0/21"} << 2
            << "qzr: '10.0.0.0/21' is not a sweep range: at most a /22 (1024 addresses) is swept (see 'qzr --help')\n";
        QTest::newRow("bad wait") << QStringList{"discover", "--wait", "soon"} << 2
            << "qzr: 'soon' is not a valid number of seconds for --wait (0 to 60) (see 'qzr --help')\n";
        QTest::newRow("not for get") << QStringList{"get", "system.model", "--interface", "lo"} << 2
                                     << "qzr: 'get' has no option --interface (see 'qzr --help')\n";
        QTest::newRow("unknown interface") << QStringList{"discover", "--interface", "eth7"} << 1
                                           << "no IPv4 interface or address 'eth7' on this computer.\n";
    }
    void exitStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, err);
        const Outcome outcome = runQzr(arguments);
        QCOMPARE(outcome.exitCode, status);
        QCOMPARE(QString::fromUtf8(outcome.err), err);
        if (status == 3)
            QCOMPARE(outcome.out, QByteArray("ADDRESS  PORT  MODEL  FIRMWARE  MAC  FOUND BY  FLAGS\n"));
    }
};

QTEST_GUILESS_MAIN(DiscoverCommandTest)
#include "DiscoverCommandTest.moc"
