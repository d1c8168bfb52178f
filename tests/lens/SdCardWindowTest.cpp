// The SD card window against the simulated camera: each list sends by the
// chosen entry's position, the labels change only after the request returned,
// and the capacity shows the raw value with "B".
#include "CameraWindows.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit17.h"
#include "app/WindowSet.h"
#include "app/Unit17.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QAction>
#include <QtTest>

using qzr::sim::FaultMode;

namespace {

const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);

void choose(QComboBox *list, int position)
{
    // What the list does when the user picks an entry.
    list->setCurrentIndex(position);
    emit list->activated(position);
}

QColor textColour(const QLabel *label)
{
    return label->palette().color(QPalette::WindowText);
}

QColor standardTextColour(const QLabel *label)
{
    return QApplication::palette(label).color(QPalette::WindowText);
}

QComboBox *listNamed(const QString &name)
{
    return Form17->findChild<QComboBox *>(name);
}

QLabel *labelNamed(const QString &name)
{
    return Form17->findChild<QLabel *>(name);
}

} // namespace

class SdCardWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAtStart();
    void menuShowsTheWindowAndSendsNothing();
    void openingOnAnEnabledCardStillShowsOff();
    void encoderListSendsByPosition_data();
    void encoderListSendsByPosition();
    void switchListsSendThenShow_data();
    void switchListsSendThenShow();
    void disableThenEnable();
    void capacityShowsTheRawValueWithB_data();
    void capacityShowsTheRawValueWithB();
    void typedTextSendsNothing();
    void aFailedRequestKeepsTheLabels();
    void everyOperationTakesTheConnectionFields();

private:
    CameraWindows m_camera;
};

void SdCardWindowTest::init()
{
    QVERIFY(m_camera.startCamera());
    m_camera.openWindows();
    m_camera.sim->clearRequests();
}

void SdCardWindowTest::cleanup()
{
    m_camera.close();
}

// The window's lists, notes and labels before anything ran.
void SdCardWindowTest::windowAtStart()
{
    QVERIFY(Form17->isHidden());
    QCOMPARE(Form17->windowTitle(), QString("SD Card Settings"));
    QVERIFY(Form17->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(Form17->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(Form17->windowFlags() & Qt::WindowMaximizeButtonHint));

    QCOMPARE(Form17->ComboBox1->currentText(), QString("SD Card Encoder"));
    QCOMPARE(Form17->ComboBox1->currentIndex(), -1);
    QCOMPARE(Form17->ComboBox1->count(), 3);
    QCOMPARE(Form17->ComboBox1->itemText(2), QString("3"));
    QCOMPARE(Form17->ComboBox2->currentText(), QString("SD Card Status"));
    QCOMPARE(Form17->ComboBox2->count(), 2);
    QCOMPARE(Form17->ComboBox2->itemText(0), QString("ENABLE"));
    QCOMPARE(Form17->ComboBox2->itemText(1), QString("DISABLE"));
    QCOMPARE(Form17->ComboBox3->currentText(), QString("Recording Mode"));
    QCOMPARE(Form17->ComboBox3->count(), 2);
    QCOMPARE(Form17->ComboBox3->itemText(0), QString("ON"));
    QCOMPARE(Form17->ComboBox3->itemText(1), QString("OFF"));

    QCOMPARE(Form17->Label1->text(), QString("Select Stream to be  recorded on SD Card"));
    QCOMPARE(Form17->Label2->text(), QString("Note :"));
    QCOMPARE(Form17->Label3->text(), QString("Encoder used for SD Card recording must be set to H264 mode !"));
    QCOMPARE(Form17->Label4->text(), QString("Selecting Encoder settings other then shown in Camera Browser"));
    QCOMPARE(Form17->Label5->text(), QString("Interface, are not tested and might not work correct !"));
    QCOMPARE(Form17->Label6->text(), QString("SD Card Capacity is "));
    QVERIFY(Form17->Label7->text().isEmpty());
    QCOMPARE(Form17->Button1->text(), QString("Check SD Card capacity"));
    QCOMPARE(Form17->Label8->text(), QString("Select Status of SD Card. Current Status is "));
    QCOMPARE(Form17->Label9->text(), QString("OFF"));
    QCOMPARE(textColour(Form17->Label9), standardTextColour(Form17->Label9));
    QCOMPARE(Form17->Label10->text(), QString("Constant Recording set to"));
    QVERIFY(Form17->Label11->text().isEmpty());
}

// "SD Card Settings" shows the window; nothing goes to the camera.
void SdCardWindowTest::menuShowsTheWindowAndSendsNothing()
{
    QAction *open = Form1->findChild<QAction *>(QStringLiteral("SDCardSettings1"));
    QVERIFY(open);
    open->trigger();
    QVERIFY(Form17->isVisible());
    QVERIFY(m_camera.queries().isEmpty());
}

// The window never reads the card status: an enabled card still shows "OFF".
void SdCardWindowTest::openingOnAnEnabledCardStillShowsOff()
{
    m_camera.sim->setValue("storage.disk(1).status", "on");
    m_camera.sim->setValue("application.event(8).status", "on");
    Form1->findChild<QAction *>(QStringLiteral("SDCardSettings1"))->trigger();
    QCOMPARE(Form17->Label9->text(), QString("OFF"));
    QVERIFY(Form17->Label11->text().isEmpty());
    QVERIFY(m_camera.queries().isEmpty());
}

void SdCardWindowTest::encoderListSendsByPosition_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("source");
    QTest::newRow("1") << 0 << "encode(1)";
    QTest::newRow("2") << 1 << "encode(2)";
    QTest::newRow("3") << 2 << "encode(3)";
}

// Choosing an encoder sends its source assignment and changes no label.
void SdCardWindowTest::encoderListSendsByPosition()
{
    QFETCH(int, position);
    QFETCH(QString, source);
    m_camera.sim->setValue("application.object(8).source", "none");
    choose(Form17->ComboBox1, position);
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QCOMPARE(m_camera.queries(), QStringList{"application.object(8).source=" + source});
    QCOMPARE(m_camera.sim->value("application.object(8).source"), source);
    QCOMPARE(Form17->Label9->text(), QString("OFF"));
    QCOMPARE(textColour(Form17->Label9), standardTextColour(Form17->Label9));
    QVERIFY(Form17->Label11->text().isEmpty());
    QVERIFY(Form17->Label7->text().isEmpty());
}

void SdCardWindowTest::switchListsSendThenShow_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("ENABLE") << "ComboBox2" << 0 << "storage.disk(1).status=on" << "Label9" << "ON" << kGreen;
    QTest::newRow("DISABLE") << "ComboBox2" << 1 << "storage.disk(1).status=off" << "Label9" << "OFF" << kRed;
    QTest::newRow("recording ON") << "ComboBox3" << 0 << "application.event(8).status=on" << "Label11" << "ON"
                                  << kGreen;
    QTest::newRow("recording OFF") << "ComboBox3" << 1 << "application.event(8).status=off" << "Label11" << "OFF"
                                   << kRed;
}

// The card status and recording lists send by position; their label then
// shows "ON" in green or "OFF" in red, and the camera holds the value.
void SdCardWindowTest::switchListsSendThenShow()
{
    QFETCH(QString, list);
    QFETCH(int, position);
    QFETCH(QString, query);
    QFETCH(QString, label);
    QFETCH(QString, shown);
    QFETCH(QColor, colour);

    // The camera starts on the other value, so the write shows.
    const QString key = query.section('=', 0, 0);
    const QString value = query.section('=', 1);
    m_camera.sim->setValue(key, value == "on" ? "off" : "on");
    choose(listNamed(list), position);
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QCOMPARE(m_camera.queries(), QStringList{query});
    QCOMPARE(m_camera.sim->value(key), value);
    QCOMPARE(labelNamed(label)->text(), shown);
    QCOMPARE(textColour(labelNamed(label)), colour);
}

// "DISABLE" turns the status red "OFF"; "ENABLE" afterwards green "ON".
void SdCardWindowTest::disableThenEnable()
{
    choose(Form17->ComboBox2, 1);
    QCOMPARE(Form17->Label9->text(), QString("OFF"));
    QCOMPARE(textColour(Form17->Label9), kRed);
    choose(Form17->ComboBox2, 0);
    QCOMPARE(Form17->Label9->text(), QString("ON"));
    QCOMPARE(textColour(Form17->Label9), kGreen);
    QCOMPARE(m_camera.queries(), QStringList({"storage.disk(1).status=off", "storage.disk(1).status=on"}));
    QCOMPARE(m_camera.sim->value("storage.disk(1).status"), QString("on"));
}

void SdCardWindowTest::capacityShowsTheRawValueWithB_data()
{
    QTest::addColumn<QString>("capacity");
    QTest::addColumn<QString>("shown");
    QTest::newRow("1000") << "1000" << "1000B";
    QTest::newRow("32 GB card") << "31914983424" << "31914983424B";
    QTest::newRow("empty reply value") << "" << "B";
}

// "Check SD Card capacity" reads the size and shows it unconverted with "B"
// appended, in green; the trimmed reply stays in the log.
void SdCardWindowTest::capacityShowsTheRawValueWithB()
{
    QFETCH(QString, capacity);
    QFETCH(QString, shown);
    m_camera.sim->setValue("storage.disk(1).size", capacity);
    Form17->Button1->click();
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QCOMPARE(m_camera.queries(), QStringList{"storage.disk(1).size"});
    QCOMPARE(Form17->Label7->text(), shown);
    QCOMPARE(textColour(Form17->Label7), kGreen);
    QCOMPARE(Form1->replyLog().text(), "storage.disk(1).size=" + capacity + "&");
}

// Text typed over a prompt names no entry and sends nothing.
void SdCardWindowTest::typedTextSendsNothing()
{
    Form17->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form17));
    for (QComboBox *list : {Form17->ComboBox1, Form17->ComboBox2, Form17->ComboBox3}) {
        QLineEdit *edit = list->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, "maybe");
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(list->currentIndex(), -1);
    }
    QVERIFY(m_camera.queries().isEmpty());
    QCOMPARE(Form17->Label9->text(), QString("OFF"));
    QVERIFY(Form17->Label11->text().isEmpty());
    QVERIFY(m_camera.dialogs->errors.isEmpty());
}

// A failed request ends the operation before its label changes: the labels
// keep their text and colour.
void SdCardWindowTest::aFailedRequestKeepsTheLabels()
{
    choose(Form17->ComboBox2, 0);
    choose(Form17->ComboBox3, 1);
    m_camera.sim->setValue("storage.disk(1).size", "1000");
    Form17->Button1->click();
    QCOMPARE(Form17->Label7->text(), QString("1000B"));

    m_camera.sim->setFault(FaultMode::ServerError);
    choose(Form17->ComboBox2, 1);
    choose(Form17->ComboBox3, 0);
    m_camera.sim->setValue("storage.disk(1).size", "2000");
    Form17->Button1->click();
    QCOMPARE(m_camera.dialogs->errors, QStringList(3, m_camera.serverError()));
    QCOMPARE(Form17->Label9->text(), QString("ON"));
    QCOMPARE(textColour(Form17->Label9), kGreen);
    QCOMPARE(Form17->Label11->text(), QString("OFF"));
    QCOMPARE(textColour(Form17->Label11), kRed);
    QCOMPARE(Form17->Label7->text(), QString("1000B"));
    QCOMPARE(m_camera.sim->value("storage.disk(1).status"), QString("on"));
}

// Every operation takes the connection fields first: a port that is no
// number stops it before sending, and another port addresses that camera.
void SdCardWindowTest::everyOperationTakesTheConnectionFields()
{
    Form1->Edit2->setText("8o");
    choose(Form17->ComboBox1, 1);
    choose(Form17->ComboBox2, 0);
    Form17->Button1->click();
    QCOMPARE(m_camera.dialogs->errors, QStringList(3, "'8o' is not a valid integer value."));
    QVERIFY(m_camera.queries().isEmpty());
    QCOMPARE(Form17->Label9->text(), QString("OFF"));
    QVERIFY(Form17->Label7->text().isEmpty());

    qzr::sim::SimThread other;
    QVERIFY(other.start() != 0);
    Form1->Edit2->setText(QString::number(other.port()));
    choose(Form17->ComboBox3, 0);
    QCOMPARE(other.value("application.event(8).status"), QString("on"));
    QCOMPARE(other.requests().size(), 1);
    QVERIFY(m_camera.queries().isEmpty());
    QCOMPARE(Form17->Label11->text(), QString("ON"));
}

QTEST_MAIN(SdCardWindowTest)
#include "SdCardWindowTest.moc"
