// The rules that need no traffic: which interfaces a search uses, sweep
// ranges, merging of what was heard, and the flags, from an interface table.
#include "discovery/CameraFinder.h"
#include "discovery/FoundCameras.h"
#include "discovery/LocalInterfaces.h"
#include "discovery/SweepRange.h"

#include <QtTest>

using namespace qzr::discovery;

namespace {

LocalInterface makeInterface(const char *name, int index, const char *address, int prefix, bool up = true,
                             bool multicast = true)
{
    LocalInterface item;
    item.name = QString::fromLatin1(name);
    item.index = index;
    item.address = QHostAddress(QString::fromLatin1(address));
    item.prefixLength = prefix;
    item.up = up;
    item.multicast = multicast;
    item.loopback = item.name == QLatin1String("lo");
    return item;
}

// A PC with a LAN card in 192.168.1.0/24, a second one in 10.0.0.0/16, a
// card that is down, and loopback (not multicast-capable).
QList<LocalInterface> pcTable()
{
    return {makeInterface("lo", 1, "127.0.0.1", 8, true, false), makeInterface("eth0", 2, "192.168.1.10", 24),
            makeInterface("eth1", 3, "10.0.5.1", 16), makeInterface("wlan0", 4, "172.16.0.9", 24, false)};
}

QStringList names(const QList<LocalInterface> &list)
{
    QStringList result;
    for (const LocalInterface &item : list)
        result << item.name;
    return result;
}

} // namespace

class DiscoveryRulesTest : public QObject
{
    Q_OBJECT

private slots:
    // Without a choice every interface that is up and multicast-capable is used;
    // a choice names interfaces or their addresses, and an unknown one fails.
    void choosesInterfaces_data()
    {
        QTest::addColumn<QStringList>("requested");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("error");
        QTest::newRow("every interface") << QStringList{} << QStringList{"eth0", "eth1"} << "";
        QTest::newRow("by name, loopback too") << QStringList{"lo"} << QStringList{"lo"} << "";
        QTest::newRow("by address") << QStringList{"10.0.5.1", "eth0"} << QStringList{"eth1", "eth0"} << "";
        QTest::newRow("twice is once") << QStringList{"eth0", "192.168.1.10"} << QStringList{"eth0"} << "";
        QTest::newRow("named, but down") << QStringList{"wlan0"} << QStringList{}
                                         << "no interface can send the probe: wlan0 is down";
        QTest::newRow("unknown") << QStringList{"eth0", "eth9"} << QStringList{}
                                 << "no IPv4 interface or address 'eth9' on this computer";
    }
    void choosesInterfaces()
    {
        QFETCH(QStringList, requested);
        QFETCH(QStringList, expected);
        QFETCH(QString, error);
        QString text;
        QCOMPARE(names(selectInterfaces(pcTable(), requested, &text)), expected);
        QCOMPARE(text, error);
    }

    // A camera heard on an interface whose subnet does not hold its address is
    // flagged with that interface and the command that makes it reachable.
    void flagsOtherSubnet_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QStringList>("heardOn");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("command");
        QTest::newRow("same subnet") << "192.168.1.77" << QStringList{"eth0"} << "" << "";
        QTest::newRow("factory address seen from eth0")
            << "192.168.0.57" << QStringList{"eth0"} << "other subnet (eth0), factory address"
            << "sudo ip addr add 192.168.0.250/24 dev eth0";
        QTest::newRow("camera on .250 gets .249") << "192.168.7.250" << QStringList{"eth0"} << "other subnet (eth0)"
                                                  << "sudo ip addr add 192.168.7.249/24 dev eth0";
        QTest::newRow("wide subnet of eth1") << "10.0.200.3" << QStringList{"eth1"} << "" << "";
        QTest::newRow("heard on two, reachable on one") << "10.0.9.9" << QStringList{"eth0", "eth1"} << "" << "";
        QTest::newRow("heard on two, reachable on none") << "172.20.0.5" << QStringList{"eth1", "eth0"}
                                                         << "other subnet (eth1)"
                                                         << "sudo ip addr add 172.20.0.250/24 dev eth1";
    }
    void flagsOtherSubnet()
    {
        QFETCH(QString, address);
        QFETCH(QStringList, heardOn);
        QFETCH(QString, flags);
        QFETCH(QString, command);
        FoundCameraList list;
        for (const QString &name : heardOn)
            list.addAnnouncement("urn:uuid:cam", {"http://" + address + "/onvif/device_service"}, name, FoundByProbe);
        list.applyFlags(pcTable());
        const FoundCamera camera = list.cameras().value(0);
        QCOMPARE(camera.address, address);
        QCOMPARE(flagsText(camera), flags);
        QCOMPARE(camera.suggestedCommand, command);
        if (!command.isEmpty())
            QVERIFY2(flagsExplanation(camera).contains(command), qPrintable(flagsExplanation(camera)));
    }

    // Two endpoints claiming one address and port are both flagged; replies
    // repeated by one endpoint are one camera.
    void flagsConflictsAndMerges()
    {
        FoundCameraList list;
        QVERIFY(list.addAnnouncement("urn:uuid:a", {"http://192.168.1.20:8080/onvif/device_service"}, "eth0", FoundByProbe));
        QVERIFY(!list.addAnnouncement("urn:uuid:a", {"http://192.168.1.20:8080/onvif/device_service"}, "eth0", FoundByProbe));
        QVERIFY(!list.addAnnouncement("urn:uuid:a", {"http://192.168.1.20:8080/onvif/device_service"}, "eth1", FoundByHello));
        QVERIFY(list.addAnnouncement("urn:uuid:b", {"http://192.168.1.20:8080/onvif/device_service"}, "eth0", FoundByProbe));
        QVERIFY(list.addAnnouncement("urn:uuid:c", {"http://192.168.1.20:80/onvif/device_service"}, "eth0", FoundByProbe));
        list.applyFlags(pcTable());
        const QList<FoundCamera> cameras = list.cameras();
        QCOMPARE(cameras.size(), 3);
        QCOMPARE(cameras.at(0).target(), "192.168.1.20:80");
        QCOMPARE(flagsText(cameras.at(0)), "");
        QCOMPARE(cameras.at(1).endpoint, "urn:uuid:a");
        QCOMPARE(foundByText(cameras.at(1).foundBy), "ws-discovery,hello");
        QCOMPARE(cameras.at(1).heardOn, (QStringList{"eth0", "eth1"}));
        QCOMPARE(flagsText(cameras.at(1)), "address conflict");
        QCOMPARE(flagsText(cameras.at(2)), "address conflict");
        // A reply without an endpoint address is known by its address and port.
        QVERIFY(list.addAnnouncement("", {"http://192.168.1.21/onvif/device_service"}, "eth0", FoundByProbe));
        QVERIFY(!list.addAnnouncement("", {"http://192.168.1.21/onvif/device_service"}, "eth0", FoundByProbe));
        QCOMPARE(list.size(), 4);
        QVERIFY(list.removeEndpoint("urn:uuid:b"));
        list.applyFlags(pcTable());
        QCOMPARE(flagsText(list.cameras().at(1)), "");
    }

    // One address answered with two MACs (read at different times) is a conflict.
    void twoMacsAtOneAddressConflict()
    {
        FoundCameraList list;
        list.addAnnouncement("urn:uuid:a", {"http://192.168.1.30/x"}, "eth0", FoundByProbe);
        list.addAnnouncement("urn:uuid:b", {"http://192.168.1.31/x"}, "eth0", FoundByProbe);
        Identity first{true, false, "QZ-R410", "2.10", "00:11:22:33:44:55", {}};
        list.setIdentity("192.168.1.30", 80, first);
        list.applyFlags(pcTable());
        QCOMPARE(flagsText(list.cameras().at(0)), "");
        list.addSweepHit("192.168.1.31", 80);
        QCOMPARE(list.size(), 2);
        Identity other = first;
        other.mac = "00:11:22:33:44:66";
        list.setIdentity("192.168.1.31", 80, other);
        list.applyFlags(pcTable());
        QCOMPARE(foundByText(list.cameras().at(1).foundBy), "ws-discovery,sweep");
        QCOMPARE(flagsText(list.cameras().at(1)), "");
    }

    // The sweep joins what WS-Discovery found at the same address; a swept
    // address that turns out to be a listed camera (same MAC) is merged;
    // the list is sorted by address value, not text.
    void sweepMergesAndSorts()
    {
        FoundCameraList list;
        QVERIFY(list.addSweepHit("127.0.0.100", 8080));
        QVERIFY(list.addSweepHit("127.0.0.9", 8080));
        QVERIFY(list.addAnnouncement("urn:uuid:x", {"http://127.0.0.100:8080/onvif/device_service"}, "lo", FoundByProbe));
        QCOMPARE(list.size(), 2);
        QVERIFY(list.addSweepHit("127.0.0.20", 8080));
        list.setIdentity("127.0.0.100", 8080, Identity{true, false, "QZ-R410", "2.10", "00:11:22:33:44:99", {}});
        list.setIdentity("127.0.0.20", 8080, Identity{true, false, "QZ-R410", "2.10", "00:11:22:33:44:99", {}});
        list.setIdentity("127.0.0.9", 8080, Identity{true, true, {}, {}, {}, "401 Unauthorized"});
        list.applyFlags({makeInterface("lo", 1, "127.0.0.1", 8)});
        const QList<FoundCamera> cameras = list.cameras();
        QCOMPARE(cameras.size(), 3);
        QCOMPARE(cameras.at(0).address, "127.0.0.9");
        QCOMPARE(flagsText(cameras.at(0)), "login needed");
        // One MAC at two addresses: both listed, both flagged.
        QCOMPARE(cameras.at(1).address, "127.0.0.20");
        QCOMPARE(flagsText(cameras.at(1)), "MAC conflict");
        QCOMPARE(cameras.at(2).address, "127.0.0.100");
        QCOMPARE(foundByText(cameras.at(2).foundBy), "ws-discovery,sweep");
        QCOMPARE(cameras.at(2).identity.mac, "00:11:22:33:44:99");
        QCOMPARE(flagsText(cameras.at(2)), "MAC conflict");

        // A second endpoint heard later at an address already swept and read
        // shares what is known there (and conflicts with the first).
        list.addAnnouncement("urn:uuid:y", {"http://127.0.0.100:8080/onvif/device_service"}, "lo", FoundByProbe);
        list.applyFlags({makeInterface("lo", 1, "127.0.0.1", 8)});
        const FoundCamera late = list.cameras().at(3);
        QCOMPARE(late.endpoint, "urn:uuid:y");
        QCOMPARE(foundByText(late.foundBy), "ws-discovery,sweep");
        QCOMPARE(late.identity.mac, "00:11:22:33:44:99");
        QCOMPARE(flagsText(late), "address conflict, MAC conflict");
    }

    // A device that answers with a camera's endpoint from another address is
    // a second row, and both are flagged; a Bye counts only from the address
    // the camera was heard from; reads go only to the sender.
    void spoofingIsVisible()
    {
        const QList<LocalInterface> pc{makeInterface("eth0", 2, "192.168.1.10", 24)};
        FoundCameraList list;
        const QStringList real{"http://192.168.1.30/onvif/device_service"};
        QCOMPARE(list.add({"urn:uuid:cam", real, {}, "192.168.1.30", "eth0", FoundByProbe}, pc),
                 FoundCameraList::Added::New);
        QCOMPARE(list.add({"urn:uuid:cam", {"http://192.168.1.66/onvif/device_service"}, {}, "192.168.1.66", "eth0",
                           FoundByProbe}, pc),
                 FoundCameraList::Added::New);
        // Naming the real camera's address from elsewhere is another row too,
        // read (if at all) where it came from.
        QCOMPARE(list.add({"urn:uuid:cam", real, {}, "192.168.1.67", "eth0", FoundByHello}, pc),
                 FoundCameraList::Added::New);
        list.applyFlags(pc);
        QList<FoundCamera> cameras = list.cameras();
        QCOMPARE(cameras.size(), 3);
        QCOMPARE(cameras.at(0).readHost(), "192.168.1.30");
        QCOMPARE(cameras.at(1).readHost(), "192.168.1.67");
        QCOMPARE(flagsText(cameras.at(0)), "endpoint conflict");
        QCOMPARE(flagsText(cameras.at(2)), "endpoint conflict");
        QCOMPARE(CameraFinder::detailTargets(cameras),
                 (QStringList{"192.168.1.30:80", "192.168.1.67:80", "192.168.1.66:80"}));

        QVERIFY(!list.removeEndpoint("urn:uuid:cam", "192.168.1.99"));
        QVERIFY(list.removeEndpoint("urn:uuid:cam", "192.168.1.66"));
        QCOMPARE(list.size(), 2);
    }

    // The address a camera is listed at, from what its XAddrs offer.
    void choosesXAddr_data()
    {
        QTest::addColumn<QStringList>("xaddrs");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("flags");
        QTest::newRow("link-local first, own subnet second")
            << QStringList{"http://169.254.7.8/onvif/device_service", "http://192.168.1.31:8080/onvif/device_service"}
            << "192.168.1.31" << "192.168.1.31" << 8080 << "";
        QTest::newRow("IPv6 link-local gets the zone")
            << QStringList{"http://[fe80::1:2]/onvif/device_service"} << "fe80::1:2" << "fe80::1:2%eth0" << 80 << "";
        QTest::newRow("https is marked") << QStringList{"https://192.168.1.32/onvif/device_service"}
                                         << "192.168.1.32" << "192.168.1.32" << 443 << "https, not read";
        QTest::newRow("a host name is not resolved")
            << QStringList{"http://camera.example/onvif/device_service"} << "192.168.1.33" << "camera.example" << 80
            << "host name, not resolved";
    }
    void choosesXAddr()
    {
        QFETCH(QStringList, xaddrs);
        QFETCH(QString, sender);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, flags);
        const QList<LocalInterface> pc{makeInterface("eth0", 2, "192.168.1.10", 24)};
        FoundCameraList list;
        list.add({"urn:uuid:c", xaddrs, {}, sender, "eth0", FoundByProbe}, pc);
        list.applyFlags(pc);
        const FoundCamera camera = list.cameras().value(0);
        QCOMPARE(camera.address, host);
        QCOMPARE(camera.port, port);
        QCOMPARE(flagsText(camera), flags);
        QCOMPARE(camera.readable(), flags.isEmpty());
    }

    // The suggested address is one nothing found uses, the PC included, and
    // the list stops at 4,096 cameras, counting the rest.
    void adviceIsFreeAndListIsBounded()
    {
        const QList<LocalInterface> pc{makeInterface("eth-a", 2, "10.10.1.5", 24)};
        FoundCameraList list;
        for (const char *address : {"10.10.2.30", "10.10.2.250", "10.10.2.249"})
            list.add({QStringLiteral("urn:uuid:%1").arg(address), {QStringLiteral("http://%1/x").arg(address)}, {},
                      address, "eth-a", FoundByProbe}, pc);
        list.applyFlags(pc);
        for (const FoundCamera &camera : list.cameras())
            QCOMPARE(camera.suggestedCommand, "sudo ip addr add 10.10.2.248/24 dev eth-a");

        FoundCameraList full;
        for (int i = 0; i < 4100; ++i)
            full.add({QStringLiteral("urn:uuid:%1").arg(i), {"http://10.10.1.9/x"}, {}, "10.10.1.9", "eth-a",
                      FoundByHello}, pc);
        QCOMPARE(full.size(), 4096);
        QCOMPARE(full.notListed(), 4);
    }

    // Sweep ranges: "CIDR[:PORT]", at most a /22, host addresses only.
    void readsSweepRanges_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("error");
        QTest::newRow("/27 with port") << "127.0.0.0/27:8080" << 30 << "127.0.0.1" << "127.0.0.30" << 8080 << "";
        QTest::newRow("host bits ignored") << "192.168.0.77/24" << 254 << "192.168.0.1" << "192.168.0.254" << 80 << "";
        QTest::newRow("/22") << "10.0.4.0/22" << 1022 << "10.0.4.1" << "10.0.7.254" << 80 << "";
        QTest::newRow("one address") << "127.0.0.12/32:81" << 1 << "127.0.0.12" << "127.0.0.12" << 81 << "";
        QTest::newRow("too wide") << "10.0.0.0/21" << 0 << "" << "" << 0
                                  << "'10.0.0.0/21' is not a sweep range: at most a /22 (1024 addresses) is swept";
        QTest::newRow("no prefix") << "10.0.0.1" << 0 << "" << "" << 0
                                   << "'10.0.0.1' is not a sweep range: expected ADDRESS/PREFIX[:PORT]";
        QTest::newRow("bad port") << "10.0.0.0/24:0" << 0 << "" << "" << 0
                                  << "'10.0.0.0/24:0' is not a sweep range: the port must be 1 to 65535";
        QTest::newRow("IPv6") << "::1/128" << 0 << "" << "" << 0
                              << "'::1/128' is not a sweep range: the prefix must be 0 to 32";
    }
    void readsSweepRanges()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(int, port);
        QFETCH(QString, error);
        QString why;
        const std::optional<SweepRange> range = parseSweepRange(text, &why);
        QCOMPARE(why, error);
        QCOMPARE(range.has_value(), error.isEmpty());
        if (!range)
            return;
        const QList<QHostAddress> addresses = range->addresses();
        QCOMPARE(int(addresses.size()), count);
        QCOMPARE(addresses.first().toString(), first);
        QCOMPARE(addresses.last().toString(), last);
        QCOMPARE(range->port, port);
    }
};

QTEST_GUILESS_MAIN(DiscoveryRulesTest)
#include "DiscoveryRulesTest.moc"
