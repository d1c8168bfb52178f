// The scene list, the scene keys and the setters' requests: built requests
// are compared with the exact query text and then sent to the simulated
// camera over loopback, which must store what was written.
#include "CameraFixture.h"
#include "image/SceneKeys.h"

#include <QtTest>

using namespace qzr;
using namespace qzr::image;
using qzr::encodertest::SimulatedCamera;

Q_DECLARE_METATYPE(qzr::image::Setter)
Q_DECLARE_METATYPE(qzr::image::SetterInputs)

using qzr::encodertest::targets;
using qzr::encodertest::texts;

namespace {

SetterInputs withModel(const QString &label, int dayNight)
{
    SetterInputs inputs;
    inputs.modelLabel = label;
    inputs.dayNight = dayNight;
    return inputs;
}

} // namespace

class SceneKeysTest : public QObject
{
    Q_OBJECT

private slots:
    void sceneListPositionIsSceneNumber();
    void readBackKeysAreTheCameraKeys();
    void scrollPositionsAreClampedIntegers_data();
    void scrollPositionsAreClampedIntegers();
    void setterSendsExactRequests_data();
    void setterSendsExactRequests();
    void setToSceneFileRunsThirteenSettersWithoutAvp();
    void initializeAndSelectActive();
    void readBackValueSelectsTheEntrySendingIt();
};

void SceneKeysTest::sceneListPositionIsSceneNumber()
{
    QCOMPARE(kSceneEntries.front(), "General");
    QCOMPARE(sceneNumberAt(0), QString("0"));
    QCOMPARE(kSceneEntries.back(), "Night ( B&W )");
    QCOMPARE(sceneNumberAt(7), QString("7"));
    QVERIFY(!sceneNumberAt(-1));
    QVERIFY(!sceneNumberAt(8));
    // Choosing "Night ( B&W )" switches the camera to scene file 7.
    QCOMPARE(gotoRequest(*sceneNumberAt(7)).text(), QString("camera.scene(7).status=goto"));
}

void SceneKeysTest::readBackKeysAreTheCameraKeys()
{
    SimulatedCamera camera;
    QVERIFY(camera.start());
    const QString n = QStringLiteral("7");
    QCOMPARE(readBackValueStart(n, SceneKey::Dnr3d), 29);
    QStringList sent;
    for (SceneKey key : kReadBackOrder) {
        const QString k = sceneKey(n, key);
        QVERIFY2(k.startsWith("camera.scene(7).") && !k.contains(".."), qPrintable(k));
        const std::optional<QString> expected = camera.sim.value(k);
        QVERIFY2(expected.has_value(), qPrintable(QStringLiteral("camera has no key ") + k));
        QCOMPARE(camera.session.readParameter(k, readBackValueStart(n, key)), *expected);
        sent << QStringLiteral("/api/param?") + k;
    }
    QCOMPARE(camera.sentTargets(), sent);
    // The scroll bar keys are exactly colour, enhancement and black level.
    int scrollKeys = 0;
    for (SceneKey key : kReadBackOrder)
        scrollKeys += isScrollBarKey(key) ? 1 : 0;
    QCOMPARE(scrollKeys, 3);
    QVERIFY(isScrollBarKey(SceneKey::Color) && isScrollBarKey(SceneKey::Enhance) && isScrollBarKey(SceneKey::Pedestal));
}

void SceneKeysTest::scrollPositionsAreClampedIntegers_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("position"); // -1: not an integer
    QTest::newRow("inside") << "37" << 37;
    QTest::newRow("above") << "120" << 100;
    QTest::newRow("below") << "-5" << 0;
    QTest::newRow("huge") << "99999999999" << 100;
    QTest::newRow("word") << "high" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("decimal") << "4.5" << -1;
}

void SceneKeysTest::scrollPositionsAreClampedIntegers()
{
    QFETCH(QString, value);
    QFETCH(int, position);
    const std::optional<int> got = scrollPositionFromValue(value);
    QCOMPARE(got.value_or(-1), position);
    if (!got)
        QCOMPARE(notAnIntegerMessage(value), QStringLiteral("'%1' is not a valid integer value").arg(value));
}

void SceneKeysTest::setterSendsExactRequests_data()
{
    QTest::addColumn<Setter>("setter");
    QTest::addColumn<QString>("scene");
    QTest::addColumn<SetterInputs>("inputs");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("cameraAccepts");

    const QString r420 = QStringLiteral("Model: QZ-R420");
    const QString r410 = QStringLiteral("Model: QZ-R410");
    const int color = 0, autoM = 3, autoH = 4, autoAll = 5;
    SetterInputs in;

    in = {};
    in.agc = 0; // "OFF"
    QTest::newRow("AGC OFF is manual") << Setter::Agc << "2" << in
        << QStringList{"camera.scene(2).image.brightness=manual", "camera.scene(2).status=save"} << true;
    in = {};
    in.shutter = 12; // "Flickerless"
    QTest::newRow("shutter lower case") << Setter::Shutter << "0" << in
        << QStringList{"camera.scene(0).shutter=flickerless", "camera.scene(0).status=save"} << true;
    in = {};
    in.brightness = 8; // "-3"
    QTest::newRow("brightness -3") << Setter::Brightness << "5" << in
        << QStringList{"camera.scene(5).auto_exposure.reference=-3", "camera.scene(5).status=save"} << true;
    in = {};
    in.senseUp = 4; // "16"
    QTest::newRow("sense up 16") << Setter::SenseUp << "3" << in
        << QStringList{"camera.scene(3).image.senseup_limit=16", "camera.scene(3).status=save"} << true;
    in = {};
    QTest::newRow("no entry selected") << Setter::Blc << "3" << in << QStringList{} << true;
    in = {};
    in.clvi = 2;
    QTest::newRow("position past the list") << Setter::Clvi << "3" << in << QStringList{} << true;

    QTest::newRow("day/night autoM on R420") << Setter::DayNight << "1" << withModel(r420, autoM)
        << QStringList{"camera.scene(1).image.true_daynight=autoM", "camera.scene(1).status=save"} << true;
    QTest::newRow("day/night autoH on R410") << Setter::DayNight << "1" << withModel(r410, autoH)
        << QStringList{"camera.scene(1).image.true_daynight=autoH", "camera.scene(1).status=save"} << true;
    QTest::newRow("day/night color on R420") << Setter::DayNight << "6" << withModel(r420, color)
        << QStringList{"camera.scene(6).image.brightness.highgain=color", "camera.scene(6).status=save",
                       "camera.scene(6).image.true_daynight=color", "camera.scene(6).status=save"} << true;
    QTest::newRow("day/night auto on R410") << Setter::DayNight << "4" << withModel(r410, autoAll)
        << QStringList{"camera.scene(4).image.brightness.highgain=auto", "camera.scene(4).status=save"} << true;
    QTest::newRow("day/night auto, label never set") << Setter::DayNight << "4" << SetterInputs{} << QStringList{} << true;
    QTest::newRow("day/night auto, other model") << Setter::DayNight << "4"
        << withModel("Model: QZ-R400", autoAll) << QStringList{} << true;
    QTest::newRow("day/night color, label case differs") << Setter::DayNight << "6"
        << withModel("model: QZ-R420", color)
        << QStringList{"camera.scene(6).image.true_daynight=color", "camera.scene(6).status=save"} << true;
    QTest::newRow("day/night color, label with suffix") << Setter::DayNight << "6"
        << withModel("Model: QZ-R4200", color)
        << QStringList{"camera.scene(6).image.true_daynight=color", "camera.scene(6).status=save"} << true;

    in = {};
    QTest::newRow("colour at start position") << Setter::Color << "2" << in
        << QStringList{"camera.scene(2).image.color=50", "camera.scene(2).status=save"} << true;
    in = {};
    in.pedestal = 7;
    QTest::newRow("black level") << Setter::Pedestal << "2" << in
        << QStringList{"camera.scene(2).image.pedestal=7", "camera.scene(2).status=save"} << true;
    in = {};
    in.avpBlackWhite = "6";
    QTest::newRow("AVP B&W as shown") << Setter::AvpBlackWhite << "7" << in
        << QStringList{"camera.scene(7).auto_exposure.av_pk.black_white=6", "camera.scene(7).status=save"} << true;
    in = {};
    in.gamma = "";
    QTest::newRow("gamma empty entry") << Setter::Gamma << "2" << in
        << QStringList{"camera.scene(2).image.gamma=", "camera.scene(2).status=save"} << false;
}

void SceneKeysTest::setterSendsExactRequests()
{
    QFETCH(Setter, setter);
    QFETCH(QString, scene);
    QFETCH(SetterInputs, inputs);
    QFETCH(QStringList, expected);
    QFETCH(bool, cameraAccepts);

    const QList<ParamQuery> requests = setterRequests(setter, scene, inputs);
    QCOMPARE(texts(requests), expected);
    if (!cameraAccepts)
        return;

    SimulatedCamera camera;
    QVERIFY(camera.start());
    sendAll(camera.session, requests);
    QCOMPARE(camera.sentTargets(), targets(requests));
    // Every write reached the camera and was stored by the command after it.
    for (const QString &text : expected) {
        if (text.endsWith(".status=save"))
            continue;
        const QString key = text.section('=', 0, 0);
        const QString value = text.section('=', 1);
        QCOMPARE(camera.sim.value(key), std::optional<QString>(value));
        QCOMPARE(camera.sim.savedValue(key), std::optional<QString>(value));
    }
}

void SceneKeysTest::setToSceneFileRunsThirteenSettersWithoutAvp()
{
    SetterInputs in;
    in.dnr3d = 0;
    in.agc = 2;
    in.senseUp = 1;
    in.shutter = 10;
    in.brightness = 0;
    in.whiteBalance = 1;
    in.blc = 3;
    in.dayNight = 1;
    in.clvi = 0;
    in.pedestal = 11;
    in.color = 22;
    in.enhance = 33;
    in.gamma = "1";
    in.avpColor = "5";
    in.avpBlackWhite = "5";
    in.modelLabel = "Model: QZ-R410";

    const QList<ParamQuery> requests = setToSceneFileRequests("3", in);
    const QStringList sent = texts(requests);
    // bw on an R410 adds the high-gain write: 13 writes + 1, each stored.
    QCOMPARE(sent.size(), 28);
    QStringList writtenKeys;
    for (int i = 0; i < sent.size(); i += 2) {
        QCOMPARE(sent.at(i + 1), QString("camera.scene(3).status=save"));
        writtenKeys << sent.at(i).section('=', 0, 0);
    }
    QStringList expectedKeys;
    for (Setter setter : kSetToSceneFileOrder) {
        if (setter == Setter::DayNight)
            expectedKeys << highGainKey("3");
        expectedKeys << sceneKey("3", setterKey(setter));
    }
    QCOMPARE(writtenKeys, expectedKeys);
    QVERIFY(!sent.join('\n').contains("av_pk"));

    SimulatedCamera camera;
    QVERIFY(camera.start());
    const auto avpBefore = camera.sim.value(sceneKey("3", SceneKey::AvpColor));
    sendAll(camera.session, requests);
    QCOMPARE(camera.sim.savedValue(sceneKey("3", SceneKey::Shutter)), std::optional<QString>("auto100"));
    QCOMPARE(camera.sim.savedValue(sceneKey("3", SceneKey::Agc)), std::optional<QString>("autoH"));
    QCOMPARE(camera.sim.savedValue(sceneKey("3", SceneKey::Enhance)), std::optional<QString>("33"));
    QCOMPARE(camera.sim.value(sceneKey("3", SceneKey::AvpColor)), avpBefore);
}

void SceneKeysTest::initializeAndSelectActive()
{
    QCOMPARE(texts(initializeSceneRequests("4")),
             (QStringList{"camera.scene(4).status=initialize", "camera.scene(4).status=save"}));
    QCOMPARE(texts(selectActiveSceneRequests("4")),
             (QStringList{"camera.scene(4).status=goto", "camera.scene(4).status=save"}));

    SimulatedCamera camera;
    QVERIFY(camera.start());
    const QString shutter = sceneKey("4", SceneKey::Shutter);
    const auto factory = camera.sim.value(shutter);
    camera.sim.setValue(shutter, "30");
    sendAll(camera.session, initializeSceneRequests("4"));
    QCOMPARE(camera.sim.value(shutter), factory);
    QCOMPARE(camera.sim.savedValue(shutter), factory);
    sendAll(camera.session, selectActiveSceneRequests("4"));
    QCOMPARE(camera.sim.value("camera.scene.status"), std::optional<QString>("4"));
}


void SceneKeysTest::readBackValueSelectsTheEntrySendingIt()
{
    // The camera's texts map to the entries whose setter sends them back.
    QCOMPARE(entryForCameraValue(SceneKey::Agc, "manual"), 0);
    QCOMPARE(entryForCameraValue(SceneKey::Agc, "autoH"), 2);
    QCOMPARE(entryForCameraValue(SceneKey::Shutter, "auto100"), 10);
    QCOMPARE(entryForCameraValue(SceneKey::Shutter, "flickerless"), 12);
    QCOMPARE(entryForCameraValue(SceneKey::Brightness, "-3"), 8);
    QCOMPARE(entryForCameraValue(SceneKey::DayNight, "autoM"), 3);
    // The list's own captions are not the camera's values.
    QVERIFY(!entryForCameraValue(SceneKey::Agc, "OFF"));
    QVERIFY(!entryForCameraValue(SceneKey::Shutter, "Auto100"));
    QVERIFY(!entryForCameraValue(SceneKey::DayNight, "auto"));
    QVERIFY(!entryForCameraValue(SceneKey::Dnr3d, "HIGH"));
    // Keys without a list setter have no entries to select.
    QVERIFY(!entryForCameraValue(SceneKey::Gamma, "1"));
    QVERIFY(!entryForCameraValue(SceneKey::Color, "50"));
    // The round trip: what the entry sends is the value it was chosen for.
    for (const char *value : {"off", "a", "d"})
        QCOMPARE(listValueAt(Setter::Blc, *entryForCameraValue(SceneKey::Blc, value)), QString(value));
}

QTEST_GUILESS_MAIN(SceneKeysTest)
#include "SceneKeysTest.moc"
