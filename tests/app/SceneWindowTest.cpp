// The camera video settings window against the simulated camera: choosing,
// opening and refreshing a scene file, initialize and select, and what each
// setter sends.
#include "CameraWindows.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit7.h"
#include "app/WindowSet.h"
#include "app/Unit7.h"
#include "tests/support/ExpectedRequests.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QAction>
#include <QScrollBar>
#include <QtTest>

using qzr::sim::FaultMode;

namespace {


QStringList writeAndSave(const QString &n, const QString &assignment)
{
    return {QStringLiteral("camera.scene(%1)%2").arg(n, assignment), QStringLiteral("camera.scene(%1).status=save").arg(n)};
}

void choose(int position)
{
    // What the list does when the user picks an entry.
    Form7->ComboBox8->setCurrentIndex(position);
    emit Form7->ComboBox8->activated(position);
}

QAction *menuAction(const char *name)
{
    return Form1->findChild<QAction *>(QString::fromLatin1(name));
}

} // namespace

class SceneWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAtStart();
    void choosingASceneFileSwitchesThenReadsIt();
    void typedSceneTextSendsNothing();
    void openingFromTheMenuShowsTheCurrentSceneFile();
    void initializeShowsTheFactoryValuesAndSelectMakesItTheDefault();
    void aLevelThatIsNoNumberEndsTheReadBack();
    void aFailedSwitchKeepsThePanelHidden();
    void listSettersSendTheSelectedEntry_data();
    void listSettersSendTheSelectedEntry();
    void valueSettersSendPositionOrText();
    void dayNightFollowsTheModelLabel();
    void setToSceneFileWritesBackWithoutTheAvpLevels();
    void aFailureEndsSetToSceneFile();

private:
    CameraWindows m_camera;
};

void SceneWindowTest::init()
{
    QVERIFY(m_camera.startCamera());
    // Scene file 7 with values that show the read-back's rules.
    m_camera.sim->setValue("camera.scene(7).image.color", "120");
    m_camera.sim->setValue("camera.scene(7).image.3ddnr", "high");
    m_camera.sim->setValue("camera.scene(7).image.pedestal", "50");
    m_camera.sim->setValue("camera.scene(7).image.enhance", "0");
    m_camera.openWindows();
    // As after "IP Setup": the window can only be reached after an
    // operation named the camera.
    Form1->ApplyConnection();
    m_camera.sim->clearRequests();
}

void SceneWindowTest::cleanup()
{
    m_camera.close();
}

void SceneWindowTest::windowAtStart()
{
    QVERIFY(Form7->isHidden());
    QVERIFY(Form7->Panel1->isHidden());
    QVERIFY(Form7->Button15->isHidden());
    QCOMPARE(Form7->ComboBox8->currentText(), QString("Scene File"));
    QCOMPARE(Form7->ComboBox8->count(), 8);
    QCOMPARE(Form7->ComboBox8->itemText(6), QString("Day ( Color )"));
    QCOMPARE(Form7->ComboBox2->currentText(), QString("AGC"));
    QCOMPARE(Form7->ComboBox2->itemText(0), QString("OFF"));
    QCOMPARE(Form7->ComboBox4->itemText(10), QString("Auto100"));
    QCOMPARE(Form7->ComboBox9->count(), 6);
    QCOMPARE(Form7->ComboBox10->itemText(2), QString());
    QCOMPARE(Form7->ScrollBar1->value(), 50);
    QCOMPARE(Form7->ScrollBar1->maximum(), 100);
    QVERIFY(Form7->Label4->text().isEmpty());
    QCOMPARE(Form7->Label6->text(), QString("auto = R410 + R420 "));
    QCOMPARE(Form7->Button7->text(), QString("Set BLC "));
    QCOMPARE(Form7->Button19->text(), QString("AVP B&&W")); // shown as "AVP B&W"
    QCOMPARE(Form7->Button16->text(), QString("Initialize Scene File ( Load Factory default )"));
    QCOMPARE(Form7->ProgressBar1->maximum(), 7);
    QVERIFY(Form7->ComboBox8->font().bold());
    QCOMPARE(Form7->ComboBox5->accessibleName(), QString("Brightness"));
}

void SceneWindowTest::choosingASceneFileSwitchesThenReadsIt()
{
    choose(7); // "Night ( B&W )"
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    QCOMPARE(m_camera.queries(), QStringList{"camera.scene(7).status=goto"} + qzr::testsupport::sceneReadQueries("7"));
    QCOMPARE(m_camera.sim->value("camera.scene.status"), QString("7"));
    QCOMPARE(qzr::shared().EditedSceneNumber, QString("7"));
    QCOMPARE(qzr::shared().StoredSceneNumber, QString("7"));
    QVERIFY(!Form7->Panel1->isHidden());

    // Values whole, in the camera's own spelling; the entry that sends the
    // value back is selected.
    QCOMPARE(Form7->ComboBox1->currentText(), QString("high"));
    QCOMPARE(Form7->ComboBox2->currentText(), QString("autoH"));
    QCOMPARE(Form7->ComboBox2->currentIndex(), 2);
    QCOMPARE(Form7->ComboBox9->currentText(), QString("bw"));
    QCOMPARE(Form7->ComboBox4->currentText(), QString("auto100"));
    QCOMPARE(Form7->ComboBox4->currentIndex(), 10);
    QCOMPARE(Form7->ComboBox13->currentText(), QString("8"));
    // A colour of 120 is clamped; a black level equal to the start position
    // is no change, so its label stays empty.
    QCOMPARE(Form7->ScrollBar1->value(), 100);
    QCOMPARE(Form7->Label4->text(), QString("100"));
    QCOMPARE(Form7->ScrollBar3->value(), 50);
    QVERIFY(Form7->Label1->text().isEmpty());
    QCOMPARE(Form7->Label5->text(), QString("0"));
    // Twelve of the fifteen reads move the bar.
    QCOMPARE(Form7->ProgressBar1->maximum(), 12);
    QCOMPARE(Form7->ProgressBar1->value(), 12);

    // "General" is scene file 0.
    m_camera.sim->clearRequests();
    choose(0);
    QCOMPARE(m_camera.queries().first(), QString("camera.scene(0).status=goto"));
    QCOMPARE(m_camera.queries().mid(1), qzr::testsupport::sceneReadQueries("0"));
    QCOMPARE(Form7->ComboBox1->currentText(), QString("mid"));
}

void SceneWindowTest::typedSceneTextSendsNothing()
{
    Form7->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form7));
    QLineEdit *edit = Form7->ComboBox8->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, "Garage");
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(m_camera.queries().isEmpty());
    QVERIFY(qzr::shared().StoredSceneNumber.isEmpty());
    QVERIFY(Form7->Panel1->isHidden());
    QCOMPARE(Form7->ComboBox8->count(), 8); // typed text is not added to the list

    // Typing an entry's name and confirming it chooses that entry.
    edit->selectAll();
    QTest::keyClicks(edit, "Outdoor");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(m_camera.queries().value(0), QString("camera.scene(2).status=goto"));
    QCOMPARE(m_camera.queries().size(), 16);
}

void SceneWindowTest::openingFromTheMenuShowsTheCurrentSceneFile()
{
    m_camera.sim->setValue("camera.scene.status", "3");
    QAction *open = menuAction("CameraVideoSettings1");
    QVERIFY(open);
    open->trigger();
    QVERIFY(m_camera.dialogs->errors.isEmpty());
    // No switch: the query, then the reads of the current scene file.
    QCOMPARE(m_camera.queries(), QStringList{"camera.scene.status"} + qzr::testsupport::sceneReadQueries("3"));
    QVERIFY(Form7->isVisible());
    QVERIFY(!Form7->Panel1->isHidden());
    QCOMPARE(Form7->ComboBox8->currentIndex(), 3);
    QCOMPARE(Form7->ComboBox11->currentText(), QString("on"));
    QCOMPARE(Form7->ProgressBar1->maximum(), 9);
    QCOMPARE(Form7->ProgressBar1->value(), 9);
    QCOMPARE(qzr::shared().EditedSceneNumber, QString("3"));
    QCOMPARE(m_camera.sim->value("camera.scene.status"), QString("3"));

    // Opening again addresses the camera's scene file of that moment.
    m_camera.sim->setValue("camera.scene.status", "5");
    m_camera.sim->clearRequests();
    open->trigger();
    QCOMPARE(m_camera.queries(), QStringList{"camera.scene.status"} + qzr::testsupport::sceneReadQueries("5"));
    QCOMPARE(qzr::shared().StoredSceneNumber, QString("5"));
    QCOMPARE(Form7->ComboBox8->currentText(), QString("Data Saving"));
}

void SceneWindowTest::initializeShowsTheFactoryValuesAndSelectMakesItTheDefault()
{
    choose(4); // "Traffic"
    m_camera.sim->setValue("camera.scene(4).shutter", "10000");
    m_camera.sim->clearRequests();
    QTest::mouseClick(Form7->Button16, Qt::LeftButton);
    QCOMPARE(m_camera.queries(), QStringList({"camera.scene(4).status=initialize", "camera.scene(4).status=save"})
                                     + qzr::testsupport::sceneReadQueries("4"));
    QCOMPARE(Form7->ComboBox4->currentText(), QString("500"));
    QCOMPARE(m_camera.sim->savedValue("camera.scene(4).shutter"), QString("500"));
    QVERIFY(m_camera.dialogs->messages.isEmpty());

    m_camera.sim->setValue("camera.scene.status", "0");
    m_camera.sim->clearRequests();
    QTest::mouseClick(Form7->Button17, Qt::LeftButton);
    QCOMPARE(m_camera.queries(), QStringList({"camera.scene(4).status=goto", "camera.scene(4).status=save"}));
    QCOMPARE(m_camera.sim->value("camera.scene.status"), QString("4"));
    QCOMPARE(m_camera.dialogs->messages, QStringList{"Current Scene File selected as default"});
}

void SceneWindowTest::aLevelThatIsNoNumberEndsTheReadBack()
{
    m_camera.sim->setValue("camera.scene(1).image.color", "8o");
    choose(1);
    QCOMPARE(m_camera.dialogs->errors, QStringList{"'8o' is not a valid integer value."});
    // The goto and the reads up to the colour, none after it.
    QCOMPARE(m_camera.queries(), QStringList{"camera.scene(1).status=goto"} + qzr::testsupport::sceneReadQueries("1").mid(0, 6));
    QCOMPARE(Form7->ComboBox4->currentText(), QString("auto1000"));
    QCOMPARE(Form7->ComboBox9->currentText(), QString("Day/Night"));
    QCOMPARE(Form7->ProgressBar1->value(), 5);
}

void SceneWindowTest::aFailedSwitchKeepsThePanelHidden()
{
    m_camera.sim->setFault(FaultMode::ServerError, 1);
    choose(2);
    QCOMPARE(m_camera.dialogs->errors.size(), 1);
    QVERIFY(Form7->Panel1->isHidden());
    QCOMPARE(m_camera.queries(), QStringList{"camera.scene(2).status=goto"});
}

void SceneWindowTest::listSettersSendTheSelectedEntry_data()
{
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("assignment");

    QTest::newRow("3D NR high") << "ComboBox1" << "Button1" << 0 << ".image.3ddnr=high";
    QTest::newRow("AGC OFF is manual") << "ComboBox2" << "Button2" << 0 << ".image.brightness=manual";
    QTest::newRow("sense up 16") << "ComboBox3" << "Button3" << 4 << ".image.senseup_limit=16";
    QTest::newRow("shutter Flickerless") << "ComboBox4" << "Button4" << 12 << ".shutter=flickerless";
    QTest::newRow("brightness -3") << "ComboBox5" << "Button5" << 8 << ".auto_exposure.reference=-3";
    QTest::newRow("WB autoN") << "ComboBox6" << "Button6" << 1 << ".image.white_balance=autoN";
    QTest::newRow("BLC d") << "ComboBox7" << "Button7" << 4 << ".image.blc=d";
    QTest::newRow("CLVI off") << "ComboBox11" << "Button13" << 1 << ".image.clvi=off";
}

void SceneWindowTest::listSettersSendTheSelectedEntry()
{
    QFETCH(QString, combo);
    QFETCH(QString, button);
    QFETCH(int, entry);
    QFETCH(QString, assignment);
    choose(2);
    m_camera.sim->clearRequests();
    auto *list = Form7->findChild<QComboBox *>(combo);
    auto *setter = Form7->findChild<QPushButton *>(button);
    QVERIFY(list && setter);

    list->setCurrentIndex(entry);
    // Typed text does not count: the selected entry is what is sent.
    list->setEditText(QStringLiteral("typed"));
    QTest::mouseClick(setter, Qt::LeftButton);
    QCOMPARE(m_camera.queries(), writeAndSave("2", assignment));
    QCOMPARE(Form7->ProgressBar1->maximum(), 1);
    QCOMPARE(Form7->ProgressBar1->value(), 1);
    QVERIFY(m_camera.dialogs->errors.isEmpty());

    // No entry selected: nothing is sent, the bar still moves.
    list->setCurrentIndex(-1);
    m_camera.sim->clearRequests();
    QTest::mouseClick(setter, Qt::LeftButton);
    QVERIFY(m_camera.queries().isEmpty());
    QCOMPARE(Form7->ProgressBar1->value(), 1);
}

void SceneWindowTest::valueSettersSendPositionOrText()
{
    choose(6);
    m_camera.sim->clearRequests();
    // The scroll bar's position, not its label.
    Form7->ScrollBar1->setValue(73);
    QCOMPARE(Form7->Label4->text(), QString("73"));
    QVERIFY(m_camera.queries().isEmpty());
    QTest::mouseClick(Form7->Button10, Qt::LeftButton);
    QCOMPARE(m_camera.queries(), writeAndSave("6", ".image.color=73"));
    QCOMPARE(Form7->ProgressBar1->value(), 1);
    QCOMPARE(m_camera.sim->savedValue("camera.scene(6).image.color"), QString("73"));

    m_camera.sim->clearRequests();
    QTest::mouseClick(Form7->Button12, Qt::LeftButton);
    QTest::mouseClick(Form7->Button11, Qt::LeftButton);
    QCOMPARE(m_camera.queries(), writeAndSave("6", ".image.pedestal=50") + writeAndSave("6", ".image.enhance=50"));

    // Gamma and AVP send the text shown, the empty third gamma entry too,
    // and leave the bar at 0.
    m_camera.sim->clearRequests();
    Form7->ComboBox10->setCurrentIndex(2);
    QTest::mouseClick(Form7->Button14, Qt::LeftButton);
    QCOMPARE(Form7->ProgressBar1->value(), 0);
    Form7->ComboBox12->setEditText(QStringLiteral("7"));
    QTest::mouseClick(Form7->Button18, Qt::LeftButton);
    Form7->ComboBox13->setEditText(QStringLiteral("6 5"));
    QTest::mouseClick(Form7->Button19, Qt::LeftButton);
    QCOMPARE(m_camera.queries(), writeAndSave("6", ".image.gamma=") + writeAndSave("6", ".auto_exposure.av_pk.color=7")
                                     + writeAndSave("6", ".auto_exposure.av_pk.black_white=6 5"));
    // The typed space goes on the wire encoded.
    QVERIFY(m_camera.sim->requests()[4].raw.startsWith(
        "GET /api/param?camera.scene(6).auto_exposure.av_pk.black_white=6%205 HTTP/1.1\r\n"));
    QCOMPARE(m_camera.sim->value("camera.scene(6).auto_exposure.av_pk.color"), QString("7"));
}

void SceneWindowTest::dayNightFollowsTheModelLabel()
{
    choose(3);
    auto pressWith = [this](const char *entry) {
        Form7->ComboBox9->setCurrentIndex(Form7->ComboBox9->findText(QLatin1String(entry)));
        m_camera.sim->clearRequests();
        QTest::mouseClick(Form7->Button9, Qt::LeftButton);
        return m_camera.queries();
    };
    // No model query yet: the label reads "Model Name", no high-gain write.
    QCOMPARE(Form1->Label18->text(), QString("Model Name"));
    QCOMPARE(pressWith("color"), writeAndSave("3", ".image.true_daynight=color"));
    QVERIFY(pressWith("auto").isEmpty());
    QCOMPARE(Form7->ProgressBar1->value(), 1);
    QCOMPARE(pressWith("autoM"), writeAndSave("3", ".image.true_daynight=autoM"));

    // The simulated camera is a QZ-R410.
    QTest::mouseClick(Form1->Button40, Qt::LeftButton);
    QCOMPARE(Form1->Label18->text(), QString("Model: QZ-R410"));
    QCOMPARE(pressWith("color"),
             writeAndSave("3", ".image.brightness.highgain=color") + writeAndSave("3", ".image.true_daynight=color"));
    QCOMPARE(pressWith("auto"), writeAndSave("3", ".image.brightness.highgain=auto"));
    QCOMPARE(pressWith("autoH"), writeAndSave("3", ".image.true_daynight=autoH"));
    QCOMPARE(m_camera.sim->savedValue("camera.scene(3).image.brightness.highgain"), QString("auto"));

    // Another model's label: no high-gain write.
    Form1->Label18->setText(QStringLiteral("Model: QZ-R430"));
    QCOMPARE(pressWith("bw"), writeAndSave("3", ".image.true_daynight=bw"));
}

void SceneWindowTest::setToSceneFileWritesBackWithoutTheAvpLevels()
{
    m_camera.sim->setValue("camera.scene(5).auto_exposure.av_pk.color", "6");
    choose(5);
    m_camera.sim->clearRequests();
    // Values the user changed in the window go into the scene file; the AVP
    // level shown is not written.
    Form7->ComboBox6->setCurrentIndex(1);
    Form7->ScrollBar2->setValue(42);
    Form7->ComboBox12->setEditText(QStringLiteral("10"));
    QTest::mouseClick(Form7->Button8, Qt::LeftButton);
    QVERIFY(m_camera.dialogs->errors.isEmpty());

    const QStringList expected = writeAndSave("5", ".image.3ddnr=high") + writeAndSave("5", ".image.brightness=autoM")
                                 + writeAndSave("5", ".image.senseup_limit=0") + writeAndSave("5", ".shutter=auto100")
                                 + writeAndSave("5", ".auto_exposure.reference=0")
                                 + writeAndSave("5", ".image.white_balance=autoN") + writeAndSave("5", ".image.blc=off")
                                 + writeAndSave("5", ".image.true_daynight=autoM")
                                 + writeAndSave("5", ".image.pedestal=50") + writeAndSave("5", ".image.clvi=off")
                                 + writeAndSave("5", ".image.color=50") + writeAndSave("5", ".image.enhance=42")
                                 + writeAndSave("5", ".image.gamma=0.45");
    QCOMPARE(m_camera.queries(), expected);
    QCOMPARE(m_camera.sim->savedValue("camera.scene(5).image.white_balance"), QString("autoN"));
    QCOMPARE(m_camera.sim->savedValue("camera.scene(5).image.enhance"), QString("42"));
    QCOMPARE(m_camera.sim->value("camera.scene(5).auto_exposure.av_pk.color"), QString("6"));
    QCOMPARE(Form7->ProgressBar1->value(), Form7->ProgressBar1->maximum());
}

void SceneWindowTest::aFailureEndsSetToSceneFile()
{
    choose(0);
    m_camera.sim->clearRequests();
    // The fifth request is "Set Sense Up"'s write.
    m_camera.sim->setFault(FaultMode::CloseMidReply, 5);
    QTest::mouseClick(Form7->Button8, Qt::LeftButton);
    QCOMPARE(m_camera.dialogs->errors.size(), 1);
    QCOMPARE(m_camera.queries().size(), 5);
    QCOMPARE(m_camera.queries().last(), QString("camera.scene(0).image.senseup_limit=0"));
    QCOMPARE(Form7->ProgressBar1->value(), 0);
}

QTEST_MAIN(SceneWindowTest)
#include "SceneWindowTest.moc"
