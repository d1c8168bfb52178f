// The plain rules of the parameter interface: what goes into a request
// target, how a reply is trimmed and how a value is taken out of it.
#include "protocol/CameraError.h"
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
    QTest::newRow("bytes above 0x7E as UTF-8, upper-case hex")
        << "a" << QString::fromUtf8("\xC3\xA4\x7F") << QByteArray("/api/param?a=%C3%A4%7F");
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

QTEST_APPLESS_MAIN(ReplyRulesTest)
#include "ReplyRulesTest.moc"
