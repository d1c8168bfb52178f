// The focus and SD card requests, lists and rules without widgets: built
// requests are compared with the exact query text and target, the focus
// supervision and the night-focus rule run against scripted answers, and the
// requests go to the simulated camera over loopback, which must act on them.
#include "lens/FocusRequests.h"
#include "lens/SdCardRequests.h"
#include "protocol/CameraError.h"
#include "protocol/CameraSession.h"
#include "protocol/ReplyLog.h"
#include "CameraFixture.h"
#include "sim/SimThread.h"

#include <QtTest>

using namespace qzr;
using namespace qzr::lens;

Q_DECLARE_METATYPE(qzr::lens::FocusRun)
Q_DECLARE_METATYPE(qzr::lens::PollOutcome)

using qzr::encodertest::targets;
using qzr::encodertest::texts;

namespace {

// A simulated camera of a given model with a session pointed at it.
struct LensCamera : encodertest::SimulatedCamera
{
    explicit LensCamera(const QString &model = QStringLiteral("QZ-R410")) : SimulatedCamera(optionsFor(model)) {}

    static sim::CameraOptions optionsFor(const QString &model)
    {
        sim::CameraOptions options;
        options.model = model;
        return options;
    }

    // Sends the requests and returns the fifth reply line of each, as the
    // camera answered.
    QStringList send(const QList<ParamQuery> &requests)
    {
        QStringList answers;
        for (const ParamQuery &request : requests)
            answers << QString::fromLatin1(session.cameraGet(request)).split(QStringLiteral("\r\n")).value(4);
        return answers;
    }

    // The request lines exactly as they went over the wire.
    QStringList requestLines() const
    {
        QStringList result;
        for (const sim::ReceivedRequest &request : sim.requests())
            result << QString::fromLatin1(request.raw.left(request.raw.indexOf("\r\n")));
        return result;
    }
};

} // namespace

class LensRequestsTest : public QObject
{
    Q_OBJECT

private slots:
    void focusRequestsAreExactQueries_data();
    void focusRequestsAreExactQueries();
    void fineStepListStartsAtTen();
    void pollingEndsAsTheRunAllows_data();
    void pollingEndsAsTheRunAllows();
    void aFailedPollEndsThePolling();
    void pollingTheCamera_data();
    void pollingTheCamera();
    void theAdminPathSetsUpTheNextRun();
    void closingMessagesNameHowTheRunEnded();
    void backFocusNeedsTheExactModelLabel_data();
    void backFocusNeedsTheExactModelLabel();
    void onlyTheQzR50TakesTheBackFocusRequests();
    void nightClickStepsTowardsThePosition_data();
    void nightClickStepsTowardsThePosition();
    void nightClickWithAValueThatIsNoNumberSendsNothing();
    void nightAndFineStepsMoveTheCamerasValues();
    void encoderListSendsByPosition_data();
    void encoderListSendsByPosition();
    void switchListsSendByPosition_data();
    void switchListsSendByPosition();
    void capacityIsTheRawValueWithB_data();
    void capacityIsTheRawValueWithB();
    void sdCardRequestsChangeTheCamera();
};

void LensRequestsTest::focusRequestsAreExactQueries_data()
{
    QTest::addColumn<QList<ParamQuery>>("requests");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("day auto focus start") << dayAutoFocusStartRequests()
                                          << QStringList{"camera.focus.adjust_mode=day", "camera.focus=op_auto"};
    QTest::newRow("back focus start") << backFocusStartRequests()
                                      << QStringList{"camera.focus.adjust_mode=init_pos",
                                                     "camera.focus.abf_pos=initialize"};
    QTest::newRow("end") << QList<ParamQuery>{focusEndRequest()} << QStringList{"camera.focus.adjust_mode=select"};
    QTest::newRow("night mode") << QList<ParamQuery>{adjustModeRequest(AdjustMode::Night)}
                                << QStringList{"camera.focus.adjust_mode=night"};
    QTest::newRow("fine plus, default step")
        << QList<ParamQuery>{fineFocusRequest(FineDirection::Plus, QStringLiteral("10"))}
        << QStringList{"camera.focus.finefocus=+10"};
    QTest::newRow("fine minus 200") << QList<ParamQuery>{fineFocusRequest(FineDirection::Minus, QStringLiteral("200"))}
                                    << QStringList{"camera.focus.finefocus=-200"};
    QTest::newRow("fine step as typed")
        << QList<ParamQuery>{fineFocusRequest(FineDirection::Plus, QStringLiteral("x7"))}
        << QStringList{"camera.focus.finefocus=+x7"};
    QTest::newRow("night steps") << QList<ParamQuery>{nightFocusStepRequest(NightStep::Down),
                                                      nightFocusStepRequest(NightStep::Up)}
                                 << QStringList{"camera.focus.nightfocus=-", "camera.focus.nightfocus=+"};
}

// Each focus request is the exact query, and goes on the wire unencoded.
void LensRequestsTest::focusRequestsAreExactQueries()
{
    QFETCH(QList<ParamQuery>, requests);
    QFETCH(QStringList, expected);
    QCOMPARE(texts(requests), expected);
    QStringList expectedTargets;
    for (const QString &query : expected)
        expectedTargets << QStringLiteral("/api/param?") + query;
    QCOMPARE(targets(requests), expectedTargets);
}

// The step list holds the sixteen sizes and starts on "10".
void LensRequestsTest::fineStepListStartsAtTen()
{
    QCOMPARE(kFineSteps.size(), std::size_t(16));
    QCOMPARE(kFineSteps.front(), "1");
    QCOMPARE(kFineSteps[3], "6");
    QCOMPARE(kFineSteps.back(), "200");
    QCOMPARE(kFineSteps[std::size_t(kDefaultFineStepIndex)], "10");
}

void LensRequestsTest::pollingEndsAsTheRunAllows_data()
{
    QTest::addColumn<FocusRun>("run");
    QTest::addColumn<QStringList>("statuses"); // the last one repeats
    QTest::addColumn<PollOutcome>("outcome");
    QTest::addColumn<int>("polls");

    const auto runs = [](int count, const QString &last) {
        QStringList statuses;
        for (int i = 0; i < count; ++i)
            statuses << QStringLiteral("run");
        return statuses << last;
    };
    const FocusRun day = FocusRun::DayAutoFocus;
    const FocusRun back = FocusRun::BackFocusInitialize;
    QTest::newRow("stop at the first poll") << day << QStringList{"stop"} << PollOutcome::Stopped << 1;
    QTest::newRow("stop at the third poll") << day << runs(2, "stop") << PollOutcome::Stopped << 3;
    QTest::newRow("stop at the last poll") << day << runs(119, "stop") << PollOutcome::Stopped << 120;
    QTest::newRow("stop one poll too late") << day << runs(120, "stop") << PollOutcome::TimedOut << 120;
    QTest::newRow("object error") << day << runs(1, "OBJECT_ERROR") << PollOutcome::ObjectError << 2;
    QTest::newRow("never stops") << day << QStringList{"run"} << PollOutcome::TimedOut << 120;
    QTest::newRow("case counts") << day << QStringList{"Stop"} << PollOutcome::TimedOut << 120;
    QTest::newRow("whole text") << day << QStringList{"stop\r\n"} << PollOutcome::TimedOut << 120;
    QTest::newRow("object error in lower case") << day << QStringList{"object_error"} << PollOutcome::TimedOut << 120;
    QTest::newRow("back focus stops") << back << runs(4, "stop") << PollOutcome::Stopped << 5;
    QTest::newRow("back focus passes over object error")
        << back << QStringList{"run", "OBJECT_ERROR", "stop"} << PollOutcome::Stopped << 3;
    QTest::newRow("back focus never stops") << back << QStringList{"OBJECT_ERROR"} << PollOutcome::TimedOut << 120;
}

// A run ends on "stop" (and day auto focus on "OBJECT_ERROR"), each poll a
// 500 ms pause followed by one status read, 120 polls at most.
void LensRequestsTest::pollingEndsAsTheRunAllows()
{
    QFETCH(FocusRun, run);
    QFETCH(QStringList, statuses);
    QFETCH(PollOutcome, outcome);
    QFETCH(int, polls);

    QStringList events;
    int reads = 0;
    const PollResult result = pollFocusStatus(
        run, [&events](int pause_ms) { events << QStringLiteral("pause %1").arg(pause_ms); },
        [&] {
            events << QStringLiteral("read");
            return statuses.at(qMin(reads++, int(statuses.size()) - 1));
        });
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.polls, polls);
    QCOMPARE(reads, polls);
    QStringList expected;
    for (int poll = 0; poll < polls; ++poll)
        expected << QStringLiteral("pause 500") << QStringLiteral("read");
    QCOMPARE(events, expected);
}

// A read that fails ends the polling at once: no further pause or read.
void LensRequestsTest::aFailedPollEndsThePolling()
{
    int pauses = 0;
    int reads = 0;
    bool failed = false;
    try {
        pollFocusStatus(
            FocusRun::DayAutoFocus, [&pauses](int) { ++pauses; },
            [&reads]() -> QString {
                if (++reads == 3)
                    throw CameraError(QStringLiteral("500 Internal Server Error"));
                return QStringLiteral("run");
            });
    } catch (const CameraError &error) {
        failed = true;
        QCOMPARE(error.text(), QString("500 Internal Server Error"));
    }
    QVERIFY2(failed, "the failed read should end the polling with its error");
    QCOMPARE(reads, 3);
    QCOMPARE(pauses, 3);
}

void LensRequestsTest::pollingTheCamera_data()
{
    QTest::addColumn<int>("cameraPolls");
    QTest::addColumn<bool>("objectError");
    QTest::addColumn<PollOutcome>("outcome");
    QTest::addColumn<int>("polls");
    QTest::newRow("stops at once") << 0 << false << PollOutcome::Stopped << 1;
    QTest::newRow("stops at the 120th poll") << 119 << false << PollOutcome::Stopped << 120;
    QTest::newRow("still running after 120 polls") << 120 << false << PollOutcome::TimedOut << 120;
    QTest::newRow("object error") << 2 << true << PollOutcome::ObjectError << 3;
}

// Against the camera: a day auto focus started by the two requests is
// followed to its end by status reads, one per poll.
void LensRequestsTest::pollingTheCamera()
{
    QFETCH(int, cameraPolls);
    QFETCH(bool, objectError);
    QFETCH(PollOutcome, outcome);
    QFETCH(int, polls);

    LensCamera camera;
    QVERIFY(camera.start());
    camera.sim.setFocusPolls(cameraPolls);
    camera.sim.setFocusResult(objectError ? sim::FocusResult::ObjectError : sim::FocusResult::Stop);
    QCOMPARE(camera.send(dayAutoFocusStartRequests()),
             QStringList({"camera.focus.adjust_mode=day&", "camera.focus=op_auto&"}));
    const PollResult result = pollFocusStatus(FocusRun::DayAutoFocus, [](int) {}, [&camera] {
        return camera.session.readParameter(QStringLiteral("camera.focus.status"));
    });
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.polls, polls);
    QCOMPARE(camera.sim.requests().size(), 2 + polls);
    QCOMPARE(camera.requestLines().last(), QString("GET /api/param?camera.focus.status HTTP/1.1"));
    if (outcome == PollOutcome::TimedOut)
        QCOMPARE(camera.sim.value("camera.focus.status"), QString("run"));
    // The end request takes the camera out of day mode.
    QCOMPARE(camera.send({focusEndRequest()}), QStringList{"camera.focus.adjust_mode=select&"});
    QCOMPARE(camera.sim.value("camera.focus.status"), QString("stop"));
}

// Scripts set up the simulated camera's next auto focus over its admin path:
// how many reads answer "run" and how the run ends.
void LensRequestsTest::theAdminPathSetsUpTheNextRun()
{
    LensCamera camera;
    QVERIFY(camera.start());
    QCOMPARE(camera.session.cameraGet("/__camsim/focus?result=OBJECT_ERROR&polls=1").trimmed(), QByteArray("ok"));
    camera.send(dayAutoFocusStartRequests());
    const QString status = QStringLiteral("camera.focus.status");
    QCOMPARE(camera.session.readParameter(status), QString("run"));
    QCOMPARE(camera.session.readParameter(status), QString("OBJECT_ERROR"));
    QCOMPARE(camera.session.cameraGet("/__camsim/focus?polls=0&result=stop").trimmed(), QByteArray("ok"));
    camera.send(dayAutoFocusStartRequests());
    QCOMPARE(camera.session.readParameter(status), QString("stop"));
}

// Finished, out of range and not finished in time read differently; only a
// stopped run is reported as finished.
void LensRequestsTest::closingMessagesNameHowTheRunEnded()
{
    QCOMPARE(closingMessage(FocusRun::DayAutoFocus, PollOutcome::Stopped), QString("Focus Adjust Finish"));
    QCOMPARE(closingMessage(FocusRun::DayAutoFocus, PollOutcome::ObjectError),
             QString("Out of range, please roughly adjust by using \"Fine plus\" or \"Fine minus\", then run Auto "
                     "focus again"));
    QCOMPARE(closingMessage(FocusRun::DayAutoFocus, PollOutcome::TimedOut),
             QString("Focus Adjust did not finish within 60 seconds"));
    QCOMPARE(closingMessage(FocusRun::BackFocusInitialize, PollOutcome::Stopped),
             QString("Back Focus Initialize has Finished"));
    QCOMPARE(closingMessage(FocusRun::BackFocusInitialize, PollOutcome::TimedOut),
             QString("Back Focus Initialize did not finish within 60 seconds"));
    QCOMPARE(QString::fromLatin1(kModelRefusedMessage),
             QString("Modle is not QZ-R50U ! This function only works with QZ-R50U"));
}

void LensRequestsTest::backFocusNeedsTheExactModelLabel_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("QZ-R50") << "Model: QZ-R50" << true;
    QTest::newRow("QZ-R50U") << "Model: QZ-R50U" << false;
    QTest::newRow("not read yet") << "Model Name" << false;
    QTest::newRow("other model") << "Model: QZ-R410" << false;
    QTest::newRow("trailing blank") << "Model: QZ-R50 " << false;
    QTest::newRow("lower case") << "Model: qz-r50" << false;
    QTest::newRow("model alone") << "QZ-R50" << false;
    QTest::newRow("empty") << "" << false;
}

// Only the label "Model: QZ-R50", whole, allows the back-focus initialisation.
void LensRequestsTest::backFocusNeedsTheExactModelLabel()
{
    QFETCH(QString, label);
    QFETCH(bool, allowed);
    QCOMPARE(backFocusAllowed(label), allowed);
}

// The simulated QZ-R50 starts a back-focus run; another model refuses both
// requests and its focus stays stopped.
void LensRequestsTest::onlyTheQzR50TakesTheBackFocusRequests()
{
    LensCamera r50(QStringLiteral("QZ-R50"));
    QVERIFY(r50.start());
    r50.sim.setFocusPolls(1);
    QCOMPARE(r50.send(backFocusStartRequests()),
             QStringList({"camera.focus.adjust_mode=init_pos&", "camera.focus.abf_pos=initialize&"}));
    QCOMPARE(r50.session.readParameter(QStringLiteral("camera.focus.status")), QString("run"));
    QCOMPARE(r50.session.readParameter(QStringLiteral("camera.focus.status")), QString("stop"));

    LensCamera r410;
    QVERIFY(r410.start());
    QCOMPARE(r410.send(backFocusStartRequests()),
             QStringList({"camera.focus.adjust_mode=NG&", "camera.focus.abf_pos=NG&"}));
    QCOMPARE(r410.sim.value("camera.focus.adjust_mode"), QString("select"));
    QCOMPARE(r410.session.readParameter(QStringLiteral("camera.focus.status")), QString("stop"));
}

void LensRequestsTest::nightClickStepsTowardsThePosition_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("downMovesBy"); // how far the camera moves on "-"
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("valueAfter");

    QTest::newRow("equal") << 4 << 4 << 1 << QStringList{} << 4;
    QTest::newRow("above the value") << 5 << 4 << 1 << QStringList{"+"} << 5;
    QTest::newRow("below the value") << 3 << 4 << 1 << QStringList{"-"} << 3;
    QTest::newRow("far below: one step per click") << 2 << 5 << 1 << QStringList{"-"} << 4;
    QTest::newRow("far above: one step per click") << 9 << 5 << 1 << QStringList{"+"} << 6;
    QTest::newRow("overshooting down, then up") << 3 << 5 << 3 << QStringList{"-", "+"} << 3;
    QTest::newRow("camera not moving down") << 3 << 5 << 0 << QStringList{"-"} << 5;
}

// A click steps down when the position is below the camera's value, then
// up when it is above the value read again; at most one step each way.
void LensRequestsTest::nightClickStepsTowardsThePosition()
{
    QFETCH(int, position);
    QFETCH(int, value);
    QFETCH(int, downMovesBy);
    QFETCH(QStringList, steps);
    QFETCH(int, valueAfter);

    QStringList sent;
    runNightFocusClick(
        position, [&value] { return value; },
        [&](NightStep step) {
            sent << (step == NightStep::Down ? QStringLiteral("-") : QStringLiteral("+"));
            value += step == NightStep::Down ? -downMovesBy : 1;
        });
    QCOMPARE(sent, steps);
    QCOMPARE(value, valueAfter);
}

// The camera's value is converted before anything is sent: a value that is
// no whole number ends the click with the conversion error.
void LensRequestsTest::nightClickWithAValueThatIsNoNumberSendsNothing()
{
    int steps = 0;
    bool failed = false;
    try {
        runNightFocusClick(
            3, [] { return toIntegerOrThrow(QStringLiteral("NG")); }, [&steps](NightStep) { ++steps; });
    } catch (const CameraError &error) {
        failed = true;
        QCOMPARE(error.text(), QString("'NG' is not a valid integer value"));
    }
    QVERIFY2(failed, "a value that is no number should end the click");
    QCOMPARE(steps, 0);
}

// The camera moves its night focus by one per step within 0..9 and its fine
// focus by the step sent.
void LensRequestsTest::nightAndFineStepsMoveTheCamerasValues()
{
    LensCamera camera;
    QVERIFY(camera.start());
    camera.sim.setValue("camera.focus.nightfocus", "8");
    QCOMPARE(camera.send({nightFocusStepRequest(NightStep::Up), nightFocusStepRequest(NightStep::Up)}),
             QStringList({"camera.focus.nightfocus=9&", "camera.focus.nightfocus=9&"}));
    QCOMPARE(camera.send({nightFocusStepRequest(NightStep::Down)}), QStringList{"camera.focus.nightfocus=8&"});
    QCOMPARE(camera.session.readParameter(QString::fromLatin1(kNightFocusKey)), QString("8"));
    QCOMPARE(camera.send({fineFocusRequest(FineDirection::Plus, QStringLiteral("10")),
                          fineFocusRequest(FineDirection::Minus, QStringLiteral("200"))}),
             QStringList({"camera.focus.finefocus=510&", "camera.focus.finefocus=310&"}));
    QCOMPARE(camera.requestLines().at(4), QString("GET /api/param?camera.focus.finefocus=+10 HTTP/1.1"));
}

void LensRequestsTest::encoderListSendsByPosition_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("expected"); // empty: nothing sent
    QTest::newRow("1") << 0 << "application.object(8).source=encode(1)";
    QTest::newRow("2") << 1 << "application.object(8).source=encode(2)";
    QTest::newRow("3") << 2 << "application.object(8).source=encode(3)";
    QTest::newRow("typed text") << -1 << "";
    QTest::newRow("past the list") << 3 << "";
}

// The encoder list sends by the entry's position; no entry, no request.
void LensRequestsTest::encoderListSendsByPosition()
{
    QFETCH(int, position);
    QFETCH(QString, expected);
    QCOMPARE(kEncoderEntries.size(), std::size_t(3));
    QCOMPARE(QString::fromLatin1(kEncoderListPrompt), QString("SD Card Encoder"));
    const std::optional<ParamQuery> request = recordingSourceRequest(position);
    QCOMPARE(request.has_value(), !expected.isEmpty());
    if (request)
        QCOMPARE(request->text(), expected);
}

void LensRequestsTest::switchListsSendByPosition_data()
{
    QTest::addColumn<bool>("recording"); // else the card status list
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("expected"); // empty: nothing sent
    QTest::addColumn<QString>("shown");
    QTest::addColumn<unsigned>("rgb");
    QTest::newRow("ENABLE") << false << 0 << "storage.disk(1).status=on" << "ON" << 0x008000u;
    QTest::newRow("DISABLE") << false << 1 << "storage.disk(1).status=off" << "OFF" << 0xFF0000u;
    QTest::newRow("status typed") << false << -1 << "" << "" << 0u;
    QTest::newRow("status past the list") << false << 2 << "" << "" << 0u;
    QTest::newRow("ON") << true << 0 << "application.event(8).status=on" << "ON" << 0x008000u;
    QTest::newRow("OFF") << true << 1 << "application.event(8).status=off" << "OFF" << 0xFF0000u;
    QTest::newRow("recording typed") << true << -1 << "" << "" << 0u;
}

// The status and recording lists send by position and name what their label
// then shows: "ON" in green, "OFF" in red.
void LensRequestsTest::switchListsSendByPosition()
{
    QFETCH(bool, recording);
    QFETCH(int, position);
    QFETCH(QString, expected);
    QFETCH(QString, shown);
    QFETCH(unsigned, rgb);
    const std::optional<SwitchChoice> choice = recording ? recordingChoice(position) : cardStatusChoice(position);
    QCOMPARE(choice.has_value(), !expected.isEmpty());
    if (!choice)
        return;
    QCOMPARE(choice->request.text(), expected);
    QCOMPARE(indicationText(choice->shown), shown);
    QCOMPARE(indicationRgb(choice->shown), rgb);
}

void LensRequestsTest::capacityIsTheRawValueWithB_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("caption");
    QTest::newRow("1000") << "1000" << "1000B";
    QTest::newRow("32 GB card") << "31914983424" << "31914983424B";
    QTest::newRow("empty") << "" << "B";
    QTest::newRow("not a number") << "NG" << "NGB";
}

// The capacity is shown as the camera sent it, "B" appended, unconverted.
void LensRequestsTest::capacityIsTheRawValueWithB()
{
    QFETCH(QString, value);
    QFETCH(QString, caption);
    QCOMPARE(capacityCaption(value), caption);
    QCOMPARE(kCapacityRgb, 0x008000u);
}

// The SD card requests change the simulated camera's card source, status and
// recording mode; its capacity reads back.
void LensRequestsTest::sdCardRequestsChangeTheCamera()
{
    LensCamera camera;
    QVERIFY(camera.start());
    QCOMPARE(camera.send({*recordingSourceRequest(2), cardStatusChoice(0)->request, recordingChoice(0)->request}),
             QStringList({"application.object(8).source=encode(3)&", "storage.disk(1).status=on&",
                          "application.event(8).status=on&"}));
    QCOMPARE(camera.sim.value("application.object(8).source"), QString("encode(3)"));
    QCOMPARE(camera.sim.value("storage.disk(1).status"), QString("on"));
    QCOMPARE(camera.sim.value("application.event(8).status"), QString("on"));
    camera.send({cardStatusChoice(1)->request, recordingChoice(1)->request});
    QCOMPARE(camera.sim.value("storage.disk(1).status"), QString("off"));
    QCOMPARE(camera.sim.value("application.event(8).status"), QString("off"));
    camera.sim.setValue("storage.disk(1).size", "1000");
    QCOMPARE(capacityCaption(camera.session.readParameter(QString::fromLatin1(kCardCapacityKey))), QString("1000B"));
}

QTEST_GUILESS_MAIN(LensRequestsTest)
#include "LensRequestsTest.moc"
