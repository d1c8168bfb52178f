// The simulator's WS-Discovery as clients see it: which probes a camera
// answers, in which SOAP and discovery version, and what its answer says.
// Multicast on "lo" only, on a discovery port of this test's own.
#include "DiscoveryResponder.h"
#include "SimFleet.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>
#include <QtTest>

using qzr::discoverytest::SimFleet;
using qzr::sim::DiscoveryOptions;
using qzr::sim::DiscoveryResponder;

namespace {

const QByteArray kSoap12 = "http://www.w3.org/2003/05/soap-envelope";
const QByteArray kSoap11 = "http://schemas.xmlsoap.org/soap/envelope/";
const QByteArray kWsd2005 = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
const QByteArray kWsd2009 = "http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01";

// A Probe as clients write it; `body` goes inside d:Probe.
QByteArray probe(const QByteArray &soap, const QByteArray &wsd, const QByteArray &messageId, const QByteArray &body)
{
    const QByteArray wsa = wsd == kWsd2009 ? "http://www.w3.org/2005/08/addressing"
                                           : "http://schemas.xmlsoap.org/ws/2004/08/addressing";
    const QByteArray to = wsd == kWsd2009 ? "urn:docs-oasis-open-org:ws-dd:ns:discovery:2009:01"
                                          : "urn:schemas-xmlsoap-org:ws:2005:04:discovery";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<s:Envelope xmlns:s=\"" + soap + "\" xmlns:a=\"" + wsa + "\" xmlns:d=\"" + wsd + "\">"
           "<s:Header><a:Action s:mustUnderstand=\"1\">" + wsd + "/Probe</a:Action>"
           "<a:MessageID>" + messageId + "</a:MessageID>"
           "<a:To s:mustUnderstand=\"1\">" + to + "</a:To></s:Header>"
           "<s:Body><d:Probe>" + body + "</d:Probe></s:Body></s:Envelope>";
}

// A prober on 127.0.0.1 that sends to the discovery group on "lo".
class Prober
{
public:
    explicit Prober(quint16 discoveryPort)
        : m_discoveryPort(discoveryPort)
    {
        m_socket.bind(QHostAddress::LocalHost, 0);
        m_socket.setMulticastInterface(QNetworkInterface::interfaceFromName(QStringLiteral("lo")));
        m_socket.setSocketOption(QAbstractSocket::MulticastLoopbackOption, 1);
    }

    bool send(const QByteArray &datagram)
    {
        return m_socket.writeDatagram(datagram, QHostAddress(QStringLiteral("239.255.255.250")), m_discoveryPort)
               == datagram.size();
    }

    // The answers heard until one contains `last` or `count` have come;
    // gives up after ten seconds.
    QList<QByteArray> answers(int count, const QByteArray &last = {})
    {
        QList<QByteArray> heard;
        for (int round = 0; round < 200; ++round) {
            while (m_socket.hasPendingDatagrams())
                heard << m_socket.receiveDatagram().data();
            if (heard.size() >= count || (!last.isEmpty() && !heard.isEmpty() && heard.last().contains(last)))
                break;
            QTest::qWait(50);
        }
        return heard;
    }

private:
    QUdpSocket m_socket;
    quint16 m_discoveryPort;
};

} // namespace

class SimDiscoveryTest : public QObject
{
    Q_OBJECT

private slots:
    // A camera answers exactly the probes whose Types and Scopes it
    // matches, in the probe's own SOAP and discovery version.
    void answersMatchingProbesInKind_data()
    {
        QTest::addColumn<QByteArray>("probe");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QByteArray>("soap");
        QTest::addColumn<QByteArray>("wsd");

        const QByteArray id = "urn:uuid:0b7e0000-0000-4000-8000-00000000aaaa";
        const QByteArray nvt = "<d:Types xmlns:dp0=\"http://www.onvif.org/ver10/network/wsdl\">dp0:NetworkVideoTransmitter</d:Types>";
        QTest::newRow("SOAP 1.1, 2009/01, no Types") << probe(kSoap11, kWsd2009, id, "") << true << kSoap11 << kWsd2009;
        QTest::newRow("SOAP 1.2, 2005/04, transmitter on a prefix of its own")
            << probe(kSoap12, kWsd2005, id, nvt) << true << kSoap12 << kWsd2005;
        QTest::newRow("SOAP 1.1, 2005/04, device type and the camera's hardware")
            << probe(kSoap11, kWsd2005, id,
                     "<d:Types xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\">tds:Device</d:Types>"
                     "<d:Scopes>onvif://www.onvif.org/hardware/QZ-R50%20X</d:Scopes>")
            << true << kSoap11 << kWsd2005;
        QTest::newRow("SOAP 1.2, 2009/01, scope by segments, scheme and host in any case")
            << probe(kSoap12, kWsd2009, id, nvt + "<d:Scopes>ONVIF://WWW.onvif.org/name onvif://www.onvif.org/type/video_encoder/</d:Scopes>")
            << true << kSoap12 << kWsd2009;
        QTest::newRow("another hardware")
            << probe(kSoap12, kWsd2005, id, "<d:Scopes>onvif://www.onvif.org/hardware/QZ-R410</d:Scopes>")
            << false << kSoap12 << kWsd2005;
        QTest::newRow("a string prefix that is no segment")
            << probe(kSoap12, kWsd2005, id, "<d:Scopes>onvif://www.onvif.org/hardware/QZ-R5</d:Scopes>")
            << false << kSoap12 << kWsd2005;
        QTest::newRow("one of two scopes its own")
            << probe(kSoap12, kWsd2009, id, "<d:Scopes>onvif://www.onvif.org/type onvif://www.onvif.org/location/country/fr</d:Scopes>")
            << false << kSoap12 << kWsd2009;
        QTest::newRow("whole-string rule given a prefix")
            << probe(kSoap12, kWsd2005, id,
                     "<d:Scopes MatchBy=\"http://schemas.xmlsoap.org/ws/2005/04/discovery/strcmp0\">onvif://www.onvif.org/type</d:Scopes>")
            << false << kSoap12 << kWsd2005;
        QTest::newRow("transmitter of another namespace")
            << probe(kSoap12, kWsd2005, id, "<d:Types xmlns:dn=\"urn:example:printers\">dn:NetworkVideoTransmitter</d:Types>")
            << false << kSoap12 << kWsd2005;
        QTest::newRow("a display, not a transmitter")
            << probe(kSoap11, kWsd2009, id, "<d:Types xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\">dn:NetworkVideoTransmitter dn:NetworkVideoDisplay</d:Types>")
            << false << kSoap11 << kWsd2009;
    }
    void answersMatchingProbesInKind()
    {
        QFETCH(QByteArray, probe);
        QFETCH(bool, answered);
        QFETCH(QByteArray, soap);
        QFETCH(QByteArray, wsd);

        const quint16 discoveryPort = qzr::discoverytest::freeDiscoveryPort();
        DiscoveryOptions options;
        options.port = discoveryPort;
        options.model = QStringLiteral("QZ-R50 X");
        options.replyDelayMax_ms = 0; // answers in the order of the probes
        DiscoveryResponder camera;
        QVERIFY2(camera.start(options, QStringLiteral("urn:uuid:5a5a0000-0000-4000-8000-000000000001"),
                              QStringLiteral("127.0.0.1"), 8081), qPrintable(camera.errorText()));

        // The probe of the row, then one every camera answers: an answer to
        // the first comes before the answer to the second.
        Prober prober(discoveryPort);
        QVERIFY(prober.send(probe));
        const QByteArray control = ::probe(kSoap12, kWsd2005, "urn:uuid:0b7e0000-0000-4000-8000-00000000cccc", "");
        QVERIFY(prober.send(control));
        const QList<QByteArray> answers = prober.answers(2, "urn:uuid:0b7e0000-0000-4000-8000-00000000cccc");
        QVERIFY(!answers.isEmpty());
        QVERIFY2(answers.last().contains("<a:RelatesTo>urn:uuid:0b7e0000-0000-4000-8000-00000000cccc</a:RelatesTo>"),
                 answers.last().constData());
        QCOMPARE(answers.size(), answered ? 2 : 1);
        if (!answered)
            return;
        const QByteArray &answer = answers.first();
        const QList<QByteArray> pieces{
            "<s:Envelope xmlns:s=\"" + soap + "\"",
            "xmlns:d=\"" + wsd + "\"",
            "<a:Action s:mustUnderstand=\"1\">" + wsd + "/ProbeMatches</a:Action>",
            "<a:RelatesTo>urn:uuid:0b7e0000-0000-4000-8000-00000000aaaa</a:RelatesTo>",
            "<d:ProbeMatches><d:ProbeMatch><a:EndpointReference><a:Address>urn:uuid:5a5a0000-0000-4000-8000-000000000001</a:Address></a:EndpointReference>",
            "<d:Types>dn:NetworkVideoTransmitter tds:Device</d:Types>",
            "<d:Scopes>onvif://www.onvif.org/type/video_encoder onvif://www.onvif.org/hardware/QZ-R50%20X "
            "onvif://www.onvif.org/name/QZ-R50%20X onvif://www.onvif.org/location/</d:Scopes>",
            "<d:XAddrs>http://127.0.0.1:8081/onvif/device_service</d:XAddrs>",
        };
        for (const QByteArray &piece : pieces)
            QVERIFY2(answer.contains(piece), piece.constData());
        if (wsd == kWsd2009)
            QVERIFY(answer.contains("xmlns:a=\"http://www.w3.org/2005/08/addressing\""));
        else
            QVERIFY(answer.contains("xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""));
    }

    // qzr-camsim cameras, each waiting its own random delay before it
    // answers, all answer a probe for their model, each once, naming it.
    void fleetAnswersAfterItsDelays()
    {
        const quint16 discoveryPort = qzr::discoverytest::freeDiscoveryPort();
        SimFleet fleet;
        QVERIFY(fleet.start({"--cameras", "3", "--address", "127.0.0.80", "--address-per-camera", "--model", "QZ-R50"},
                            discoveryPort));
        Prober prober(discoveryPort);
        QVERIFY(prober.send(probe(kSoap11, kWsd2009, "urn:uuid:0b7e0000-0000-4000-8000-00000000f1ee",
                                  "<d:Scopes>onvif://www.onvif.org/hardware/QZ-R50</d:Scopes>")));
        const QList<QByteArray> answers = prober.answers(3);
        QCOMPARE(answers.size(), 3);
        QStringList xaddrs;
        for (const QByteArray &answer : answers) {
            QVERIFY2(answer.contains("<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\""),
                     answer.constData());
            QVERIFY(answer.contains("<a:RelatesTo>urn:uuid:0b7e0000-0000-4000-8000-00000000f1ee</a:RelatesTo>"));
            QVERIFY(answer.contains(" onvif://www.onvif.org/hardware/QZ-R50 onvif://www.onvif.org/name/QZ-R50 "));
            const int from = int(answer.indexOf("<d:XAddrs>")) + 10;
            xaddrs << QString::fromUtf8(answer.mid(from, answer.indexOf("</d:XAddrs>") - from));
        }
        xaddrs.sort();
        const QString port = QString::number(fleet.port());
        QCOMPARE(xaddrs, QStringList({"http://127.0.0.80:" + port + "/onvif/device_service",
                                      "http://127.0.0.81:" + port + "/onvif/device_service",
                                      "http://127.0.0.82:" + port + "/onvif/device_service"}));
    }
};

QTEST_GUILESS_MAIN(SimDiscoveryTest)
#include "SimDiscoveryTest.moc"
