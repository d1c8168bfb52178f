// The encoder read against the simulated camera over loopback: the requests
// in their order, what is reported to the form and when, the settings text
// it builds, and a failure part-way.
#include "CameraFixture.h"
#include "encoder/EncoderRead.h"
#include "protocol/CameraError.h"
#include "encoder/SettingsText.h"

#include <QtTest>

using namespace qzr;
using namespace qzr::encoder;
using qzr::encodertest::SimulatedCamera;
using qzr::settingsfile::LineEnding;
using qzr::settingsfile::SettingsText;

namespace {

// Records what a read reports, and keeps a settings text as the settings
// window would.
class RecordingObserver : public EncoderReadObserver
{
public:
    void onReadStarted(int encoder, bool clearsSettingsText) override
    {
        events << QStringLiteral("start %1").arg(encoder);
        if (clearsSettingsText)
            text.clear();
    }
    void onValue(EncoderKey key, const QString &value) override
    {
        events << QStringLiteral("value ") + QLatin1String(keySuffix(key));
        values << value;
    }
    void onMarkedOff() override { events << QStringLiteral("off"); }
    void onCodecRules(const EncoderReadRules &rules) override
    {
        events << QStringLiteral("rules");
        lastRules = rules;
    }
    void onSettingsItem(const QString &item, LineEnding ending) override { text.append(item, ending); }
    void onStep(bool mainBarFollows) override
    {
        ++steps;
        if (mainBarFollows)
            ++mainBarSteps;
    }
    void onReadFinished(const EncoderReadRules &rules) override
    {
        events << QStringLiteral("finished");
        finishedRules = rules;
    }

    QStringList events;
    QStringList values;
    SettingsText text;
    EncoderReadRules lastRules;
    std::optional<EncoderReadRules> finishedRules;
    int steps = 0;
    int mainBarSteps = 0;
};

QStringList targetsFor(int encoder, const QStringList &suffixes)
{
    QStringList targets;
    for (const QString &suffix : suffixes)
        targets << QStringLiteral("/api/param?encode(%1).%2").arg(encoder).arg(suffix);
    return targets;
}

const QStringList kStreamOrder{"type", "bitrate", "framesize", "cbr_mode", "iframeinterval", "framerate"};
const QStringList kJpegOrder{"type", "quality", "framesize", "cbr_mode", "iframeinterval", "framerate"};

} // namespace

class EncoderReadTest : public QObject
{
    Q_OBJECT

private slots:
    void readsOneEncoder_data();
    void readsOneEncoder();
    void codecRulesComeBeforeTheJpegSize();
    void refreshAllReadsThreeEncodersIntoTwentyOneLines();
    void collectsTheSettingsOfEveryCodec();
    void failureEndsTheRead_data();
    void failureEndsTheRead();
    void failureStopsRefreshAll();
    void rejectsAnEncoderNumberOutsideOneToThree();
};

void EncoderReadTest::readsOneEncoder_data()
{
    QTest::addColumn<int>("encoder");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QStringList>("settingsLines");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("mainBarSteps");
    QTest::addColumn<bool>("marksOff");

    // The simulated camera holds distinct values, so a mixed-up key shows.
    QTest::newRow("h264 encoder 1")
        << 1 << "h264high" << targetsFor(1, kStreamOrder)
        << QStringList{"encoder1", "h264high", "768000", "1280x720", "vbr", "60", "25"} << 7 << 7 << false;
    QTest::newRow("jpeg encoder 2: size asked, no bitrate")
        << 2 << "jpeg" << targetsFor(2, kJpegOrder)
        << QStringList{"encoder2", "jpeg", "240k", "1280x720", "vbr", "60", "25"} << 6 << 1 << false;
    QTest::newRow("off encoder 3: every request still made")
        << 3 << "off" << targetsFor(3, kStreamOrder)
        << QStringList{"encoder3", "off", "768000", "1280x720", "vbr", "60", "25"} << 7 << 1 << true;
    QTest::newRow("off encoder 1: not marked")
        << 1 << "off" << targetsFor(1, kStreamOrder)
        << QStringList{"encoder1", "off", "768000", "1280x720", "vbr", "60", "25"} << 7 << 7 << false;
    QTest::newRow("mpeg4 encoder 2")
        << 2 << "mpeg4" << targetsFor(2, kStreamOrder)
        << QStringList{"encoder2", "mpeg4", "768000", "1280x720", "vbr", "60", "25"} << 7 << 1 << false;
}

void EncoderReadTest::readsOneEncoder()
{
    QFETCH(int, encoder);
    QFETCH(QString, codec);
    QFETCH(QStringList, order);
    QFETCH(QStringList, settingsLines);
    QFETCH(int, steps);
    QFETCH(int, mainBarSteps);
    QFETCH(bool, marksOff);

    SimulatedCamera camera;
    QVERIFY(camera.start());
    const QString n = QString::number(encoder);
    camera.sim.setValue("encode(" + n + ").type", codec);
    camera.sim.setValue("encode(" + n + ").bitrate", "768000");
    camera.sim.setValue("encode(" + n + ").quality", "240k");
    camera.sim.setValue("encode(" + n + ").framesize", "1280x720");
    camera.sim.setValue("encode(" + n + ").cbr_mode", "vbr");
    camera.sim.setValue("encode(" + n + ").iframeinterval", "60");
    camera.sim.setValue("encode(" + n + ").framerate", "25");

    RecordingObserver observer;
    readEncoder(camera.session, encoder, observer);

    QCOMPARE(camera.sentTargets(), order);
    // Values are reported in request order; the marker line is the read's own.
    QCOMPARE(observer.values, settingsLines.mid(1));
    QCOMPARE(observer.text.lines(), settingsLines);
    QCOMPARE(observer.text.endsWithLineBreak(), encoder != 3);
    QCOMPARE(observer.steps, steps);
    QCOMPARE(observer.mainBarSteps, mainBarSteps);
    QCOMPARE(observer.events.contains("off"), marksOff);
    QVERIFY(observer.finishedRules.has_value());
    QCOMPARE(observer.finishedRules->emptiesValueBoxesAtEnd, marksOff);
    QCOMPARE(observer.events.first(), QStringLiteral("start %1").arg(encoder));
    QCOMPARE(observer.events.last(), QStringLiteral("finished"));
}

void EncoderReadTest::codecRulesComeBeforeTheJpegSize()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    RecordingObserver observer;
    readEncoder(camera.session, 2, observer); // the camera's encoder 2 is JPEG

    const qsizetype rules = observer.events.indexOf("rules");
    QVERIFY(rules > observer.events.indexOf("value type"));
    QCOMPARE(observer.events.indexOf("value quality"), rules + 1);
    QVERIFY(observer.lastRules.asksJpegSize);
    QCOMPARE(observer.lastRules.jpegQualityComboVisible, std::optional<bool>(true));
}

void EncoderReadTest::refreshAllReadsThreeEncodersIntoTwentyOneLines()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    RecordingObserver observer;
    observer.text.append("left over from an earlier save");

    readAllEncoders(camera.session, observer);

    // Simulated camera: encoder 1 h264high, 2 jpeg, 3 off.
    const QStringList expected = targetsFor(1, kStreamOrder) + targetsFor(2, kJpegOrder) + targetsFor(3, kStreamOrder);
    QCOMPARE(camera.sentTargets().size(), 18);
    QCOMPARE(camera.sentTargets(), expected);

    const QStringList lines = observer.text.lines();
    QCOMPARE(lines.size(), settingsfile::kEncoderLineCount);
    QVERIFY(!lines.contains(QString()));
    QVERIFY(!observer.text.endsWithLineBreak());
    for (int encoder = 1; encoder <= 3; ++encoder) {
        const int block = settingsfile::encoderBlockStart(encoder) - 1;
        QCOMPARE(lines.at(block + settingsfile::kMarkerOffset), QStringLiteral("encoder%1").arg(encoder));
        QCOMPARE(lines.at(block + settingsfile::kCodecOffset), *camera.sim.value(QStringLiteral("encode(%1).type").arg(encoder)));
        QCOMPARE(lines.at(block + settingsfile::kFrameRateOffset),
                 *camera.sim.value(QStringLiteral("encode(%1).framerate").arg(encoder)));
    }
    // The JPEG encoder's size stands where the others have their bitrate.
    QCOMPARE(lines.at(settingsfile::encoderBlockStart(2) - 1 + settingsfile::kBitrateOrSizeOffset),
             *camera.sim.value("encode(2).quality"));
    QCOMPARE(lines.at(settingsfile::encoderBlockStart(1) - 1 + settingsfile::kBitrateOrSizeOffset),
             *camera.sim.value("encode(1).bitrate"));

    // A second REFRESH ALL starts the text afresh with encoder 1.
    readAllEncoders(camera.session, observer);
    QCOMPARE(observer.text.lines(), lines);
}

void EncoderReadTest::collectsTheSettingsOfEveryCodec()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    camera.sim.setValue("encode(1).iframeinterval", "90");

    const auto all = readAllEncoderSettings(camera.session);

    QCOMPARE(camera.sentTargets().size(), 18);
    QCOMPARE(all[0].encoder, 1);
    QCOMPARE(all[0].type, QStringLiteral("h264high"));
    QCOMPARE(all[0].bitrate, *camera.sim.value("encode(1).bitrate"));
    QCOMPARE(all[0].iframeInterval, QStringLiteral("90"));
    QVERIFY(all[0].quality.isEmpty());
    QCOMPARE(all[1].type, QStringLiteral("jpeg"));
    QCOMPARE(all[1].quality, *camera.sim.value("encode(2).quality"));
    QVERIFY(all[1].bitrate.isEmpty());
    QCOMPARE(all[2].type, QStringLiteral("off"));
    QCOMPARE(all[2].frameSize, *camera.sim.value("encode(3).framesize"));
    QCOMPARE(all[2].cbrMode, *camera.sim.value("encode(3).cbr_mode"));
    QCOMPARE(all[2].frameRate, *camera.sim.value("encode(3).framerate"));
}

void EncoderReadTest::failureEndsTheRead_data()
{
    QTest::addColumn<int>("failingRequest");
    for (int nth = 1; nth <= 6; ++nth)
        QTest::addRow("request %d fails", nth) << nth;
}

void EncoderReadTest::failureEndsTheRead()
{
    QFETCH(int, failingRequest);
    SimulatedCamera camera;
    QVERIFY(camera.start());
    camera.sim.setFault(sim::FaultMode::NotFound, failingRequest);

    RecordingObserver observer;
    QString failure;
    try {
        readEncoder(camera.session, 1, observer);
    } catch (const CameraError &error) {
        failure = error.description();
    }

    QCOMPARE(failure, QStringLiteral("does not know the request (404 Not Found): check that Camera IP and HTTP Port lead to a QZ-R camera"));
    QCOMPARE(camera.sentTargets(), targetsFor(1, kStreamOrder).mid(0, failingRequest));
    QCOMPARE(observer.values.size(), failingRequest - 1);
    // What was reported before the failure stays in the settings text.
    QCOMPARE(observer.text.lines().size(), failingRequest == 1 ? 0 : failingRequest);
    QVERIFY(!observer.finishedRules.has_value());
}

void EncoderReadTest::failureStopsRefreshAll()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    const int failing = 9; // encoder 2's frame size
    camera.sim.setFault(sim::FaultMode::CloseMidReply, failing);

    RecordingObserver observer;
    QVERIFY_THROWS_EXCEPTION(CameraError, readAllEncoders(camera.session, observer));

    const QStringList sent = camera.sentTargets();
    QCOMPARE(sent.size(), failing);
    QCOMPARE(sent.last(), QStringLiteral("/api/param?encode(2).framesize"));
    QVERIFY(!observer.events.contains("start 3"));
    QCOMPARE(observer.text.lines().size(), 7 + 3);
}

void EncoderReadTest::rejectsAnEncoderNumberOutsideOneToThree()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    RecordingObserver observer;
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, readEncoder(camera.session, 4, observer));
    QVERIFY(camera.sentTargets().isEmpty());
}

QTEST_GUILESS_MAIN(EncoderReadTest)
#include "EncoderReadTest.moc"
