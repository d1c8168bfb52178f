// The command line "qzr" run as a real process against a small camera on
// loopback: request bytes, kept-alive connection, output and exit status.

#include "QzrProcess.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>
#include <optional>

using namespace qzr;

using qzr::clitest::Outcome;
using qzr::clitest::runQzr;

namespace {


// One request as it arrived, byte for byte, and the connection it came on.
struct ReceivedRequest
{
    int connection = 0;
    QByteArray raw;    // request line, header lines and the empty line
    QByteArray target; // what stands between "GET " and " HTTP/1.1"
};

// What the loopback camera answers and what it saw. Shared between the test
// and the camera's thread, so every access takes the lock.
struct CameraState
{
    QMutex mutex;
    // Answers.
    QHash<QByteArray, QByteArray> values;       // key -> text after "KEY=" (up to the "&")
    QHash<QByteArray, QByteArray> statusForKey; // key -> status line text, e.g. "401 Unauthorized"
    QByteArray status = "200 OK";               // for every other request
    std::optional<QByteArray> fixedBody;        // the body of every 2xx reply, when set
    bool silent = false;                        // read requests, never answer
    // Observations.
    int connections = 0;
    QList<ReceivedRequest> requests;
};

// The camera's reply layout: four lines, "KEY=VALUE&", two more lines.
QByteArray cameraBody(const QByteArray &key, const QByteArray &value)
{
    return "<html>\r\n<head></head>\r\n<body>\r\n<pre>\r\n" + key + '=' + value + "&\r\n</pre>\r\n</body></html>\r\n";
}

class CameraWorker : public QObject
{
public:
    explicit CameraWorker(CameraState &state) : m_state(state) {}

    quint16 listen()
    {
        m_server = new QTcpServer(this);
        if (!m_server->listen(QHostAddress::LocalHost, 0))
            return 0;
        connect(m_server, &QTcpServer::newConnection, this, &CameraWorker::accept);
        return m_server->serverPort();
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server->nextPendingConnection()) {
            int id = 0;
            {
                QMutexLocker lock(&m_state.mutex);
                id = ++m_state.connections;
            }
            auto buffer = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, id, buffer] {
                buffer->append(socket->readAll());
                qsizetype end;
                while ((end = buffer->indexOf("\r\n\r\n")) >= 0) {
                    const QByteArray head = buffer->left(end + 4);
                    buffer->remove(0, end + 4);
                    answer(socket, id, head);
                }
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void answer(QTcpSocket *socket, int connection, const QByteArray &head)
    {
        ReceivedRequest request;
        request.connection = connection;
        request.raw = head;
        const QByteArray requestLine = head.left(head.indexOf("\r\n"));
        const QList<QByteArray> parts = requestLine.split(' ');
        if (parts.size() == 3)
            request.target = parts.at(1);
        const QByteArray prefix = "/api/param?";
        const QByteArray query = request.target.startsWith(prefix) ? request.target.mid(prefix.size()) : QByteArray();

        QByteArray status;
        QByteArray body;
        {
            QMutexLocker lock(&m_state.mutex);
            m_state.requests << request;
            if (m_state.silent)
                return;
            status = m_state.statusForKey.value(query, m_state.status);
            if (m_state.fixedBody)
                body = *m_state.fixedBody;
            else if (!query.contains('='))
                body = cameraBody(query, m_state.values.value(query, "value-of-" + query));
            else
                body = cameraBody("status", "OK");
        }
        if (!status.startsWith('2'))
            body = "<html><body>" + status + "</body></html>\r\n";
        QByteArray reply = "HTTP/1.1 " + status + "\r\n";
        if (status.startsWith("401"))
            reply += "WWW-Authenticate: Basic realm=\"camera\"\r\n";
        reply += "Content-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
        socket->write(reply);
    }

    CameraState &m_state;
    QTcpServer *m_server = nullptr;
};

// A camera on 127.0.0.1 that runs on its own thread, so that the test can
// wait for the process while it answers.
class LoopbackCamera
{
public:
    LoopbackCamera()
    {
        m_worker = new CameraWorker(m_state);
        m_worker->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        m_thread.start();
        QMetaObject::invokeMethod(m_worker, [this] { m_port = m_worker->listen(); }, Qt::BlockingQueuedConnection);
    }

    ~LoopbackCamera()
    {
        m_thread.quit();
        m_thread.wait(10'000);
    }

    quint16 port() const { return m_port; }
    CameraState &state() { return m_state; }

    QList<ReceivedRequest> requests()
    {
        QMutexLocker lock(&m_state.mutex);
        return m_state.requests;
    }
    int connections()
    {
        QMutexLocker lock(&m_state.mutex);
        return m_state.connections;
    }

private:
    CameraState m_state;
    QThread m_thread;
    CameraWorker *m_worker = nullptr;
    quint16 m_port = 0;
};

// A port on 127.0.0.1 where nothing listens.
quint16 refusedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}



QByteArray expectedRead(const QByteArray &target, const QByteArray &authorization)
{
    QByteArray bytes = "GET " + target + " HTTP/1.1\r\n"
                       "Host: 127.0.0.1\r\n"
                       "Accept: text/html, */*\r\n"
                       "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n";
    if (!authorization.isEmpty())
        bytes += "Authorization: Basic " + authorization + "\r\n";
    return bytes + "\r\n";
}

std::optional<QString> noVariable(const char *) { return std::nullopt; }

// Runs qzr with its standard output (and with errorsToo its standard error,
// and with debugLog its debug log) on a pseudo-terminal; what the terminal
// received.
QByteArray runOnTerminal(const QStringList &arguments, quint16 port, bool errorsToo = false, bool debugLog = false)
{
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return "<no pseudo-terminal>";
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QZR_HOST"), QStringLiteral("127.0.0.1"));
    env.insert(QStringLiteral("QZR_PORT"), QString::number(port));
    if (debugLog)
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qzr.*.debug=true"));
    process.setProcessEnvironment(env);
    process.setChildProcessModifier([slave, errorsToo] {
        ::dup2(slave, STDOUT_FILENO);
        if (errorsToo)
            ::dup2(slave, STDERR_FILENO);
    });
    process.start(QStringLiteral(QZR_EXECUTABLE), arguments);
    process.waitForFinished(clitest::kProcessLimitMs);
    ::close(slave);
    QByteArray shown;
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(master, buffer, sizeof buffer)) > 0)
        shown.append(buffer, got);
    ::close(master);
    return shown;
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    // --- reads ---------------------------------------------------------------

    void getPrintsEachKeyOverOneConnection()
    {
        LoopbackCamera camera;
        QVERIFY(camera.port() != 0);
        camera.state().values.insert("system.model", "QZ-R410");
        camera.state().values.insert("encode(1).framerate", "15");

        const Outcome outcome = runQzr({"get", "system.model", "encode(1).framerate"}, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QByteArray("system.model=QZ-R410\nencode(1).framerate=15\n"));

        const QList<ReceivedRequest> requests = camera.requests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests.at(0).target, QByteArray("/api/param?system.model"));
        QCOMPARE(requests.at(1).target, QByteArray("/api/param?encode(1).framerate"));
        QCOMPARE(camera.connections(), 1);
        QCOMPARE(requests.at(1).connection, requests.at(0).connection);
    }

    void manyReadsShareOneConnection()
    {
        LoopbackCamera camera;
        QStringList arguments{"get"};
        QByteArray expected;
        for (int i = 0; i < 50; ++i) {
            const QString key = QStringLiteral("storage.disk(%1).size").arg(i);
            arguments << key;
            expected += key.toLatin1() + "=value-of-" + key.toLatin1() + '\n';
        }
        const Outcome outcome = runQzr(arguments, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, expected);
        QCOMPARE(camera.requests().size(), 50);
        QCOMPARE(camera.connections(), 1);
    }

    void requestBytesAreExact()
    {
        LoopbackCamera camera;
        const Outcome outcome = runQzr({"get", "system.model"}, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 0);
        const QList<ReceivedRequest> requests = camera.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).raw,
                 QByteArray("GET /api/param?system.model HTTP/1.1\r\n"
                            "Host: 127.0.0.1\r\n"
                            "Accept: text/html, */*\r\n"
                            "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
                            "Authorization: Basic YWRtaW46a3Ft\r\n"
                            "\r\n"));
    }

    void emptyUserSendsNoCredentials()
    {
        LoopbackCamera camera;
        const Outcome outcome =
            runQzr({"--user", "", "get", "system.model"}, camera.port(), {{"QZR_PASSWORD", "secret"}});
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 0);
        const QList<ReceivedRequest> requests = camera.requests();
        QCOMPARE(requests.size(), 1);
        QVERIFY(!requests.at(0).raw.contains("Authorization"));
        QCOMPARE(requests.at(0).raw, expectedRead("/api/param?system.model", {}));
    }

    void passwordComesFromEnvironment()
    {
        LoopbackCamera camera;
        const Outcome outcome = runQzr({"get", "system.model"}, camera.port(),
                                       {{"QZR_PASSWORD", "Pa55:word"}, {"QT_LOGGING_RULES", "qzr.*=true"}});
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 0);
        const QList<ReceivedRequest> requests = camera.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).raw,
                 expectedRead("/api/param?system.model", QByteArray("admin:Pa55:word").toBase64()));
        // Not even the debug log shows it.
        QVERIFY(!outcome.err.contains("Pa55"));
        QVERIFY(!outcome.out.contains("Pa55"));
    }

    void optionsOverrideEnvironment()
    {
        LoopbackCamera camera;
        // The environment names a dead port, another user and a host that does
        // not resolve; the options win.
        const Outcome outcome = runQzr({"--host", "127.0.0.1", "--port", QString::number(camera.port()),
                                        "--user=carol", "get", "system.model"},
                                       refusedPort(),
                                       {{"QZR_HOST", "camera.invalid"}, {"QZR_USER", "bob"}, {"QZR_PASSWORD", "pw"}});
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        const QList<ReceivedRequest> requests = camera.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).raw, expectedRead("/api/param?system.model", QByteArray("carol:pw").toBase64()));
    }

    void environmentUserIsUsed()
    {
        LoopbackCamera camera;
        const Outcome outcome = runQzr({"get", "system.model"}, camera.port(), {{"QZR_USER", "bob"}});
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 0);
        const QList<ReceivedRequest> requests = camera.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).raw, expectedRead("/api/param?system.model", QByteArray("bob:kqm").toBase64()));
    }

    void valueRunsToTheFirstAmpersand()
    {
        // Reply lines 6 and 7 are trimmed away; the value goes on over the
        // line break up to the "&" on reply line 8.
        LoopbackCamera camera;
        camera.state().values.insert("network.name", "ab\r\nsix\r\nseven\r\ncd");
        camera.state().values.insert("empty", "");
        const Outcome outcome = runQzr({"get", "network.name", "empty"}, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QByteArray("network.name=ab\r\ncd\nempty=\n"));
    }

    void valueBytesArePrintedAsReceived()
    {
        // Piped: the camera's bytes, control characters and all.
        LoopbackCamera camera;
        camera.state().values.insert("system.owner", "Caf\xE9 \x01\x1B[2J\x80\x9F");
        const Outcome outcome = runQzr({"get", "system.owner"}, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QByteArray("system.owner=Caf\xE9 \x01\x1B[2J\x80\x9F\n"));
    }

    // --- writes and raw queries ---------------------------------------------

    void setSendsOneRequestWithEncodedValues()
    {
        LoopbackCamera camera;
        const Outcome outcome = runQzr({"set", "a=1", "b=x&y"}, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QByteArray());
        const QList<ReceivedRequest> requests = camera.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).target, QByteArray("/api/param?a=1&b=x%26y"));
        QCOMPARE(requests.at(0).raw, expectedRead("/api/param?a=1&b=x%26y", "YWRtaW46a3Ft"));
    }

    void setSplitsAtTheFirstEquals()
    {
        LoopbackCamera camera;
        const Outcome outcome =
            runQzr({"set", "camera.scene(1).status=goto", "network.comment=a=b", "x="}, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 0);
        const QList<ReceivedRequest> requests = camera.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).target, QByteArray("/api/param?camera.scene(1).status=goto&network.comment=a=b&x="));
    }

    void rawPrintsTheBodyExactly()
    {
        LoopbackCamera camera;
        static const char kBody[] = "line 1\r\nline 2\r\n\0zero\xE9\xFF\nno final break";
        const QByteArray body(kBody, sizeof kBody - 1); // with the NUL byte, without the terminator
        camera.state().fixedBody = body;
        const Outcome outcome = runQzr({"raw", "encode(1).type&encode(1).framesize"}, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, body);
        const QList<ReceivedRequest> requests = camera.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).target, QByteArray("/api/param?encode(1).type&encode(1).framesize"));
    }

    // --- failures ------------------------------------------------------------

    void refusedConnectionFails()
    {
        const quint16 port = refusedPort();
        const Outcome outcome = runQzr({"get", "system.model"}, port);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(outcome.err, QStringLiteral("127.0.0.1:%1 refused the connection (Socket Error # 111 Connection refused.): check --host and --port.\n").arg(port).toUtf8());
    }

    void unauthorizedFails()
    {
        LoopbackCamera camera;
        camera.state().status = "401 Unauthorized";
        const Outcome outcome = runQzr({"get", "system.model"}, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(outcome.err, QStringLiteral("127.0.0.1:%1 refused the login (401 Unauthorized): check --user and the password.\n").arg(camera.port()).toUtf8());
    }

    // A port or an address that is not one is a usage error: nothing is sent,
    // neither to the camera nor to port 80.
    void badConnectionInputSendsNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("variableValue");
        QTest::addColumn<QByteArray>("err");
        const QStringList get{"get", "system.model"};
        QTest::newRow("--port 99999") << (QStringList{"--port", "99999"} + get) << "" << ""
                                      << QByteArray("qzr: '99999' is not a valid port number (1 to 65535) for --port");
        QTest::newRow("--port -1") << (QStringList{"--port=-1"} + get) << "" << ""
                                   << QByteArray("qzr: '-1' is not a valid port number (1 to 65535) for --port");
        QTest::newRow("QZR_PORT 0") << get << "QZR_PORT" << "0"
                                    << QByteArray("qzr: '0' is not a valid port number (1 to 65535) for QZR_PORT");
        QTest::newRow("--port 8o") << (QStringList{"--port", "8o"} + get) << "" << ""
                                   << QByteArray("qzr: '8o' is not a valid integer value for --port");
        QTest::newRow("--host with a slash") << (QStringList{"--host", "127.0.0.1/"} + get) << "" << ""
                                             << QByteArray("qzr: --host: '127.0.0.1/' is not an IP address or host name");
        QTest::newRow("--host with a query") << (QStringList{"--host", "127.0.0.1?x"} + get) << "" << ""
                                             << QByteArray("qzr: --host: '127.0.0.1?x' is not an IP address or host name");
        QTest::newRow("QZR_HOST with a fragment") << get << "QZR_HOST" << "127.0.0.1#x"
                                                  << QByteArray("qzr: QZR_HOST: '127.0.0.1#x' is not an IP address or host name");
        QTest::newRow("empty --host") << (QStringList{"--host", ""} + get) << "" << ""
                                      << QByteArray("qzr: --host: '' is not an IP address or host name");
    }

    void badConnectionInputSendsNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, variable);
        QFETCH(QString, variableValue);
        QFETCH(QByteArray, err);
        LoopbackCamera camera;
        // Port 80 of loopback, where these used to end up with the credentials.
        QTcpServer port80;
        const bool watching80 = port80.listen(QHostAddress::LocalHost, 80);
        QHash<QString, QString> environment;
        if (!variable.isEmpty())
            environment.insert(variable, variableValue);
        const Outcome outcome = runQzr(arguments, camera.port(), environment);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.err, err + " (see 'qzr --help')\n");
        QCOMPARE(outcome.exitCode, 2);
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(camera.connections(), 0);
        if (watching80)
            QVERIFY2(!port80.waitForNewConnection(0) && !port80.hasPendingConnections(), "port 80 was contacted");
    }

    // A blank around an address is no mistake.
    void addressIsTrimmed()
    {
        LoopbackCamera camera;
        const Outcome outcome = runQzr({"get", "system.model"}, camera.port(), {{"QZR_HOST", " 127.0.0.1 "}});
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(camera.requests().value(0).raw, expectedRead("/api/param?system.model", "YWRtaW46a3Ft"));
    }

    // What the camera refuses, or does not answer, is a failure naming the keys.
    void refusalsAreFailures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("get of a refused key")
            << QStringList{"get", "encode(9).type"} << cameraBody("encode(9).type", "NG") << QByteArray()
            << QByteArray("The camera refused encode(9).type.\n");
        QTest::newRow("get with an empty reply") << QStringList{"get", "system.model", "encode(1).type"}
                                                 << QByteArray() << QByteArray()
                                                 << QByteArray("The camera's reply holds no value for system.model, "
                                                               "encode(1).type.\n");
        QTest::newRow("set refused")
            << QStringList{"set", "encode(1).framerate=99", "encode(1).status=save"}
            << QByteArray("<html>\r\n<head></head>\r\n<body>\r\n<pre>\r\nencode(1).framerate=NG&\r\n"
                          "encode(1).status=save&\r\n</pre>\r\n</body></html>\r\n")
            << QByteArray()
            << QByteArray("The camera refused encode(1).framerate (encode(1).framerate=99&encode(1).status=save); it took "
                          "encode(1).status.\n");
        QTest::newRow("set with an empty reply") << QStringList{"set", "a=1"} << QByteArray() << QByteArray()
                                                 << QByteArray("The camera's reply to a=1 is empty.\n");
    }

    void refusalsAreFailures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        LoopbackCamera camera;
        camera.state().fixedBody = body;
        const Outcome outcome = runQzr(arguments, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.err, err);
        QCOMPARE(outcome.out, out);
        QCOMPARE(outcome.exitCode, 1);
    }

    // A password goes to the camera as typed, and nowhere else: with debug
    // logging on, the request line is logged with "***" in its place, and so
    // is the request a camera refuses.
    void passwordsStayOutOfLogsAndMessages_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("taken") << cameraBody("system.password.operator(0)", "Brand-New-9") << 0;
        QTest::newRow("refused") << cameraBody("system.password.operator(0)", "NG") << 1;
    }

    void passwordsStayOutOfLogsAndMessages()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, exitCode);
        LoopbackCamera camera;
        camera.state().fixedBody = body;
        const Outcome outcome = runQzr({"set", "system.password.operator(0)=Brand-New-9", "Encode(1).Password=x7"},
                                       camera.port(), {{"QT_LOGGING_RULES", "qzr.*.debug=true"}});
        QCOMPARE(outcome.exitCode, exitCode);
        QCOMPARE(camera.requests().value(0).target,
                 QByteArray("/api/param?system.password.operator(0)=Brand-New-9&Encode(1).Password=x7"));
        QVERIFY2(!outcome.err.contains("Brand-New-9") && !outcome.err.contains("x7"), outcome.err.constData());
        QVERIFY2(outcome.err.contains("GET /api/param?system.password.operator(0)=***&Encode(1).Password=*** to"),
                 outcome.err.constData());
        if (exitCode == 1)
            QVERIFY2(outcome.err.contains("The camera refused system.password.operator(0) "
                                          "(system.password.operator(0)=***&Encode(1).Password=***)"),
                     outcome.err.constData());
    }

    // set --verify reads every written key back and names those that differ.
    void setVerifyReadsBack()
    {
        LoopbackCamera camera;
        camera.state().values.insert("a", "2");
        camera.state().values.insert("b", "x y");
        const Outcome outcome = runQzr({"set", "--verify", "a=1", "b=x y", "a=3"}, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(outcome.err, QByteArray("The camera does not hold what was written: a (sent 3, camera 2)\n"));
        QCOMPARE(outcome.exitCode, 3);
        QStringList targets;
        for (const ReceivedRequest &request : camera.requests())
            targets << QString::fromLatin1(request.target);
        QCOMPARE(targets, QStringList({"/api/param?a=1&b=x%20y&a=3", "/api/param?a", "/api/param?b"}));

        camera.state().values.insert("a", "3");
        QCOMPARE(runQzr({"set", "--verify", "a=3", "b=x y"}, camera.port()).exitCode, 0);
    }

    // Typed values go out in Windows-1252; what it cannot hold is refused,
    // naming the argument, and nothing is sent.
    void setConvertsTypedText()
    {
        LoopbackCamera camera;
        const Outcome outcome = runQzr({"set", QString::fromUtf8("n=\xC3\xA9t\xC3\xA9\xE2\x82\xAC")}, camera.port());
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(camera.requests().value(0).target, QByteArray("/api/param?n=%E9t%E9%80"));

        const Outcome refused = runQzr({"set", "a=1", QString::fromUtf8("n=\xCE\xA9")}, camera.port());
        QCOMPARE(refused.exitCode, 1);
        QCOMPARE(refused.err, QByteArray("'set' argument 2: 'n=\xCE\xA9' holds \"\xCE\xA9\", which the camera's code page "
                                         "(Windows-1252) cannot hold.\n"));
        QCOMPARE(camera.requests().size(), 1);
    }

    // On a terminal a camera value cannot drive it: control characters are
    // shown as escapes, the rest in the terminal's encoding.
    void terminalSeesEscapes()
    {
        LoopbackCamera camera;
        camera.state().values.insert("system.owner", "\x1B]0;owned\x07\xE9\x80\t\x9B");
        const QByteArray shown = runOnTerminal({"get", "system.owner"}, camera.port());
        // The terminal turns each line end into CR LF.
        QCOMPARE(shown, QByteArray("system.owner=\\x1B]0;owned\\x07\xC3\xA9\xE2\x82\xAC\\t\xE2\x80\xBA\r\n"));
    }

    // "127.0.0.010" is read by a resolver as 127.0.0.8 (octal): refused, in
    // --host and in a host list, before anything reaches the camera that
    // listens at 127.0.0.8.
    void octalAddressReachesNoOtherCamera()
    {
        QTcpServer other;
        if (!other.listen(QHostAddress("127.0.0.8"), 0))
            QSKIP("127.0.0.8 is not a loopback address here");
        const QString port = QString::number(other.serverPort());
        QTemporaryDir work;
        QVERIFY(work.isValid());
        QFile file(work.filePath("golden.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const Outcome single = runQzr({"--host", "127.0.0.010", "--port", port, "get", "system.model"}, 80);
        QCOMPARE(single.exitCode, 2);
        QCOMPARE(single.err, QByteArray("qzr: --host: '127.0.0.010' is not an IP address or host name (see 'qzr "
                                        "--help')\n"));
        const Outcome fleet = runQzr({"clone", file.fileName(), "--hosts", "127.0.0.010:" + port}, 80);
        QCOMPARE(fleet.exitCode, 2);
        QVERIFY2(fleet.err.startsWith("qzr: --hosts: '127.0.0.010' is not an IP address or host name"),
                 fleet.err.constData());
        QVERIFY2(!other.waitForNewConnection(0) && !other.hasPendingConnections(), "the camera at 127.0.0.8 was reached");
    }

    // A password file that other users may read is used, with a warning
    // that names it and its mode; a private one brings none.
    void readablePasswordFileIsNamed()
    {
        LoopbackCamera camera;
        camera.state().values.insert("system.model", "QZ-R");
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString file = work.filePath("password");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("kqm\n");
        out.close();
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                | QFile::ReadOther));
        const Outcome open = runQzr({"get", "system.model", "--password-file", file}, camera.port());
        QCOMPARE(open.exitCode, 0);
        QCOMPARE(open.err, "qzr: warning: --password-file " + file.toUtf8() + " may be read by other users (mode "
                           "0644); keep it readable by its owner only (chmod 600 " + file.toUtf8() + ")\n");
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
        const Outcome closed = runQzr({"get", "system.model", "--password-file", file}, camera.port());
        QCOMPARE(closed.exitCode, 0);
        QCOMPARE(closed.err, QByteArray());
    }

    // Nothing a camera sends drives the terminal, on any path: its status
    // line in the error text and the debug log, a value in a conversion
    // message. The escapes are shown instead.
    void hostileTextNeverDrivesTheTerminal_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("statusLine");
        QTest::addColumn<QByteArray>("sceneNumber");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("status line") << QStringList{"get", "system.model"}
                                     << QByteArray("401 \x1B]0;TITLE\x07\x1B[2J") << QByteArray("0")
                                     << QByteArray("(401 \\x1B]0;TITLE\\x07\\x1B[2J)");
        QTest::newRow("value in a message") << QStringList{"save", "hostile.txt"} << QByteArray()
                                            << QByteArray("\x1B[2J\x9B") << QByteArray("'\\x1B[2J");
    }

    void hostileTextNeverDrivesTheTerminal()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, statusLine);
        QFETCH(QByteArray, sceneNumber);
        QFETCH(QByteArray, shown);
        LoopbackCamera camera;
        if (!statusLine.isEmpty())
            camera.state().status = statusLine;
        camera.state().values.insert("camera.scene.status", sceneNumber);
        QTemporaryDir work;
        QVERIFY(work.isValid());
        arguments.replace(arguments.size() - 1, arguments.last() == "hostile.txt" ? work.filePath("hostile.txt")
                                                                                  : arguments.last());
        const QByteArray terminal = runOnTerminal(arguments, camera.port(), true, true);
        QVERIFY2(terminal.contains(shown), terminal.constData());
        QVERIFY2(!terminal.contains('\x1B') && !terminal.contains('\x07') && !terminal.contains("\xC2\x9B"),
                 terminal.toHex(' ').constData());
    }

        void firstFailureEndsTheCall()
    {
        LoopbackCamera camera;
        camera.state().statusForKey.insert("encode(2).type", "404 Not Found");
        const Outcome outcome = runQzr({"get", "encode(1).type", "encode(2).type", "encode(3).type"}, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.out, QByteArray("encode(1).type=value-of-encode(1).type\n"));
        QCOMPARE(outcome.err, QStringLiteral("127.0.0.1:%1 does not know the request (404 Not Found): check that --host and --port lead to a QZ-R camera.\n").arg(camera.port()).toUtf8());
        const QList<ReceivedRequest> requests = camera.requests();
        QCOMPARE(requests.size(), 2);
    }

    void replyTimeLimitApplies()
    {
        // The camera takes the request and never answers; without the limit
        // the process would wait 30 s and outlast the process bound.
        LoopbackCamera camera;
        camera.state().silent = true;
        const Outcome outcome = runQzr({"--timeout", "0.3", "get", "system.model"}, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(outcome.err, QStringLiteral("127.0.0.1:%1 did not answer within 0.3 s.\n").arg(camera.port()).toUtf8());
        QCOMPARE(camera.requests().size(), 1);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"frobnicate", "a"};
        QTest::newRow("unknown option") << QStringList{"--verbose", "get", "a"};
        QTest::newRow("password option") << QStringList{"--password", "x", "get", "a"};
        QTest::newRow("option without value") << QStringList{"get", "a", "--host"};
        QTest::newRow("bad timeout") << QStringList{"--timeout", "soon", "get", "a"};
        QTest::newRow("negative timeout") << QStringList{"--timeout", "-1", "get", "a"};
        QTest::newRow("get without keys") << QStringList{"get"};
        QTest::newRow("set without assignments") << QStringList{"set"};
        QTest::newRow("set without equals") << QStringList{"set", "a=1", "b"};
        QTest::newRow("set without key") << QStringList{"set", "=1"};
        QTest::newRow("raw without query") << QStringList{"raw"};
        QTest::newRow("raw with two queries") << QStringList{"raw", "a", "b"};
        QTest::newRow("usage before a bad port") << QStringList{"--port", "8o", "set", "a"};
        QTest::newRow("encoders with an argument") << QStringList{"encoders", "1"};
        QTest::newRow("json for raw") << QStringList{"--json", "raw", "a"};
        // Forms the parser would take for -h on its own.
        QTest::newRow("double dash h") << QStringList{"--h", "get", "a"};
        QTest::newRow("h twice") << QStringList{"-hh", "get", "a"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        LoopbackCamera camera;
        const Outcome outcome = runQzr(arguments, camera.port());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 2);
        QCOMPARE(outcome.out, QByteArray());
        QVERIFY(outcome.err.startsWith("qzr: "));
        QVERIFY(outcome.err.endsWith("--help')\n"));
        QCOMPARE(outcome.err.count('\n'), 1);
        QCOMPARE(camera.connections(), 0);
    }

    void helpExplainsEverything()
    {
        const Outcome outcome = runQzr({"--help"}, refusedPort());
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.err, QByteArray());
        for (const char *needle : {"get KEY...", "set KEY=VALUE...", "raw QUERY", "--host", "--port", "--user",
                                   "--timeout", "encoders [--json]", "--json", "QZR_HOST", "QZR_PORT", "QZR_USER", "QZR_PASSWORD", "Exit status"})
            QVERIFY2(outcome.out.contains(needle), needle);
        QVERIFY(!outcome.out.contains("kqm"));
    }

    // One command's help alone, by either spelling; a help that cannot be
    // written fails.
    void commandHelp()
    {
        const Outcome byCommand = runQzr({"help", "set"}, refusedPort());
        const Outcome byOption = runQzr({"set", "--help"}, refusedPort());
        QCOMPARE(byCommand.exitCode, 0);
        QCOMPARE(byOption.out, byCommand.out);
        QVERIFY(byCommand.out.startsWith("Usage: qzr [OPTIONS] set KEY=VALUE... [--verify]\n"));
        QVERIFY(byCommand.out.contains("--verify"));
        QVERIFY(!byCommand.out.contains("raw QUERY"));
        // Its own options and the connection options, not those of other commands.
        QVERIFY(byCommand.out.contains("--host H"));
        QVERIFY(!byCommand.out.contains("--hosts LIST"));
        QVERIFY(!byCommand.out.contains("--sweep"));
        QCOMPARE(runQzr({"help", "frobnicate"}, refusedPort()).exitCode, 2);

        QProcess process;
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start(QStringLiteral(QZR_EXECUTABLE), {"--help"});
        QVERIFY(process.waitForFinished(clitest::kProcessLimitMs));
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(process.readAllStandardError(), QByteArray("qzr: cannot write to standard output.\n"));
    }

    // --- argument handling in-process --------------------------------------

    void settingsPrecedence()
    {
        const cli::EnvironmentLookup environment = [](const char *name) -> std::optional<QString> {
            if (qstrcmp(name, "QZR_HOST") == 0)
                return QStringLiteral("10.0.0.9");
            if (qstrcmp(name, "QZR_USER") == 0)
                return QString(); // set, but empty
            if (qstrcmp(name, "QZR_PASSWORD") == 0)
                return QStringLiteral("pw");
            return std::nullopt;
        };
        cli::Invocation invocation = cli::parseCommandLine({"get", "a", "--port=81", "b"}, environment);
        QCOMPARE(invocation.connection.address, QStringLiteral("10.0.0.9"));
        QCOMPARE(invocation.connection.port, QStringLiteral("81"));
        QCOMPARE(invocation.connection.user, QString());
        QCOMPARE(invocation.connection.password, QStringLiteral("pw"));
        QCOMPARE(invocation.command, QStringLiteral("get"));
        QCOMPARE(invocation.arguments, (QStringList{"a", "b"}));
        QCOMPARE(invocation.replyTimeoutMs, 30'000);

        invocation = cli::parseCommandLine({"--timeout", "2.5", "raw", "--", "--x=1"}, &noVariable);
        QCOMPARE(invocation.connection.address, QStringLiteral("192.168.0.57"));
        QCOMPARE(invocation.connection.port, QStringLiteral("80"));
        QCOMPARE(invocation.connection.user, QStringLiteral("admin"));
        QCOMPARE(invocation.connection.password, QStringLiteral("kqm"));
        QCOMPARE(invocation.replyTimeoutMs, 2500);
        QCOMPARE(invocation.arguments, QStringList{"--x=1"});

        QCOMPARE(cli::parseTimeoutSeconds(QStringLiteral("0")), 0);
        QCOMPARE(cli::parseTimeoutSeconds(QStringLiteral("0.0001")), 1);
        QVERIFY_THROWS_EXCEPTION(cli::UsageError, cli::parseTimeoutSeconds(QStringLiteral("1e12")));
    }

    // What "raw" and the tables show on a terminal: lines stay lines, every
    // other control character (C1 included) is an escape.
    void terminalTextShowsControls()
    {
        QCOMPARE(cli::terminalText(QString::fromLatin1("a\x1B[2Jb\r\nc\rd\x07\te\x9B\x81\n")),
                 QString::fromLatin1("a\\x1B[2Jb\nc\\x0Dd\\x07\te\\x9B\\x81\n"));
    }

    void assignmentsKeepTheirOrder()
    {
        const ParamQuery query = cli::assignmentsQuery({"encode(1).type=H.264", "encode(1).status=save"});
        QCOMPARE(query.target(), QByteArray("/api/param?encode(1).type=H.264&encode(1).status=save"));
        QVERIFY_THROWS_EXCEPTION(cli::UsageError, cli::assignmentsQuery({"a=1", "b"}));
    }

    void everyCommandIsInTheTable()
    {
        for (const char *name : {"get", "set", "raw", "encoders"}) {
            const cli::Command *command = cli::findCommand(QString::fromLatin1(name));
            QVERIFY2(command && command->run, name);
        }
        QVERIFY(cli::findCommand(QStringLiteral("encoders"))->offersJson);
        QVERIFY(!cli::findCommand(QStringLiteral("get"))->offersJson);
        QVERIFY(!cli::findCommand(QStringLiteral("frobnicate")));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "CliTest.moc"
