// The IP settings' requests, texts and field checks on their own, without a
// window or a camera.
#include "network/NetworkSettings.h"

#include <QFileInfo>
#include <QProcess>
#include <QtTest>

using namespace qzr::network;

Q_DECLARE_METATYPE(qzr::network::PortSearchResult)

class NetworkSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void requestsGoOutAsBuilt_data();
    void requestsGoOutAsBuilt();
    void addressIsTheOctetsJoinedAsTyped();
    void textsAreTheCamerasOwn();
    void readBackKeysComeInFieldOrder();
    void goodAddressSettingsPass_data();
    void goodAddressSettingsPass();
    void badAddressSettingsNameTheirField_data();
    void badAddressSettingsNameTheirField();
    void httpPortIsAWholeNumberUpTo65535_data();
    void httpPortIsAWholeNumberUpTo65535();
    void addressCacheIsFlushedByThePlatformsTool();
    void commandOutcomeIsReportedOnce_data();
    void commandOutcomeIsReportedOnce();
    void portSearch_data();
    void portSearch();
};

void NetworkSettingsTest::requestsGoOutAsBuilt_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("address, mask, gateway")
        << addressRequest("192.168.0.2", "255.255.255.0", "192.168.0.1").target()
        << QByteArray("/api/param?network.interface.ip=192.168.0.2&network.interface.subnetmask=255.255.255.0"
                      "&network.gateway(ipv4)=192.168.0.1");
    QTest::newRow("network restart") << interfaceRestartRequest().target()
                                     << QByteArray("/api/param?network.interface.status=restart");
    QTest::newRow("http port") << httpPortRequest("8080").target() << QByteArray("/api/param?network.http.port=8080");
    QTest::newRow("http restart") << httpRestartRequest().target()
                                  << QByteArray("/api/param?network.http.status=restart");
    QTest::newRow("password") << passwordRequest("n3w").target()
                              << QByteArray("/api/param?system.password.operator(0)=n3w");
    // A password holding "&" stays one value.
    QTest::newRow("password with &") << passwordRequest("a&b").target()
                                     << QByteArray("/api/param?system.password.operator(0)=a%26b");
    QTest::newRow("dhcp on") << dhcpRequest(true) << QByteArray("/api/param?&network.interface.dhcp.status=on");
    QTest::newRow("dhcp off") << dhcpRequest(false) << QByteArray("/api/param?&network.interface.dhcp.status=off");
}

void NetworkSettingsTest::requestsGoOutAsBuilt()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, expected);
    QCOMPARE(target, expected);
}

void NetworkSettingsTest::addressIsTheOctetsJoinedAsTyped()
{
    QCOMPARE(joinedAddress({"192", "168", "0", "2"}), QString("192.168.0.2"));
    QCOMPARE(joinedAddress({"10", "1", "", "x"}), QString("10.1..x"));
    QCOMPARE(addressConfirmation("192.168.0.2"),
             QString("Do you want to change Camera Network settings now ? New IP will be 192.168.0.2"));
}

void NetworkSettingsTest::textsAreTheCamerasOwn()
{
    QCOMPARE(kRestartNotice, QString("Please wait 2-3 minutes if you change Network Settings like IP address, "
                                     "until camera has rebooted with new settings"));
    QCOMPARE(kDone, QString("Done !"));
    QCOMPARE(kNothingChanged, QString("Nothing changed"));
    QCOMPARE(kConfirmTitle, QString("Confirm"));
    QCOMPARE(kPasswordSettle_ms, 3000);
}

void NetworkSettingsTest::readBackKeysComeInFieldOrder()
{
    const QStringList keys(kReadBackKeys.begin(), kReadBackKeys.end());
    QCOMPARE(keys, QStringList({"network.interface.subnetmask", "network.gateway(ipv4)", "network.http.port",
                                "network.rtsp.port"}));
}

void NetworkSettingsTest::goodAddressSettingsPass_data()
{
    QTest::addColumn<QStringList>("octets");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("gateway");
    QTest::newRow("defaults") << QStringList{"192", "168", "0", "2"} << "255.255.255.0" << "192.168.0.1";
    QTest::newRow("class A") << QStringList{"10", "0", "0", "1"} << "255.0.0.0" << "10.255.255.254";
    QTest::newRow("ends of the octets") << QStringList{"0", "255", "9", "99"} << "255.255.255.255" << "0.0.0.0";
    QTest::newRow("odd prefix") << QStringList{"172", "16", "5", "200"} << "255.255.240.0" << "172.16.0.1";
    QTest::newRow("one one") << QStringList{"172", "16", "5", "200"} << "128.0.0.0" << "172.16.0.1";
}

void NetworkSettingsTest::goodAddressSettingsPass()
{
    QFETCH(QStringList, octets);
    QFETCH(QString, mask);
    QFETCH(QString, gateway);
    const auto problem = addressSettingsProblem({octets[0], octets[1], octets[2], octets[3]}, mask, gateway);
    QVERIFY2(!problem, qPrintable(problem.value_or(QString())));
}

void NetworkSettingsTest::badAddressSettingsNameTheirField_data()
{
    QTest::addColumn<QStringList>("octets");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<QString>("message");
    const QStringList good{"192", "168", "0", "2"};
    const QString sent = " Nothing was sent to the camera.";
    QTest::newRow("empty third octet") << QStringList{"192", "168", "", "2"} << "255.255.255.0" << "192.168.0.1"
                                       << "New IP Address: the third octet is empty." + sent;
    QTest::newRow("letter in first octet") << QStringList{"19a", "168", "0", "2"} << "255.255.255.0"
                                           << "192.168.0.1"
                                           << "New IP Address: the first octet \"19a\" is not a whole number "
                                              "from 0 to 255 (digits only, no leading zero)." + sent;
    QTest::newRow("second octet 256") << QStringList{"192", "256", "0", "2"} << "255.255.255.0" << "192.168.0.1"
                                      << "New IP Address: the second octet \"256\" is not a whole number from 0 "
                                         "to 255 (digits only, no leading zero)." + sent;
    QTest::newRow("fourth octet with a blank") << QStringList{"192", "168", "0", "2 "} << "255.255.255.0"
                                               << "192.168.0.1"
                                               << "New IP Address: the fourth octet \"2 \" is not a whole number "
                                                  "from 0 to 255 (digits only, no leading zero)." + sent;
    QTest::newRow("leading zero") << QStringList{"192", "168", "010", "2"} << "255.255.255.0" << "192.168.0.1"
                                  << "New IP Address: the third octet \"010\" is not a whole number from 0 to "
                                     "255 (digits only, no leading zero)." + sent;
    QTest::newRow("negative octet") << QStringList{"192", "168", "-1", "2"} << "255.255.255.0" << "192.168.0.1"
                                    << "New IP Address: the third octet \"-1\" is not a whole number from 0 to "
                                       "255 (digits only, no leading zero)." + sent;
    QTest::newRow("empty mask") << good << "" << "192.168.0.1" << "New Subnetmask: the field is empty." + sent;
    QTest::newRow("mask of three octets") << good << "255.255.255" << "192.168.0.1"
                                          << "New Subnetmask: \"255.255.255\" is not a dotted address of four "
                                             "whole numbers from 0 to 255 (like 255.255.255.0)." + sent;
    QTest::newRow("mask with a gap") << good << "255.0.255.0" << "192.168.0.1"
                                     << "New Subnetmask: \"255.0.255.0\" is not a subnet mask: its ones must "
                                        "come first, without gaps (like 255.255.255.0)." + sent;
    QTest::newRow("mask 255.255.255.1") << good << "255.255.255.1" << "192.168.0.1"
                                        << "New Subnetmask: \"255.255.255.1\" is not a subnet mask: its ones must "
                                           "come first, without gaps (like 255.255.255.0)." + sent;
    QTest::newRow("mask without ones") << good << "0.0.0.0" << "192.168.0.1"
                                       << "New Subnetmask: \"0.0.0.0\" is not a subnet mask: its ones must come "
                                          "first, without gaps (like 255.255.255.0)." + sent;
    QTest::newRow("gateway with letters") << good << "255.255.255.0" << "gateway"
                                          << "New Gateway: \"gateway\" is not a dotted address of four whole "
                                             "numbers from 0 to 255 (like 192.168.0.1)." + sent;
    QTest::newRow("gateway with five octets") << good << "255.255.255.0" << "192.168.0.1.1"
                                              << "New Gateway: \"192.168.0.1.1\" is not a dotted address of four "
                                                 "whole numbers from 0 to 255 (like 192.168.0.1)." + sent;
    QTest::newRow("empty gateway") << good << "255.255.255.0" << "" << "New Gateway: the field is empty." + sent;
    // The first wrong field is the one named.
    QTest::newRow("address before mask") << QStringList{"192", "168", "0", ""} << "x" << "y"
                                         << "New IP Address: the fourth octet is empty." + sent;
}

void NetworkSettingsTest::badAddressSettingsNameTheirField()
{
    QFETCH(QStringList, octets);
    QFETCH(QString, mask);
    QFETCH(QString, gateway);
    QFETCH(QString, message);
    const auto problem = addressSettingsProblem({octets[0], octets[1], octets[2], octets[3]}, mask, gateway);
    QVERIFY2(problem, "a message was expected");
    QCOMPARE(*problem, message);
}

void NetworkSettingsTest::httpPortIsAWholeNumberUpTo65535_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("1") << "1" << true;
    QTest::newRow("80") << "80" << true;
    QTest::newRow("8080") << "8080" << true;
    QTest::newRow("65535") << "65535" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("65536") << "65536" << false;
    QTest::newRow("letter") << "8o" << false;
    QTest::newRow("blank") << " 80" << false;
    QTest::newRow("sign") << "+80" << false;
    QTest::newRow("six digits") << "100000" << false;
}

void NetworkSettingsTest::httpPortIsAWholeNumberUpTo65535()
{
    QFETCH(QString, port);
    QFETCH(bool, accepted);
    const auto problem = httpPortProblem(port);
    QCOMPARE(!problem.has_value(), accepted);
    if (problem) {
        const QString expected = port.isEmpty()
            ? QString("New HTTP Port: the field is empty. Nothing was sent to the camera.")
            : QString("New HTTP Port: \"%1\" is not a whole number from 1 to 65535. Nothing was sent to the "
                      "camera.").arg(port);
        QCOMPARE(*problem, expected);
    }
}

void NetworkSettingsTest::addressCacheIsFlushedByThePlatformsTool()
{
    const DetachedCommand command = addressCacheFlushCommand();
#if defined(Q_OS_LINUX)
    QCOMPARE(command.program, QString("/sbin/ip"));
    QCOMPARE(command.arguments, QStringList({"neigh", "flush", "all"}));
#elif defined(Q_OS_WIN)
    QCOMPARE(command.program, QString("C:/Windows/System32/ARP.exe"));
    QCOMPARE(command.arguments, QStringList({"-d"}));
#endif
    // Never looked up through PATH: the system's own tool, which is there.
    const QFileInfo tool(command.program);
    QVERIFY2(tool.isAbsolute(), qPrintable(command.program));
    QVERIFY2(tool.isExecutable(), qPrintable(command.program + " is not an executable file here"));
}

void NetworkSettingsTest::commandOutcomeIsReportedOnce_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("failure");
    QTest::newRow("succeeds") << "/bin/sh" << QStringList{"-c", "exit 0"} << "";
    QTest::newRow("complains") << "/bin/sh"
                               << QStringList{"-c", "echo 'RTNETLINK answers: Operation not permitted' >&2; exit 2"}
                               << "RTNETLINK answers: Operation not permitted";
    QTest::newRow("fails silently") << "/bin/sh" << QStringList{"-c", "exit 1"} << "/bin/sh ended with exit code 1";
    QTest::newRow("missing") << "/nonexistent/qzr-no-such-tool" << QStringList{"-d"}
                             << "/nonexistent/qzr-no-such-tool could not be started";
}

void NetworkSettingsTest::commandOutcomeIsReportedOnce()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, failure);
    QObject owner;
    QStringList reports;
    runInBackground(&owner, {program, arguments}, [&reports](const QString &text) { reports << text; });
    QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, 10000);
    if (failure.isEmpty())
        QVERIFY2(reports.first().isEmpty(), qPrintable(reports.first()));
    else
        QVERIFY2(reports.first().startsWith(failure), qPrintable(reports.first()));
    // The process is let go of after its one report: nothing more can come.
    QTRY_VERIFY(owner.findChildren<QProcess *>().isEmpty());
    QCOMPARE(reports.size(), 1);
}

void NetworkSettingsTest::portSearch_data()
{
    QTest::addColumn<int>("answersOnNewFromTry"); // 0: never
    QTest::addColumn<bool>("answersOnOld");
    QTest::addColumn<PortSearchResult>("result");
    QTest::addColumn<QList<int>>("tried");
    QTest::addColumn<int>("pauses");
    const QList<int> thirtyOneNew(31, 8080);
    QTest::newRow("moved at once") << 1 << false << PortSearchResult::NewPort << QList<int>{8080} << 0;
    QTest::newRow("moved after a while") << 4 << true << PortSearchResult::NewPort << QList<int>(4, 8080) << 3;
    QTest::newRow("stayed") << 0 << true << PortSearchResult::OldPort << (thirtyOneNew + QList<int>{80}) << 30;
    QTest::newRow("gone") << 0 << false << PortSearchResult::Neither << (thirtyOneNew + QList<int>{80}) << 30;
}

void NetworkSettingsTest::portSearch()
{
    QFETCH(int, answersOnNewFromTry);
    QFETCH(bool, answersOnOld);
    QFETCH(PortSearchResult, result);
    QFETCH(QList<int>, tried);
    QFETCH(int, pauses);
    QList<int> asked;
    QList<int> paused;
    const PortSearchResult found = searchMovedCamera(
        8080, 80,
        [&](int port) {
            asked << port;
            return port == 80 ? answersOnOld : (answersOnNewFromTry > 0 && asked.size() >= answersOnNewFromTry);
        },
        [&](int pause_ms) { paused << pause_ms; });
    QCOMPARE(found, result);
    QCOMPARE(asked, tried);
    QCOMPARE(paused, QList<int>(pauses, 1000));
}

QTEST_GUILESS_MAIN(NetworkSettingsTest)
#include "NetworkSettingsTest.moc"
