// Talks to the simulated camera over real loopback sockets, byte for byte.

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "CameraSimulator.h"
#include "ParamQuery.h"
#include "SimServer.h"
#include "SimThread.h"

using namespace qzr::sim;

Q_DECLARE_METATYPE(qzr::sim::FaultMode)

namespace {

constexpr int kTimeoutMs = 5000;
const QByteArray kCrLf = "\r\n";
const QByteArray kGoodCredentials = "admin:kqm";

QByteArray getRequest(const QByteArray &target, const QByteArray &credentials = kGoodCredentials)
{
    QByteArray request = "GET " + target + " HTTP/1.1\r\n"
                         "Host: 127.0.0.1\r\n"
                         "Accept: text/html, */*\r\n"
                         "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n";
    if (!credentials.isEmpty())
        request += "Authorization: Basic " + credentials.toBase64() + kCrLf;
    return request + kCrLf;
}

QByteArray paramBody(const QList<QByteArray> &itemLines)
{
    QByteArray body = "<html>\r\n<head><title>QZ-R param</title></head>\r\n<body>\r\n<pre>\r\n";
    for (const QByteArray &line : itemLines)
        body += line + kCrLf;
    return body + "</pre>\r\n</body></html>\r\n";
}

QByteArray okReply(const QByteArray &body)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
           + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

struct Reply {
    QByteArray head; // status line and headers, without the empty line
    QByteArray body;
    bool complete = false;

    QByteArray statusLine() const { return head.left(head.indexOf("\r\n")); }
    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : head.split('\n')) {
            const int colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).compare(name, Qt::CaseInsensitive) == 0)
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
    // The fifth body line, which the tool reads its value from.
    QByteArray line5() const { return body.split('\n').value(4).trimmed(); }
};

// A plain HTTP client over one QTcpSocket; every wait is bounded.
class Client
{
public:
    bool connectTo(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        return m_socket.waitForConnected(kTimeoutMs);
    }

    bool send(const QByteArray &bytes)
    {
        m_socket.write(bytes);
        return m_socket.waitForBytesWritten(kTimeoutMs);
    }

    // Reads one reply: the head, then Content-Length bytes, chunks, or up to the close.
    Reply readReply()
    {
        Reply reply;
        int headEnd = -1;
        if (!fillUntil([&] { return (headEnd = m_buffer.indexOf("\r\n\r\n")) >= 0; }))
            return reply;
        reply.head = m_buffer.left(headEnd);
        m_buffer.remove(0, headEnd + 4);
        const QByteArray length = reply.header("Content-Length");
        if (!length.isEmpty()) {
            const int size = length.toInt();
            reply.complete = fillUntil([&] { return m_buffer.size() >= size; });
            reply.body = m_buffer.left(size);
            m_buffer.remove(0, reply.body.size());
        } else if (reply.header("Transfer-Encoding").contains("chunked")) {
            reply.complete = readChunks(reply.body);
        } else {
            reply.complete = waitForClose();
            reply.body = takeAll();
        }
        return reply;
    }

    // Everything the camera sends until it closes the connection.
    QByteArray readUntilClosed(bool *closed = nullptr)
    {
        const bool wasClosed = waitForClose();
        if (closed)
            *closed = wasClosed;
        return takeAll();
    }

    bool isClosed() const { return m_socket.state() == QAbstractSocket::UnconnectedState; }
    QTcpSocket &socket() { return m_socket; }
    QByteArray buffered() const { return m_buffer; }

private:
    template <typename Done>
    bool fillUntil(Done done)
    {
        const QDeadlineTimer deadline(kTimeoutMs);
        m_buffer += m_socket.readAll(); // data may have arrived while events were processed
        while (!done()) {
            if (deadline.hasExpired() || !m_socket.waitForReadyRead(int(deadline.remainingTime()))) {
                m_buffer += m_socket.readAll();
                return done();
            }
            m_buffer += m_socket.readAll();
        }
        return true;
    }

    bool waitForClose()
    {
        const QDeadlineTimer deadline(kTimeoutMs);
        while (m_socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired()) {
            m_socket.waitForReadyRead(int(deadline.remainingTime()));
            m_buffer += m_socket.readAll();
        }
        m_buffer += m_socket.readAll();
        return isClosed();
    }

    bool readChunks(QByteArray &body)
    {
        constexpr int kMaxChunks = 1000;
        for (int i = 0; i < kMaxChunks; ++i) {
            int lineEnd = -1;
            if (!fillUntil([&] { return (lineEnd = m_buffer.indexOf("\r\n")) >= 0; }))
                return false;
            const QByteArray sizeLine = m_buffer.left(lineEnd);
            m_chunkSizeLines << sizeLine;
            m_buffer.remove(0, lineEnd + 2);
            bool ok = false;
            const int size = sizeLine.split(' ').first().toInt(&ok, 16);
            if (!ok)
                return false;
            if (!fillUntil([&] { return m_buffer.size() >= size + 2; }))
                return false;
            if (size == 0)
                return m_buffer.startsWith("\r\n") && (m_buffer.remove(0, 2), true);
            body += m_buffer.left(size);
            m_buffer.remove(0, size + 2);
        }
        return false;
    }

    QByteArray takeAll()
    {
        QByteArray all = m_buffer;
        m_buffer.clear();
        return all;
    }

public:
    QList<QByteArray> m_chunkSizeLines;

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
};

} // namespace

class SimServerTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimThread> m_sim;
    quint16 m_port = 0;

    void startSim(const CameraOptions &camera = {}, const ServerOptions &server = {})
    {
        m_sim = std::make_unique<SimThread>(camera, server);
        m_port = m_sim->start(0);
        QVERIFY(m_port != 0);
    }

    Reply request(const QByteArray &target, const QByteArray &credentials = kGoodCredentials)
    {
        Client client;
        if (!client.connectTo(m_port) || !client.send(getRequest(target, credentials)))
            return {};
        return client.readReply();
    }

    QString value(const QString &key) const { return m_sim->value(key).value_or(QStringLiteral("<absent>")); }

private slots:
    void init() { startSim(); }
    void cleanup() { m_sim.reset(); }

    // --- query parsing, no sockets ---

    void queryIsSplitBeforePercentDecoding()
    {
        const QList<ParamItem> items = parseParamQuery("&a%2Eb=x%26y%3Dz%20w&c&=v");
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0].key, QStringLiteral("a.b"));
        QCOMPARE(items[0].value, QStringLiteral("x&y=z w"));
        QVERIFY(items[0].isWrite);
        QCOMPARE(items[1].key, QStringLiteral("c"));
        QVERIFY(!items[1].isWrite);
        QCOMPARE(items[2].key, QString());
        QCOMPARE(items[2].value, QStringLiteral("v"));
    }

    // --- reply layout and keep-alive ---

    void readReplyHasExactLayout()
    {
        Client client;
        QVERIFY(client.connectTo(m_port));
        QVERIFY(client.send(getRequest("/api/param?system.model")));
        const QByteArray expected = okReply(paramBody({"system.model=QZ-R410&"}));
        QByteArray received;
        for (int i = 0; i < 100 && received.size() < expected.size(); ++i) {
            if (!client.socket().waitForReadyRead(kTimeoutMs))
                break;
            received += client.socket().readAll();
        }
        QCOMPARE(received, expected);
    }

    void readsOfKnownKeysAnswerTheirValues_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("line5");
        QTest::newRow("revision") << QByteArray("system.software.revision") << QByteArray("system.software.revision=2.10.0045&");
        QTest::newRow("mac") << QByteArray("network.interface.mac") << QByteArray("network.interface.mac=00:11:22:33:44:55&");
        QTest::newRow("scene") << QByteArray("camera.scene.status") << QByteArray("camera.scene.status=0&");
        QTest::newRow("encoder 1 rate") << QByteArray("encode(1).framerate") << QByteArray("encode(1).framerate=15&");
        QTest::newRow("encoder 2 type") << QByteArray("encode(2).type") << QByteArray("encode(2).type=jpeg&");
        QTest::newRow("encoder 3 type") << QByteArray("encode(3).type") << QByteArray("encode(3).type=off&");
        QTest::newRow("gateway") << QByteArray("network.gateway(ipv4)") << QByteArray("network.gateway(ipv4)=192.168.0.1&");
        QTest::newRow("night focus") << QByteArray("camera.focus.nightfocus") << QByteArray("camera.focus.nightfocus=5&");
        QTest::newRow("multicast 3") << QByteArray("network.destination(3).address") << QByteArray("network.destination(3).address=225.0.4.1&");
        QTest::newRow("multicast port 3") << QByteArray("network.destination(3).port") << QByteArray("network.destination(3).port=29152&");
        QTest::newRow("unknown") << QByteArray("no.such.key") << QByteArray("no.such.key=NG&");
        QTest::newRow("command key read") << QByteArray("encode(1).status") << QByteArray("encode(1).status=NG&");
        QTest::newRow("encoded key") << QByteArray("system%2Emodel") << QByteArray("system.model=QZ-R410&");
    }

    void readsOfKnownKeysAnswerTheirValues()
    {
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, line5);
        const Reply reply = request("/api/param?" + query);
        QVERIFY(reply.complete);
        QCOMPARE(reply.line5(), line5);
    }

    void everySceneFileHoldsEveryImageKey()
    {
        const QStringList suffixes{".image.3ddnr", ".image.brightness", ".image.senseup_limit", ".shutter",
                                   ".auto_exposure.reference", ".image.color", ".image.true_daynight",
                                   ".image.white_balance", ".image.blc", ".image.enhance", ".image.clvi",
                                   ".image.pedestal", ".image.gamma", ".auto_exposure.av_pk.color",
                                   ".auto_exposure.av_pk.black_white"};
        for (int scene = 0; scene < 8; ++scene) {
            for (const QString &suffix : suffixes) {
                const QString key = QStringLiteral("camera.scene(%1)%2").arg(scene).arg(suffix);
                const auto stored = m_sim->value(key);
                QVERIFY2(stored && !stored->isEmpty(), qPrintable(key));
            }
        }
    }

    void keepAliveServesSeveralRequestsOnOneConnection()
    {
        Client client;
        QVERIFY(client.connectTo(m_port));
        QVERIFY(client.send(getRequest("/api/param?system.model")));
        QCOMPARE(client.readReply().line5(), QByteArray("system.model=QZ-R410&"));
        QVERIFY(client.send(getRequest("/api/param?encode(1).bitrate")));
        const Reply second = client.readReply();
        QVERIFY(second.complete);
        QCOMPARE(second.line5(), QByteArray("encode(1).bitrate=4000000&"));
        QVERIFY(!client.isClosed());
        QCOMPARE(m_sim->connectionCount(), 1);
        const auto requests = m_sim->requests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0].connection, 1);
        QCOMPARE(requests[1].connection, 1);
    }

    void requestSplitOverSeveralReadsIsAssembled()
    {
        const QByteArray whole = getRequest("/api/param?encode(2).quality");
        const QList<QByteArray> parts{whole.left(7), whole.mid(7, 30), whole.mid(37)};
        Client client;
        QVERIFY(client.connectTo(m_port));
        qint64 sent = 0;
        for (const QByteArray &part : parts) {
            QVERIFY(client.send(part));
            sent += part.size();
            // The camera has read this part before the next one goes out.
            QTRY_COMPARE_WITH_TIMEOUT(m_sim->bytesReceived(), sent, kTimeoutMs);
        }
        const Reply reply = client.readReply();
        QCOMPARE(reply.line5(), QByteArray("encode(2).quality=160k&"));
        const auto requests = m_sim->requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].raw, whole);
    }

    void malformedRequestGets400AndClose()
    {
        Client client;
        QVERIFY(client.connectTo(m_port));
        QVERIFY(client.send("NONSENSE\r\n\r\n"));
        bool closed = false;
        const QByteArray bytes = client.readUntilClosed(&closed);
        QVERIFY(bytes.startsWith("HTTP/1.1 400 Bad Request\r\n"));
        QVERIFY(closed);
    }

    // --- writes ---

    void writesAnswerStoredValuesAndRefuseOthers()
    {
        const Reply reply = request("/api/param?encode(1).type=jpeg&encode(1).framerate=7"
                                    "&encode(1).bitrate=64000&no.such.key=1&system.model=X");
        QCOMPARE(reply.body, paramBody({"encode(1).type=jpeg&", "encode(1).framerate=NG&",
                                        "encode(1).bitrate=64000&", "no.such.key=NG&",
                                        "system.model=NG&"}));
        QCOMPARE(value("encode(1).type"), QStringLiteral("jpeg"));
        QCOMPARE(value("encode(1).framerate"), QStringLiteral("15"));
        QCOMPARE(value("encode(1).bitrate"), QStringLiteral("64000"));
        QCOMPARE(value("system.model"), QStringLiteral("QZ-R410"));
    }

    void encoderValuesOutsideTheirSetsAreRefused_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("refused");
        QTest::newRow("type") << QString("encode(2).type") << QString("h265");
        QTest::newRow("framesize") << QString("encode(2).framesize") << QString("800x600");
        QTest::newRow("cbr_mode") << QString("encode(2).cbr_mode") << QString("CBR");
        QTest::newRow("bitrate low") << QString("encode(2).bitrate") << QString("63999");
        QTest::newRow("bitrate high") << QString("encode(2).bitrate") << QString("8000001");
        QTest::newRow("bitrate empty") << QString("encode(2).bitrate") << QString("");
        QTest::newRow("quality") << QString("encode(2).quality") << QString("160K");
        QTest::newRow("iframe") << QString("encode(2).iframeinterval") << QString("20");
        QTest::newRow("gamma empty") << QString("camera.scene(1).image.gamma") << QString("");
        QTest::newRow("ip") << QString("network.interface.ip") << QString("192.168..2");
    }

    void encoderValuesOutsideTheirSetsAreRefused()
    {
        QFETCH(QString, key);
        QFETCH(QString, refused);
        const QString before = value(key);
        const Reply reply = request("/api/param?" + key.toLatin1() + '=' + refused.toLatin1());
        QCOMPARE(reply.line5(), key.toLatin1() + "=NG&");
        QCOMPARE(value(key), before);
    }

    void percentEncodedValueKeepsAmpersand()
    {
        const Reply reply = request("/api/param?system.password.operator(0)=a%26b%3Dc%20d");
        QCOMPARE(reply.line5(), QByteArray("system.password.operator(0)=a&b=c d&"));
        QCOMPARE(value("system.password.operator(0)"), QStringLiteral("a&b=c d"));
    }

    void leadingAmpersandIsIgnored()
    {
        const Reply reply = request("/api/param?&network.interface.dhcp.status=on");
        QCOMPARE(reply.body, paramBody({"network.interface.dhcp.status=on&"}));
        QCOMPARE(value("network.interface.dhcp.status"), QStringLiteral("on"));
    }

    void encoderSaveStoresACopy()
    {
        request("/api/param?encode(3).type=h264baseline");
        QCOMPARE(m_sim->savedValue("encode(3).type").value_or(QString()), QStringLiteral("off"));
        const Reply reply = request("/api/param?encode(3).status=save");
        QCOMPARE(reply.line5(), QByteArray("encode(3).status=save&"));
        QCOMPARE(m_sim->savedValue("encode(3).type").value_or(QString()), QStringLiteral("h264baseline"));
        QCOMPARE(request("/api/param?encode(3).status=keep").line5(), QByteArray("encode(3).status=NG&"));
    }

    void sceneGotoInitializeAndSave()
    {
        QCOMPARE(request("/api/param?camera.scene(7).status=goto").line5(),
                 QByteArray("camera.scene(7).status=goto&"));
        QCOMPARE(request("/api/param?camera.scene.status").line5(), QByteArray("camera.scene.status=7&"));

        const QString factory = value("camera.scene(2).image.3ddnr");
        request("/api/param?camera.scene(2).image.3ddnr=high&camera.scene(2).image.color=77");
        QCOMPARE(value("camera.scene(2).image.3ddnr"), QStringLiteral("high"));
        request("/api/param?camera.scene(2).status=save");
        QCOMPARE(m_sim->savedValue("camera.scene(2).image.color").value_or(QString()), QStringLiteral("77"));

        request("/api/param?camera.scene(2).status=initialize");
        QCOMPARE(value("camera.scene(2).image.3ddnr"), factory);
        QCOMPARE(value("camera.scene(2).image.color"), QStringLiteral("50"));
        QCOMPARE(value("camera.scene.status"), QStringLiteral("7")); // initialize does not switch
        QCOMPARE(request("/api/param?camera.scene(2).status=explode").line5(),
                 QByteArray("camera.scene(2).status=NG&"));
        QCOMPARE(request("/api/param?camera.scene.status=3").line5(), QByteArray("camera.scene.status=NG&"));
    }

    void multicastDestinationStartStopSave()
    {
        QCOMPARE(request("/api/param?network.destination(2).status=start").line5(),
                 QByteArray("network.destination(2).status=start&"));
        QCOMPARE(request("/api/param?network.destination(2).status=save").line5(),
                 QByteArray("network.destination(2).status=save&"));
        QCOMPARE(value("network.destination(2).status"), QStringLiteral("start"));
        QCOMPARE(m_sim->savedValue("network.destination(2).status").value_or(QString()), QStringLiteral("start"));
    }

    void focusRunsForConfiguredPollsThenStops()
    {
        QCOMPARE(request("/api/param?camera.focus.status").line5(), QByteArray("camera.focus.status=stop&"));
        request("/api/param?camera.focus.adjust_mode=day");
        request("/api/param?camera.focus=op_auto");
        for (int poll = 0; poll < 3; ++poll)
            QCOMPARE(request("/api/param?camera.focus.status").line5(), QByteArray("camera.focus.status=run&"));
        QCOMPARE(request("/api/param?camera.focus.status").line5(), QByteArray("camera.focus.status=stop&"));
    }

    void focusCanEndWithObjectError()
    {
        m_sim->setFocusResult(FocusResult::ObjectError);
        request("/api/param?camera.focus.adjust_mode=day");
        for (int poll = 0; poll < 3; ++poll)
            QCOMPARE(request("/api/param?camera.focus.status").line5(), QByteArray("camera.focus.status=run&"));
        QCOMPARE(request("/api/param?camera.focus.status").line5(),
                 QByteArray("camera.focus.status=OBJECT_ERROR&"));
        request("/api/param?camera.focus.adjust_mode=select");
        QCOMPARE(request("/api/param?camera.focus.status").line5(), QByteArray("camera.focus.status=stop&"));
    }

    void focusStepsMoveTheirValues()
    {
        QCOMPARE(request("/api/param?camera.focus.nightfocus=-").line5(), QByteArray("camera.focus.nightfocus=4&"));
        QCOMPARE(request("/api/param?camera.focus.finefocus=+10").line5(), QByteArray("camera.focus.finefocus=510&"));
        QCOMPARE(request("/api/param?camera.focus.finefocus=-200").line5(), QByteArray("camera.focus.finefocus=310&"));
        QCOMPARE(request("/api/param?camera.focus.nightfocus=12").line5(), QByteArray("camera.focus.nightfocus=NG&"));
    }

    // --- authentication ---

    void badCredentialsGet401_data()
    {
        QTest::addColumn<QByteArray>("credentials");
        QTest::newRow("none") << QByteArray();
        QTest::newRow("wrong password") << QByteArray("admin:wrong");
        QTest::newRow("wrong user") << QByteArray("root:kqm");
    }

    void badCredentialsGet401()
    {
        QFETCH(QByteArray, credentials);
        const Reply reply = request("/api/param?encode(1).type=off", credentials);
        QCOMPARE(reply.statusLine(), QByteArray("HTTP/1.1 401 Unauthorized"));
        QCOMPARE(reply.header("WWW-Authenticate"), QByteArray("Basic realm=\"QZ-R\""));
        QVERIFY(!reply.body.isEmpty());
        QCOMPARE(value("encode(1).type"), QStringLiteral("h264high"));
    }

    void passwordWriteChangesCredentials()
    {
        QCOMPARE(request("/api/param?system.password.operator(0)=secret").line5(),
                 QByteArray("system.password.operator(0)=secret&"));
        QCOMPARE(request("/api/param?system.model").statusLine(), QByteArray("HTTP/1.1 401 Unauthorized"));
        QCOMPARE(request("/api/param?system.model", "admin:secret").line5(), QByteArray("system.model=QZ-R410&"));
    }

    // --- fault modes ---

    void hangNeverAnswers()
    {
        m_sim->setFault(FaultMode::Hang);
        Client client;
        QVERIFY(client.connectTo(m_port));
        QVERIFY(client.send(getRequest("/api/param?system.model")));
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->requests().size(), 1, kTimeoutMs);
        QVERIFY(!m_sim->requests().first().answered);
        QCOMPARE(m_sim->requests().first().fault, QStringLiteral("hang"));
        QCOMPARE(client.socket().bytesAvailable(), 0);
        QVERIFY(!client.isClosed());

        m_sim->setFault(FaultMode::None);
        QCOMPARE(request("/api/param?system.model").line5(), QByteArray("system.model=QZ-R410&"));
    }

    void closeMidReplySendsPartThenCloses()
    {
        m_sim->setFault(FaultMode::CloseMidReply);
        Client client;
        QVERIFY(client.connectTo(m_port));
        QVERIFY(client.send(getRequest("/api/param?system.model")));
        bool closed = false;
        const QByteArray bytes = client.readUntilClosed(&closed);
        QVERIFY(closed);
        const QByteArray body = paramBody({"system.model=QZ-R410&"});
        const QByteArray full = okReply(body);
        QCOMPARE(bytes, full.left(full.size() - (body.size() - body.size() / 2)));
        QVERIFY(bytes.size() < full.size());
    }

    void http10RepliesThenCloses()
    {
        m_sim->setFault(FaultMode::Http10);
        Client client;
        QVERIFY(client.connectTo(m_port));
        QVERIFY(client.send(getRequest("/api/param?system.model")));
        bool closed = false;
        const QByteArray bytes = client.readUntilClosed(&closed);
        QVERIFY(closed);
        QByteArray expected = okReply(paramBody({"system.model=QZ-R410&"}));
        expected.replace(0, int(qstrlen("HTTP/1.1")), "HTTP/1.0");
        QCOMPARE(bytes, expected);
    }

    void connectionCloseHeaderThenClose()
    {
        m_sim->setFault(FaultMode::ConnectionClose);
        Client client;
        QVERIFY(client.connectTo(m_port));
        QVERIFY(client.send(getRequest("/api/param?system.model")));
        const Reply reply = client.readReply();
        QCOMPARE(reply.header("Connection"), QByteArray("close"));
        QCOMPARE(reply.line5(), QByteArray("system.model=QZ-R410&"));
        bool closed = false;
        QCOMPARE(client.readUntilClosed(&closed), QByteArray());
        QVERIFY(closed);
    }

    void chunkedBodyHasSeveralChunksWithExtension()
    {
        m_sim->setFault(FaultMode::Chunked);
        Client client;
        QVERIFY(client.connectTo(m_port));
        QVERIFY(client.send(getRequest("/api/param?system.model")));
        const Reply reply = client.readReply();
        QVERIFY(reply.complete);
        QCOMPARE(reply.header("Transfer-Encoding"), QByteArray("chunked"));
        QVERIFY(reply.header("Content-Length").isEmpty());
        QCOMPARE(reply.body, paramBody({"system.model=QZ-R410&"}));
        QVERIFY(client.m_chunkSizeLines.size() > 2);
        QVERIFY(client.m_chunkSizeLines.first().contains(' '));
        QCOMPARE(client.m_chunkSizeLines.last(), QByteArray("0"));
        // The connection stays usable after the last chunk.
        QVERIFY(client.send(getRequest("/api/param?encode(1).type")));
        QCOMPARE(client.readReply().body, paramBody({"encode(1).type=h264high&"}));
    }

    void replacementFaultsDoNotTouchState_data()
    {
        QTest::addColumn<FaultMode>("mode");
        QTest::addColumn<QByteArray>("statusLine");
        QTest::newRow("redirect") << FaultMode::Redirect << QByteArray("HTTP/1.1 302 Found");
        QTest::newRow("unauthorized") << FaultMode::Unauthorized << QByteArray("HTTP/1.1 401 Unauthorized");
        QTest::newRow("notfound") << FaultMode::NotFound << QByteArray("HTTP/1.1 404 Not Found");
        QTest::newRow("servererror") << FaultMode::ServerError << QByteArray("HTTP/1.1 500 Internal Server Error");
    }

    void replacementFaultsDoNotTouchState()
    {
        QFETCH(FaultMode, mode);
        QFETCH(QByteArray, statusLine);
        m_sim->setFault(mode);
        const Reply reply = request("/api/param?encode(1).framerate=5");
        QVERIFY(reply.complete);
        QCOMPARE(reply.statusLine(), statusLine);
        QVERIFY(!reply.body.isEmpty());
        QCOMPARE(value("encode(1).framerate"), QStringLiteral("15"));
        if (mode == FaultMode::Redirect) {
            QVERIFY(reply.header("Location").startsWith("http://127.0.0.1:" + QByteArray::number(m_port) + '/'));
        }
        if (mode == FaultMode::Unauthorized)
            QCOMPARE(reply.header("WWW-Authenticate"), QByteArray("Basic realm=\"QZ-R\""));
    }

    void garbageStatusLine()
    {
        m_sim->setFault(FaultMode::GarbageStatus);
        const Reply reply = request("/api/param?system.model");
        QCOMPARE(reply.statusLine(), QByteArray("HTTP/1.1 2OO OK"));
        QCOMPARE(reply.line5(), QByteArray("system.model=QZ-R410&"));
    }

    void emptyBodyKeepsConnection()
    {
        m_sim->setFault(FaultMode::EmptyBody);
        Client client;
        QVERIFY(client.connectTo(m_port));
        QVERIFY(client.send(getRequest("/api/param?system.model")));
        const Reply reply = client.readReply();
        QCOMPARE(reply.statusLine(), QByteArray("HTTP/1.1 200 OK"));
        QCOMPARE(reply.header("Content-Length"), QByteArray("0"));
        QVERIFY(reply.body.isEmpty());
        m_sim->setFault(FaultMode::None);
        QVERIFY(client.send(getRequest("/api/param?system.model")));
        QCOMPARE(client.readReply().line5(), QByteArray("system.model=QZ-R410&"));
    }

    void closeIdleDropsTheNextRequestOnAKeptConnection()
    {
        m_sim->setFault(FaultMode::CloseIdle);
        Client client;
        QVERIFY(client.connectTo(m_port));
        QVERIFY(client.send(getRequest("/api/param?encode(1).framerate=10")));
        QCOMPARE(client.readReply().line5(), QByteArray("encode(1).framerate=10&"));
        QVERIFY(client.send(getRequest("/api/param?encode(1).framerate=5")));
        bool closed = false;
        QCOMPARE(client.readUntilClosed(&closed), QByteArray());
        QVERIFY(closed);
        QCOMPARE(value("encode(1).framerate"), QStringLiteral("10"));
        const auto requests = m_sim->requests();
        QCOMPARE(requests.size(), 2);
        QVERIFY(requests[0].answered);
        QVERIFY(!requests[1].answered);
    }

    void nthFaultHitsOnlyThatRequest()
    {
        m_sim->setFault(FaultMode::ServerError, 2);
        Client client;
        QVERIFY(client.connectTo(m_port));
        const QList<QByteArray> expected{"HTTP/1.1 200 OK", "HTTP/1.1 500 Internal Server Error",
                                         "HTTP/1.1 200 OK"};
        for (const QByteArray &status : expected) {
            QVERIFY(client.send(getRequest("/api/param?system.model")));
            QCOMPARE(client.readReply().statusLine(), status);
        }
        QCOMPARE(m_sim->fault().mode, FaultMode::None);
    }

    void adminPathSwitchesFaultWithoutAuth()
    {
        Client client;
        QVERIFY(client.connectTo(m_port));
        QVERIFY(client.send(getRequest("/__camsim/fault?mode=notfound&nth=2", QByteArray())));
        const Reply admin = client.readReply();
        QCOMPARE(admin.statusLine(), QByteArray("HTTP/1.1 200 OK"));
        QCOMPARE(admin.body.trimmed(), QByteArray("ok"));
        QVERIFY(client.send(getRequest("/api/param?system.model")));
        QCOMPARE(client.readReply().statusLine(), QByteArray("HTTP/1.1 200 OK"));
        QVERIFY(client.send(getRequest("/api/param?system.model")));
        QCOMPARE(client.readReply().statusLine(), QByteArray("HTTP/1.1 404 Not Found"));

        QVERIFY(client.send(getRequest("/__camsim/fault?mode=bogus", QByteArray())));
        QCOMPARE(client.readReply().statusLine(), QByteArray("HTTP/1.1 400 Bad Request"));
    }

    void adminStateAndSet()
    {
        QCOMPARE(request("/__camsim/set?camera.scene(1).image.color=120", QByteArray()).body.trimmed(),
                 QByteArray("ok"));
        QCOMPARE(request("/api/param?camera.scene(1).image.color").line5(),
                 QByteArray("camera.scene(1).image.color=120&"));
        const Reply state = request("/__camsim/state", QByteArray());
        QVERIFY(state.body.contains("\r\nsystem.model=QZ-R410\r\n"));
        QVERIFY(state.body.contains("camera.scene(1).image.color=120\r\n"));
    }

    void refuseStopsListeningUntilResumed()
    {
        m_sim->stopListening();
        QVERIFY(!m_sim->isListening());
        QTcpSocket refused;
        refused.connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(!refused.waitForConnected(kTimeoutMs));
        QCOMPARE(refused.error(), QAbstractSocket::ConnectionRefusedError);
        QVERIFY(m_sim->resumeListening());
        QCOMPARE(request("/api/param?system.model").line5(), QByteArray("system.model=QZ-R410&"));
    }

    void refuseAfterReplyThroughAdminPath()
    {
        const Reply admin = request("/__camsim/fault?mode=refuse-after-reply", QByteArray());
        QCOMPARE(admin.body.trimmed(), QByteArray("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_sim->isListening(), kTimeoutMs);
        QTcpSocket refused;
        refused.connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(!refused.waitForConnected(kTimeoutMs));
        QCOMPARE(refused.error(), QAbstractSocket::ConnectionRefusedError);
        QVERIFY(m_sim->resumeListening());
        QCOMPARE(request("/api/param?system.model").statusLine(), QByteArray("HTTP/1.1 200 OK"));
    }

    void refuseAtStartBindsButDoesNotListen()
    {
        ServerOptions options;
        options.fault.mode = FaultMode::Refuse;
        SimThread sim({}, options);
        const quint16 port = sim.start(0);
        QVERIFY(port != 0);
        QVERIFY(!sim.isListening());
        QTcpSocket refused;
        refused.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(!refused.waitForConnected(kTimeoutMs));
        QCOMPARE(refused.error(), QAbstractSocket::ConnectionRefusedError);
    }

    // --- request log ---

    void logFileHasOneJsonLinePerRequest()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ServerOptions options;
        options.logPath = dir.filePath(QStringLiteral("requests.jsonl"));
        startSim({}, options);

        const QByteArray first = getRequest("/api/param?camera.scene(1).status=goto");
        const QByteArray second = getRequest("/api/param?system.password.operator(0)=a%20b", "admin:wrong");
        Client client;
        QVERIFY(client.connectTo(m_port));
        QVERIFY(client.send(first));
        QVERIFY(client.readReply().complete);
        QVERIFY(client.send(second));
        QVERIFY(client.readReply().complete);
        m_sim->setFault(FaultMode::Hang);
        Client other;
        QVERIFY(other.connectTo(m_port));
        const QByteArray third = getRequest("/api/param?system.model");
        QVERIFY(other.send(third));
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->requests().size(), 3, kTimeoutMs);

        QFile file(options.logPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.last().isEmpty());
        const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"));
        const QList<QByteArray> raws{first, second, third};
        const QList<int> connections{1, 1, 2};
        const QList<bool> answered{true, true, false};
        const QStringList targets{"/api/param?camera.scene(1).status=goto",
                                  "/api/param?system.password.operator(0)=a b", "/api/param?system.model"};
        for (int i = 0; i < 3; ++i) {
            QJsonParseError error;
            const QJsonObject entry = QJsonDocument::fromJson(lines[i], &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            QCOMPARE(entry.value("raw").toString().toLatin1(), raws[i]);
            QCOMPARE(entry.value("connection").toInt(), connections[i]);
            QCOMPARE(entry.value("answered").toBool(), answered[i]);
            QCOMPARE(entry.value("target").toString(), targets[i]);
            QVERIFY2(iso.match(entry.value("time").toString()).hasMatch(),
                     qPrintable(entry.value("time").toString()));
        }
    }

    // --- the executable ---

    void executablePrintsPortAndServes()
    {
        QProcess process;
        process.start(QStringLiteral(QZR_CAMSIM_EXECUTABLE),
                      {"--port", "0", "--model", "QZ-R420", "--password", "pw"});
        QVERIFY(process.waitForStarted(kTimeoutMs));
        QDeadlineTimer deadline(kTimeoutMs);
        while (!process.canReadLine() && !deadline.hasExpired())
            process.waitForReadyRead(int(deadline.remainingTime()));
        const QByteArray line = process.readLine();
        QVERIFY(line.endsWith('\n'));
        bool ok = false;
        m_port = quint16(line.trimmed().toUInt(&ok));
        QVERIFY(ok && m_port != 0);
        QCOMPARE(request("/api/param?system.model", "admin:pw").line5(), QByteArray("system.model=QZ-R420&"));
        process.kill();
        QVERIFY(process.waitForFinished(kTimeoutMs));
    }

    void executableServesIndependentCameras()
    {
        QProcess process;
        process.start(QStringLiteral(QZR_CAMSIM_EXECUTABLE), {"--cameras", "3", "--port", "0"});
        QVERIFY(process.waitForStarted(kTimeoutMs));
        QDeadlineTimer deadline(kTimeoutMs);
        while (!process.canReadLine() && !deadline.hasExpired())
            process.waitForReadyRead(int(deadline.remainingTime()));
        const QByteArray line = process.readLine();
        QVERIFY(line.endsWith('\n'));
        bool ok = false;
        const uint first = line.trimmed().toUInt(&ok);
        QVERIFY(ok && first != 0 && first + 2 <= 65535);
        // Reads KEY over HTTP from the camera on m_port: "KEY=VALUE&".
        const auto read = [this](const QByteArray &key) { return request("/api/param?" + key).line5(); };

        // Write to the second camera and read it back there.
        m_port = quint16(first + 1);
        QCOMPARE(request("/api/param?encode(1).framerate=5").line5(), QByteArray("encode(1).framerate=5&"));
        QCOMPARE(read("encode(1).framerate"), QByteArray("encode(1).framerate=5&"));
        QCOMPARE(read("network.interface.mac"), QByteArray("network.interface.mac=00:11:22:33:44:56&"));
        // The first and third cameras keep the default.
        for (const uint port : {first, first + 2}) {
            m_port = quint16(port);
            QCOMPARE(read("encode(1).framerate"), QByteArray("encode(1).framerate=15&"));
        }
        m_port = quint16(first);
        QCOMPARE(read("network.interface.mac"), QByteArray("network.interface.mac=00:11:22:33:44:55&"));
        m_port = quint16(first + 2);
        QCOMPARE(read("network.interface.mac"), QByteArray("network.interface.mac=00:11:22:33:44:57&"));
        process.kill();
        QVERIFY(process.waitForFinished(kTimeoutMs));
    }

    // A thousand cameras in one process, spread over its threads: each its
    // own, with a MAC of its own (the byte before the last counts on from
    // camera 256).
    void executableServesAThousandCameras()
    {
        QProcess process;
        process.start(QStringLiteral(QZR_CAMSIM_EXECUTABLE), {"--cameras", "1000", "--port", "0"});
        QVERIFY(process.waitForStarted(kTimeoutMs));
        QDeadlineTimer deadline(kTimeoutMs);
        while (!process.canReadLine() && !deadline.hasExpired())
            process.waitForReadyRead(int(deadline.remainingTime()));
        bool ok = false;
        const uint first = process.readLine().trimmed().toUInt(&ok);
        QVERIFY(ok && first != 0 && first + 999 <= 65535);
        const auto read = [this](const QByteArray &key) { return request("/api/param?" + key).line5(); };
        m_port = quint16(first + 999);
        QCOMPARE(request("/api/param?encode(1).framerate=5").line5(), QByteArray("encode(1).framerate=5&"));
        QCOMPARE(read("network.interface.mac"), QByteArray("network.interface.mac=00:11:22:33:47:3C&"));
        m_port = quint16(first + 256);
        QCOMPARE(read("network.interface.mac"), QByteArray("network.interface.mac=00:11:22:33:45:55&"));
        QCOMPARE(read("encode(1).framerate"), QByteArray("encode(1).framerate=15&"));
        process.kill();
        QVERIFY(process.waitForFinished(kTimeoutMs));
    }

    void executableHelpListsOptions()
    {
        QProcess process;
        process.start(QStringLiteral(QZR_CAMSIM_EXECUTABLE), {"--help"});
        QVERIFY(process.waitForFinished(kTimeoutMs));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray help = process.readAllStandardOutput();
        for (const char *option : {"--port", "--address", "--model", "--mac", "--user", "--password",
                                   "--focus-polls", "--fault", "--log", "--cameras"})
            QVERIFY2(help.contains(option), option);
    }

    void executableRejectsUnknownFault()
    {
        QProcess process;
        process.start(QStringLiteral(QZR_CAMSIM_EXECUTABLE), {"--port", "0", "--fault", "sometimes"});
        QVERIFY(process.waitForFinished(kTimeoutMs));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("unknown --fault mode"));
    }
};

QTEST_GUILESS_MAIN(SimServerTest)
#include "SimServerTest.moc"
