// The encoder 1 setters, "Special Settings", the setting password window and
// "Get Encoding settings" against the simulated camera.
#include "CameraWindows.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit4.h"
#include "app/Unit12.h"
#include "app/WindowSet.h"
#include "sim/SimThread.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using qzr::sim::FaultMode;

namespace {

const QString kComplete = QStringLiteral("Setting Complete, you might continue now");

// After each setter, the reads of encoder 1 (H.264) that show it, in order.
const QStringList kEncoder1ReadBack{"/api/param?encode(1).type",     "/api/param?encode(1).bitrate",
                                    "/api/param?encode(1).framesize", "/api/param?encode(1).cbr_mode",
                                    "/api/param?encode(1).iframeinterval", "/api/param?encode(1).framerate"};

QStringList itemsOf(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

// What a user's pick from the list does: the item becomes current and the
// combo reports the choice.
void choose(QComboBox *combo, int index)
{
    QVERIFY2(index < combo->count(), qPrintable(combo->objectName()));
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

// A mouse click at the control's centre, delivered to whatever widget is
// really on top there, which has to be the control itself.
void clickWhereSeen(QWidget *control)
{
    QWidget *client = Form1->centralWidget();
    const QPoint centre = control->mapTo(client, control->rect().center());
    QWidget *top = client->childAt(centre);
    QVERIFY2(top == control, qPrintable(QString("%1 lies under %2").arg(control->objectName(),
                                                                        top ? top->objectName() : "nothing")));
    QTest::mouseClick(top, Qt::LeftButton, {}, top->mapFrom(client, centre));
}

int stackIndex(const QWidget *widget)
{
    return widget->parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).indexOf(widget);
}

QPushButton *setterButton(const QString &name)
{
    return Form1->findChild<QPushButton *>(name);
}

const QStringList kFrameRateItems{"1", "2", "3", "5", "10", "15"};
const QStringList kPanelBitrateItems{"64000",   "128000",  "256000",  "384000",  "512000",  "768000",
                                     "1024000", "1536000", "2048000", "3072000", "3584000", "4096000"};
const QStringList kSetterBitrateItems{"64",   "128",  "256",  "384",  "512",  "768",
                                      "1024", "1536", "2048", "3072", "3584", "4096"};
const QStringList kWideBitrates{"4608000", "5120000", "5632000", "6144000",
                                "6656000", "7168000", "7680000", "8000000"};

} // namespace

class EncoderSettersTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void setterSendsTheChosenValueAndStoresIt_data();
    void setterSendsTheChosenValueAndStoresIt();
    void withoutAChoiceTheWorkingValueIsSent_data();
    void withoutAChoiceTheWorkingValueIsSent();
    void encoderReadFillsTheSetterCombosAsTextOnly();
    void bitrateSetterRefusesWithoutAChosenBitrate_data();
    void bitrateSetterRefusesWithoutAChosenBitrate();
    void valueNotTakenIsNamedAndTheHeldOneShown_data();
    void valueNotTakenIsNamedAndTheHeldOneShown();
    void failingSetterShowsTheErrorAndNoCompletion_data();
    void failingSetterShowsTheErrorAndNoCompletion();
    void specialSettingsUnlockOnlyWithTheServiceCode_data();
    void specialSettingsUnlockOnlyWithTheServiceCode();
    void wideningChecksAddAndRemoveTheirItems_data();
    void wideningChecksAddAndRemoveTheirItems();
    void lockingKeepsTheWiderFrameRates();
    void passwordWindow_data();
    void passwordWindow();
    void encodingDumpGoesToTheLastUsedAddress();
    void encodingDumpUsesTheCredentialFields();

private:
    QStringList targets() const
    {
        QStringList list;
        for (const auto &request : m_camera.sim->requests())
            list << request.target;
        return list;
    }
    void unlockSpecialSettings()
    {
        Form1->Edit4->setText("zrv");
        Form1->CheckBox1->click();
        Form1->Edit4->setText("kqm");
    }

    CameraWindows m_camera;
};

void EncoderSettersTest::init()
{
    QVERIFY(m_camera.startCamera());
    m_camera.openWindows();
    m_camera.sim->clearRequests();
}

void EncoderSettersTest::cleanup()
{
    m_camera.close();
}

void EncoderSettersTest::setterSendsTheChosenValueAndStoresIt_data()
{
    QTest::addColumn<bool>("widerBitrates");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("bitrate 2048 kbit/s") << false << "ComboBox13" << 8 << "Button24" << "bitrate" << "2048000";
    QTest::newRow("bitrate 64 kbit/s") << false << "ComboBox13" << 0 << "Button24" << "bitrate" << "64000";
    QTest::newRow("appended bitrate sends its own text") << true << "ComboBox13" << 19 << "Button24" << "bitrate" << "8000000";
    QTest::newRow("15 3DDNR Max.") << false << "ComboBox14" << 5 << "Button25" << "framerate" << "15";
    QTest::newRow("30 fps") << false << "ComboBox14" << 7 << "Button25" << "framerate" << "30";
    QTest::newRow("I-frame 120") << false << "ComboBox7" << 5 << "Button1" << "iframeinterval" << "120";
    QTest::newRow("I-frame 5") << false << "ComboBox7" << 0 << "Button1" << "iframeinterval" << "5";
}

void EncoderSettersTest::setterSendsTheChosenValueAndStoresIt()
{
    QFETCH(bool, widerBitrates);
    QFETCH(QString, combo);
    QFETCH(int, item);
    QFETCH(QString, button);
    QFETCH(QString, key);
    QFETCH(QString, value);

    if (widerBitrates) {
        unlockSpecialSettings();
        Form1->CheckBox3->click();
    }
    choose(Form1->findChild<QComboBox *>(combo), item);
    QVERIFY(targets().isEmpty());   // a choice sends nothing
    Form1->replyLog().setText("left over");
    setterButton(button)->click();

    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(targets(),
             QStringList({QString("/api/param?encode(1).%1=%2&encode(1).status=save").arg(key, value)}) + kEncoder1ReadBack);
    QCOMPARE(m_camera.sim->savedValue("encode(1)." + key).value_or("?"), value);
    QCOMPARE(Form1->replyLog().text(), QString());
    QCOMPARE(Form1->ProgressBar1->maximum(), 3);
    QCOMPARE(m_camera.dialogs->messages, QStringList({kComplete}));
    QCOMPARE(m_camera.dialogs->messagePositions.value(0).value_or(QPoint()), QPoint(500, 400));
}

void EncoderSettersTest::withoutAChoiceTheWorkingValueIsSent_data()
{
    QTest::addColumn<QString>("panelCombo");
    QTest::addColumn<int>("panelItem");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("setterCombo");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("expected");

    // The encoder read wrote the camera's 15 fps and I-frame interval 30 into
    // the setter combos; the working values come from the panel.
    QTest::newRow("frame rate") << "ComboBox3" << 4 << "Button25" << "ComboBox14" << "15"
                                << "/api/param?encode(1).framerate=10&encode(1).status=save";
    QTest::newRow("I-frame interval") << "ComboBox6" << 4 << "Button1" << "ComboBox7" << "30"
                                      << "/api/param?encode(1).iframeinterval=60&encode(1).status=save";
}

void EncoderSettersTest::withoutAChoiceTheWorkingValueIsSent()
{
    QFETCH(QString, panelCombo);
    QFETCH(int, panelItem);
    QFETCH(QString, button);
    QFETCH(QString, setterCombo);
    QFETCH(QString, shown);
    QFETCH(QString, expected);

    Form12->Button2Click();
    choose(Form1->findChild<QComboBox *>(panelCombo), panelItem);
    auto *setter = Form1->findChild<QComboBox *>(setterCombo);
    QCOMPARE(setter->currentText(), shown);
    QCOMPARE(setter->currentIndex(), -1);
    m_camera.sim->clearRequests();

    setterButton(button)->click();
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(targets(), QStringList({expected}) + kEncoder1ReadBack);
    QCOMPARE(m_camera.dialogs->messages, QStringList({kComplete}));
}

void EncoderSettersTest::encoderReadFillsTheSetterCombosAsTextOnly()
{
    m_camera.sim->setValue("encode(1).bitrate", "3072000");
    m_camera.sim->setValue("encode(1).framerate", "25");
    m_camera.sim->setValue("encode(1).iframeinterval", "60");
    Form12->Button2Click();
    QCOMPARE(Form1->ComboBox13->currentText(), QString("3072000"));
    QCOMPARE(Form1->ComboBox14->currentText(), QString("25"));
    QCOMPARE(Form1->ComboBox7->currentText(), QString("60"));
    QVERIFY(Form1->ComboBox13->isEnabled() && Form1->ComboBox7->isEnabled());

    // Reads of the other encoders leave the setters alone.
    Form12->Button4Click();
    QCOMPARE(Form1->ComboBox13->currentText(), QString("3072000"));

    // JPEG on encoder 1 locks the bitrate and I-frame choices; H.264 frees them.
    m_camera.sim->setValue("encode(1).type", "jpeg");
    Form12->Button2Click();
    QVERIFY(!Form1->ComboBox13->isEnabled());
    QVERIFY(!Form1->ComboBox7->isEnabled());
    QVERIFY(Form1->ComboBox14->isEnabled());
    QVERIFY(Form1->Button24->isEnabled() && Form1->Button25->isEnabled() && Form1->Button1->isEnabled());
    m_camera.sim->setValue("encode(1).type", "h264baseline");
    Form12->Button2Click();
    QVERIFY(Form1->ComboBox13->isEnabled() && Form1->ComboBox7->isEnabled());
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
}

void EncoderSettersTest::bitrateSetterRefusesWithoutAChosenBitrate_data()
{
    QTest::addColumn<bool>("readFirst");
    QTest::newRow("nothing shown") << false;
    QTest::newRow("bitrate shown by a read") << true;
}

void EncoderSettersTest::bitrateSetterRefusesWithoutAChosenBitrate()
{
    QFETCH(bool, readFirst);
    if (readFirst) {
        Form12->Button2Click();
        QCOMPARE(Form1->ComboBox13->currentText(), QString("4000000"));
        m_camera.sim->clearRequests();
    }
    Form1->Button24->click();
    QCOMPARE(targets(), QStringList());
    QCOMPARE(m_camera.dialogs->messages.size(), 1);
    QVERIFY2(m_camera.dialogs->messages[0].contains("bitrate"), qPrintable(m_camera.dialogs->messages[0]));
    QVERIFY(m_camera.dialogs->errors.isEmpty());

    // Once chosen, the same button sends.
    choose(Form1->ComboBox13, 2);
    Form1->Button24->click();
    QCOMPARE(targets(), QStringList({"/api/param?encode(1).bitrate=256000&encode(1).status=save"}) + kEncoder1ReadBack);
    QCOMPARE(m_camera.dialogs->messages.value(1), kComplete);
}

void EncoderSettersTest::valueNotTakenIsNamedAndTheHeldOneShown_data()
{
    QTest::addColumn<bool>("refused");   // NG, or answered as taken but not kept
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("held");
    QTest::addColumn<QString>("error");

    QTest::newRow("bitrate refused")
        << true << "ComboBox13" << 8 << "Button24" << "encode(1).bitrate" << "2048000" << "4000000"
        << "The camera did not take encode(1).bitrate: sent 2048000, it holds 4000000. Values offered: 64000, "
           "128000, 256000, 384000, 512000, 768000, 1024000, 1536000, 2048000, 3072000, 3584000, 4096000.";
    QTest::newRow("frame rate not kept")
        << false << "ComboBox14" << 7 << "Button25" << "encode(1).framerate" << "30" << "15"
        << "The camera did not take encode(1).framerate: sent 30, it holds 15. Values offered: "
           "1, 2, 3, 5, 10, 15, 25, 30.";
    QTest::newRow("I-frame interval not kept")
        << false << "ComboBox7" << 5 << "Button1" << "encode(1).iframeinterval" << "120" << "30"
        << "The camera did not take encode(1).iframeinterval: sent 120, it holds 30. Values offered: "
           "5, 10, 15, 30, 60, 120.";
}

void EncoderSettersTest::valueNotTakenIsNamedAndTheHeldOneShown()
{
    QFETCH(bool, refused);
    QFETCH(QString, combo);
    QFETCH(int, item);
    QFETCH(QString, button);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, held);
    QFETCH(QString, error);

    if (refused)
        m_camera.sim->refuseWrite(key, value);
    else
        m_camera.sim->ignoreWrite(key, value);
    auto *setter = Form1->findChild<QComboBox *>(combo);
    choose(setter, item);
    setterButton(button)->click();

    QCOMPARE(targets(), QStringList({QString("/api/param?%1=%2&encode(1).status=save").arg(key, value)})
                            + kEncoder1ReadBack);
    QCOMPARE(m_camera.dialogs->errors, QStringList({error}));
    QCOMPARE(m_camera.dialogs->messages, QStringList());
    QCOMPARE(setter->currentText(), held);   // what the camera holds
    QCOMPARE(m_camera.sim->value(key).value_or("?"), held);
}

void EncoderSettersTest::failingSetterShowsTheErrorAndNoCompletion_data()
{
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("button");
    QTest::newRow("bitrate") << "ComboBox13" << "Button24";
    QTest::newRow("frame rate") << "ComboBox14" << "Button25";
    QTest::newRow("I-frame interval") << "ComboBox7" << "Button1";
}

void EncoderSettersTest::failingSetterShowsTheErrorAndNoCompletion()
{
    QFETCH(QString, combo);
    QFETCH(QString, button);
    choose(Form1->findChild<QComboBox *>(combo), 1);
    m_camera.sim->setFault(FaultMode::NotFound, 1);
    setterButton(button)->click();
    QCOMPARE(m_camera.dialogs->errors, QStringList({m_camera.notFound()}));
    QCOMPARE(m_camera.dialogs->messages, QStringList());
    QCOMPARE(targets().size(), 1);

    // The held value is still there for the next try.
    setterButton(button)->click();
    QCOMPARE(targets().size(), 2 + kEncoder1ReadBack.size());
    QCOMPARE(targets()[1], targets()[0]);
    QCOMPARE(m_camera.dialogs->messages, QStringList({kComplete}));
}

void EncoderSettersTest::specialSettingsUnlockOnlyWithTheServiceCode_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("unlocks");
    QTest::newRow("service code") << "zrv" << true;
    QTest::newRow("factory password") << "kqm" << false;
    QTest::newRow("service code in capitals") << "ZRV" << false;
}

void EncoderSettersTest::specialSettingsUnlockOnlyWithTheServiceCode()
{
    QFETCH(QString, password);
    QFETCH(bool, unlocks);

    QVERIFY(stackIndex(Form1->Panel2) > stackIndex(Form1->Panel1));
    QVERIFY(stackIndex(Form1->Button24) > stackIndex(Form1->Panel2));
    QVERIFY(stackIndex(Form1->ComboBox13) > stackIndex(Form1->Panel2));
    for (QCheckBox *box : {Form1->CheckBox2, Form1->CheckBox3, Form1->CheckBox4, Form1->CheckBox6})
        QVERIFY2(box->isHidden(), qPrintable(box->text()));

    Form1->Edit4->setText(password);
    Form1->CheckBox1->click();
    QVERIFY(Form1->CheckBox1->isChecked());
    QCOMPARE(stackIndex(Form1->Panel2) < stackIndex(Form1->Panel1), unlocks);
    QCOMPARE(stackIndex(Form1->Panel2) < stackIndex(Form1->Button15), unlocks);
    for (QCheckBox *box : {Form1->CheckBox2, Form1->CheckBox3, Form1->CheckBox4, Form1->CheckBox6})
        QCOMPARE(box->isVisibleTo(Form1), unlocks);
    if (unlocks) {
        Form1->CheckBox6->setChecked(true);
        Form1->CheckBox3->click();
    }

    Form1->CheckBox1->click();
    QVERIFY(!Form1->CheckBox1->isChecked());
    QVERIFY(stackIndex(Form1->Panel2) > stackIndex(Form1->Panel1));
    QVERIFY(stackIndex(Form1->Panel2) > stackIndex(Form1->Button15));
    QVERIFY(stackIndex(Form1->Button24) > stackIndex(Form1->Panel2));
    QVERIFY(stackIndex(Form1->ComboBox13) > stackIndex(Form1->Panel2));
    for (QCheckBox *box : {Form1->CheckBox2, Form1->CheckBox3, Form1->CheckBox6})
        QVERIFY2(box->isHidden(), qPrintable(box->text()));
    // "Check connection" keeps what the unlock gave it; hidden boxes keep their state.
    QCOMPARE(Form1->CheckBox4->isVisibleTo(Form1), unlocks);
    QCOMPARE(Form1->CheckBox6->isChecked(), unlocks);
    QCOMPARE(Form1->CheckBox3->isChecked(), unlocks);
    QVERIFY(targets().isEmpty());
}

void EncoderSettersTest::wideningChecksAddAndRemoveTheirItems_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("combos");
    QTest::addColumn<QList<QStringList>>("before");
    QTest::addColumn<QStringList>("added");

    QTest::newRow("30 fps Enable") << "CheckBox2" << QStringList{"ComboBox3"}
                                   << QList<QStringList>{kFrameRateItems} << QStringList{"25", "30"};
    QTest::newRow("8000 Kbit/s Enable") << "CheckBox3" << QStringList{"ComboBox13", "ComboBox5"}
                                        << QList<QStringList>{kSetterBitrateItems, kPanelBitrateItems}
                                        << kWideBitrates;
}

void EncoderSettersTest::wideningChecksAddAndRemoveTheirItems()
{
    QFETCH(QString, box);
    QFETCH(QStringList, combos);
    QFETCH(QList<QStringList>, before);
    QFETCH(QStringList, added);

    unlockSpecialSettings();
    auto *check = Form1->findChild<QCheckBox *>(box);
    for (int round = 0; round < 2; ++round) {
        // Seen and clicked where the unlock shows it, over the silver box.
        clickWhereSeen(check);
        QVERIFY(check->isChecked());
        for (int i = 0; i < combos.size(); ++i)
            QCOMPARE(itemsOf(Form1->findChild<QComboBox *>(combos[i])), before[i] + added);
        // The last appended item chosen, then taken away: the combo still shows it.
        auto *first = Form1->findChild<QComboBox *>(combos[0]);
        choose(first, first->count() - 1);
        clickWhereSeen(check);
        QVERIFY(!check->isChecked());
        for (int i = 0; i < combos.size(); ++i)
            QCOMPARE(itemsOf(Form1->findChild<QComboBox *>(combos[i])), before[i]);
        QCOMPARE(first->currentText(), added.last());
    }
}

void EncoderSettersTest::lockingKeepsTheWiderFrameRates()
{
    unlockSpecialSettings();
    Form1->CheckBox2->click();
    Form1->CheckBox1->click();
    QVERIFY(Form1->CheckBox2->isHidden());
    QVERIFY(Form1->CheckBox2->isChecked());
    QCOMPARE(itemsOf(Form1->ComboBox3), kFrameRateItems + QStringList({"25", "30"}));

    // Choosing the wider rate still works from the panel.
    choose(Form1->ComboBox3, 7);
    QCOMPARE(Form1->EncoderValues.frameRate, QString("30"));
}

void EncoderSettersTest::passwordWindow_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("sends");
    QTest::newRow("wrong") << "kqm2" << QStringList{"wrong password"} << false;
    QTest::newRow("empty") << "" << QStringList{"wrong password"} << false;
    QTest::newRow("right") << "kqm" << QStringList{kComplete} << true;
}

void EncoderSettersTest::passwordWindow()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, messages);
    QFETCH(bool, sends);

    QCOMPARE(Form4->windowTitle(), QString("Setting Password"));
    QVERIFY(Form4->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(Form4->isHidden());
    QCOMPARE(Form4->Label1->text(), QString("Password  :"));
    QCOMPARE(Form4->Edit1->text(), QString("kqm"));
    QCOMPARE(Form4->Edit1->echoMode(), QLineEdit::Password);
    const int mask = Form4->Edit1->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, Form4->Edit1);
    QCOMPARE(mask, int('*'));

    Form12->Button2Click();   // the panel edits encoder 1
    m_camera.sim->clearRequests();
    Form4->show();
    Form4->Edit1->setText(typed);
    Form1->replyLog().setText("left over");
    Form4->Button1->click();

    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(m_camera.dialogs->messages, messages);
    QCOMPARE(Form4->Edit1->text(), QString());
    QVERIFY(Form4->isHidden());
    if (sends) {
        QVERIFY(targets().size() >= 2);
        QCOMPARE(targets()[1], QString("/api/param?encode(1).status=save"));
    } else {
        QCOMPARE(targets(), QStringList());
        QCOMPARE(Form1->replyLog().text(), QString());
    }
}

void EncoderSettersTest::encodingDumpGoesToTheLastUsedAddress()
{
    Form1->ApplyConnection();
    // Nothing listens there: a request sent to the field's address would fail.
    Form1->Edit1->setText("127.0.0.2");
    Form1->replyLog().setText("left over");
    Form1->Button6->click();

    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    QCOMPARE(targets(), QStringList({
        "/api/param?encode(1).framesize", "/api/param?encode(3).framesize", "/api/param?encode(2).framesize",
        "/api/param?encode(1).bitrate", "/api/param?encode(2).bitrate", "/api/param?encode(3).bitrate",
        "/api/param?encode(1).framerate", "/api/param?encode(2).framerate", "/api/param?encode(3).framerate",
        "/api/param?encode(1).type", "/api/param?encode(2).type", "/api/param?encode(1).cbr_mode",
        "/api/param?encode(2).cbr_mode", "/api/param?encode(1).iframeinterval",
        "/api/param?encode(2).iframeinterval"}));
    QCOMPARE(Form1->session().lastCameraIp(), QString("127.0.0.1"));

    // Each raw body in turn, untrimmed, each followed by a line break.
    const QString log = Form1->replyLog().text();
    QVERIFY2(!log.contains("left over"), qPrintable(log));
    QCOMPARE(log.count("<html>"), 15);
    const int first = log.indexOf("encode(1).framesize=1920x1080&");
    const int second = log.indexOf("encode(3).framesize=");
    const int last = log.indexOf("encode(2).iframeinterval=30&");
    QVERIFY2(first >= 0 && first < second && second < last, qPrintable(log));
    QVERIFY2(log.contains("</html>\r\n\r\n<html>"), qPrintable(log));
    QTRY_COMPARE(Form1->Memo1->toPlainText().count("encode("), 15);
}

void EncoderSettersTest::encodingDumpUsesTheCredentialFields()
{
    Form1->ApplyConnection();
    Form1->Edit4->setText("not the password");
    Form1->Button6->click();
    QCOMPARE(m_camera.dialogs->errors.size(), 1);
    QCOMPARE(m_camera.dialogs->errors[0], m_camera.loginRefused());
    QCOMPARE(targets(), QStringList({"/api/param?encode(1).framesize"}));
}

QTEST_MAIN(EncoderSettersTest)
#include "EncoderSettersTest.moc"
