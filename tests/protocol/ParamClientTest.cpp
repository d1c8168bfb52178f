// The camera's HTTP client against the simulated camera over loopback: the
// bytes on the wire, the kept-alive connection and every failure text.
#include "protocol/CameraError.h"
#include "protocol/CameraSession.h"
#include "protocol/ParamClient.h"
#include "sim/SimThread.h"

#include <QtTest>

#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace qzr;
using qzr::sim::FaultMode;
using qzr::sim::SimThread;

namespace {

const QByteArray kAuthAdminKqm = "Authorization: Basic YWRtaW46a3Ft\r\n";

QByteArray expectedRequest(const QByteArray &target, const QByteArray &auth = kAuthAdminKqm)
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/html, */*\r\n"
           "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n" + auth + "\r\n";
}

ConnectionFields fieldsFor(const SimThread &sim, const QString &user = "admin", const QString &password = "kqm")
{
    return {"127.0.0.1", QString::number(sim.port()), user, password};
}

// The failure text of one request without the camera's address (checked on
// its own), or "" when it succeeded.
QString failureOf(CameraSession &session, const QByteArray &target)
{
    try {
        session.cameraGet(target);
    } catch (const CameraError &error) {
        const QString camera = QStringLiteral("127.0.0.1:%1 ").arg(session.requestPort());
        if (!error.text().startsWith(camera))
            return QStringLiteral("(no camera named) ") + error.text();
        return error.text().mid(camera.size());
    }
    return QString();
}

// A socket listening on 127.0.0.1 at a free port; its address in *address.
int loopbackListener(int backlog, sockaddr_in *address)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    *address = {};
    address->sin_family = AF_INET;
    address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr *>(address), sizeof *address);
    ::listen(listener, backlog);
    socklen_t length = sizeof *address;
    ::getsockname(listener, reinterpret_cast<sockaddr *>(address), &length);
    return listener;
}

// A listener whose queue is full: a further connection attempt is never
// answered, as with a camera that does not react.
class FullBacklogListener
{
public:
    FullBacklogListener()
    {
        sockaddr_in address{};
        m_listener = loopbackListener(0, &address);
        m_port = ntohs(address.sin_port);
        for (int &filler : m_fillers) {
            filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(filler, reinterpret_cast<sockaddr *>(&address), sizeof address);
        }
    }
    ~FullBacklogListener()
    {
        for (int filler : m_fillers)
            ::close(filler);
        ::close(m_listener);
    }
    int port() const { return m_port; }

private:
    int m_listener = -1;
    int m_port = 0;
    int m_fillers[3] = {-1, -1, -1};
};

// A camera that answers the next request with bytes the test built, then
// closes the connection.
class CannedReplyServer
{
public:
    explicit CannedReplyServer(QByteArray reply)
    {
        sockaddr_in address{};
        m_listener = loopbackListener(1, &address);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this, reply] {
            const int connection = ::accept(m_listener, nullptr, nullptr);
            if (connection < 0)
                return;
            QByteArray request;
            char buffer[4096];
            while (!request.contains("\r\n\r\n")) {
                const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
                if (got <= 0)
                    break;
                request.append(buffer, got);
            }
            for (qsizetype sent = 0; sent < reply.size();) {
                const ssize_t put = ::send(connection, reply.constData() + sent, size_t(reply.size() - sent), MSG_NOSIGNAL);
                if (put <= 0)
                    break;
                sent += put;
            }
            ::shutdown(connection, SHUT_WR);
            while (::recv(connection, buffer, sizeof buffer, 0) > 0) {
            }
            ::close(connection);
        });
    }
    ~CannedReplyServer()
    {
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }
    QString port() const { return QString::number(m_port); }

private:
    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

} // namespace

class ParamClientTest : public QObject
{
    Q_OBJECT

private slots:
    void readAndWriteRequestsAreExactOnTheWire();
    void emptyUserSendsNoCredentials();
    void changedCredentialsReachTheNextRequest();
    void oneKeptAliveConnectionForManyRequests();
    void newConnectionWhenPortChanges();
    void closedAfterHttp10OrConnectionClose_data();
    void closedAfterHttp10OrConnectionClose();
    void bodiesOfEveryFramingAreRead_data();
    void bodiesOfEveryFramingAreRead();
    void failureTexts_data();
    void failureTexts();
    void refusedConnection();
    void badPortTextSendsNothing();
    void noSilentResendOnAClosedConnection();
    void replyTimeLimit();
    void connectTimeLimit();
    void readParameterTrimsTheLogAndTakesTheValue();
    void newConnectionPutsThePreviousStatusIntoTheLog();
    void malformedRepliesSaySo_data();
    void malformedRepliesSaySo();
    void refusedConnectionLeavesTheLogAlone();
    void cancelEndsAHangingRequestAtOnce();
};

void ParamClientTest::readAndWriteRequestsAreExactOnTheWire()
{
    SimThread sim;
    QVERIFY(sim.start());
    ReplyLog log;
    CameraSession session(log);
    session.applyConnection(fieldsFor(sim));
    session.cameraGet(ParamQuery::read("system.model"));
    session.cameraGet(ParamQuery().set("camera.scene(1).status", "goto"));
    session.cameraGet(ParamQuery().set("encode(1).bitrate", "4000000").set("encode(1).status", "save"));

    const auto requests = sim.requests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests[0].raw, expectedRequest("/api/param?system.model"));
    QCOMPARE(requests[1].raw, expectedRequest("/api/param?camera.scene(1).status=goto"));
    QCOMPARE(requests[2].raw, expectedRequest("/api/param?encode(1).bitrate=4000000&encode(1).status=save"));
    QCOMPARE(sim.value("encode(1).bitrate").value_or(QString()), QString("4000000"));
}

void ParamClientTest::emptyUserSendsNoCredentials()
{
    SimThread sim;
    QVERIFY(sim.start());
    ReplyLog log;
    CameraSession session(log);
    session.applyConnection(fieldsFor(sim, QString(), "secret"));
    // The simulated camera insists on credentials: the request fails with its status.
    QCOMPARE(failureOf(session, "/api/param?system.model"), QString("refused the login (401 Unauthorized): check User and Password"));
    QCOMPARE(sim.requests().value(0).raw, expectedRequest("/api/param?system.model", QByteArray()));
}

void ParamClientTest::changedCredentialsReachTheNextRequest()
{
    SimThread sim;
    QVERIFY(sim.start());
    ReplyLog log;
    CameraSession session(log);
    session.applyConnection(fieldsFor(sim));
    session.cameraGet("/api/param?system.model");
    session.applyCredentialsOnly(fieldsFor(sim, QString(), "kqm"));
    QCOMPARE(failureOf(session, "/api/param?system.model"), QString("refused the login (401 Unauthorized): check User and Password"));
    session.applyCredentialsOnly(fieldsFor(sim, "admin", "other"));
    QCOMPARE(failureOf(session, "/api/param?system.model"), QString("refused the login (401 Unauthorized): check User and Password"));
    session.applyCredentialsOnly(fieldsFor(sim));
    session.cameraGet("/api/param?system.model");

    const auto requests = sim.requests();
    QCOMPARE(requests.size(), 4);
    QCOMPARE(requests[0].raw, expectedRequest("/api/param?system.model"));
    QCOMPARE(requests[1].raw, expectedRequest("/api/param?system.model", QByteArray()));
    QCOMPARE(requests[2].raw, expectedRequest("/api/param?system.model", "Authorization: Basic YWRtaW46b3RoZXI=\r\n"));
    QCOMPARE(requests[3].raw, expectedRequest("/api/param?system.model"));
}

void ParamClientTest::oneKeptAliveConnectionForManyRequests()
{
    SimThread sim;
    QVERIFY(sim.start());
    ReplyLog log;
    CameraSession session(log);
    session.applyConnection(fieldsFor(sim));
    for (int i = 0; i < 5; ++i)
        session.cameraGet(ParamQuery::read("system.model"));
    QCOMPARE(sim.connectionCount(), 1);
    QCOMPARE(session.client().connectionsOpened(), 1);
}

void ParamClientTest::newConnectionWhenPortChanges()
{
    SimThread first;
    SimThread second;
    QVERIFY(first.start());
    QVERIFY(second.start());
    ReplyLog log;
    CameraSession session(log);
    session.applyConnection(fieldsFor(first));
    session.cameraGet(ParamQuery::read("system.model"));
    session.applyConnection(fieldsFor(second));
    session.cameraGet(ParamQuery::read("system.model"));
    session.applyConnection(fieldsFor(first));
    session.cameraGet(ParamQuery::read("system.model"));
    QCOMPARE(first.connectionCount(), 2);
    QCOMPARE(second.connectionCount(), 1);
    QCOMPARE(session.client().connectionsOpened(), 3);
}

void ParamClientTest::closedAfterHttp10OrConnectionClose_data()
{
    QTest::addColumn<FaultMode>("mode");
    QTest::newRow("HTTP/1.0") << FaultMode::Http10;
    QTest::newRow("Connection: close") << FaultMode::ConnectionClose;
}

void ParamClientTest::closedAfterHttp10OrConnectionClose()
{
    QFETCH(FaultMode, mode);
    SimThread sim;
    QVERIFY(sim.start());
    sim.setFault(mode);
    ReplyLog log;
    CameraSession session(log);
    session.applyConnection(fieldsFor(sim));
    QCOMPARE(session.readParameter("system.model"), QString("QZ-R410"));
    QCOMPARE(session.readParameter("system.model"), QString("QZ-R410"));
    QCOMPARE(sim.connectionCount(), 2);
}

void ParamClientTest::bodiesOfEveryFramingAreRead_data()
{
    QTest::addColumn<FaultMode>("mode");
    QTest::newRow("Content-Length") << FaultMode::None;
    QTest::newRow("chunked") << FaultMode::Chunked;
    QTest::newRow("ended by close") << FaultMode::Http10;
}

void ParamClientTest::bodiesOfEveryFramingAreRead()
{
    QFETCH(FaultMode, mode);
    SimThread sim;
    QVERIFY(sim.start());
    sim.setFault(mode);
    ReplyLog log;
    CameraSession session(log);
    session.applyConnection(fieldsFor(sim));
    const QByteArray body = session.cameraGet(ParamQuery::read("network.interface.mac"));
    QVERIFY2(body.contains("\r\nnetwork.interface.mac=00:11:22:33:44:55&\r\n"), body.constData());
    QCOMPARE(session.readParameter("network.interface.mac"), QString("00:11:22:33:44:55"));
}

void ParamClientTest::failureTexts_data()
{
    QTest::addColumn<FaultMode>("mode");
    QTest::addColumn<QString>("text");
    QTest::newRow("401") << FaultMode::Unauthorized << "refused the login (401 Unauthorized): check User and Password";
    QTest::newRow("404") << FaultMode::NotFound << "does not know the request (404 Not Found): check that Camera IP and HTTP Port lead to a QZ-R camera";
    QTest::newRow("500") << FaultMode::ServerError << "failed the request (500 Internal Server Error): try again, or restart the camera";
    QTest::newRow("302 is not followed") << FaultMode::Redirect << "answered 302 Found";
    QTest::newRow("closed mid-reply") << FaultMode::CloseMidReply
                                      << "sent a malformed reply: the body is shorter than its announced length.";
    QTest::newRow("garbage status line") << FaultMode::GarbageStatus << "sent a reply that has no valid status line.";
}

void ParamClientTest::failureTexts()
{
    QFETCH(FaultMode, mode);
    QFETCH(QString, text);
    SimThread sim;
    QVERIFY(sim.start());
    sim.setFault(mode);
    ReplyLog log;
    CameraSession session(log);
    session.applyConnection(fieldsFor(sim));
    QCOMPARE(failureOf(session, "/api/param?system.model"), text);
    QCOMPARE(sim.requests().size(), 1);   // no retry, no redirect visited
}

void ParamClientTest::refusedConnection()
{
    SimThread sim;
    QVERIFY(sim.start());
    const QString port = QString::number(sim.port());
    sim.stop();
    ReplyLog log;
    CameraSession session(log);
    session.applyConnection({"127.0.0.1", port, "admin", "kqm"});
    QCOMPARE(failureOf(session, "/api/param?system.model"), QString("refused the connection (Socket Error # 111 Connection refused.): check Camera IP and HTTP Port"));
}

void ParamClientTest::badPortTextSendsNothing()
{
    ReplyLog log;
    CameraSession session(log);
    try {
        session.applyConnection({"127.0.0.1", "8o", "admin", "kqm"});
        QFAIL("a port of 8o was accepted");
    } catch (const CameraError &error) {
        QCOMPARE(withFinalPeriod(error.text()), QString("'8o' is not a valid integer value."));
    }
    QCOMPARE(session.client().connectionsOpened(), 0);
}

void ParamClientTest::noSilentResendOnAClosedConnection()
{
    SimThread sim;
    QVERIFY(sim.start());
    ReplyLog log;
    CameraSession session(log);
    session.applyConnection(fieldsFor(sim));
    session.cameraGet(ParamQuery::read("system.model"));
    // The camera reads the next request on the kept-alive connection and
    // closes it without a reply: it may have acted on it, so it is not repeated.
    sim.setFault(FaultMode::CloseIdle, 1);
    QCOMPARE(failureOf(session, "/api/param?camera.scene(2).status=goto"), QString("closed the connection without an answer (Connection Closed Gracefully.): try again, or restart the camera"));
    int gotoRequests = 0;
    for (const auto &request : sim.requests())
        gotoRequests += request.target.contains("goto") ? 1 : 0;
    QCOMPARE(gotoRequests, 1);
    // The next request opens a new connection and succeeds.
    QCOMPARE(session.readParameter("system.model"), QString("QZ-R410"));
}

void ParamClientTest::replyTimeLimit()
{
    SimThread sim;
    QVERIFY(sim.start());
    sim.setFault(FaultMode::Hang);
    ReplyLog log;
    CameraSession session(log);
    session.client().setReplyTimeoutMs(300);
    session.applyConnection(fieldsFor(sim));
    QCOMPARE(failureOf(session, "/api/param?system.model"), QString("did not answer within 0.3 s"));
}

void ParamClientTest::connectTimeLimit()
{
    FullBacklogListener listener;
    ReplyLog log;
    CameraSession session(log);
    session.client().setConnectTimeoutMs(300);
    session.applyConnection({"127.0.0.1", QString::number(listener.port()), "admin", "kqm"});
    QCOMPARE(failureOf(session, "/api/param?system.model"), QString("could not be reached (Socket Error # 110 Connection timed out.): check Camera IP and the network"));
}

void ParamClientTest::readParameterTrimsTheLogAndTakesTheValue()
{
    SimThread sim;
    QVERIFY(sim.start());
    ReplyLog log;
    CameraSession session(log);
    session.applyConnection(fieldsFor(sim));
    QCOMPARE(session.readParameter("encode(1).framerate"), sim.value("encode(1).framerate").value_or("?"));
    QVERIFY2(log.text().startsWith("encode(1).framerate="), qPrintable(log.text()));
}

void ParamClientTest::newConnectionPutsThePreviousStatusIntoTheLog()
{
    SimThread sim;
    QVERIFY(sim.start());
    sim.setFault(FaultMode::ConnectionClose);
    ReplyLog log;
    QStringList seen;
    log.setChangeHandler([&] { seen << log.text(); });
    CameraSession session(log);
    session.applyConnection(fieldsFor(sim));
    session.cameraGet(ParamQuery::read("system.model"));
    QCOMPARE(seen.value(0), QString());   // no reply yet: empty status text
    seen.clear();
    session.cameraGet(ParamQuery::read("system.model"));
    QCOMPARE(seen.value(0), QString("200 OK"));
}

void ParamClientTest::malformedRepliesSaySo_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("failure");
    QTest::newRow("header line beyond any limit")
        << "HTTP/1.1 200 OK\r\nX-Long: " + QByteArray(200 * 1024, 'x') + "\r\nContent-Length: 2\r\n\r\nok"
        << "sent a malformed reply: a header line is too long.";
    QTest::newRow("chunk size that is no hexadecimal number")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nhello\r\n0\r\n\r\n")
        << "sent a malformed reply: a chunk size is not a hexadecimal number.";
    QTest::newRow("body shorter than its Content-Length")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nsystem.model=QZ&")
        << "sent a malformed reply: the body is shorter than its announced length.";
    QTest::newRow("closed without a reply") << QByteArray() << "closed the connection without an answer (Connection Closed Gracefully.): try again, or restart the camera";
}

// A reply that breaks HTTP is reported as such, never as a memory shortage
// or a graceful close.
void ParamClientTest::malformedRepliesSaySo()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, failure);
    CannedReplyServer camera(reply);
    ReplyLog log;
    CameraSession session(log);
    session.applyConnection({"127.0.0.1", camera.port(), "admin", "kqm"});
    QCOMPARE(failureOf(session, "/api/param?system.model"), failure);
}

// A refused connection never opened: the log keeps what it held.
void ParamClientTest::refusedConnectionLeavesTheLogAlone()
{
    SimThread sim;
    QVERIFY(sim.start());
    ReplyLog log;
    CameraSession session(log);
    session.applyConnection(fieldsFor(sim));
    QCOMPARE(session.readParameter("system.model"), QString("QZ-R410"));
    session.client().closeConnection();
    sim.stopListening();
    int changes = 0;
    log.setChangeHandler([&] { ++changes; });
    QCOMPARE(failureOf(session, "/api/param?system.model"), QString("refused the connection (Socket Error # 111 Connection refused.): check Camera IP and HTTP Port"));
    QCOMPARE(changes, 0);
    QCOMPARE(log.text(), QString("system.model=QZ-R410&"));
}

// The camera reads the request and never answers: a cancel from another
// thread ends the wait at once (long before the 20 s limit), and the next
// request after it goes out normally.
void ParamClientTest::cancelEndsAHangingRequestAtOnce()
{
    SimThread sim;
    QVERIFY(sim.start());
    sim.setFault(FaultMode::Hang, 1);
    ReplyLog log;
    CameraSession session(log);
    session.client().setReplyTimeoutMs(20'000);
    session.applyConnection(fieldsFor(sim));
    HttpReply hung;
    std::thread waiter([&] { hung = session.client().get("127.0.0.1", sim.port(), "/api/param?system.model"); });
    for (int i = 0; i < 400 && sim.requests().isEmpty(); ++i)
        QThread::msleep(10);
    QCOMPARE(sim.requests().size(), 1);
    session.client().abort();
    waiter.join();
    QCOMPARE(hung.failure, RequestFailure::Cancelled);
    QCOMPARE(hung.errorText, QString("Cancelled"));
    // Until cleared, a cancel holds: nothing more is sent.
    QCOMPARE(session.client().get("127.0.0.1", sim.port(), "/api/param?system.model").errorText, QString("Cancelled"));
    QCOMPARE(sim.requests().size(), 1);
    session.client().clearAbort();
    QCOMPARE(session.readParameter("system.model"), QString("QZ-R410"));
}

QTEST_GUILESS_MAIN(ParamClientTest)
#include "ParamClientTest.moc"
