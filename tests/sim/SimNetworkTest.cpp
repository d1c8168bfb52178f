// The simulated camera's network restarts over real loopback sockets: the
// HTTP port it reports and moves to, the reboot that leaves it unreachable for
// the configured time, and the executable's --restart-seconds.

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

#include "SimServer.h"
#include "SimThread.h"

using namespace qzr::sim;

namespace {

constexpr int kTimeoutMs = 5000;

// One keep-alive connection to the camera; every wait is bounded.
class Connection
{
public:
    bool open(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        return m_socket.waitForConnected(kTimeoutMs);
    }

    // Sends a GET with the default credentials and returns the fifth body
    // line ("KEY=VALUE&"), empty when no complete reply came.
    QByteArray get(const QByteArray &target)
    {
        m_socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Basic "
                       + QByteArray("admin:kqm").toBase64() + "\r\n\r\n");
        if (!m_socket.waitForBytesWritten(kTimeoutMs))
            return {};
        static const QRegularExpression contentLength(QStringLiteral("\r\nContent-Length: *(\\d+)\r\n"));
        QByteArray received;
        const QDeadlineTimer deadline(kTimeoutMs);
        while (!deadline.hasExpired()) {
            received += m_socket.readAll();
            const int headEnd = received.indexOf("\r\n\r\n");
            const QRegularExpressionMatch length = contentLength.match(QString::fromLatin1(received.left(headEnd + 2)));
            if (headEnd >= 0 && length.hasMatch()) {
                const QByteArray body = received.mid(headEnd + 4);
                if (body.size() >= length.captured(1).toInt())
                    return body.split('\n').value(4).trimmed();
            }
            const bool more = m_socket.waitForReadyRead(int(deadline.remainingTime()));
            if (!more && m_socket.state() != QAbstractSocket::ConnectedState)
                break;
        }
        return {};
    }

    // True once the camera has closed this connection.
    bool closedByCamera()
    {
        const QDeadlineTimer deadline(kTimeoutMs);
        while (m_socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired())
            m_socket.waitForReadyRead(int(deadline.remainingTime()));
        return m_socket.state() == QAbstractSocket::UnconnectedState;
    }

private:
    QTcpSocket m_socket;
};

QByteArray getOnce(quint16 port, const QByteArray &target)
{
    Connection connection;
    return connection.open(port) ? connection.get(target) : QByteArray();
}

bool refuses(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return !socket.waitForConnected(kTimeoutMs) && socket.error() == QAbstractSocket::ConnectionRefusedError;
}

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : quint16(0);
}

} // namespace

class SimNetworkTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimThread> m_sim;
    quint16 m_port = 0;

    void startSim(int restart_ms)
    {
        ServerOptions server;
        server.restart_ms = restart_ms;
        m_sim = std::make_unique<SimThread>(CameraOptions{}, server);
        m_port = m_sim->start(0);
        QVERIFY(m_port != 0);
    }

private slots:
    void cleanup() { m_sim.reset(); }

    void httpPortReadsThePortServed()
    {
        startSim(kDefaultRestartMs);
        QCOMPARE(getOnce(m_port, "/api/param?network.http.port"), "network.http.port=" + QByteArray::number(m_port) + '&');
        QCOMPARE(getOnce(m_port, "/api/param?network.rtsp.port"), QByteArray("network.rtsp.port=554&"));
    }

    void httpRestartMovesToTheStoredPort_data()
    {
        QTest::addColumn<bool>("oneRequest");
        QTest::newRow("two requests") << false;
        QTest::newRow("one request") << true;
    }

    void httpRestartMovesToTheStoredPort()
    {
        QFETCH(bool, oneRequest);
        startSim(kDefaultRestartMs);
        const quint16 newPort = freePort();
        QVERIFY(newPort != 0 && newPort != m_port);
        const QByteArray port = QByteArray::number(newPort);
        Connection connection;
        QVERIFY(connection.open(m_port));
        if (oneRequest) {
            QCOMPARE(connection.get("/api/param?network.http.port=" + port + "&network.http.status=restart"),
                     "network.http.port=" + port + '&');
        } else {
            QCOMPARE(connection.get("/api/param?network.http.port=" + port), "network.http.port=" + port + '&');
            // Stored only: still served on the old port.
            QCOMPARE(m_sim->currentPort(), m_port);
            QCOMPARE(connection.get("/api/param?network.http.status=restart"),
                     QByteArray("network.http.status=restart&"));
        }
        QVERIFY2(connection.closedByCamera(), "the restart closes the connection after its reply");
        QCOMPARE(m_sim->currentPort(), newPort);
        QCOMPARE(m_sim->port(), m_port);
        QVERIFY2(refuses(m_port), "the old port is closed");
        QCOMPARE(getOnce(newPort, "/api/param?network.http.port"), "network.http.port=" + port + '&');
    }

    void httpRestartToAPortInUseStays()
    {
        startSim(kDefaultRestartMs);
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::LocalHost, 0));
        const QByteArray port = QByteArray::number(occupant.serverPort());
        QCOMPARE(getOnce(m_port, "/api/param?network.http.port=" + port), "network.http.port=" + port + '&');
        QCOMPARE(getOnce(m_port, "/api/param?network.http.status=restart"), QByteArray("network.http.status=restart&"));
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->isListening(), kTimeoutMs);
        QCOMPARE(m_sim->currentPort(), m_port);
        QCOMPARE(getOnce(m_port, "/api/param?network.http.port"), "network.http.port=" + QByteArray::number(m_port) + '&');
    }

    void rebootLeavesTheCameraUnreachableThenReturns()
    {
        startSim(1500);
        QCOMPARE(getOnce(m_port, "/api/param?network.interface.ip=10.0.0.5"), QByteArray("network.interface.ip=10.0.0.5&"));
        Connection connection;
        QVERIFY(connection.open(m_port));
        QCOMPARE(connection.get("/api/param?network.interface.status=restart"),
                 QByteArray("network.interface.status=restart&"));
        QVERIFY2(connection.closedByCamera(), "the reboot closes the connection after its reply");
        QVERIFY(!m_sim->isListening());
        QVERIFY2(refuses(m_port), "nothing answers while the camera reboots");
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->isListening(), 1500 + 15000);
        // Back on its port and still on loopback, with the new address stored.
        QCOMPARE(m_sim->currentPort(), m_port);
        QCOMPARE(getOnce(m_port, "/api/param?network.interface.ip"), QByteArray("network.interface.ip=10.0.0.5&"));
    }

    void rebootComesBackOnAStoredPort()
    {
        startSim(100);
        const quint16 newPort = freePort();
        QVERIFY(newPort != 0);
        const QByteArray port = QByteArray::number(newPort);
        QCOMPARE(getOnce(m_port, "/api/param?network.http.port=" + port + "&network.interface.status=restart"),
                 "network.http.port=" + port + '&');
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->isListening(), 15000);
        QCOMPARE(m_sim->currentPort(), newPort);
        QCOMPARE(getOnce(newPort, "/api/param?system.model"), QByteArray("system.model=QZ-R410&"));
    }

    void rebootWinsOverAnHttpRestart()
    {
        startSim(kDefaultRestartMs);
        QCOMPARE(getOnce(m_port, "/api/param?network.interface.status=restart&network.http.status=restart"),
                 QByteArray("network.interface.status=restart&"));
        QVERIFY2(!m_sim->isListening(), "rebooting, not just moving the web server");
        QVERIFY(refuses(m_port));
    }

    void otherRequestsRestartNothing()
    {
        startSim(kDefaultRestartMs);
        QCOMPARE(getOnce(m_port, "/api/param?network.interface.status=reboot"), QByteArray("network.interface.status=NG&"));
        QCOMPARE(getOnce(m_port, "/api/param?network.interface.dhcp.status=on"), QByteArray("network.interface.dhcp.status=on&"));
        QVERIFY(m_sim->isListening());
        QCOMPARE(getOnce(m_port, "/api/param?system.model"), QByteArray("system.model=QZ-R410&"));
    }

    void executableTakesRestartSeconds()
    {
        QProcess process;
        process.start(QStringLiteral(QZR_CAMSIM_EXECUTABLE), {"--port", "0", "--restart-seconds", "0.5"});
        QVERIFY(process.waitForStarted(kTimeoutMs));
        const QDeadlineTimer deadline(kTimeoutMs);
        while (!process.canReadLine() && !deadline.hasExpired())
            process.waitForReadyRead(int(deadline.remainingTime()));
        bool ok = false;
        const quint16 port = quint16(process.readLine().trimmed().toUInt(&ok));
        QVERIFY(ok && port != 0);
        QCOMPARE(getOnce(port, "/api/param?network.interface.status=restart"), QByteArray("network.interface.status=restart&"));
        QByteArray answer;
        for (int attempt = 0; attempt < 200 && answer.isEmpty(); ++attempt) {
            QTest::qWait(50);
            answer = getOnce(port, "/api/param?system.model");
        }
        QCOMPARE(answer, QByteArray("system.model=QZ-R410&"));
        process.kill();
        QVERIFY(process.waitForFinished(kTimeoutMs));
    }

    void executableRejectsBadRestartSeconds_data()
    {
        QTest::addColumn<QString>("seconds");
        QTest::newRow("negative") << "-1";
        QTest::newRow("text") << "soon";
        QTest::newRow("over an hour") << "3601";
    }

    void executableRejectsBadRestartSeconds()
    {
        QFETCH(QString, seconds);
        QProcess process;
        process.start(QStringLiteral(QZR_CAMSIM_EXECUTABLE), {"--port", "0", "--restart-seconds", seconds});
        QVERIFY(process.waitForFinished(kTimeoutMs));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("--restart-seconds"));
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(SimNetworkTest)
#include "SimNetworkTest.moc"
