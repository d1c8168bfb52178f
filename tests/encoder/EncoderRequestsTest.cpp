// "Set to Camera", the store request, the encoder 1 setters and the raw dump
// against the simulated camera over loopback: the exact request bytes, what
// the camera then holds, and the refusals that send nothing.
#include "CameraFixture.h"
#include "encoder/CodecRules.h"
#include "encoder/EncoderRequests.h"
#include "encoder/EncoderTables.h"
#include "encoder/SettingsText.h"

#include <QtTest>

#include <algorithm>

using namespace qzr;
using namespace qzr::encoder;
using qzr::encodertest::SimulatedCamera;

Q_DECLARE_METATYPE(qzr::encoder::WorkingValues)

namespace {

// The 0-based position of a list item, as the combo's currentIndex gives it.
template <std::size_t N>
int indexOf(const std::array<const char *, N> &items, const char *text)
{
    const auto found = std::find_if(items.begin(), items.end(), [text](const char *item) { return qstrcmp(item, text) == 0; });
    return found == items.end() ? -1 : int(found - items.begin());
}

// The JPEG quality token a choice of this ComboBox12 item sets.
QString tokenForChoice(const char *item)
{
    return valueAt(kJpegQualityTokens, indexOf(kJpegQualityCombo.items, item)).value_or(QString());
}

WorkingValues values(const QString &n, const QString &codec, const QString &frameSize, const QString &frameRate,
                     const QString &mode, const QString &bitrate, const QString &iframe, const QString &token)
{
    return WorkingValues{n, codec, frameSize, frameRate, mode, bitrate, iframe, token};
}

// Applies a codec choice's working-value effects, as the main window does.
WorkingValues afterCodecChoice(WorkingValues working, Codec codec)
{
    const CodecChoiceEffects effects = codecChoiceEffects(codec);
    working.codec = effects.codecWorkingValue.value_or(working.codec);
    working.frameSize = effects.frameSizeWorkingValue.value_or(working.frameSize);
    working.iframeInterval = effects.iframeWorkingValue.value_or(working.iframeInterval);
    return working;
}

} // namespace

class EncoderRequestsTest : public QObject
{
    Q_OBJECT

private slots:
    void setToCameraSendsOneRequestAndStores_data();
    void setToCameraSendsOneRequestAndStores();
    void refusalsSendNothing_data();
    void refusalsSendNothing();
    void mpeg4ChoiceForcesVgaAndThirtyIntoTheRequest();
    void codecChoiceLocksFrameSizeAndIFrame_data();
    void codecChoiceLocksFrameSizeAndIFrame();
    void readRulesDependOnCodecAndEncoder_data();
    void readRulesDependOnCodecAndEncoder();
    void settersSetAndStoreInOneRequest_data();
    void settersSetAndStoreInOneRequest();
    void bitrateSetterWithoutChoiceSendsNothing();
    void dumpAsksFifteenKeysTheCameraKnows();
    void settingsTextKeepsOneItemPerLine();
};

void EncoderRequestsTest::setToCameraSendsOneRequestAndStores_data()
{
    QTest::addColumn<WorkingValues>("working");
    QTest::addColumn<QString>("expectedTarget");
    QTest::addColumn<QString>("storeTarget");

    QTest::newRow("h264high")
        << values("1", "h264high", "1280x720", "10", "vbr", "768000", "60", "")
        << "/api/param?encode(1).type=h264high&encode(1).framesize=1280x720&encode(1).framerate=10"
           "&encode(1).cbr_mode=vbr&encode(1).bitrate=768000&encode(1).iframeinterval=60"
        << "/api/param?encode(1).status=save";
    // The panel still shows "cbr", a bitrate and an I-frame interval: JPEG
    // sends afs and the chosen size instead.
    QTest::newRow("jpeg: afs forced, size token, no bitrate or I-frame")
        << values("2", "jpeg", "1920x1080", "5", "cbr", "4096000", "15", tokenForChoice("120K"))
        << "/api/param?encode(2).type=jpeg&encode(2).framesize=1920x1080&encode(2).framerate=5"
           "&encode(2).cbr_mode=afs&encode(2).quality=120k"
        << "/api/param?encode(2).status=save";
    QTest::newRow("mpeg4")
        << values("3", "mpeg4", "vga", "30", "cbr", "512000", "30", "80k")
        << "/api/param?encode(3).type=mpeg4&encode(3).framesize=vga&encode(3).framerate=30"
           "&encode(3).cbr_mode=cbr&encode(3).bitrate=512000&encode(3).iframeinterval=30"
        << "/api/param?encode(3).status=save";
    QTest::newRow("off sends all six keys")
        << values("2", "off", "qvga", "3", "vbr", "64000", "120", "")
        << "/api/param?encode(2).type=off&encode(2).framesize=qvga&encode(2).framerate=3"
           "&encode(2).cbr_mode=vbr&encode(2).bitrate=64000&encode(2).iframeinterval=120"
        << "/api/param?encode(2).status=save";
}

void EncoderRequestsTest::setToCameraSendsOneRequestAndStores()
{
    QFETCH(WorkingValues, working);
    QFETCH(QString, expectedTarget);
    QFETCH(QString, storeTarget);

    SimulatedCamera camera;
    QVERIFY(camera.start());
    const PreparedRequest sent = setToCamera(camera.session, working);

    QVERIFY(!sent.isRefused());
    QVERIFY(sent.refusal().isEmpty());
    QCOMPARE(camera.sentTargets(), QStringList({expectedTarget, storeTarget}));
    // The camera accepted every value and stored them.
    const QString n = working.encoderNumber;
    QCOMPARE(camera.sim.savedValue("encode(" + n + ").type"), std::optional<QString>(working.codec));
    QCOMPARE(camera.sim.savedValue("encode(" + n + ").framesize"), std::optional<QString>(working.frameSize));
    QCOMPARE(camera.sim.value("encode(" + n + ").cbr_mode"),
             std::optional<QString>(valuesToSend(working).mode));
}

void EncoderRequestsTest::refusalsSendNothing_data()
{
    QTest::addColumn<WorkingValues>("working");
    QTest::addColumn<QString>("refusal");

    QTest::newRow("unknown codec") << values("1", "xyz", "vga", "5", "cbr", "64000", "30", "")
                                   << "Nothing was sent to the camera: the codec \"xyz\" is unknown. "
                                      "Choose h264high, h264baseline, jpeg, off or mpeg4.";
    QTest::newRow("codec in capitals") << values("1", "JPEG", "1920x1080", "5", "afs", "", "", "160k")
                                       << unknownCodecRefusal("JPEG");
    QTest::newRow("codec prompt still shown") << values("1", "CODEC", "vga", "5", "cbr", "64000", "30", "")
                                              << unknownCodecRefusal("CODEC");
    QTest::newRow("jpeg without a chosen size") << values("2", "jpeg", "1920x1080", "15", "afs", "", "", "")
                                                << missingJpegSizeRefusal();
}

void EncoderRequestsTest::refusalsSendNothing()
{
    QFETCH(WorkingValues, working);
    QFETCH(QString, refusal);

    SimulatedCamera camera;
    QVERIFY(camera.start());
    const PreparedRequest decided = setToCamera(camera.session, working);

    QVERIFY(decided.isRefused());
    QCOMPARE(decided.refusal(), refusal);
    QVERIFY(camera.sentTargets().isEmpty());
}

void EncoderRequestsTest::mpeg4ChoiceForcesVgaAndThirtyIntoTheRequest()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    const WorkingValues before = values("1", "h264high", "1920x1080", "15", "cbr", "2048000", "120", "");

    setToCamera(camera.session, afterCodecChoice(before, Codec::Mpeg4));

    QCOMPARE(camera.sentTargets().first(),
             QStringLiteral("/api/param?encode(1).type=mpeg4&encode(1).framesize=vga&encode(1).framerate=15"
                            "&encode(1).cbr_mode=cbr&encode(1).bitrate=2048000&encode(1).iframeinterval=30"));
    QCOMPARE(camera.sim.savedValue("encode(1).iframeinterval"), std::optional<QString>("30"));
}

void EncoderRequestsTest::codecChoiceLocksFrameSizeAndIFrame_data()
{
    QTest::addColumn<int>("choice"); // -1: no item selected
    QTest::addColumn<bool>("frameSizeEnabled");
    QTest::addColumn<QString>("frameSizeSelected");
    QTest::addColumn<bool>("iframeEnabled");
    QTest::addColumn<QString>("modeSelected");
    QTest::addColumn<bool>("jpegSizeShown");
    QTest::addColumn<bool>("setsCodecWorkingValue");

    QTest::newRow("h264high") << int(Codec::H264High) << true << "" << true << "cbr" << false << true;
    QTest::newRow("h264baseline") << int(Codec::H264Baseline) << true << "" << true << "cbr" << false << true;
    QTest::newRow("off") << int(Codec::Off) << true << "" << true << "cbr" << false << true;
    QTest::newRow("jpeg") << int(Codec::Jpeg) << false << "1920x1080" << true << "afs" << true << true;
    QTest::newRow("mpeg4") << int(Codec::Mpeg4) << false << "vga" << false << "cbr" << false << true;
    QTest::newRow("nothing selected") << -1 << true << "" << true << "afs" << true << false;
}

void EncoderRequestsTest::codecChoiceLocksFrameSizeAndIFrame()
{
    QFETCH(int, choice);
    QFETCH(bool, frameSizeEnabled);
    QFETCH(QString, frameSizeSelected);
    QFETCH(bool, iframeEnabled);
    QFETCH(QString, modeSelected);
    QFETCH(bool, jpegSizeShown);
    QFETCH(bool, setsCodecWorkingValue);

    const std::optional<Codec> chosen = choice < 0 ? std::nullopt : std::optional<Codec>(Codec(choice));
    const CodecChoiceEffects effects = codecChoiceEffects(chosen);

    QCOMPARE(effects.frameSizeCombo.enabled, std::optional<bool>(frameSizeEnabled));
    QCOMPARE(effects.frameSizeCombo.selectItem.value_or(QString()), frameSizeSelected);
    QCOMPARE(effects.iframeCombo.enabled, std::optional<bool>(iframeEnabled));
    QCOMPARE(effects.modeCombo.selectItem, std::optional<QString>(modeSelected));
    QCOMPARE(effects.jpegQualityCombo.visible, std::optional<bool>(jpegSizeShown));
    QCOMPARE(effects.bitrateCombo.visible, std::optional<bool>(!jpegSizeShown));
    QCOMPARE(effects.iframeCombo.visible, std::optional<bool>(!jpegSizeShown));
    QCOMPARE(effects.codecWorkingValue.has_value(), setsCodecWorkingValue);
    QCOMPARE(effects.setToCameraButton.visible, std::optional<bool>(true));
    QCOMPARE(effects.encoderNumberCombo.enabled, std::optional<bool>(true));
}

void EncoderRequestsTest::readRulesDependOnCodecAndEncoder_data()
{
    QTest::addColumn<QString>("codec");
    QTest::addColumn<int>("encoder");
    QTest::addColumn<bool>("asksJpegSize");
    QTest::addColumn<std::optional<bool>>("rowLabelVisible");
    QTest::addColumn<std::optional<bool>>("setterBitrateEnabled");
    QTest::addColumn<std::optional<bool>>("bitrateComboVisible");
    QTest::addColumn<bool>("marksOff");

    const std::optional<bool> unchanged;
    QTest::newRow("jpeg 1: setters disabled") << "jpeg" << 1 << true << unchanged << std::optional<bool>(false)
                                              << std::optional<bool>(false) << false;
    QTest::newRow("jpeg 2: setters untouched") << "jpeg" << 2 << true << unchanged << unchanged
                                               << std::optional<bool>(false) << false;
    QTest::newRow("jpeg 3: row label hidden") << "jpeg" << 3 << true << std::optional<bool>(false) << unchanged
                                              << std::optional<bool>(false) << false;
    QTest::newRow("h264baseline 1") << "h264baseline" << 1 << false << std::optional<bool>(true)
                                    << std::optional<bool>(true) << std::optional<bool>(true) << false;
    QTest::newRow("mpeg4 leaves all") << "mpeg4" << 1 << false << unchanged << unchanged << unchanged << false;
    QTest::newRow("off 1 leaves all") << "off" << 1 << false << unchanged << unchanged << unchanged << false;
    QTest::newRow("off 2 marked") << "off" << 2 << false << unchanged << unchanged << unchanged << true;
    QTest::newRow("unknown text") << "NG" << 2 << false << unchanged << unchanged << unchanged << false;
}

void EncoderRequestsTest::readRulesDependOnCodecAndEncoder()
{
    QFETCH(QString, codec);
    QFETCH(int, encoder);
    QFETCH(bool, asksJpegSize);
    QFETCH(std::optional<bool>, rowLabelVisible);
    QFETCH(std::optional<bool>, setterBitrateEnabled);
    QFETCH(std::optional<bool>, bitrateComboVisible);
    QFETCH(bool, marksOff);

    const EncoderReadRules rules = encoderReadRules(codec, encoder);
    QCOMPARE(rules.asksJpegSize, asksJpegSize);
    QCOMPARE(rules.pageIFrameRowLabelVisible, rowLabelVisible);
    QCOMPARE(rules.setterBitrateEnabled, setterBitrateEnabled);
    QCOMPARE(rules.setterIFrameEnabled, setterBitrateEnabled);
    QCOMPARE(rules.bitrateComboVisible, bitrateComboVisible);
    QCOMPARE(rules.marksOff, marksOff);
    QCOMPARE(rules.emptiesValueBoxesAtEnd, marksOff);
}

void EncoderRequestsTest::settersSetAndStoreInOneRequest_data()
{
    QTest::addColumn<QString>("setter");
    QTest::addColumn<QString>("chosenItem");
    QTest::addColumn<QString>("expectedTarget");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");

    QTest::newRow("bitrate 1536") << "bitrate" << "1536"
                                  << "/api/param?encode(1).bitrate=1536000&encode(1).status=save"
                                  << "encode(1).bitrate" << "1536000";
    QTest::newRow("bitrate appended 8000000") << "bitrate" << "8000000"
                                              << "/api/param?encode(1).bitrate=8000000&encode(1).status=save"
                                              << "encode(1).bitrate" << "8000000";
    QTest::newRow("frame rate 15 3DDNR Max.") << "framerate" << "15 3DDNR Max."
                                              << "/api/param?encode(1).framerate=15&encode(1).status=save"
                                              << "encode(1).framerate" << "15";
    QTest::newRow("frame rate 25") << "framerate" << "25"
                                   << "/api/param?encode(1).framerate=25&encode(1).status=save"
                                   << "encode(1).framerate" << "25";
    QTest::newRow("I-frame 120") << "iframe" << "120"
                                 << "/api/param?encode(1).iframeinterval=120&encode(1).status=save"
                                 << "encode(1).iframeinterval" << "120";
}

void EncoderRequestsTest::settersSetAndStoreInOneRequest()
{
    QFETCH(QString, setter);
    QFETCH(QString, chosenItem);
    QFETCH(QString, expectedTarget);
    QFETCH(QString, key);
    QFETCH(QString, stored);

    SimulatedCamera camera;
    QVERIFY(camera.start());
    const QByteArray item = chosenItem.toLatin1();
    if (setter == "bitrate") {
        // The appended items follow the twelve list items.
        auto bitrateItems = itemTexts(kSetterBitrateCombo.items) + itemTexts(kExtraBitrateItems);
        const auto held = valueAt(kSetterBitrateValues, int(bitrateItems.indexOf(chosenItem)));
        QVERIFY(held.has_value());
        QVERIFY(sendUnlessRefused(camera.session, bitrateSetterRequest(*held)));
    } else if (setter == "framerate") {
        const auto value = valueAt(kSetterFrameRateValues, indexOf(kSetterFrameRateCombo.items, item.constData()));
        QVERIFY(value.has_value());
        camera.session.cameraGet(frameRateSetterRequest(*value));
    } else {
        const auto value = valueAt(kSetterIFrameValues, indexOf(kSetterIFrameCombo.items, item.constData()));
        QVERIFY(value.has_value());
        camera.session.cameraGet(iframeSetterRequest(*value));
    }

    QCOMPARE(camera.sentTargets(), QStringList{expectedTarget});
    QCOMPARE(camera.sim.savedValue(key), std::optional<QString>(stored));
}

void EncoderRequestsTest::bitrateSetterWithoutChoiceSendsNothing()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    const PreparedRequest decided = bitrateSetterRequest(QString());

    QVERIFY(!sendUnlessRefused(camera.session, decided));
    QCOMPARE(decided.refusal(), missingBitrateRefusal());
    QVERIFY(decided.refusal().startsWith("Nothing was sent to the camera"));
    QVERIFY(camera.sentTargets().isEmpty());
    // Nothing chosen in the list gives no held value in the first place.
    QVERIFY(!valueAt(kSetterBitrateValues, -1).has_value());
}

void EncoderRequestsTest::dumpAsksFifteenKeysTheCameraKnows()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    const QList<ParamQuery> dump = encodingDumpRequests();
    QCOMPARE(dump.size(), 15);
    for (const ParamQuery &read : dump) {
        const QByteArray body = camera.session.cameraGet(read);
        QVERIFY2(!body.contains("=NG&"), body.constData());
    }
    const QStringList sent = camera.sentTargets();
    QCOMPARE(sent.mid(0, 3), QStringList({"/api/param?encode(1).framesize", "/api/param?encode(3).framesize",
                                          "/api/param?encode(2).framesize"}));
    QCOMPARE(sent.last(), QStringLiteral("/api/param?encode(2).iframeinterval"));
    QVERIFY(!sent.contains("/api/param?encode(3).type"));
}

void EncoderRequestsTest::settingsTextKeepsOneItemPerLine()
{
    settingsfile::SettingsText text;
    text.append("encoder1");
    text.append("h264high\r\nencode(1).bitrate=NG"); // a value never brings a line break
    QCOMPARE(text.text(), QStringLiteral("encoder1\r\nh264high\r\n"));
    text.append(QString()); // an empty value is an empty line: the lines keep their numbers
    text.append("1920x1080");
    QCOMPARE(text.lines(), QStringList({"encoder1", "h264high", "", "1920x1080"}));
    text.append("15", settingsfile::LineEnding::KeepLineOpen);
    text.append("encoder2");
    QCOMPARE(text.lines(), QStringList({"encoder1", "h264high", "", "1920x1080", "15encoder2"}));
    text.endLine();
    QCOMPARE(text.lines().size(), 6);
    QCOMPARE(text.lines().last(), QString());
    text.clear();
    QVERIFY(text.lines().isEmpty());
}

QTEST_GUILESS_MAIN(EncoderRequestsTest)
#include "EncoderRequestsTest.moc"
