// The main window's link checks: ping and its list, the connection check, the
// UDP log, the service page and "Test", against the simulated camera.
#include "CameraWindows.h"
#include "diagnostics/DatagramListener.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit13.h"
#include "diagnostics/IcmpEcho.h"
#include "windowsupport/Operation.h"
#include "app/Unit13.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QListWidget>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTimer>
#include <QUdpSocket>
#include <QWebEngineView>
#include <QtTest>

#include <atomic>

using qzr::icmp::EchoAnswer;
using qzr::icmp::EchoRequest;
using qzr::icmp::EchoResult;

namespace {

// Stands in for the network behind "Ping": counts the echoes and answers as
// told. It runs on the ping's worker thread.
struct ScriptedEcho
{
    std::atomic<int> sent{0};
    bool answers = true;
    int roundTripMs = 3;
    QString failure;
    std::function<void()> whileWaiting; // runs on the worker before the answer

    TForm1::EchoSender sender()
    {
        return [this](const EchoRequest &request) {
            ++sent;
            if (whileWaiting)
                whileWaiting();
            if (!failure.isEmpty())
                return EchoResult::failure(failure);
            if (!answers)
                return EchoResult();
            EchoAnswer answer;
            answer.bytesReceived = 40;
            answer.fromAddress = request.host;
            answer.sequence = request.sequence;
            answer.ttl = 64;
            answer.roundTripMs = roundTripMs;
            return EchoResult{answer, {}};
        };
    }
};

QColor logColour()
{
    return Form1->Memo1->palette().color(QPalette::Base);
}

QStringList listLines()
{
    QStringList lines;
    for (int i = 0; i < Form1->ListBox1->count(); ++i)
        lines << Form1->ListBox1->item(i)->text();
    return lines;
}

} // namespace

class DiagnosticsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsAtStart();
    void pingOfLoopbackShowsOneLine();
    void answerLinesShowTheRoundTrip_data();
    void answerLinesShowTheRoundTrip();
    void fifthLineEmptiesTheList();
    void noAnswer_data();
    void noAnswer();
    void checkConnectionPingsExactlyOnce();
    void stopSearchStopsTheCheck();
    void timerTickDuringAPingComesAfterIt();
    void pingFailuresReachTheErrorReport_data();
    void pingFailuresReachTheErrorReport();
    void unresolvableNameIsReported();
    void datagramsAppendToTheLog();
    void datagramsDuringAnOperationComeAfterIt();
    void portInUseTurnsOnlyTheUdpLogOff();
    void serviceOpensTheCameraPage();
    void testShowsTheStartOfEncoder3FrameSize();
    void testFailureReachesTheErrorReport();

private:
    // Opens the window set with the UDP log on udpPort (0: any free port).
    void openWindows(quint16 udpPort);
    void sendDatagram(const QByteArray &data);

    CameraWindows m_camera;
    ScriptedEcho m_echo;
};

void DiagnosticsTest::openWindows(quint16 udpPort)
{
    m_camera.windows.reset();
    qzr::StartOptions options;
    options.address = QStringLiteral("127.0.0.1");
    options.port = QString::number(m_camera.sim->port());
    options.udpLogPort = udpPort;
    m_camera.windows = std::make_unique<qzr::WindowSet>(options);
}

void DiagnosticsTest::init()
{
    QVERIFY(m_camera.startCamera());
    m_camera.dialogs = std::make_unique<ScriptedDialogs>();
    // Never port 80: a free port keeps parallel runs and other programs apart.
    openWindows(0);
    QVERIFY2(Form1->udpLog() && Form1->udpLog()->isListening(), "the UDP log listens on a free port");
    m_echo.sent = 0;
    m_echo.answers = true;
    m_echo.roundTripMs = 3;
    m_echo.failure.clear();
    m_echo.whileWaiting = nullptr;
}

void DiagnosticsTest::cleanup()
{
    m_camera.close();
}

void DiagnosticsTest::sendDatagram(const QByteArray &data)
{
    QUdpSocket sender;
    QCOMPARE(sender.writeDatagram(data, QHostAddress::LocalHost, Form1->udpLog()->port()), qint64(data.size()));
}

void DiagnosticsTest::controlsAtStart()
{
    // The list and note lie hidden in the encoder panel; the check boxes are
    // hidden until the special settings; the timer waits.
    QCOMPARE(Form1->ListBox1->parentWidget(), static_cast<QWidget *>(Form1->Panel2));
    QCOMPARE(Form1->Memo3->parentWidget(), static_cast<QWidget *>(Form1->Panel2));
    QVERIFY(!Form1->ListBox1->isVisibleTo(Form1));
    QVERIFY(!Form1->Memo3->isVisibleTo(Form1));
    QVERIFY(Form1->Memo3->toPlainText().isEmpty());
    QCOMPARE(Form1->ListBox1->palette().color(QPalette::Text), QColor(0, 255, 0));
    QVERIFY2(Form1->ListBox1->palette().color(QPalette::Base).lightness() < 64, "the list is dark");
    QVERIFY(!Form1->Timer1->isActive());
    QCOMPARE(Form1->Timer1->interval(), 10);
    QVERIFY(!Form1->CheckBox4->isVisibleTo(Form1));
    QVERIFY(!Form1->CheckBox6->isVisibleTo(Form1));
    QCOMPARE(Form1->CheckBox4->text(), QString("Check connection"));
    QCOMPARE(Form1->CheckBox6->text(), QString("Service"));

    // The service window as it stands, before anything is shown in it.
    QVERIFY(!Form13->isVisible());
    QVERIFY(Form13->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(Form13->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(Form13->pos(), QPoint(548, 108));
    QCOMPARE(Form13->size(), QSize(617, 786));
    QCOMPARE(Form13->Panel1->geometry(), QRect(0, 0, 601, 33));
    const auto *caption = Form13->Panel1->findChild<QLabel *>();
    QVERIFY(caption);
    QCOMPARE(caption->text(), QString("QZ-R Service Menu"));
    QCOMPARE(Form13->Button1->text(), QString("Close"));
    QCOMPARE(Form13->Button1->geometry(), QRect(0, 32, 617, 25));
    QVERIFY(Form13->Button1->font().bold());
    QCOMPARE(Form13->Button1->palette().color(QPalette::ButtonText), QColor(Qt::red));
}

void DiagnosticsTest::pingOfLoopbackShowsOneLine()
{
    if (qzr::icmp::availableSocketKind() == qzr::icmp::SocketKind::None)
        QSKIP("This user may send no ICMP echo (net.ipv4.ping_group_range excludes its group and it lacks CAP_NET_RAW)");
    Form1->replyLog().setText("kept");
    Form1->Button30->click();
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QVERIFY(m_camera.dialogs->messages.isEmpty());
    const QStringList lines = listLines();
    QCOMPARE(lines.size(), 1);
    static const QRegularExpression shape(
        R"(^40 bytes from 127\.0\.0\.1: icmp_seq=1 ttl=\d+ time(=[1-9]\d*|<1) ms$)");
    QVERIFY2(shape.match(lines.first()).hasMatch(), qPrintable(lines.first()));
    QCOMPARE(Form1->replyLog().text(), QString("kept"));
}

void DiagnosticsTest::answerLinesShowTheRoundTrip_data()
{
    QTest::addColumn<int>("roundTripMs");
    QTest::addColumn<QString>("line");
    QTest::newRow("under 1 ms") << 0 << "40 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time<1 ms";
    QTest::newRow("12 ms") << 12 << "40 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=12 ms";
}

void DiagnosticsTest::answerLinesShowTheRoundTrip()
{
    QFETCH(int, roundTripMs);
    QFETCH(QString, line);
    m_echo.roundTripMs = roundTripMs;
    Form1->setEchoSender(m_echo.sender());
    Form1->Button30->click();
    QCOMPARE(m_echo.sent.load(), 1);
    QCOMPARE(listLines(), QStringList({line}));
}

void DiagnosticsTest::fifthLineEmptiesTheList()
{
    Form1->setEchoSender(m_echo.sender());
    QList<int> sizes;
    for (int ping = 1; ping <= 6; ++ping) {
        Form1->Button30->click();
        sizes << Form1->ListBox1->count();
    }
    QCOMPARE(sizes, QList<int>({1, 2, 3, 4, 0, 1}));
    // Each ping has its own sequence number.
    QCOMPARE(listLines(), QStringList({"40 bytes from 127.0.0.1: icmp_seq=6 ttl=64 time=3 ms"}));
}

void DiagnosticsTest::noAnswer_data()
{
    QTest::addColumn<bool>("checkingConnection");
    QTest::newRow("ping alone") << false;
    QTest::newRow("from the connection check") << true;
}

void DiagnosticsTest::noAnswer()
{
    // Without an answer the log turns red with the notice, the list empties
    // and the user is told; the connection check, when it ran, is undone.
    QFETCH(bool, checkingConnection);
    Form1->setEchoSender(m_echo.sender());
    Form1->Button30->click();
    QCOMPARE(Form1->ListBox1->count(), 1);
    m_echo.answers = false;
    if (checkingConnection) {
        Form1->CheckBox4->click();
        QTRY_COMPARE(m_camera.dialogs->messages.size(), 1);
    } else {
        Form1->Button30->click();
    }
    QCOMPARE(m_echo.sent.load(), 2);
    QCOMPARE(m_camera.dialogs->messages,
             QStringList({"No connection to this IP possible, check camera and PC settings !"}));
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(Form1->ListBox1->count(), 0);
    if (checkingConnection) {
        QVERIFY(!Form1->CheckBox4->isChecked());
        QVERIFY(!Form1->Timer1->isActive());
        QVERIFY(!Form1->ListBox1->isVisibleTo(Form1));
        QVERIFY(!Form1->Memo3->isVisibleTo(Form1));
        QCOMPARE(logColour(), QColor(Qt::white));
        QCOMPARE(Form1->replyLog().text(), QString());
    } else {
        QCOMPARE(logColour(), QColor(Qt::red));
        QCOMPARE(Form1->replyLog().text(), QString("NO Ethernet Connection !"));
        QTRY_COMPARE(Form1->Memo1->toPlainText(), QString("NO Ethernet Connection !"));
    }
}

void DiagnosticsTest::checkConnectionPingsExactlyOnce()
{
    Form1->setEchoSender(m_echo.sender());
    Form1->CheckBox4->click();
    QVERIFY(Form1->CheckBox4->isChecked());
    QVERIFY(Form1->Timer1->isActive());
    QVERIFY(Form1->Memo3->isVisibleTo(Form1));
    QTRY_COMPARE(Form1->ListBox1->count(), 1);
    QCOMPARE(m_echo.sent.load(), 1);
    QVERIFY(Form1->ListBox1->isVisibleTo(Form1));
    // The ping stopped the timer: no second tick can come.
    QVERIFY(!Form1->Timer1->isActive());
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));

    // A further ping needs the box unchecked and checked again.
    Form1->CheckBox4->click();
    QVERIFY(!Form1->ListBox1->isVisibleTo(Form1));
    QVERIFY(!Form1->Memo3->isVisibleTo(Form1));
    QCOMPARE(logColour(), QColor(Qt::white));
    Form1->CheckBox4->click();
    QTRY_COMPARE(Form1->ListBox1->count(), 2);
    QCOMPARE(m_echo.sent.load(), 2);
    QVERIFY(!Form1->Timer1->isActive());
}

void DiagnosticsTest::stopSearchStopsTheCheck()
{
    Form1->setEchoSender(m_echo.sender());
    Form1->CheckBox4->click();
    Form1->Button32->click();
    QVERIFY(!Form1->Timer1->isActive());
    QCoreApplication::processEvents();
    QCOMPARE(m_echo.sent.load(), 0);
    QCOMPARE(Form1->ListBox1->count(), 0);
}

void DiagnosticsTest::timerTickDuringAPingComesAfterIt()
{
    // The connection check's timer is started while a ping waits: its tick is
    // held until that ping has ended, and then pings once.
    QSemaphore ticked;
    QList<bool> tickedWhileWaiting;
    connect(Form1->Timer1, &QTimer::timeout, this, [&] {
        tickedWhileWaiting << qzr::operationWaiting();
        ticked.release();
    });
    std::atomic<int> inFlight{0};
    std::atomic<bool> overlapped{false};
    bool tickCame = true;
    m_echo.whileWaiting = [&] {
        if (++inFlight > 1)
            overlapped = true;
        if (m_echo.sent == 1)
            tickCame = ticked.tryAcquire(1, 10000);
        --inFlight;
    };
    Form1->setEchoSender(m_echo.sender());
    QTimer::singleShot(0, Form1, [] { Form1->Timer1->start(); });
    Form1->Button30->click();
    QVERIFY2(tickCame, "the timer ticked while the first ping waited");
    QVERIFY(!tickedWhileWaiting.isEmpty() && tickedWhileWaiting.first());
    QCOMPARE(Form1->ListBox1->count(), 1);
    QTRY_COMPARE(Form1->ListBox1->count(), 2);
    QCOMPARE(m_echo.sent.load(), 2);
    QVERIFY2(!overlapped, "the second ping started only after the first had ended");
    QVERIFY(!Form1->Timer1->isActive());
}

void DiagnosticsTest::pingFailuresReachTheErrorReport_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("echoes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("port 8o") << "8o" << "" << 0 << "'8o' is not a valid integer value.";
    QTest::newRow("non-echo answer") << "" << "Non-echo type response received" << 1
                                     << "Non-echo type response received.";
    QTest::newRow("short answer") << "" << "Not enough bytes received" << 1 << "Not enough bytes received.";
}

void DiagnosticsTest::pingFailuresReachTheErrorReport()
{
    QFETCH(QString, port);
    QFETCH(QString, failure);
    QFETCH(int, echoes);
    QFETCH(QString, shown);
    if (!port.isEmpty())
        Form1->Edit2->setText(port);
    m_echo.failure = failure;
    Form1->setEchoSender(m_echo.sender());
    Form1->replyLog().setText("kept");
    Form1->Button30->click();
    QCOMPARE(m_camera.dialogs->errors, QStringList({shown}));
    QCOMPARE(m_echo.sent.load(), echoes);
    QCOMPARE(Form1->ListBox1->count(), 0);
    QVERIFY(m_camera.dialogs->messages.isEmpty());
    QCOMPARE(Form1->replyLog().text(), QString("kept"));
    QCOMPARE(logColour(), QColor(Qt::white));
}

void DiagnosticsTest::unresolvableNameIsReported()
{
    // The real echo: a name with an empty label fails in the resolver itself.
    Form1->Edit1->setText("camera..local");
    Form1->Button30->click();
    QCOMPARE(m_camera.dialogs->errors.size(), 1);
    QVERIFY2(m_camera.dialogs->errors.first().startsWith("Could not resolve the address \"camera..local\": "),
             qPrintable(m_camera.dialogs->errors.first()));
    QCOMPARE(Form1->ListBox1->count(), 0);
}

void DiagnosticsTest::datagramsAppendToTheLog()
{
    sendDatagram("A");
    sendDatagram("B");
    QTRY_COMPARE(Form1->replyLog().text(), QString("A\r\nB\r\n"));
    QTRY_COMPARE(Form1->Memo1->toPlainText(), QString("A\nB\n"));
    // A zero byte ends the text.
    sendDatagram(QByteArray("C\0D", 3));
    QTRY_COMPARE(Form1->replyLog().text(), QString("A\r\nB\r\nC\r\n"));
    QVERIFY(m_camera.dialogs->errors.isEmpty());
}

void DiagnosticsTest::datagramsDuringAnOperationComeAfterIt()
{
    // The ping's worker sends A and B to the log's port and waits until both
    // have arrived at the window; the ping then finds no answer and writes
    // its notice. The datagrams follow the notice, in order.
    QSemaphore arrived;
    QList<bool> arrivedWhileWaiting;
    connect(Form1->udpLog(), &qzr::DatagramListener::received, this, [&] {
        arrivedWhileWaiting << qzr::operationWaiting();
        arrived.release();
    });
    const quint16 port = Form1->udpLog()->port();
    bool bothArrived = false;
    m_echo.answers = false;
    m_echo.whileWaiting = [&] {
        QUdpSocket sender;
        sender.writeDatagram("A", QHostAddress::LocalHost, port);
        sender.writeDatagram("B", QHostAddress::LocalHost, port);
        bothArrived = arrived.tryAcquire(2, 10000);
    };
    Form1->setEchoSender(m_echo.sender());
    Form1->Button30->click();
    QVERIFY2(bothArrived, "both datagrams reached the window while the ping waited");
    QCOMPARE(arrivedWhileWaiting, QList<bool>({true, true}));
    QCOMPARE(m_camera.dialogs->messages.size(), 1);
    QTRY_COMPARE(Form1->replyLog().text(), QString("NO Ethernet Connection !A\r\nB\r\n"));
}

void DiagnosticsTest::portInUseTurnsOnlyTheUdpLogOff()
{
    // Another program holds the port: one message, no UDP log, and the rest
    // of the tool works.
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
    const quint16 port = holder.localPort();
    m_camera.dialogs->errors.clear();
    openWindows(port);
    QTRY_COMPARE(m_camera.dialogs->errors.size(), 1);
    const QString message = m_camera.dialogs->errors.first();
    QVERIFY2(message.startsWith("Could not bind socket. Address and port are already in use.\r\n"), qPrintable(message));
    QVERIFY2(message.contains(QString("UDP port %1").arg(port)) && message.contains("--udp-port"), qPrintable(message));
    QVERIFY(!Form1->udpLog());
    QVERIFY(Form1->isVisible());

    Form1->Button40->click();
    QCOMPARE(Form1->Label18->text(), QString("Model: QZ-R410"));
    Form1->setEchoSender(m_echo.sender());
    Form1->Button30->click();
    QCOMPARE(Form1->ListBox1->count(), 1);
    QCOMPARE(m_camera.dialogs->errors.size(), 1);
}

void DiagnosticsTest::serviceOpensTheCameraPage()
{
    // Before any camera operation there is no last-used address: the page of
    // the camera in the connection fields is what the browser loads.
    Form1->CheckBox6->click();
    QVERIFY(Form13->isVisible());
    QVERIFY(Form13->WebBrowser1);
    QCOMPARE(Form13->WebBrowser1->geometry(), QRect(-224, 57, 841, 785));
    const QUrl loaded = Form13->WebBrowser1->url();
    QCOMPARE(loaded.host(), QString("127.0.0.1"));
    QCOMPARE(loaded.port(), int(m_camera.sim->port()));
    QCOMPARE(loaded.path(), QString("/cgi-bin/display.cgi"));
    QCOMPARE(loaded.query(), QString("service.html"));
    QTRY_VERIFY_WITH_TIMEOUT(
        [this] {
            for (const auto &request : m_camera.sim->requests())
                if (request.target == "/cgi-bin/display.cgi?service.html")
                    return true;
            return false;
        }(),
        20000);
    // The camera asks for a login, which the user declines this time.
    QTRY_COMPARE_WITH_TIMEOUT(m_camera.dialogs->logins.size(), 1, 20000);
    m_camera.sim->clearRequests();
    m_camera.dialogs->logins.clear();

    // After a camera operation: that camera's page, whether the box is
    // checked or unchecked. The browser asks the camera for it; the camera
    // wants a login, which the user gives in the browser's own prompt.
    QVERIFY(Form1->CheckBox6->isChecked());
    Form1->Button40->click();
    m_camera.dialogs->loginAnswer = true;
    m_camera.dialogs->loginUser = "admin";
    m_camera.dialogs->loginPassword = "kqm";
    Form1->CheckBox6->click();
    const QString page = QString("HTTP://127.0.0.1:%1/cgi-bin/display.cgi?service.html").arg(m_camera.sim->port());
    QCOMPARE(Form13->navigatedUrl(), page);
    QCOMPARE(Form13->WebBrowser1->url(), QUrl(page));
    const auto askedWithLogin = [this] {
        for (const auto &request : m_camera.sim->requests()) {
            if (request.target == "/cgi-bin/display.cgi?service.html"
                && request.raw.contains("\r\nAuthorization: Basic YWRtaW46a3Ft\r\n"))
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(askedWithLogin(), 20000);
    QCOMPARE(m_camera.dialogs->logins, QStringList({QString("127.0.0.1:%1|QZ-R").arg(m_camera.sim->port())}));
    QTRY_COMPARE_WITH_TIMEOUT(Form13->WebBrowser1->title(), QString("QZ-R410 service"), 20000);
    QVERIFY(!Form1->CheckBox6->isChecked());

    // "Close" hides the window; the box keeps its state.
    Form1->CheckBox6->click();
    QVERIFY(Form1->CheckBox6->isChecked());
    Form13->Button1->click();
    QVERIFY(!Form13->isVisible());
    QVERIFY(Form1->CheckBox6->isChecked());
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
}

void DiagnosticsTest::testShowsTheStartOfEncoder3FrameSize()
{
    m_camera.sim->setValue("encode(3).framesize", "640x360");
    Form1->replyLog().setText("old");
    Form1->Button26->click();
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(m_camera.queries(), QStringList({"encode(3).framesize"}));
    QCOMPARE(Form1->replyLog().text(), QString("64"));
    QTRY_COMPARE(Form1->Memo1->toPlainText(), QString("64"));
}

void DiagnosticsTest::testFailureReachesTheErrorReport()
{
    m_camera.sim->setFault(qzr::sim::FaultMode::NotFound);
    Form1->replyLog().setText("old");
    Form1->Button26->click();
    QCOMPARE(m_camera.dialogs->errors, QStringList({m_camera.notFound()}));
    // The log was emptied before the request; the first connection's status
    // text (none yet) is all it holds.
    QCOMPARE(Form1->replyLog().text(), QString());
}

QTEST_MAIN(DiagnosticsTest)
#include "DiagnosticsTest.moc"
