// The plain rules of the parameter interface: what goes into a request
// target, how a reply is trimmed and how a value is taken out of it.
#include "protocol/CameraError.h"
#include "protocol/CodePage.h"
#include "protocol/ConnectionInput.h"
#include "protocol/CameraSession.h"
#include "protocol/ReplyLog.h"
#include "protocol/RequestTarget.h"

#include <QtTest>

using namespace qzr;

class ReplyRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void targetKeepsWhatTheCameraExpects_data();
    void targetKeepsWhatTheCameraExpects();
    void ampersandInValueNeverStartsAnotherAssignment();
    void rawQueryKeepsItsOwnSeparators();

    void trimLeavesLineFiveAndLinesEightOnward_data();
    void trimLeavesLineFiveAndLinesEightOnward();
    void everyLogChangeIsAnnounced();
    void valueRule_data();
    void valueRule();
    void errorReportPeriodRule_data();
    void errorReportPeriodRule();
    void portTextMustBeAWholeNumber();
    void everyByteComesBackFromTheCodePage();
    void typedTextOutsideTheCodePageIsRefused();
    void connectionInput_data();
    void connectionInput();
    void refusedKeysOfAReply();
};

void ReplyRulesTest::targetKeepsWhatTheCameraExpects_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("target");

    QTest::newRow("parentheses and dots unchanged")
        << "camera.scene(1).status" << "goto" << QByteArray("/api/param?camera.scene(1).status=goto");
    QTest::newRow("allowed punctuation unchanged")
        << "a" << "(x).,-+_:/=~" << QByteArray("/api/param?a=(x).,-+_:/=~");
    QTest::newRow("space") << "a" << "b c" << QByteArray("/api/param?a=b%20c");
    QTest::newRow("hash is sent, not cut") << "a" << "x#y" << QByteArray("/api/param?a=x%23y");
    QTest::newRow("backslash is not turned into a slash") << "a" << "x\\y" << QByteArray("/api/param?a=x%5Cy");
    QTest::newRow("quote, angle brackets, percent")
        << "a" << "\"<>%" << QByteArray("/api/param?a=%22%3C%3E%25");
    QTest::newRow("control characters") << "a" << QString("x\ty\r\n") << QByteArray("/api/param?a=x%09y%0D%0A");
    QTest::newRow("camera bytes above 0x7E go back byte by byte, upper-case hex")
        << "a" << fromCameraBytes("\xE9t\xE9\x80\x9F\x7F") << QByteArray("/api/param?a=%E9t%E9%80%9F%7F");
    QTest::newRow("typed text in Windows-1252")
        << "a" << QString::fromUtf8("\xE2\x82\xAC\xC3\x9F\xC3\xA4") << QByteArray("/api/param?a=%80%DF%E4");
    QTest::newRow("UTF-8 bytes of a file are not encoded twice")
        << "a" << fromCameraBytes("\xC3\xA9") << QByteArray("/api/param?a=%C3%A9");
    QTest::newRow("space in a key") << "a b" << "1" << QByteArray("/api/param?a%20b=1");
}

void ReplyRulesTest::targetKeepsWhatTheCameraExpects()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, target);
    QCOMPARE(ParamQuery().set(key, value).target(), target);
}

void ReplyRulesTest::ampersandInValueNeverStartsAnotherAssignment()
{
    const QByteArray target = ParamQuery()
                                  .set("system.password.operator(0)", "a&b=c")
                                  .set("encode(1).status", "save")
                                  .target();
    QCOMPARE(target, QByteArray("/api/param?system.password.operator(0)=a%26b=c&encode(1).status=save"));
    QCOMPARE(ParamQuery::read("encode(2).framesize").target(), QByteArray("/api/param?encode(2).framesize"));
}

void ReplyRulesTest::rawQueryKeepsItsOwnSeparators()
{
    QCOMPARE(targetForRawQuery("a=1&b=x y#"), QByteArray("/api/param?a=1&b=x%20y%23"));
}

void ReplyRulesTest::trimLeavesLineFiveAndLinesEightOnward_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("trimmed");
    QTest::addColumn<int>("changes");

    QTest::newRow("camera page") << "l1\r\nl2\r\nl3\r\nl4\r\nkey=v&\r\nl6\r\nl7\r\nl8\r\nl9\r\n"
                                 << "key=v&\r\nl8\r\nl9" << 7;
    QTest::newRow("LF line ends") << "l1\nl2\nl3\nl4\nkey=v&\nl6\nl7" << "key=v&" << 7;
    QTest::newRow("CR, CR LF and LF line ends mixed")
        << "l1\rl2\r\nl3\nl4\rkey=v&\n\rl7\rl8" << "key=v&\r\nl8" << 7;
    QTest::newRow("six lines: one of the second-line deletions finds nothing")
        << "l1\r\nl2\r\nl3\r\nl4\r\nkey=v&\r\nl6" << "key=v&" << 6;
    QTest::newRow("three lines: only three deletions happen") << "l1\r\nl2\r\nl3" << "" << 4;
    QTest::newRow("empty body") << "" << "" << 1;
}

void ReplyRulesTest::trimLeavesLineFiveAndLinesEightOnward()
{
    QFETCH(QString, reply);
    QFETCH(QString, trimmed);
    QFETCH(int, changes);
    ReplyLog log;
    int announced = 0;
    log.setChangeHandler([&] { ++announced; });
    log.setText(reply);
    log.trimReply();
    QCOMPARE(log.text(), trimmed);
    QVERIFY2(announced == changes, qPrintable(QString("expected %1 log changes, got %2").arg(changes).arg(announced)));
}

void ReplyRulesTest::everyLogChangeIsAnnounced()
{
    // Two datagrams "A" and "B" appended to an empty log, each followed by an
    // empty line, leave "A", a line break, "B" and a line break.
    ReplyLog log;
    int announced = 0;
    log.setChangeHandler([&] { ++announced; });
    log.setText(log.text() + "A");
    log.appendLine(QString());
    log.setText(log.text() + "B");
    log.appendLine(QString());
    QCOMPARE(log.text(), QString("A\r\nB\r\n"));
    QCOMPARE(announced, 4);
    log.deleteLine(10);
    QCOMPARE(announced, 4);
}

void ReplyRulesTest::valueRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("value");

    QTest::newRow("framerate") << "encode(1).framerate=15&" << 21 << "15";
    QTest::newRow("model") << "system.model=QZ-R410&\r\n</body>" << 14 << "QZ-R410";
    QTest::newRow("empty value") << "system.model=&" << 14 << "";
    QTest::newRow("line breaks are no stop") << "k=ab\r\ncd&x" << 3 << "ab\r\ncd";
    QTest::newRow("no ampersand: up to the end") << "k=abc" << 3 << "abc";
    QTest::newRow("start beyond the text") << "k=" << 9 << "";
    QTest::newRow("MAC from the default position")
        << "network.interface.mac=00:11:22:33:44:55&" << defaultValueStart("network.interface.mac")
        << "00:11:22:33:44:55";
    QTest::newRow("long value past position 255")
        << "k=" + QString(300, 'x') + "&" << 3 << QString(300, 'x');
}

void ReplyRulesTest::valueRule()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(QString, value);
    QCOMPARE(valueFrom(text, start), value);
}

void ReplyRulesTest::errorReportPeriodRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("status text") << "401 Unauthorized" << "401 Unauthorized.";
    QTest::newRow("already a period") << "Socket Error # 111\r\nConnection refused." << "Socket Error # 111\r\nConnection refused.";
    QTest::newRow("ends in a quote (below '.')") << "bad '" << "bad '";
    QTest::newRow("conversion") << notAnIntegerText("8o") << "'8o' is not a valid integer value.";
}

void ReplyRulesTest::errorReportPeriodRule()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(withFinalPeriod(text), shown);
}

void ReplyRulesTest::portTextMustBeAWholeNumber()
{
    QCOMPARE(toIntegerOrThrow("80"), 80);
    try {
        toIntegerOrThrow("8o");
        QFAIL("8o was taken as a number");
    } catch (const CameraError &error) {
        QCOMPARE(error.text(), QString("'8o' is not a valid integer value"));
    }
}

// Bytes taken from a camera or a file leave as they came, all 256 of them;
// the bytes 0x80 and 0x9F are the characters of Windows-1252.
void ReplyRulesTest::everyByteComesBackFromTheCodePage()
{
    QByteArray all;
    for (int byte = 0; byte < 256; ++byte)
        all += char(byte);
    QCOMPARE(toCameraBytes(fromCameraBytes(all)).value_or("conversion failed"), all);
    QCOMPARE(fromCameraBytes("\xE9t\xE9\x80\x9F"), QString::fromUtf8("\xC3\xA9t\xC3\xA9\xE2\x82\xAC\xC5\xB8"));
}

// A typed character the code page cannot hold stops the request before it
// is built, naming the key.
void ReplyRulesTest::typedTextOutsideTheCodePageIsRefused()
{
    const QString omega = QString::fromUtf8("1\xCE\xA9");
    try {
        ParamQuery().set("camera.scene(0).image.gamma", omega).target();
        QFAIL("a value holding omega was encoded");
    } catch (const CameraError &error) {
        QCOMPARE(error.text(), QString::fromUtf8("camera.scene(0).image.gamma: '1\xCE\xA9' holds \"\xCE\xA9\", which the "
                                                 "camera's code page (Windows-1252) cannot hold"));
    }
}

void ReplyRulesTest::connectionInput_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("failure"); // "" when accepted

    QTest::newRow("address and port") << "127.0.0.1" << "8080" << "";
    QTest::newRow("blanks around both") << " 127.0.0.1 " << " 80" << "";
    QTest::newRow("host name") << "cam-7.site.example" << "65535" << "";
    QTest::newRow("IPv6 address") << "::1" << "1" << "";
    QTest::newRow("IPv6 with its zone") << "fe80::1%eth0.7" << "80" << "";
    QTest::newRow("lowest and highest octets") << "0.0.0.0" << "80" << "";
    QTest::newRow("all octets") << "255.255.255.255" << "80" << "";
    QTest::newRow("name with digits first") << "7cam.example" << "80" << "";
    QTest::newRow("63-character label") << QString(63, 'a') + ".example" << "80" << "";
    const QString notHost = "Camera IP: '%1' is not an IP address or host name";
    // Octal, hex and short forms a resolver reads as another address, a
    // zone that is no interface name, labels the rules do not allow.
    for (const QString &address :
         QStringList{"127.0.0.1/", "127.0.0.1#x", "127.0.0.1?x", "", "a b", "999.1.1.1", "admin@cam", "127.0.0.1:81",
                     "127.0.0.010", "010.0.0.1", "127.1", "0x7f.0.0.1", "0x7f000001", "0177.0.0.1", "1.2.3.4.5",
                     "256.0.0.1", "12345", "fe80::1%", "fe80::1%eth0;id", QStringLiteral("::0") + QChar(0) + QStringLiteral("\x0c"), "fe80::1%eth0/x", ":::1", "-cam.example",
                     "cam-.example", "a..b", "cam_1.example", "cam.example.", QString(64, 'a') + ".example",
                     QString(127, 'a') + "." + QString(127, 'b')})
        QTest::newRow(qPrintable("refused " + address.left(40))) << address << "80" << notHost.arg(address);
    QTest::newRow("port 99999") << "127.0.0.1" << "99999" << "'99999' is not a valid port number (1 to 65535).";
    QTest::newRow("port 0") << "127.0.0.1" << "0" << "'0' is not a valid port number (1 to 65535).";
    QTest::newRow("port -1") << "127.0.0.1" << "-1" << "'-1' is not a valid port number (1 to 65535).";
    QTest::newRow("lettered port stays as it was") << "127.0.0.1" << "8o" << "'8o' is not a valid integer value";
}

// The connection fields are checked before anything is sent.
void ReplyRulesTest::connectionInput()
{
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(QString, failure);
    ReplyLog log;
    CameraSession session(log);
    QString got;
    try {
        session.applyConnection({address, port, "admin", "kqm"});
    } catch (const CameraError &error) {
        got = error.text();
    }
    QCOMPARE(got, failure);
    QCOMPARE(session.client().connectionsOpened(), 0);
}

void ReplyRulesTest::refusedKeysOfAReply()
{
    const QByteArray body = "<html>\r\n<head></head>\r\n<body>\r\n<pre>\r\nencode(1).type=jpeg&\r\n"
                            "encode(1).quality=NG&\r\nencode(1).status=NG&\r\nNG&\r\n</pre>\r\n</body></html>\r\n";
    QCOMPARE(refusedKeys(body), QStringList({"encode(1).quality", "encode(1).status"}));
    QCOMPARE(refusedKeys("<pre>\r\nencode(1).type=NGX&\r\n"), QStringList());
}

QTEST_APPLESS_MAIN(ReplyRulesTest)
#include "ReplyRulesTest.moc"
