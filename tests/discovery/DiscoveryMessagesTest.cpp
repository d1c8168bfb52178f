// WS-Discovery messages as cameras of several makes write them (2005/04 and
// 1.1, SOAP 1.2 and 1.1), the probe the tool sends, and datagrams that must
// be dropped without harm.
#include "discovery/WsDiscovery.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace qzr::discovery;

namespace {

const QByteArray kSoap12Prefixed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" xmlns:wsdd=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\" xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\" xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\">\n"
    "<SOAP-ENV:Header><wsa:MessageID>uuid:9f1a2b3c-0000-4000-8000-000000000001</wsa:MessageID>\n"
    "<wsa:RelatesTo>urn:uuid:11111111-2222-4333-8444-555555555555</wsa:RelatesTo>\n"
    "<wsa:To SOAP-ENV:mustUnderstand=\"true\">http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</wsa:To>\n"
    "<wsa:Action SOAP-ENV:mustUnderstand=\"true\">http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</wsa:Action>\n"
    "<wsdd:AppSequence InstanceId=\"1\" MessageNumber=\"3\"/></SOAP-ENV:Header>\n"
    "<SOAP-ENV:Body><wsdd:ProbeMatches><wsdd:ProbeMatch>\n"
    "<wsa:EndpointReference><wsa:Address>urn:uuid:4a7c0000-1111-4222-8333-0011223344aa</wsa:Address></wsa:EndpointReference>\n"
    "<wsdd:Types>dn:NetworkVideoTransmitter tds:Device</wsdd:Types>\n"
    "<wsdd:Scopes>onvif://www.onvif.org/type/video_encoder onvif://www.onvif.org/hardware/QZ-R410</wsdd:Scopes>\n"
    "<wsdd:XAddrs>http://192.168.0.57/onvif/device_service http://[fe80::211:22ff:fe33:4455]/onvif/device_service</wsdd:XAddrs>\n"
    "<wsdd:MetadataVersion>10</wsdd:MetadataVersion>\n"
    "</wsdd:ProbeMatch></wsdd:ProbeMatches></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// SOAP 1.1, default namespaces everywhere, a port in the XAddr.
const QByteArray kSoap11Default = "<?xml version=\"1.0\"?>\n"
    "<Envelope xmlns=\"http://schemas.xmlsoap.org/soap/envelope/\">\n"
    " <Header>\n"
    "  <MessageID xmlns=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\">urn:uuid:aaaa</MessageID>\n"
    "  <RelatesTo xmlns=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\">urn:uuid:probe-1</RelatesTo>\n"
    " </Header>\n"
    " <Body>\n"
    "  <ProbeMatches xmlns=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\">\n"
    "   <ProbeMatch>\n"
    "    <EndpointReference xmlns=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\"><Address>urn:uuid:cam-b</Address></EndpointReference>\n"
    "    <Types>NetworkVideoTransmitter</Types>\n"
    "    <XAddrs>\n"
    "      http://10.1.2.3:8080/onvif/device_service\n"
    "    </XAddrs>\n"
    "   </ProbeMatch>\n"
    "   <ProbeMatch>\n"
    "    <EndpointReference xmlns=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\"><Address>urn:uuid:cam-c</Address></EndpointReference>\n"
    "    <XAddrs>http://10.1.2.4/onvif/device_service</XAddrs>\n"
    "   </ProbeMatch>\n"
    "  </ProbeMatches>\n"
    " </Body>\n"
    "</Envelope>";

// Only an IPv6 XAddr, odd prefixes, a foreign header element with children.
const QByteArray kIpv6Only = "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:w=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" xmlns:x=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\">\n"
    "<e:Header><vendor:Extra xmlns:vendor=\"urn:vendor\"><vendor:Deep>1</vendor:Deep></vendor:Extra><w:RelatesTo>urn:uuid:p6</w:RelatesTo></e:Header>\n"
    "<e:Body><x:ProbeMatches><x:ProbeMatch><w:EndpointReference><w:Address>urn:uuid:v6cam</w:Address></w:EndpointReference>\n"
    "<x:XAddrs>http://[2001:db8::57]:8000/onvif/device_service</x:XAddrs></x:ProbeMatch></x:ProbeMatches></e:Body></e:Envelope>";

const QByteArray kHello = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\">\n"
    "<s:Header><a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/Hello</a:Action><a:MessageID>urn:uuid:h1</a:MessageID></s:Header>\n"
    "<s:Body><d:Hello><a:EndpointReference><a:Address>urn:uuid:hello-cam</a:Address></a:EndpointReference>\n"
    "<d:Types>dn:NetworkVideoTransmitter</d:Types><d:XAddrs>http://127.0.0.10:8080/onvif/device_service</d:XAddrs><d:MetadataVersion>1</d:MetadataVersion></d:Hello></s:Body></s:Envelope>";

const QByteArray kBye = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\">\n"
    "<s:Header><a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/Bye</a:Action></s:Header>\n"
    "<s:Body><d:Bye><a:EndpointReference><a:Address>urn:uuid:hello-cam</a:Address></a:EndpointReference></d:Bye></s:Body></s:Envelope>";

// WS-Discovery 1.1 in SOAP 1.2: 2005/08 addressing, a name scope with
// percent-encoded UTF-8, an https XAddr.
const QByteArray kV2009Soap12 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:wsa=\"http://www.w3.org/2005/08/addressing\" xmlns:wsd=\"http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01\" xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\">\n"
    "<env:Header><wsa:Action>http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01/ProbeMatches</wsa:Action>\n"
    "<wsa:MessageID>urn:uuid:2009-0001</wsa:MessageID><wsa:RelatesTo>urn:uuid:probe-2009</wsa:RelatesTo>\n"
    "<wsa:To>http://www.w3.org/2005/08/addressing/anonymous</wsa:To>\n"
    "<wsd:AppSequence InstanceId=\"7\" MessageNumber=\"2\"/></env:Header>\n"
    "<env:Body><wsd:ProbeMatches><wsd:ProbeMatch>\n"
    "<wsa:EndpointReference><wsa:Address>urn:uuid:cam-2009</wsa:Address></wsa:EndpointReference>\n"
    "<wsd:Types>dn:NetworkVideoTransmitter</wsd:Types>\n"
    "<wsd:Scopes>\n onvif://www.onvif.org/type/video_encoder\n onvif://www.onvif.org/name/Caf%C3%A9%20Nord onvif://www.onvif.org/hardware/QZ-R410 </wsd:Scopes>\n"
    "<wsd:XAddrs>https://10.1.2.5/onvif/device_service</wsd:XAddrs>\n"
    "<wsd:MetadataVersion>3</wsd:MetadataVersion>\n"
    "</wsd:ProbeMatch></wsd:ProbeMatches></env:Body></env:Envelope>";

// WS-Discovery 1.1 Hello in SOAP 1.1, default namespaces.
const QByteArray kV2009Soap11Hello = "<Envelope xmlns=\"http://schemas.xmlsoap.org/soap/envelope/\">"
    "<Header><Action xmlns=\"http://www.w3.org/2005/08/addressing\">http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01/Hello</Action>"
    "<MessageID xmlns=\"http://www.w3.org/2005/08/addressing\">urn:uuid:h2009</MessageID></Header>"
    "<Body><Hello xmlns=\"http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01\">"
    "<EndpointReference xmlns=\"http://www.w3.org/2005/08/addressing\"><Address>urn:uuid:hello-2009</Address></EndpointReference>"
    "<Types>NetworkVideoTransmitter</Types><Scopes>onvif://www.onvif.org/hardware/QZ-R50</Scopes>"
    "<XAddrs>http://10.1.2.6:8000/onvif/device_service</XAddrs><MetadataVersion>1</MetadataVersion></Hello></Body></Envelope>";

// A WS-Discovery 1.1 Probe in SOAP 1.1 as desktop clients send it: its type
// prefix declared on Types, a scope, a MatchBy.
const QByteArray kV2009Soap11Probe = "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" xmlns:a=\"http://www.w3.org/2005/08/addressing\">"
    "<s:Header><a:Action s:mustUnderstand=\"1\">http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01/Probe</a:Action>"
    "<a:MessageID>urn:uuid:p2009</a:MessageID></s:Header>"
    "<s:Body><Probe xmlns=\"http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01\">"
    "<d:Types xmlns:d=\"http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01\" xmlns:dp0=\"http://www.onvif.org/ver10/network/wsdl\">dp0:NetworkVideoTransmitter ghost:Device</d:Types>"
    "<Scopes MatchBy=\"http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01/rfc3986\">onvif://www.onvif.org/hardware/QZ-R50</Scopes>"
    "</Probe></s:Body></s:Envelope>";

const QByteArray kBinary = QByteArray::fromHex("00fffe3c01");
const QByteArray kNoBody = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Header/></s:Envelope>";
const QByteArray kEntities = "<?xml version=\"1.0\"?><!DOCTYPE s [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
                             "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>&b;</s:Body></s:Envelope>";

} // namespace

class DiscoveryMessagesTest : public QObject
{
    Q_OBJECT

private slots:
    // Replies in the styles cameras use are read whole: endpoint, XAddrs, relation.
    void readsReplies_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("relatesTo");
        QTest::addColumn<QStringList>("endpoints");
        QTest::addColumn<QStringList>("firstXAddrs");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("https");
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("soap11");
        QTest::addColumn<QStringList>("firstScopes");

        const int v2005 = int(DiscoveryVersion::V2005);
        const int v2009 = int(DiscoveryVersion::V2009);

        QTest::newRow("SOAP 1.2, vendor prefixes, IPv4 and IPv6 XAddrs in one element")
            << kSoap12Prefixed << int(MessageKind::ProbeMatches)
            << "urn:uuid:11111111-2222-4333-8444-555555555555"
            << QStringList{"urn:uuid:4a7c0000-1111-4222-8333-0011223344aa"}
            << QStringList{"http://192.168.0.57/onvif/device_service",
                           "http://[fe80::211:22ff:fe33:4455]/onvif/device_service"}
            << "192.168.0.57" << 80 << false << v2005 << false
            << QStringList{"onvif://www.onvif.org/type/video_encoder", "onvif://www.onvif.org/hardware/QZ-R410"};
        QTest::newRow("SOAP 1.1, default namespaces, two matches")
            << kSoap11Default << int(MessageKind::ProbeMatches) << "urn:uuid:probe-1"
            << QStringList{"urn:uuid:cam-b", "urn:uuid:cam-c"}
            << QStringList{"http://10.1.2.3:8080/onvif/device_service"} << "10.1.2.3" << 8080 << false << v2005 << true
            << QStringList{};
        QTest::newRow("IPv6 XAddr only")
            << kIpv6Only << int(MessageKind::ProbeMatches) << "urn:uuid:p6" << QStringList{"urn:uuid:v6cam"}
            << QStringList{"http://[2001:db8::57]:8000/onvif/device_service"} << "2001:db8::57" << 8000 << false
            << v2005 << false << QStringList{};
        QTest::newRow("Hello") << kHello << int(MessageKind::Hello) << ""
                               << QStringList{"urn:uuid:hello-cam"}
                               << QStringList{"http://127.0.0.10:8080/onvif/device_service"} << "127.0.0.10" << 8080
                               << false << v2005 << false << QStringList{};
        QTest::newRow("Bye") << kBye << int(MessageKind::Bye) << "" << QStringList{"urn:uuid:hello-cam"}
                             << QStringList{} << "" << 80 << false << v2005 << false << QStringList{};
        QTest::newRow("1.1 (2009/01) ProbeMatches, SOAP 1.2, https XAddr")
            << kV2009Soap12 << int(MessageKind::ProbeMatches) << "urn:uuid:probe-2009" << QStringList{"urn:uuid:cam-2009"}
            << QStringList{"https://10.1.2.5/onvif/device_service"} << "10.1.2.5" << 443 << true << v2009 << false
            << QStringList{"onvif://www.onvif.org/type/video_encoder", "onvif://www.onvif.org/name/Caf%C3%A9%20Nord",
                           "onvif://www.onvif.org/hardware/QZ-R410"};
        QTest::newRow("1.1 (2009/01) Hello, SOAP 1.1, default namespaces")
            << kV2009Soap11Hello << int(MessageKind::Hello) << "" << QStringList{"urn:uuid:hello-2009"}
            << QStringList{"http://10.1.2.6:8000/onvif/device_service"} << "10.1.2.6" << 8000 << false << v2009 << true
            << QStringList{"onvif://www.onvif.org/hardware/QZ-R50"};
    }
    void readsReplies()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(int, kind);
        QFETCH(QString, relatesTo);
        QFETCH(QStringList, endpoints);
        QFETCH(QStringList, firstXAddrs);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(bool, https);
        QFETCH(int, version);
        QFETCH(bool, soap11);
        QFETCH(QStringList, firstScopes);

        const Message message = parseMessage(datagram);
        QCOMPARE(int(message.kind), kind);
        QCOMPARE(int(message.version), version);
        QCOMPARE(message.soap11, soap11);
        QCOMPARE(message.endpoints.first().scopes, firstScopes);
        QCOMPARE(message.relatesTo, relatesTo);
        QStringList addresses;
        for (const Endpoint &endpoint : message.endpoints)
            addresses << endpoint.address;
        QCOMPARE(addresses, endpoints);
        QCOMPARE(message.endpoints.first().xaddrs, firstXAddrs);
        const XAddrTarget target = preferredTarget(message.endpoints.first().xaddrs);
        QCOMPARE(target.host, host);
        QCOMPARE(target.port, port);
        QCOMPARE(target.https, https);
    }

    // A 1.1 Probe: its types with the prefixes resolved where the probe
    // declares them, its scopes and matching rule; one naming more types
    // than are kept is not taken as a probe.
    void readsProbes()
    {
        const Message probe = parseMessage(kV2009Soap11Probe);
        QCOMPARE(int(probe.kind), int(MessageKind::Probe));
        QCOMPARE(int(probe.version), int(DiscoveryVersion::V2009));
        QVERIFY(probe.soap11);
        QCOMPARE(probe.messageId, "urn:uuid:p2009");
        QCOMPARE(probe.probeTypes, QStringList({"dp0:NetworkVideoTransmitter", "ghost:Device"}));
        QCOMPARE(probe.probeTypeNames.size(), 2);
        QCOMPARE(probe.probeTypeNames.at(0).namespaceUri, "http://www.onvif.org/ver10/network/wsdl");
        QCOMPARE(probe.probeTypeNames.at(0).localName, "NetworkVideoTransmitter");
        QCOMPARE(probe.probeTypeNames.at(1).namespaceUri, "");
        QCOMPARE(probe.probeTypeNames.at(1).localName, "Device");
        QCOMPARE(probe.probeScopes, QStringList{"onvif://www.onvif.org/hardware/QZ-R50"});
        QCOMPARE(probe.probeMatchBy, "http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01/rfc3986");

        QByteArray crowded = kV2009Soap11Probe;
        crowded.replace("ghost:Device", "t1 t2 t3 t4 t5 t6 t7 t8 t9 t10 t11 t12 t13 t14 t15 t16");
        QCOMPARE(int(parseMessage(crowded).kind), int(MessageKind::Other));
    }

    // What a camera's scopes tell before anyone logs in.
    void readsScopeValues_data()
    {
        QTest::addColumn<QStringList>("scopes");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("value");

        const QStringList camera{"onvif://www.onvif.org/type/video_encoder", "onvif://www.onvif.org/location/",
                                 "onvif://www.onvif.org/hardware/QZ-R410%20X", "onvif://www.onvif.org/name/Caf%C3%A9%20Nord",
                                 "onvif://www.onvif.org/location/country/Japan", "onvif://www.onvif.org/name/Second"};
        QTest::newRow("hardware, decoded") << camera << "hardware" << "QZ-R410 X";
        QTest::newRow("name, UTF-8, the first") << camera << "name" << QString::fromUtf8("Caf\xC3\xA9 Nord");
        QTest::newRow("location: the first with a value, its last segment") << camera << "location" << "Japan";
        QTest::newRow("absent") << camera << "Profile" << "";
        QTest::newRow("a longer word is another kind")
            << QStringList{"onvif://www.onvif.org/hardwareX/QZ", "onvif://www.onvif.org/hardware/QZ"} << "hardware" << "QZ";
        QTest::newRow("another authority") << QStringList{"onvif://example.com/name/Spoof"} << "name" << "";
        QTest::newRow("control characters dropped")
            << QStringList{"onvif://www.onvif.org/name/Gate%0D%0A%1B[2J%00A?x=1"} << "name" << "Gate[2JA";
        QTest::newRow("bounded") << QStringList{"onvif://www.onvif.org/name/" + QString(3000, QLatin1Char('a'))}
                                 << "name" << QString(256, QLatin1Char('a'));
        QTest::newRow("bounded, a pair kept whole")
            << QStringList{"onvif://www.onvif.org/name/" + QString(255, QLatin1Char('a')) + "%F0%9F%93%B7"}
            << "name" << QString(255, QLatin1Char('a'));
    }
    void readsScopeValues()
    {
        QFETCH(QStringList, scopes);
        QFETCH(QString, kind);
        QFETCH(QString, value);
        QCOMPARE(scopeValue(scopes, kind), value);
    }

    // Garbage, foreign XML and hostile documents are dropped, never half-read.
    void dropsWhatIsNotAReply_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not XML") << QByteArray("HTTP/1.1 200 OK\r\n\r\nhello");
        QTest::newRow("binary") << kBinary;
        QTest::newRow("truncated") << kSoap12Prefixed.left(kSoap12Prefixed.size() / 2);
        QTest::newRow("trailing garbage") << kHello + "<unclosed>";
        QTest::newRow("not SOAP") << QByteArray("<Envelope><Body><ProbeMatches/></Body></Envelope>");
        QTest::newRow("SOAP without body") << kNoBody;
        QTest::newRow("entity expansion") << kEntities;
        QByteArray oversized = kSoap12Prefixed;
        oversized.insert(oversized.indexOf("<SOAP-ENV:Body>"), QByteArray(kMaxDatagramBytes, ' '));
        QTest::newRow("oversized") << oversized;
    }
    void dropsWhatIsNotAReply()
    {
        QFETCH(QByteArray, datagram);
        const Message message = parseMessage(datagram);
        QCOMPARE(int(message.kind), int(MessageKind::Invalid));
        QVERIFY(message.endpoints.isEmpty());
    }

    // The probe on the wire: SOAP 1.2, the 2005/04 Probe action, the camera
    // type and a fresh urn:uuid: message id, readable by any WS-Discovery peer.
    void probeIsAStandardProbe()
    {
        const QString id = newMessageId();
        QVERIFY2(QRegularExpression(QStringLiteral("^urn:uuid:[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$"))
                     .match(id).hasMatch(), qPrintable(id));
        QVERIFY(id != newMessageId());
        const QByteArray probe = probeMessage(id);
        const QList<QByteArray> pieces{
            "xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"",
            "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\"",
            "xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"",
            "xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\"",
            "<a:Action s:mustUnderstand=\"1\">http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action>",
            "<a:MessageID>" + id.toLatin1() + "</a:MessageID>",
            "<a:To s:mustUnderstand=\"1\">urn:schemas-xmlsoap-org:ws:2005:04:discovery</a:To>",
            "<d:Probe><d:Types>dn:NetworkVideoTransmitter</d:Types></d:Probe>",
        };
        for (const QByteArray &piece : pieces)
            QVERIFY2(probe.contains(piece), piece.constData());
        const Message read = parseMessage(probe);
        QCOMPARE(int(read.kind), int(MessageKind::Probe));
        QCOMPARE(read.messageId, id);
        QCOMPARE(read.probeTypes, QStringList{"dn:NetworkVideoTransmitter"});
    }

    // Random damage to real replies never crashes the reader, and whatever
    // it accepts stays within its limits.
    void survivesDamagedReplies()
    {
        QRandomGenerator random(1313);
        const QList<QByteArray> seeds{kSoap12Prefixed, kSoap11Default, kIpv6Only, kHello, kBye,
                                      kV2009Soap12, kV2009Soap11Hello, kV2009Soap11Probe};
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes = seeds.at(round % seeds.size());
            const int edits = 1 + int(random.bounded(8));
            for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
                const int at = int(random.bounded(bytes.size()));
                switch (random.bounded(3)) {
                case 0: bytes[at] = char(random.bounded(256)); break;
                case 1: bytes.remove(at, 1 + int(random.bounded(16))); break;
                default: bytes.insert(at, bytes.mid(int(random.bounded(bytes.size())), 24)); break;
                }
            }
            const Message message = parseMessage(bytes);
            QVERIFY(message.endpoints.size() <= kMaxEndpointsPerMessage);
            QVERIFY(message.probeTypes.size() <= kMaxTypesPerEndpoint);
            QVERIFY(message.probeScopes.size() <= kMaxScopesPerEndpoint);
            for (const Endpoint &endpoint : message.endpoints) {
                QVERIFY(endpoint.xaddrs.size() <= kMaxXAddrsPerEndpoint);
                QVERIFY(endpoint.scopes.size() <= kMaxScopesPerEndpoint);
                QVERIFY(endpoint.types.size() <= kMaxTypesPerEndpoint);
                QVERIFY(scopeValue(endpoint.scopes, QStringLiteral("name")).size() <= kMaxScopeValueChars);
                preferredTarget(endpoint.xaddrs);
            }
        }
    }
};

QTEST_GUILESS_MAIN(DiscoveryMessagesTest)
#include "DiscoveryMessagesTest.moc"
