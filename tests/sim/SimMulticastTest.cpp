#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

#include "MulticastSender.h"
#include "tests/support/SimRequests.h"
#include "SimThread.h"

using qzr::sim::MulticastDestination;
using qzr::sim::SimThread;
using qzr::sim::EncoderStream;
using qzr::testsupport::httpGet;

namespace {

const QHostAddress kGroup(QStringLiteral("225.0.1.1"));


// A UDP port nobody uses right now (and its neighbour, for RTCP).
quint16 freeUdpPort()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        QUdpSocket probe;
        if (!probe.bind(QHostAddress::AnyIPv4, 0))
            continue;
        const quint16 port = probe.localPort();
        if (port >= 65534)
            continue;
        QUdpSocket next;
        if (next.bind(QHostAddress::AnyIPv4, quint16(port + 1)))
            return port;
    }
    return 0;
}

// A member of the group on the loopback interface, counting what arrives.
class GroupListener
{
public:
    bool join(const QHostAddress &group, quint16 port)
    {
        const QNetworkInterface loopback = QNetworkInterface::interfaceFromName(QStringLiteral("lo"));
        if (!loopback.isValid())
            return false;
        if (!m_socket.bind(QHostAddress::AnyIPv4, port,
                           QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
            return false;
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] { drain(); });
        return m_socket.joinMulticastGroup(group, loopback);
    }
    void drain()
    {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = m_socket.receiveDatagram();
            const QByteArray data = datagram.data();
            if (datagram.destinationPort() != -1 && datagram.destinationPort() != m_socket.localPort())
                continue;
            ++m_count;
            if (data.size() >= 12 && (quint8(data[0]) >> 6) == 2) // RTP version 2
                m_payloadType = quint8(data[1]) & 0x7f;
        }
    }
    int count()
    {
        drain();
        return m_count;
    }
    int payloadType() const { return m_payloadType; }

private:
    QUdpSocket m_socket;
    int m_count = 0;
    int m_payloadType = -1;
};

} // namespace

// Multicast RTP of the simulator, received on the loopback interface.
class SimMulticastTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void launchDescriptionStaysOnLoopback();
    void startAndStopOverHttp();
    void offEncoderSendsNothing();

private:
    QByteArray param(const QString &query)
    {
        return httpGet(m_sim->port(), "/api/param?" + query.toUtf8());
    }
    bool setDestination(int channel, quint16 port, const QString &status)
    {
        const QString prefix = QStringLiteral("network.destination(%1).").arg(channel);
        const QByteArray body =
            param(prefix + QStringLiteral("address=225.0.1.1&") + prefix + QStringLiteral("port=%1&").arg(port)
                  + prefix + QStringLiteral("status=") + status);
        return body.contains((prefix + QStringLiteral("status=") + status + QLatin1Char('&')).toUtf8())
            && body.contains((prefix + QStringLiteral("port=%1&").arg(port)).toUtf8());
    }

    std::unique_ptr<SimThread> m_sim;
};

void SimMulticastTest::initTestCase()
{
    if (!QNetworkInterface::interfaceFromName(QStringLiteral("lo")).isValid())
        QSKIP("no loopback interface named lo");
    m_sim = std::make_unique<SimThread>();
    QVERIFY(m_sim->start(0) != 0);
    // Small pictures keep the test light: H.264, Motion JPEG, and an encoder that is off.
    const char *types[] = {"h264baseline", "jpeg", "off"};
    for (int channel = 1; channel <= 3; ++channel) {
        const QString encoder = QStringLiteral("encode(%1).").arg(channel);
        const QByteArray body = param(encoder + QStringLiteral("type=") + QLatin1String(types[channel - 1])
                                      + QLatin1Char('&') + encoder + QStringLiteral("framesize=qvga&")
                                      + encoder + QStringLiteral("bitrate=512000&") + encoder
                                      + QStringLiteral("quality=80k"));
        QVERIFY2(!body.contains("=NG&"), body.constData());
    }
    QVERIFY(m_sim->multicastSending().isEmpty());
}

void SimMulticastTest::cleanupTestCase()
{
    m_sim.reset();
}

void SimMulticastTest::launchDescriptionStaysOnLoopback()
{
    MulticastDestination destination;
    destination.started = true;
    destination.group = QStringLiteral("225.0.2.1");
    destination.port = 59152;
    destination.settings = EncoderStream::fromValues(QStringLiteral("h264high"), QStringLiteral("640x360"),
                                                      QStringLiteral("15"), QStringLiteral("cbr"),
                                                      QStringLiteral("1000000"), QStringLiteral("160k"),
                                                      QStringLiteral("30"));
    const QString launch = qzr::sim::multicastLaunchDescription(2, destination);
    for (const char *part : {"rtph264pay name=pay0 pt=96 config-interval=1", "host=225.0.2.1",
                             "port=59152", "multicast-iface=lo", "ttl-mc=0", "auto-multicast=false",
                             "loop=true", "name=enc"})
        QVERIFY2(launch.contains(QLatin1String(part)), qPrintable(part + QStringLiteral(" in ") + launch));
    QVERIFY(!launch.startsWith(QLatin1Char('(')));

    destination.settings.codec = EncoderStream::Codec::Jpeg;
    QVERIFY(qzr::sim::multicastLaunchDescription(2, destination).contains(QLatin1String("rtpjpegpay name=pay0 pt=26")));
    destination.started = false;
    QVERIFY(qzr::sim::multicastLaunchDescription(2, destination).isEmpty());
    destination.started = true;
    destination.settings.codec = EncoderStream::Codec::Off;
    QVERIFY(qzr::sim::multicastLaunchDescription(2, destination).isEmpty());
}

void SimMulticastTest::startAndStopOverHttp()
{
    const quint16 port1 = freeUdpPort();
    const quint16 port2 = freeUdpPort();
    QVERIFY(port1 != 0 && port2 != 0 && port1 != port2);
    GroupListener channel1;
    GroupListener channel2;
    QVERIFY(channel1.join(kGroup, port1));
    QVERIFY(channel2.join(kGroup, port2));

    QVERIFY(setDestination(1, port1, QStringLiteral("start")));
    QCOMPARE(m_sim->multicastSending(), QList<int>{1});
    QTRY_VERIFY_WITH_TIMEOUT(channel1.count() >= 20, 10000);
    QCOMPARE(channel1.payloadType(), 96);
    QVERIFY(m_sim->multicastPacketsSent(1) >= 20);
    QCOMPARE(channel2.count(), 0); // another port of the same group hears nothing

    QVERIFY(setDestination(1, port1, QStringLiteral("stop")));
    QVERIFY(m_sim->multicastSending().isEmpty());
    const qint64 sentAtStop = m_sim->multicastPacketsSent(1);

    // Channel 2 marks the time: once its packets flow, anything channel 1 still
    // sent would have arrived too.
    QVERIFY(setDestination(2, port2, QStringLiteral("start")));
    QCOMPARE(m_sim->multicastSending(), QList<int>{2});
    QTRY_VERIFY_WITH_TIMEOUT(channel2.count() >= 1, 10000);
    const int heardAtMark = channel1.count();
    QTRY_VERIFY_WITH_TIMEOUT(channel2.count() >= 20, 10000);
    QCOMPARE(channel2.payloadType(), 26); // Motion JPEG
    QCOMPARE(channel1.count(), heardAtMark);
    QCOMPARE(m_sim->multicastPacketsSent(1), sentAtStop);

    QVERIFY(setDestination(2, port2, QStringLiteral("stop")));
    QVERIFY(m_sim->multicastSending().isEmpty());
}

void SimMulticastTest::offEncoderSendsNothing()
{
    const quint16 port1 = freeUdpPort();
    const quint16 port3 = freeUdpPort();
    QVERIFY(port1 != 0 && port3 != 0 && port1 != port3);
    GroupListener channel1;
    GroupListener channel3;
    QVERIFY(channel1.join(kGroup, port1));
    QVERIFY(channel3.join(kGroup, port3));

    QVERIFY(setDestination(3, port3, QStringLiteral("start")));
    QVERIFY(m_sim->multicastSending().isEmpty()); // encoder 3 is off
    QVERIFY(setDestination(1, port1, QStringLiteral("start")));
    QCOMPARE(m_sim->multicastSending(), QList<int>{1});
    QTRY_VERIFY_WITH_TIMEOUT(channel1.count() >= 20, 10000);
    QCOMPARE(channel3.count(), 0);
    QCOMPARE(m_sim->multicastPacketsSent(3), qint64(0));

    // Switching the encoder on while its destination is started starts sending.
    QVERIFY(!param(QStringLiteral("encode(3).type=h264high")).contains("=NG&"));
    QCOMPARE(m_sim->multicastSending(), (QList<int>{1, 3}));
    QTRY_VERIFY_WITH_TIMEOUT(channel3.count() >= 5, 10000);
    QCOMPARE(channel3.payloadType(), 96);

    // And off again stops it.
    QVERIFY(!param(QStringLiteral("encode(3).type=off")).contains("=NG&"));
    QCOMPARE(m_sim->multicastSending(), QList<int>{1});

    QVERIFY(setDestination(1, port1, QStringLiteral("stop")));
    QVERIFY(setDestination(3, port3, QStringLiteral("stop")));
    QVERIFY(m_sim->multicastSending().isEmpty());
}

QTEST_GUILESS_MAIN(SimMulticastTest)
#include "SimMulticastTest.moc"
