// Host lists, where a camera's video is and which channel a wall shows.
#include "site/CameraStream.h"
#include "site/HostList.h"

#include <QtTest>

using namespace qzr::site;

class SiteRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void hostLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("cameras");
        QTest::addColumn<QString>("error");
        QTest::newRow("lines, commas, comments")
            << "# site A\n127.0.0.1:8080, 127.0.0.2\n\n[::1]:81  # the last\n"
            << QStringList{"127.0.0.1:8080", "127.0.0.2:80", "[::1]:81"} << QString();
        QTest::newRow("bare IPv6") << "fe80::1%lo" << QStringList{"[fe80::1%lo]:80"} << QString();
        QTest::newRow("octal-looking address")
            << "127.0.0.1\n127.0.0.010" << QStringList() << "line 2: '127.0.0.010' is not an IP address or host name";
        QTest::newRow("port out of range")
            << "127.0.0.1:65536" << QStringList() << "line 1: '65536' is not a valid port number (1 to 65535)";
        QTest::newRow("listed twice")
            << "127.0.0.1:80\n127.0.0.1" << QStringList() << "line 2: 127.0.0.1:80 is listed twice (first on line 1)";
        QTest::newRow("markup in a line") << "<b>x</b>" << QStringList()
                                          << "line 1: '<b>x</b>' is not an IP address or host name";
        QTest::newRow("nothing") << "# only a comment\n" << QStringList() << "the list names no camera";
    }
    void hostLists()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, cameras);
        QFETCH(QString, error);
        const HostList list = parseHostList(text, 80);
        QStringList addresses;
        for (const SiteCamera &camera : list.cameras)
            addresses << camera.address();
        QCOMPARE(addresses, cameras);
        QCOMPARE(list.error, error);
    }

    void hostListFileIsBounded()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(QByteArray(kMaxHostListBytes + 1, '#'));
        file.close();
        QCOMPARE(readHostListFile(file.fileName(), 80).error,
                 file.fileName() + " is larger than a host list may be (1048576 bytes at most)");
        QVERIFY(readHostListFile(QStringLiteral("/nonexistent/site.txt"), 80).error.startsWith("Cannot open file"));
    }

    void lowestResolutionChannelThatRuns()
    {
        std::array<qzr::encoder::EncoderSettings, 3> encoders;
        encoders[0].type = "h264high";
        encoders[0].frameSize = "1920x1080";
        encoders[1].type = "jpeg";
        encoders[1].frameSize = "vga";
        encoders[2].type = "off";
        encoders[2].frameSize = "qvga";
        QCOMPARE(lowestResolutionChannel(encoders), std::optional<int>(2));
        encoders[2].type = "h264baseline"; // qvga now runs
        QCOMPARE(lowestResolutionChannel(encoders), std::optional<int>(3));
        encoders[1].frameSize = "qvga"; // a tie: the lower channel
        QCOMPARE(lowestResolutionChannel(encoders), std::optional<int>(2));
        for (auto &settings : encoders)
            settings.type = "off";
        QCOMPARE(lowestResolutionChannel(encoders), std::nullopt);
        encoders[0].type = "h264high";
        encoders[0].frameSize = "NG"; // a size the tool does not know shows nothing
        QCOMPARE(lowestResolutionChannel(encoders), std::nullopt);
    }

    void streamAddresses()
    {
        QCOMPARE(rtspPortOf("8554"), std::optional<quint16>(8554));
        for (const char *bad : {"", "0", "65536", "+554", " 554", "554x", "NG", "0x22a", "1234567"})
            QCOMPARE(rtspPortOf(QString::fromLatin1(bad)), std::nullopt);
        QCOMPARE(cameraStreamUrl("127.0.0.5", 8554, 2), "rtsp://127.0.0.5:8554/channel2");
        QCOMPARE(cameraStreamUrl("::1", 554, 1), "rtsp://[::1]:554/channel1");
        QCOMPARE(cameraStreamUrl("127.0.0.5", 8554, 3, "rtsp://{ip}:{port}/live{channel}"), "rtsp://127.0.0.5:8554/live3");
        QCOMPARE(cameraStreamUrl("127.0.0.5", 8554, 1, "rtsp://{ip}:10554/channel{channel}"),
                 "rtsp://127.0.0.5:10554/channel1");
    }
};

QTEST_GUILESS_MAIN(SiteRulesTest)
#include "SiteRulesTest.moc"
