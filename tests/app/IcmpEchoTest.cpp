// The ping's packet rules, its result line and the diagnostics' plain texts;
// one real echo to loopback where the system lets this user send one.
#include "diagnostics/Diagnostics.h"
#include "diagnostics/IcmpEcho.h"

#include <QRegularExpression>
#include <QtTest>

#include <cerrno>

using namespace qzr;
using icmp::Classified;

Q_DECLARE_METATYPE(Classified::Kind)

namespace {

QByteArray echoMessage(int type, quint16 identifier, quint16 sequence)
{
    QByteArray message = icmp::echoRequestPacket(identifier, sequence, QByteArray(32, 'x'));
    message[0] = char(type);
    return message;
}

// A 20-byte IPv4 header carrying ICMP, with the given time-to-live.
QByteArray ipHeader(int ttl, int payloadBytes)
{
    QByteArray header(20, '\0');
    header[0] = char(0x45);
    const int total = 20 + payloadBytes;
    header[2] = char(total >> 8);
    header[3] = char(total & 0xFF);
    header[8] = char(ttl);
    header[9] = char(1);
    return header;
}

// An ICMP error of the given type that quotes an echo request.
QByteArray errorAbout(int type, quint16 identifier, quint16 sequence, int quotedRequestBytes = 8)
{
    QByteArray message(8, '\0');
    message[0] = char(type);
    message += ipHeader(64, 40);
    message += icmp::echoRequestPacket(identifier, sequence, QByteArray(32, 'x')).left(quotedRequestBytes);
    return message;
}

} // namespace

class IcmpEchoTest : public QObject
{
    Q_OBJECT

private slots:
    void pingLineShowsTheRoundTrip_data();
    void pingLineShowsTheRoundTrip();
    void fifthLineEmptiesTheList();
    void messagesAreClassified_data();
    void messagesAreClassified();
    void rawPacketsCarryTheirTtl();
    void requestPacketChecksumIsValid();
    void datagramTextEndsAtAZeroByte();
    void serviceAndTestTexts();
    void bindFailureTexts();
    void echoToLoopbackIsAnswered();
    void unresolvableNameIsReported();
};

void IcmpEchoTest::pingLineShowsTheRoundTrip_data()
{
    QTest::addColumn<int>("roundTripMs");
    QTest::addColumn<QString>("line");
    QTest::newRow("under 1 ms") << 0 << "40 bytes from 192.168.0.57: icmp_seq=3 ttl=64 time<1 ms";
    QTest::newRow("1 ms") << 1 << "40 bytes from 192.168.0.57: icmp_seq=3 ttl=64 time=1 ms";
    QTest::newRow("1999 ms") << 1999 << "40 bytes from 192.168.0.57: icmp_seq=3 ttl=64 time=1999 ms";
}

void IcmpEchoTest::pingLineShowsTheRoundTrip()
{
    QFETCH(int, roundTripMs);
    QFETCH(QString, line);
    icmp::EchoAnswer answer;
    answer.bytesReceived = 40;
    answer.fromAddress = "192.168.0.57";
    answer.sequence = 3;
    answer.ttl = 64;
    answer.roundTripMs = roundTripMs;
    QCOMPARE(diagnostics::pingLine(answer), line);
}

void IcmpEchoTest::fifthLineEmptiesTheList()
{
    // Lines are added one per answer; the list is emptied once it holds more
    // than four, so it never shows a fifth.
    QStringList list;
    QList<int> sizes;
    for (int answer = 1; answer <= 6; ++answer) {
        list << diagnostics::pingLine(40, "127.0.0.1", answer, 64, 0);
        if (diagnostics::pingListOverflows(int(list.size())))
            list.clear();
        sizes << int(list.size());
    }
    QCOMPARE(sizes, QList<int>({1, 2, 3, 4, 0, 1}));
}

void IcmpEchoTest::messagesAreClassified_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("checkIdentifier");
    QTest::addColumn<Classified::Kind>("kind");
    QTest::addColumn<QString>("errorText");
    const quint16 id = 0x1234;
    const quint16 seq = 7;
    QTest::newRow("empty") << QByteArray() << true << Classified::Failure << "Not enough bytes received";
    QTest::newRow("7 bytes") << echoMessage(0, id, seq).left(7) << true << Classified::Failure
                             << "Not enough bytes received";
    QTest::newRow("redirect") << echoMessage(5, id, seq) << true << Classified::Failure
                              << "Non-echo type response received";
    QTest::newRow("timestamp reply") << echoMessage(14, id, seq) << true << Classified::Failure
                                     << "Non-echo type response received";
    QTest::newRow("our echo reply") << echoMessage(0, id, seq) << true << Classified::Answer << "";
    QTest::newRow("reply to another sequence") << echoMessage(0, id, seq + 1) << true << Classified::Unrelated << "";
    QTest::newRow("reply to another program") << echoMessage(0, id + 1, seq) << true << Classified::Unrelated << "";
    QTest::newRow("datagram socket: the kernel chose the id")
        << echoMessage(0, 0x9999, seq) << false << Classified::Answer << "";
    QTest::newRow("our own request on loopback") << echoMessage(8, id, seq) << true << Classified::Unrelated << "";
    QTest::newRow("unreachable about ours") << errorAbout(3, id, seq) << true << Classified::Answer << "";
    QTest::newRow("time exceeded about ours") << errorAbout(11, id, seq) << true << Classified::Answer << "";
    QTest::newRow("unreachable about another") << errorAbout(3, id, seq + 1) << true << Classified::Unrelated << "";
    QTest::newRow("unreachable quoting too little") << errorAbout(3, id, seq, 4) << true << Classified::Unrelated
                                                    << "";
}

void IcmpEchoTest::messagesAreClassified()
{
    QFETCH(QByteArray, message);
    QFETCH(bool, checkIdentifier);
    QFETCH(Classified::Kind, kind);
    QFETCH(QString, errorText);
    const Classified seen = icmp::classifyIcmpMessage(message, 0x1234, 7, checkIdentifier);
    QCOMPARE(seen.kind, kind);
    QCOMPARE(seen.errorText, errorText);
    if (kind == Classified::Answer)
        QCOMPARE(seen.icmpType, int(quint8(message.at(0))));
}

void IcmpEchoTest::rawPacketsCarryTheirTtl()
{
    const QByteArray reply = echoMessage(0, 0x1234, 7);
    int ttl = 0;
    int icmpBytes = 0;
    const Classified seen = icmp::classifyRawPacket(ipHeader(57, int(reply.size())) + reply, 0x1234, 7, &ttl, &icmpBytes);
    QCOMPARE(seen.kind, Classified::Answer);
    QCOMPARE(ttl, 57);
    QCOMPARE(icmpBytes, 40);

    // An IP header with less than an ICMP header after it.
    const Classified shortOne = icmp::classifyRawPacket(ipHeader(57, 4) + reply.left(4), 0x1234, 7);
    QCOMPARE(shortOne.kind, Classified::Failure);
    QCOMPARE(shortOne.errorText, QString("Not enough bytes received"));
}

void IcmpEchoTest::requestPacketChecksumIsValid()
{
    // RFC 1071's own example.
    QCOMPARE(icmp::internetChecksum(QByteArray::fromHex("0001f203f4f5f6f7")), quint16(0x220d));
    for (const int payloadBytes : {0, 31, 32}) {
        const QByteArray packet = icmp::echoRequestPacket(0xBEEF, 513, QByteArray(payloadBytes, 'q'));
        QCOMPARE(packet.size(), 8 + payloadBytes);
        QCOMPARE(quint8(packet.at(0)), quint8(8));
        QCOMPARE(packet.mid(4, 4), QByteArray::fromHex("beef0201"));
        QVERIFY2(icmp::internetChecksum(packet) == 0, "a packet with its checksum must sum to zero");
    }
}

void IcmpEchoTest::datagramTextEndsAtAZeroByte()
{
    QCOMPARE(diagnostics::datagramText(QByteArray("AB\0CD", 5)), QString("AB"));
    QCOMPARE(diagnostics::datagramText("caf\xe9"), QString::fromLatin1("caf\xe9"));
    QCOMPARE(diagnostics::datagramText(QByteArray()), QString());
}

void IcmpEchoTest::serviceAndTestTexts()
{
    QCOMPARE(diagnostics::serviceUrl("", ""), QString("HTTP://:/cgi-bin/display.cgi?service.html"));
    QCOMPARE(diagnostics::serviceUrl("192.168.0.57", "8080"),
             QString("HTTP://192.168.0.57:8080/cgi-bin/display.cgi?service.html"));
    QCOMPARE(diagnostics::testResult("encode(3).framesize=1920x1080&"), QString("19"));
    QCOMPARE(diagnostics::testResult("short"), QString());
}

void IcmpEchoTest::bindFailureTexts()
{
    QCOMPARE(diagnostics::bindFailureReason(EADDRINUSE),
             QString("Could not bind socket. Address and port are already in use."));
    QCOMPARE(diagnostics::bindFailureReason(EACCES), QString("Could not bind socket. Permission denied."));
    const QString message = diagnostics::udpLogOffMessage(diagnostics::bindFailureReason(EADDRINUSE), 80);
    QVERIFY2(message.startsWith("Could not bind socket. Address and port are already in use.\r\n"), qPrintable(message));
    QVERIFY2(message.contains("UDP port 80") && message.contains("--udp-port"), qPrintable(message));
}

void IcmpEchoTest::echoToLoopbackIsAnswered()
{
    const icmp::EchoResult result = icmp::sendEcho({"127.0.0.1", icmp::kEchoWaitMs, 4242});
    if (icmp::availableSocketKind() == icmp::SocketKind::None) {
        // The user is told how to allow it.
        QCOMPARE(result.errorText, icmp::notPermittedText());
        QVERIFY(result.errorText.contains("net.ipv4.ping_group_range") && result.errorText.contains("cap_net_raw"));
        QSKIP("This user may send no ICMP echo (net.ipv4.ping_group_range excludes its group and it lacks CAP_NET_RAW)");
    }
    QVERIFY2(!result.failed(), qPrintable(result.errorText));
    QVERIFY2(result.answer, "loopback answers every echo");
    QCOMPARE(result.answer->fromAddress, QString("127.0.0.1"));
    QCOMPARE(result.answer->icmpType, int(icmp::kEchoReply));
    QCOMPARE(result.answer->sequence, 4242);
    QCOMPARE(result.answer->bytesReceived, icmp::kIcmpHeaderBytes + icmp::kEchoPayloadBytes);
    QVERIFY2(result.answer->ttl > 0, "the answer's time-to-live is read from the packet");
    QVERIFY(result.answer->roundTripMs >= 0 && result.answer->roundTripMs <= icmp::kEchoWaitMs);
}

void IcmpEchoTest::unresolvableNameIsReported()
{
    // A name with an empty label is refused by the resolver itself: nothing
    // leaves the machine.
    const icmp::EchoResult result = icmp::sendEcho({"camera..local", 100, 1});
    QVERIFY(!result.answer);
    QVERIFY2(result.errorText.startsWith("Could not resolve the address \"camera..local\": "),
             qPrintable(result.errorText));
    const icmp::EchoResult empty = icmp::sendEcho({"  ", 100, 1});
    QCOMPARE(empty.errorText, QString("No camera address to ping: the address field is empty"));
}

QTEST_GUILESS_MAIN(IcmpEchoTest)
#include "IcmpEchoTest.moc"
