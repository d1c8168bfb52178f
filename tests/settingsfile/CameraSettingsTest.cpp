// The settings file against the simulated camera on loopback: the save's
// reads (requests in order, the file's exact bytes), the upload's writes and
// pauses, failures that end either, and what a verification compares.
#include "CameraFixture.h"
#include "protocol/CameraError.h"
#include "settingsfile/CameraSettings.h"
#include "settingsfile/SettingsFile.h"

#include "tests/support/ExpectedRequests.h"

#include <QtTest>

using namespace qzr;
using namespace qzr::settingsfile;
using qzr::encodertest::SimulatedCamera;

namespace {

// Encoder 1 on H.264 baseline, encoder 2 on JPEG, encoder 3 on MPEG-4; the
// camera uses scene file 2, whose colour of 120 is past the scroll bar's end.
void setKnownState(sim::SimThread &sim)
{
    const QList<QPair<QString, QString>> values = {
        {"encode(1).type", "h264baseline"},
        {"encode(1).bitrate", "2048000"},
        {"encode(1).framesize", "1280x720"},
        {"encode(1).cbr_mode", "vbr"},
        {"encode(1).iframeinterval", "60"},
        {"encode(1).framerate", "25"},
        {"encode(2).type", "jpeg"},
        {"encode(2).quality", "240k"},
        {"encode(2).framesize", "vga"},
        {"encode(2).cbr_mode", "cbr"},
        {"encode(2).iframeinterval", "10"},
        {"encode(2).framerate", "5"},
        {"encode(3).type", "mpeg4"},
        {"encode(3).bitrate", "8000000"},
        {"encode(3).framesize", "qvga"},
        {"encode(3).cbr_mode", "afs"},
        {"encode(3).iframeinterval", "120"},
        {"encode(3).framerate", "30"},
        {"camera.scene.status", "2"},
        {"camera.scene(2).image.3ddnr", "high"},
        {"camera.scene(2).image.brightness", "autoH"},
        {"camera.scene(2).image.senseup_limit", "16"},
        {"camera.scene(2).shutter", "auto1000"},
        {"camera.scene(2).auto_exposure.reference", "-3"},
        {"camera.scene(2).image.color", "120"},
        {"camera.scene(2).image.true_daynight", "autoL"},
        {"camera.scene(2).image.white_balance", "autoN"},
        {"camera.scene(2).image.blc", "c"},
        {"camera.scene(2).image.enhance", "7"},
        {"camera.scene(2).image.clvi", "on"},
        {"camera.scene(2).image.pedestal", "0"},
        {"camera.scene(2).image.gamma", "1"},
        {"camera.scene(2).auto_exposure.av_pk.color", "9"},
        {"camera.scene(2).auto_exposure.av_pk.black_white", "6"},
    };
    for (const auto &[key, value] : values)
        sim.setValue(key, value);
}

// The file of the known state, byte for byte.
const QByteArray kKnownStateFile = "encoder1\r\nh264baseline\r\n2048000\r\n1280x720\r\nvbr\r\n60\r\n25\r\n"
                                   "encoder2\r\njpeg\r\n240k\r\nvga\r\ncbr\r\n10\r\n5\r\n"
                                   "encoder3\r\nmpeg4\r\n8000000\r\nqvga\r\nafs\r\n120\r\n30\r\n"
                                   "KameraSettings\r\n2\r\n"
                                   "high\r\nautoH\r\n16\r\nauto1000\r\n-3\r\nautoN\r\nc\r\nautoL\r\non\r\n1\r\n"
                                   "0\r\n100\r\n7\r\n";



// A file for scene file 2 with encoder 2 on JPEG (its I-frame interval line
// is not uploaded).
QStringList uploadLines()
{
    return {"encoder1", "h264high", "2048000", "1280x720", "vbr", "60", "25",
            "encoder2", "jpeg", "240k", "vga", "cbr", "90", "5",
            "encoder3", "off", "64000", "qvga", "afs", "120", "1",
            "KameraSettings", "2", "low", "manual", "4", "250", "3", "autoN", "d", "bw",
            "on", "1", "12", "88", "0"};
}

// Every request of the upload of uploadLines(), as the camera receives it.
const QStringList kUploadTargets{
    "/api/param?encode(1).type=h264high&encode(1).framesize=1280x720&encode(1).framerate=25"
    "&encode(1).cbr_mode=vbr&encode(1).bitrate=2048000&encode(1).iframeinterval=60",
    "/api/param?encode(1).status=save",
    "/api/param?encode(2).type=jpeg&encode(2).framesize=vga&encode(2).framerate=5&encode(2).cbr_mode=cbr"
    "&encode(2).quality=240k",
    "/api/param?encode(2).status=save",
    "/api/param?encode(3).type=off&encode(3).framesize=qvga&encode(3).framerate=1&encode(3).cbr_mode=afs"
    "&encode(3).bitrate=64000&encode(3).iframeinterval=120",
    "/api/param?encode(3).status=save",
    "/api/param?camera.scene(2).image.3ddnr=low",
    "/api/param?camera.scene(2).status=save",
    "/api/param?camera.scene(2).image.brightness=manual",
    "/api/param?camera.scene(2).status=save",
    "/api/param?camera.scene(2).image.senseup_limit=4",
    "/api/param?camera.scene(2).status=save",
    "/api/param?camera.scene(2).shutter=250",
    "/api/param?camera.scene(2).status=save",
    "/api/param?camera.scene(2).auto_exposure.reference=3",
    "/api/param?camera.scene(2).status=save",
    "/api/param?camera.scene(2).image.white_balance=autoN",
    "/api/param?camera.scene(2).status=save",
    "/api/param?camera.scene(2).image.blc=d",
    "/api/param?camera.scene(2).status=save",
    "/api/param?camera.scene(2).image.true_daynight=bw",
    "/api/param?camera.scene(2).status=save",
    "/api/param?camera.scene(2).image.clvi=on",
    "/api/param?camera.scene(2).status=save",
    "/api/param?camera.scene(2).image.gamma=1",
    "/api/param?camera.scene(2).status=save",
    "/api/param?camera.scene(2).image.pedestal=12",
    "/api/param?camera.scene(2).status=save",
    "/api/param?camera.scene(2).image.color=88",
    "/api/param?camera.scene(2).status=save",
    "/api/param?camera.scene(2).image.enhance=0",
    "/api/param?camera.scene(2).status=save",
};

// What happened during an upload, in order: "GET n" after the n-th request
// reached the camera is not observable, so the pauses record how many
// requests the camera had received when they were asked for.
struct UploadRecorder
{
    sim::SimThread &sim;
    QStringList events;

    Pause pause()
    {
        return [this](int ms) {
            events << QStringLiteral("pause %1 ms after request %2").arg(ms).arg(sim.requests().size());
        };
    }
    UploadProgress progress()
    {
        return [this](int sent, int total) { events << QStringLiteral("progress %1/%2").arg(sent).arg(total); };
    }
};

QStringList decodedTargets(const sim::SimThread &sim)
{
    QStringList targets;
    for (const sim::ReceivedRequest &request : sim.requests())
        targets << request.target;
    return targets;
}

} // namespace

class CameraSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    // The save of a known camera state gives exactly these file bytes, with
    // the requests of the window's save in its order.
    void saveOfKnownStateGivesExactFile()
    {
        SimulatedCamera camera;
        QVERIFY(camera.start());
        setKnownState(camera.sim);

        const QStringList lines = readSettingsFromCamera(camera.session);
        QCOMPARE(lines.size(), 36);
        QCOMPARE(encodeSettingsFile(lines), std::optional<QByteArray>(kKnownStateFile));
        QVERIFY2(!validateSettings(lines), "a saved file passes the upload's check");

        const QStringList expected = testsupport::encoderReadTargets({"h264baseline", "jpeg", "mpeg4"})
                                     + QStringList{"/api/param?camera.scene.status"} + testsupport::sceneReadTargets("2");
        QCOMPARE(camera.sentTargets(), expected);
        // The scene file is read where it is, without switching to it.
        QCOMPARE(camera.sim.value("camera.scene.status"), std::optional<QString>("2"));
    }

    // With a scene number given, the scene-number query is not sent and that
    // scene file is read (the current one stays as it is).
    void givenSceneNumberSkipsTheQuery()
    {
        SimulatedCamera camera;
        QVERIFY(camera.start());
        const QStringList lines = readSettingsFromCamera(camera.session, QStringLiteral("7"));
        QCOMPARE(camera.sentTargets(),
                 testsupport::encoderReadTargets({"h264high", "jpeg", "off"}) + testsupport::sceneReadTargets("7"));
        // Factory values of scene file 7 ("Night ( B&W )").
        QCOMPARE(lines.mid(21), (QStringList{"KameraSettings", "7", "mid", "autoH", "8", "auto100", "0", "autoW",
                                             "off", "bw", "off", "1", "50", "50", "50"}));
    }

    // An empty value read from the camera gives an empty line in its place;
    // the following lines keep their numbers.
    void emptyValuesKeepLineNumbers()
    {
        SimulatedCamera camera;
        QVERIFY(camera.start());
        camera.sim.setValue("encode(3).framerate", "");
        camera.sim.setValue("encode(1).cbr_mode", "");
        camera.sim.setValue("camera.scene(0).image.blc", "");
        const QStringList lines = readSettingsFromCamera(camera.session);
        QCOMPARE(lines.size(), 36);
        QCOMPARE(lines.at(4), QString());   // line 5
        QCOMPARE(lines.at(20), QString());  // line 21, the last encoder line
        QCOMPARE(lines.at(21), QStringLiteral("KameraSettings"));
        QCOMPARE(lines.at(29), QString());  // line 30, the BLC area
        QCOMPARE(lines.at(30), QStringLiteral("autoM"));
    }

    // A value that is not a whole number ends the save at that request with
    // the window's message; nothing after it is asked.
    void notAnIntegerEndsTheSave_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("requestsSent");
        QTest::newRow("scene number") << "camera.scene.status" << "x" << 19;
        QTest::newRow("colour") << "camera.scene(0).image.color" << "8o" << 19 + 6;
        QTest::newRow("enhancement") << "camera.scene(0).image.enhance" << "" << 19 + 10;
        QTest::newRow("black level") << "camera.scene(0).image.pedestal" << "1.5" << 19 + 12;
    }

    void notAnIntegerEndsTheSave()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(int, requestsSent);
        SimulatedCamera camera;
        QVERIFY(camera.start());
        camera.sim.setValue(key, value);
        QString message;
        try {
            readSettingsFromCamera(camera.session);
        } catch (const CameraError &error) {
            message = error.text();
        }
        QCOMPARE(message, QStringLiteral("'%1' is not a valid integer value").arg(value));
        QCOMPARE(camera.sim.requests().size(), requestsSent);
    }

    // A failed request ends the save there.
    void failedRequestEndsTheSave_data()
    {
        QTest::addColumn<int>("nth");
        QTest::newRow("encoder 1 type") << 1;
        QTest::newRow("scene-number query") << 19;
        QTest::newRow("last scene key") << 34;
    }

    void failedRequestEndsTheSave()
    {
        QFETCH(int, nth);
        SimulatedCamera camera;
        QVERIFY(camera.start());
        camera.sim.setFault(sim::FaultMode::NotFound, nth);
        QString message;
        try {
            readSettingsFromCamera(camera.session);
        } catch (const CameraError &error) {
            message = error.description();
        }
        QCOMPARE(message, QStringLiteral("does not know the request (404 Not Found): check that Camera IP and HTTP Port lead to a QZ-R camera"));
        QCOMPARE(camera.sim.requests().size(), nth);
    }

    // The upload sends the file's requests in order, asks for a 500 ms pause
    // after each encoder's write (before its store command) and reports each
    // request; the camera then holds the values in scene file 2 although it
    // uses scene file 0.
    void uploadSendsRequestsAndPauses()
    {
        SimulatedCamera camera;
        QVERIFY(camera.start());
        UploadRecorder recorder{camera.sim, {}};
        uploadSettingsToCamera(camera.session, uploadLines(), recorder.pause(), recorder.progress());

        QCOMPARE(camera.sentTargets(), kUploadTargets);
        QStringList expectedEvents;
        for (int sent = 1; sent <= 32; ++sent) {
            expectedEvents << QStringLiteral("progress %1/32").arg(sent);
            if (sent == 1 || sent == 3 || sent == 5)
                expectedEvents << QStringLiteral("pause 500 ms after request %1").arg(sent);
        }
        QCOMPARE(recorder.events, expectedEvents);

        QCOMPARE(camera.sim.value("camera.scene.status"), std::optional<QString>("0"));
        QCOMPARE(camera.sim.savedValue("camera.scene(2).image.color"), std::optional<QString>("88"));
        QCOMPARE(camera.sim.savedValue("encode(3).framerate"), std::optional<QString>("1"));
    }

    // A failed request ends the upload at that request.
    void failedRequestEndsTheUpload()
    {
        SimulatedCamera camera;
        QVERIFY(camera.start());
        camera.sim.setFault(sim::FaultMode::ServerError, 4);
        UploadRecorder recorder{camera.sim, {}};
        QString message;
        try {
            uploadSettingsToCamera(camera.session, uploadLines(), recorder.pause(), recorder.progress());
        } catch (const CameraError &error) {
            message = error.description();
        }
        QCOMPARE(message, QStringLiteral("failed the request (500 Internal Server Error): try again, or restart the camera"));
        QCOMPARE(camera.sentTargets(), kUploadTargets.mid(0, 4));
        QCOMPARE(recorder.events, (QStringList{"progress 1/32", "pause 500 ms after request 1", "progress 2/32",
                                               "progress 3/32", "pause 500 ms after request 3"}));
    }

    // After an upload the read-back of scene file s holds every uploaded
    // value; the JPEG encoder's I-frame interval, never sent, is the only
    // line that differs, and the verification leaves it out.
    void readBackAfterUploadMatches()
    {
        SimulatedCamera camera;
        QVERIFY(camera.start());
        const QStringList lines = uploadLines();
        uploadSettingsToCamera(camera.session, lines, {});
        camera.sim.clearRequests();

        const QStringList readBack = readSettingsFromCamera(camera.session, lines.at(22));
        QCOMPARE(decodedTargets(camera.sim), testsupport::encoderReadTargets({"h264high", "jpeg", "off"}) + testsupport::sceneReadTargets("2"));
        const QList<SettingDifference> all = compareSettings(lines, readBack);
        QCOMPARE(all.size(), 1);
        QCOMPARE(all.first().line, 13);
        QCOMPARE(all.first().name, QStringLiteral("encode(2).iframeinterval"));
        QCOMPARE(all.first().first, QStringLiteral("90"));
        QCOMPARE(all.first().second, QStringLiteral("30"));
        QVERIFY2(uploadedSettingsDiffering(lines, readBack).isEmpty(), "every uploaded value is in the camera");

        // A value the camera silently dropped stays as it was and is named.
        camera.sim.ignoreWrite("camera.scene(2).image.gamma", "0.45");
        QStringList changed = lines;
        changed[32] = QStringLiteral("0.45");
        uploadSettingsToCamera(camera.session, changed, {});
        const QList<SettingDifference> dropped =
            uploadedSettingsDiffering(changed, readSettingsFromCamera(camera.session, QStringLiteral("2")));
        QCOMPARE(dropped.size(), 1);
        QCOMPARE(dropped.first().name, QStringLiteral("camera.scene(2).image.gamma"));
        QCOMPARE(dropped.first().first, QStringLiteral("0.45"));
        QCOMPARE(dropped.first().second, QStringLiteral("1"));

        // A value the camera refuses (KEY=NG&) ends the upload, naming it.
        camera.sim.refuseWrite("camera.scene(2).image.gamma", "0.45");
        camera.sim.clearRequests();
        try {
            uploadSettingsToCamera(camera.session, changed, {});
            QFAIL("a refused write was taken for a success");
        } catch (const CameraError &error) {
            QCOMPARE(error.text(), QStringLiteral("The camera refused camera.scene(2).image.gamma "
                                                  "(camera.scene(2).image.gamma=0.45)"));
        }
        QCOMPARE(decodedTargets(camera.sim).last(), QStringLiteral("/api/param?camera.scene(2).image.gamma=0.45"));
    }

    // The lines the upload writes: not the markers, not the scene number, not
    // a JPEG encoder's I-frame interval.
    void uploadWritesLines()
    {
        const QStringList lines = uploadLines();
        QList<int> written;
        for (int line = 0; line <= 37; ++line) {
            if (uploadWritesLine(lines, line))
                written << line;
        }
        const QList<int> expected{2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 14, 16, 17, 18, 19, 20, 21,
                                  24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36};
        QCOMPARE(written, expected);
    }
};

QTEST_GUILESS_MAIN(CameraSettingsTest)
#include "CameraSettingsTest.moc"
