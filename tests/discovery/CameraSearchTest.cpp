// Searches against simulated fleets on loopback: WS-Discovery on "lo" with a
// discovery port of this test's own, and sweeps of 127.0.0.x only.
#include "SimFleet.h"
#include "discovery/CameraFinder.h"
#include "protocol/ParamClient.h"

#include <QSignalSpy>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>

using namespace qzr::discovery;
using qzr::discoverytest::SimFleet;

namespace {

struct Row
{
    QString address;
    QString model;
    QString firmware;
    QString mac;
    QString foundBy;
    QString flags;
};

QList<Row> rows(const QList<FoundCamera> &cameras, int port)
{
    QList<Row> list;
    for (const FoundCamera &camera : cameras) {
        if (camera.port != port)
            continue;
        list.append({camera.address, camera.model(), camera.identity.firmware, camera.identity.mac,
                     foundByText(camera.foundBy), flagsText(camera)});
    }
    return list;
}

QString describe(const QList<Row> &list)
{
    QStringList lines;
    for (const Row &row : list)
        lines << QStringList{row.address, row.model, row.firmware, row.mac, row.foundBy, row.flags}.join(QLatin1Char('|'));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class CameraSearchTest : public QObject
{
    Q_OBJECT

private:
    quint16 m_discoveryPort = 0;

    SearchOptions loopbackOptions(int wait_ms = 1500) const
    {
        SearchOptions options;
        options.interfaces = {QStringLiteral("lo")};
        options.discoveryPort = m_discoveryPort;
        options.wait_ms = wait_ms;
        options.identify = true;
        return options;
    }

    // Runs one search to its end and returns what it found.
    QList<FoundCamera> search(const SearchOptions &options)
    {
        CameraFinder finder;
        QSignalSpy finished(&finder, &CameraFinder::finished);
        if (!finder.start(options)) {
            qWarning() << finder.errorText();
            return {};
        }
        if (!finished.wait(options.wait_ms + 20'000))
            return {};
        return finder.cameras();
    }

private slots:
    void init() { m_discoveryPort = qzr::discoverytest::freeDiscoveryPort(); }

    // Every camera of a fleet answers the probe and is listed once, with the
    // model, firmware and MAC read over its parameter interface.
    void findsEveryCameraWithItsIdentity()
    {
        SimFleet fleet;
        QVERIFY(fleet.start({"--cameras", "3", "--address", "127.0.0.10", "--address-per-camera",
                             "--mac", "00:1A:2B:3C:4D:10"}, m_discoveryPort));
        const QList<Row> found = rows(search(loopbackOptions()), fleet.port());
        QCOMPARE(describe(found), QStringLiteral("127.0.0.10|QZ-R410|2.10.0045|00:1A:2B:3C:4D:10|ws-discovery|\n"
                                                 "127.0.0.11|QZ-R410|2.10.0045|00:1A:2B:3C:4D:11|ws-discovery|\n"
                                                 "127.0.0.12|QZ-R410|2.10.0045|00:1A:2B:3C:4D:12|ws-discovery|"));
    }

    // A camera that lets the first probe go unanswered answers a repeat.
    void cameraIgnoringTheFirstProbeIsFound()
    {
        SimFleet fleet;
        QVERIFY(fleet.start({"--cameras", "2", "--address", "127.0.0.20", "--address-per-camera",
                             "--ignore-first-probe", "0", "--ignore-first-probe", "1"}, m_discoveryPort));
        const QList<Row> found = rows(search(loopbackOptions()), fleet.port());
        QCOMPARE(found.size(), 2);
        QCOMPARE(found.at(0).address, "127.0.0.20");
        QCOMPARE(found.at(1).address, "127.0.0.21");

        // With a single probe, both stay silent: the repeats are what finds them.
        SimFleet silent;
        const quint16 otherPort = qzr::discoverytest::freeDiscoveryPort();
        QVERIFY(silent.start({"--address", "127.0.0.22", "--ignore-first-probe", "0"}, otherPort));
        SearchOptions once = loopbackOptions(800);
        once.discoveryPort = otherPort;
        once.probeRepeats = 1;
        QCOMPARE(rows(search(once), silent.port()).size(), 0);
    }

    // Two endpoints that claim one address and port are both flagged.
    void addressConflictIsFlagged()
    {
        SimFleet fleet;
        QVERIFY(fleet.start({"--cameras", "3", "--address", "127.0.0.30", "--address-per-camera", "--conflict"},
                            m_discoveryPort));
        const QList<Row> found = rows(search(loopbackOptions()), fleet.port());
        QCOMPARE(describe(found),
                 QStringLiteral("127.0.0.30|QZ-R410|2.10.0045|00:11:22:33:44:55|ws-discovery|address conflict\n"
                                "127.0.0.30|QZ-R410|2.10.0045|00:11:22:33:44:55|ws-discovery|address conflict\n"
                                "127.0.0.31|QZ-R410|2.10.0045|00:11:22:33:44:56|ws-discovery|"));
    }

    // The sweep finds cameras that do not answer WS-Discovery, and a camera
    // asking for other credentials is listed as "login needed".
    void sweepFindsSilentCameras()
    {
        SimFleet fleet;
        QVERIFY(fleet.start({"--cameras", "3", "--address", "127.0.0.41", "--address-per-camera",
                             "--sweep-only", "1", "--sweep-only", "2"}, m_discoveryPort));
        SimFleet locked;
        QVERIFY(locked.start({"--address", "127.0.0.45", "--no-discovery", "--password", "secret"}, m_discoveryPort));
        SearchOptions options = loopbackOptions(600);
        QString error;
        options.sweeps = {*parseSweepRange(QStringLiteral("127.0.0.40/29:%1").arg(fleet.port()), &error)};
        QCOMPARE(describe(rows(search(options), fleet.port())),
                 QStringLiteral("127.0.0.41|QZ-R410|2.10.0045|00:11:22:33:44:55|ws-discovery,sweep|\n"
                                "127.0.0.42|QZ-R410|2.10.0045|00:11:22:33:44:56|sweep|\n"
                                "127.0.0.43|QZ-R410|2.10.0045|00:11:22:33:44:57|sweep|"));
        options.sweeps = {*parseSweepRange(QStringLiteral("127.0.0.45/32:%1").arg(locked.port()), &error)};
        QCOMPARE(describe(rows(search(options), locked.port())), QStringLiteral("127.0.0.45||||sweep|login needed"));
    }

    // A camera that starts during the search says Hello and is listed; one
    // that stops says Bye and leaves the list.
    void helloAddsAndByeRemoves()
    {
        CameraFinder finder;
        QSignalSpy changed(&finder, &CameraFinder::camerasChanged);
        QSignalSpy finished(&finder, &CameraFinder::finished);
        QVERIFY(finder.start(loopbackOptions(10'000)));
        SimFleet late;
        QVERIFY(late.start({"--address", "127.0.0.50", "--mac", "00:11:22:33:44:50"}, m_discoveryPort));
        QTRY_COMPARE_WITH_TIMEOUT(rows(finder.cameras(), late.port()).size(), 1, 5000);
        QCOMPARE(rows(finder.cameras(), late.port()).at(0).foundBy, "hello");
        QTRY_COMPARE_WITH_TIMEOUT(rows(finder.cameras(), late.port()).value(0).mac, "00:11:22:33:44:50", 5000);
        late.stop();
        QTRY_COMPARE_WITH_TIMEOUT(rows(finder.cameras(), late.port()).size(), 0, 5000);
        QVERIFY(finder.isRunning());

        // "Stop search" ends it at once.
        finder.stop();
        QCOMPARE(finished.count(), 1);
        QVERIFY(!finder.isRunning());
    }

    // A camera given a new HTTP port announces it: a search under way moves
    // it there and reads it there, and the next search lists it once, at
    // the new port.
    void newPortIsAnnounced()
    {
        SimFleet fleet;
        QVERIFY(fleet.start({"--address", "127.0.0.55", "--mac", "00:11:22:33:44:55"}, m_discoveryPort));
        const auto listedAt = [](const QList<FoundCamera> &cameras) {
            QStringList targets;
            for (const FoundCamera &camera : cameras) {
                if (camera.address == QLatin1String("127.0.0.55"))
                    targets << camera.target() + QLatin1Char('|') + camera.identity.mac;
            }
            return targets;
        };
        CameraFinder finder;
        QVERIFY(finder.start(loopbackOptions(10'000)));
        const QString before = QStringLiteral("127.0.0.55:%1|00:11:22:33:44:55").arg(fleet.port());
        QTRY_COMPARE_WITH_TIMEOUT(listedAt(finder.cameras()), QStringList{before}, 5000);

        quint16 newPort = 0;
        {
            QTcpServer free;
            QVERIFY(free.listen(QHostAddress(QStringLiteral("127.0.0.55")), 0));
            newPort = free.serverPort();
        }
        qzr::ParamClient client;
        client.setCredentials(QStringLiteral("admin"), QStringLiteral("kqm"));
        const qzr::HttpReply reply = client.get(
            QStringLiteral("127.0.0.55"), fleet.port(),
            QStringLiteral("/api/param?network.http.port=%1&network.http.status=restart").arg(newPort).toLatin1());
        QVERIFY2(reply.ok, qPrintable(reply.errorText));

        const QString after = QStringLiteral("127.0.0.55:%1|00:11:22:33:44:55").arg(newPort);
        QTRY_COMPARE_WITH_TIMEOUT(listedAt(finder.cameras()), QStringList{after}, 5000);
        QCOMPARE(finder.cameras().size(), 1);
        finder.stop();

        QCOMPARE(listedAt(search(loopbackOptions(800))), QStringList{after});
    }

    // A search sends no credentials: not to a web server of a swept range,
    // not to a host a Hello names (nothing reaches it at all), and not to
    // the camera itself unless asked (identify).
    void searchSendsNoCredentials()
    {
        struct Listener
        {
            QTcpServer server;
            QByteArray received;
        };
        Listener printer, named;
        for (auto [listener, address] : {std::pair{&printer, "127.0.0.91"}, std::pair{&named, "127.0.0.92"}}) {
            if (!listener->server.listen(QHostAddress(QString::fromLatin1(address)), 0))
                QSKIP("no second loopback address here");
            connect(&listener->server, &QTcpServer::newConnection, this, [listener] {
                while (QTcpSocket *socket = listener->server.nextPendingConnection()) {
                    connect(socket, &QTcpSocket::readyRead, socket, [listener, socket] {
                        listener->received += socket->readAll();
                        socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
                    });
                }
            });
        }
        SimFleet fleet;
        QVERIFY(fleet.start({"--address", "127.0.0.93", "--mac", "00:11:22:33:44:93"}, m_discoveryPort));

        CameraFinder finder;
        QSignalSpy finished(&finder, &CameraFinder::finished);
        SearchOptions options = loopbackOptions(1500);
        options.identify = false;
        options.password = QStringLiteral("S3cret!");
        QString error;
        options.sweeps = {*parseSweepRange(QStringLiteral("127.0.0.91/32:%1").arg(printer.server.serverPort()), &error)};
        QVERIFY(finder.start(options));
        // Anyone on the network may say Hello naming any host.
        QUdpSocket hostile;
        QVERIFY(hostile.bind(QHostAddress::LocalHost, 0));
        hostile.setMulticastInterface(QNetworkInterface::interfaceFromName(QStringLiteral("lo")));
        Endpoint endpoint;
        endpoint.address = QStringLiteral("urn:uuid:11111111-2222-3333-4444-555555555555");
        endpoint.xaddrs = {QStringLiteral("http://127.0.0.92:%1/onvif/device_service").arg(named.server.serverPort())};
        hostile.writeDatagram(helloMessage(newMessageId(), endpoint), kDiscoveryGroup, m_discoveryPort);
        QVERIFY(finished.wait(20'000));

        QVERIFY2(printer.received.startsWith("GET /api/param?"), printer.received.constData());
        QVERIFY2(!printer.received.toLower().contains("authorization"), printer.received.constData());
        QCOMPARE(named.received, QByteArray());
        const QList<Row> camera = rows(finder.cameras(), fleet.port());
        QCOMPARE(camera.size(), 1);
        QCOMPARE(camera.at(0).model, "QZ-R410"); // from its Scopes
        QCOMPARE(camera.at(0).mac, "");
        bool heardHello = false;
        for (const FoundCamera &found : finder.cameras())
            heardHello = heardHello || found.endpoint == endpoint.address;
        QVERIFY(heardHello);
    }

    // Replies that came faster than they were read are counted by the
    // system and said: here 2,000 Hellos arrive while the search cannot read
    // (this thread sends them), into a small receive buffer.
    void droppedRepliesAreSaid()
    {
        CameraFinder finder;
        QSignalSpy finished(&finder, &CameraFinder::finished);
        SearchOptions options = loopbackOptions(500);
        options.receiveBufferBytes = 64 * 1024;
        QVERIFY(finder.start(options));
        QUdpSocket flood;
        QVERIFY(flood.bind(QHostAddress::LocalHost, 0));
        flood.setMulticastInterface(QNetworkInterface::interfaceFromName(QStringLiteral("lo")));
        for (int i = 0; i < 2000; ++i) {
            Endpoint endpoint;
            endpoint.address = newMessageId();
            endpoint.xaddrs = {QStringLiteral("http://127.0.0.1:9/onvif/device_service")};
            flood.writeDatagram(helloMessage(newMessageId(), endpoint), kDiscoveryGroup, m_discoveryPort);
        }
        QVERIFY(finished.wait(20'000));
        QVERIFY2(finder.droppedReplies() > 0, "a 64 KiB buffer cannot hold 2,000 Hellos");
        QVERIFY(finder.cameraCount() + finder.droppedReplies() <= 2000);
        const QString said = finder.lossTexts().value(0);
        QVERIFY2(said.startsWith(QStringLiteral("%1 replies were dropped by the system").arg(finder.droppedReplies())),
                 qPrintable(said));
    }

    // The device service the XAddrs name answers standard ONVIF requests.
    void deviceServiceAnswersOnvifClients()
    {
        SimFleet fleet;
        QVERIFY(fleet.start({"--address", "127.0.0.60", "--model", "QZ-R50", "--mac", "00:11:22:33:44:60"},
                            m_discoveryPort));
        const auto post = [&](const QByteArray &operation) {
            const QByteArray body =
                "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\">"
                "<s:Body><" + operation + " xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/></s:Body></s:Envelope>";
            QTcpSocket socket;
            socket.connectToHost(QStringLiteral("127.0.0.60"), fleet.port());
            if (!socket.waitForConnected(5000))
                return QByteArray();
            socket.write("POST /onvif/device_service HTTP/1.1\r\nHost: 127.0.0.60\r\n"
                         "Content-Type: application/soap+xml; charset=utf-8\r\nConnection: close\r\n"
                         "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            QByteArray reply;
            while (socket.waitForReadyRead(5000))
                reply += socket.readAll();
            return reply;
        };
        const QByteArray information = post("GetDeviceInformation");
        QVERIFY2(information.startsWith("HTTP/1.1 200 OK\r\n"), information.constData());
        QVERIFY2(information.contains("<tds:Model>QZ-R50</tds:Model>"), information.constData());
        QVERIFY(information.contains("<tds:FirmwareVersion>2.10.0045</tds:FirmwareVersion>"));
        QVERIFY(information.contains("<tds:SerialNumber>001122334460</tds:SerialNumber>"));
        const QByteArray time = post("GetSystemDateAndTime");
        QVERIFY2(time.contains("<tt:UTCDateTime><tt:Time><tt:Hour>"), time.constData());
        QVERIFY(post("GetUsers").startsWith("HTTP/1.1 400 Bad Request\r\n"));
    }
};

QTEST_GUILESS_MAIN(CameraSearchTest)
#include "CameraSearchTest.moc"
