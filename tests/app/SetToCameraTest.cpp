// "Set to Camera" of the main window's encoder panel against the simulated camera.
#include "CameraWindows.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit12.h"
#include "app/WindowSet.h"
#include "sim/SimThread.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QtTest>

namespace {

// Typing into an editable combo and pressing Return, as a user does.
void typeAndReturn(QComboBox *combo, const QString &text)
{
    QLineEdit *edit = combo->lineEdit();
    QVERIFY(edit);
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// Choosing an item in the combo's own drop-down list: opened, the item
// made current with the keyboard, Return.
void pick(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text, Qt::MatchExactly);
    QVERIFY2(index >= 0, qPrintable(combo->objectName() + " has no item " + text));
    combo->showPopup();
    QAbstractItemView *list = combo->view();
    QTRY_VERIFY(list->isVisible());
    list->setCurrentIndex(list->model()->index(index, 0));
    QTest::keyClick(list, Qt::Key_Return);
    QTRY_VERIFY(!list->isVisible());
    QCOMPARE(combo->currentText(), text);
}

QStringList itemsOf(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

} // namespace


class SetToCameraTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void h264WritesStoresAndReadsBack();
    void refusedValueIsNamedWithWhatTheCameraHolds();
    void valuesNotKeptAreNamedInOneMessage();
    void refusalsSendNothing_data();
    void refusalsSendNothing();
    void typedTextNeverBecomesAnItem_data();
    void typedTextNeverBecomesAnItem();
    void chosenCodecIsSentAsListed_data();
    void chosenCodecIsSentAsListed();
    void jpegSizeIsTheOneShownForTheChosenEncoder();
    void iframeLabelComesBackWithItsBox_data();
    void iframeLabelComesBackWithItsBox();

private:
    QStringList targets() const
    {
        QStringList list;
        for (const auto &request : m_camera.sim->requests())
            list << request.target;
        return list;
    }

    CameraWindows m_camera;
};

void SetToCameraTest::init()
{
    QVERIFY(m_camera.startCamera());
    m_camera.openWindows();
}

void SetToCameraTest::cleanup()
{
    m_camera.close();
}

void SetToCameraTest::h264WritesStoresAndReadsBack()
{
    Form12->Button2Click();   // load encoder 1 into the panel, as choosing it does
    m_camera.sim->clearRequests();
    Form1->ComboBox11->setEditText("h264baseline");
    Form1->ComboBox3->setEditText("10");
    Form1->ComboBox5->setEditText("2048000");
    Form1->Button3->click();

    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    const QStringList sent = targets();
    QVERIFY2(sent.size() >= 3, qPrintable(sent.join('\n')));
    QCOMPARE(sent[0], QString("/api/param?encode(1).type=h264baseline&encode(1).framesize=1920x1080"
                              "&encode(1).framerate=10&encode(1).cbr_mode=%1&encode(1).bitrate=2048000"
                              "&encode(1).iframeinterval=%2")
                          .arg(m_camera.sim->value("encode(1).cbr_mode").value_or("?"),
                               m_camera.sim->value("encode(1).iframeinterval").value_or("?")));
    // The write, the store, then the read-back of encoder 1 as the panel shows it.
    QCOMPARE(sent, QStringList({"/api/param?encode(1).type=h264baseline&encode(1).framesize=1920x1080"
                                "&encode(1).framerate=10&encode(1).cbr_mode=cbr&encode(1).bitrate=2048000"
                                "&encode(1).iframeinterval=30",
                                "/api/param?encode(1).status=save", "/api/param?encode(1).type",
                                "/api/param?encode(1).bitrate", "/api/param?encode(1).framesize",
                                "/api/param?encode(1).cbr_mode", "/api/param?encode(1).iframeinterval",
                                "/api/param?encode(1).framerate"}));
    QCOMPARE(m_camera.sim->savedValue("encode(1).framerate").value_or("?"), QString("10"));
    QCOMPARE(Form1->ComboBox3->currentText(), QString("10"));
    QCOMPARE(m_camera.dialogs->messages, QStringList({"Setting Complete, you might continue now"}));
    QCOMPARE(m_camera.dialogs->messagePositions.value(0).value_or(QPoint()), QPoint(500, 400));
}

void SetToCameraTest::refusedValueIsNamedWithWhatTheCameraHolds()
{
    pick(Form1->ComboBox1, "1");   // encoder 1: h264high, 1920x1080, 15 fps, cbr, 4000000, 30
    typeAndReturn(Form1->ComboBox5, "999");
    m_camera.sim->clearRequests();
    QTest::mouseClick(Form1->Button3, Qt::LeftButton);

    QCOMPARE(targets().value(0), QString("/api/param?encode(1).type=h264high&encode(1).framesize=1920x1080"
                                         "&encode(1).framerate=15&encode(1).cbr_mode=cbr&encode(1).bitrate=999"
                                         "&encode(1).iframeinterval=30"));
    QCOMPARE(m_camera.dialogs->errors,
             QStringList({"The camera did not take encode(1).bitrate: sent 999, it holds 4000000. Values offered: "
                          "64000, 128000, 256000, 384000, 512000, 768000, 1024000, 1536000, 2048000, 3072000, "
                          "3584000, 4096000."}));
    QCOMPARE(m_camera.dialogs->messages, QStringList());
    // The panel and the info page show what the camera holds.
    QCOMPARE(Form1->ComboBox5->currentText(), QString("4000000"));
    QCOMPARE(Form12->Edit2->text(), QString("4000000"));
}

void SetToCameraTest::valuesNotKeptAreNamedInOneMessage()
{
    pick(Form1->ComboBox1, "1");
    m_camera.sim->ignoreWrite("encode(1).framerate", "10");   // answered as taken, not kept
    m_camera.sim->refuseWrite("encode(1).cbr_mode", "vbr");   // answered NG
    pick(Form1->ComboBox3, "10");
    pick(Form1->ComboBox4, "vbr");
    pick(Form1->ComboBox2, "1280x720");
    m_camera.sim->clearRequests();
    QTest::mouseClick(Form1->Button3, Qt::LeftButton);

    QCOMPARE(m_camera.dialogs->errors,
             QStringList({"The camera did not take encode(1).framerate: sent 10, it holds 15. Values offered: "
                          "1, 2, 3, 5, 10, 15.\n"
                          "The camera did not take encode(1).cbr_mode: sent vbr, it holds cbr. Values offered: "
                          "cbr, vbr, afs."}));
    QCOMPARE(m_camera.dialogs->messages, QStringList());
    QCOMPARE(Form1->ComboBox3->currentText(), QString("15"));
    QCOMPARE(Form1->ComboBox4->currentText(), QString("cbr"));
    QCOMPARE(Form1->ComboBox2->currentText(), QString("1280x720"));   // taken and kept
    QCOMPARE(m_camera.sim->savedValue("encode(1).framesize").value_or("?"), QString("1280x720"));
}

void SetToCameraTest::refusalsSendNothing_data()
{
    QTest::addColumn<QString>("codec");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("unknown codec") << "h265" << "h265";
    QTest::newRow("JPEG size never chosen") << "jpeg" << "JPEG";
}

void SetToCameraTest::refusalsSendNothing()
{
    QFETCH(QString, codec);
    QFETCH(QString, mentions);
    Form1->ComboBox1->setCurrentIndex(0);
    Form1->ComboBox11->setEditText(codec);
    Form1->Button3->click();
    QCOMPARE(m_camera.sim->requests().size(), 0);
    QCOMPARE(m_camera.dialogs->messages.size(), 1);
    QVERIFY2(m_camera.dialogs->messages[0].contains(mentions), qPrintable(m_camera.dialogs->messages[0]));
    QVERIFY(!m_camera.dialogs->messages[0].contains("Setting Complete"));
}

void SetToCameraTest::typedTextNeverBecomesAnItem_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"ComboBox1", "ComboBox11", "ComboBox2", "ComboBox3", "ComboBox4", "ComboBox5",
                             "ComboBox12", "ComboBox6", "ComboBox13", "ComboBox14", "ComboBox7", "ComboBox8",
                             "ComboBox10"})
        QTest::newRow(name) << QString(name);
}

void SetToCameraTest::typedTextNeverBecomesAnItem()
{
    QFETCH(QString, name);
    auto *combo = Form1->findChild<QComboBox *>(name);
    QVERIFY(combo);
    combo->show();
    const QStringList before = itemsOf(combo);
    typeAndReturn(combo, "2000");
    QCOMPARE(itemsOf(combo), before);
    QCOMPARE(combo->currentText(), QString("2000"));
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));

    if (name != "ComboBox13")
        return;
    // The bitrate setter after typed text: the widened list still maps each
    // item to its own value, and narrowing removes exactly the eight added.
    Form1->Edit4->setText("zrv");
    Form1->CheckBox1->click();
    Form1->Edit4->setText("kqm");
    Form1->CheckBox3->click();
    typeAndReturn(combo, "2000");
    pick(combo, "8000000");
    m_camera.sim->clearRequests();
    Form1->Button24->click();
    QCOMPARE(targets().value(0), QString("/api/param?encode(1).bitrate=8000000&encode(1).status=save"));
    Form1->CheckBox3->click();
    QCOMPARE(itemsOf(combo), QStringList({"64", "128", "256", "384", "512", "768", "1024", "1536", "2048", "3072",
                                          "3584", "4096"}));
    QCOMPARE(Form1->ComboBox5->count(), 12);
}

void SetToCameraTest::chosenCodecIsSentAsListed_data()
{
    QTest::addColumn<QString>("codec");
    QTest::addColumn<QString>("request");
    QTest::newRow("jpeg") << "jpeg"
                          << "/api/param?encode(1).type=jpeg&encode(1).framesize=1920x1080&encode(1).framerate=15"
                             "&encode(1).cbr_mode=afs&encode(1).quality=120k";
    QTest::newRow("mpeg4") << "mpeg4"
                           << "/api/param?encode(1).type=mpeg4&encode(1).framesize=vga&encode(1).framerate=15"
                              "&encode(1).cbr_mode=cbr&encode(1).bitrate=4000000&encode(1).iframeinterval=30";
    QTest::newRow("off") << "off"
                         << "/api/param?encode(1).type=off&encode(1).framesize=1920x1080&encode(1).framerate=15"
                            "&encode(1).cbr_mode=cbr&encode(1).bitrate=4000000&encode(1).iframeinterval=30";
}

void SetToCameraTest::chosenCodecIsSentAsListed()
{
    QFETCH(QString, codec);
    QFETCH(QString, request);
    pick(Form1->ComboBox1, "1");   // encoder 1: h264high, 1920x1080, 15 fps, cbr, 4000000, 30
    // Text typed into the codec box and the bitrate box first changes no item.
    typeAndReturn(Form1->ComboBox11, "h265");
    typeAndReturn(Form1->ComboBox5, "2000");
    typeAndReturn(Form1->ComboBox5, "4000000");
    pick(Form1->ComboBox11, codec);
    if (codec == "jpeg")
        pick(Form1->ComboBox12, "120K");
    m_camera.sim->clearRequests();
    QTest::mouseClick(Form1->Button3, Qt::LeftButton);
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    const QStringList sent = targets();
    QVERIFY2(sent.size() >= 3, qPrintable(sent.join('\n')));
    QCOMPARE(sent[0], request);
    QCOMPARE(sent[1], QString("/api/param?encode(1).status=save"));
    QCOMPARE(m_camera.dialogs->messages, QStringList({"Setting Complete, you might continue now"}));
}

void SetToCameraTest::jpegSizeIsTheOneShownForTheChosenEncoder()
{
    m_camera.sim->setValue("encode(2).quality", "240k");
    pick(Form1->ComboBox1, "1");
    pick(Form1->ComboBox11, "jpeg");
    pick(Form1->ComboBox12, "120K");
    pick(Form1->ComboBox1, "2");   // a JPEG encoder: the panel shows its size
    QCOMPARE(Form1->ComboBox12->currentText(), QString("240k"));
    m_camera.sim->clearRequests();
    Form1->Button3->click();
    QCOMPARE(targets().value(0), QString("/api/param?encode(2).type=jpeg&encode(2).framesize=1920x1080"
                                         "&encode(2).framerate=15&encode(2).cbr_mode=afs&encode(2).quality=240k"));
    QCOMPARE(m_camera.sim->value("encode(2).quality").value_or("?"), QString("240k"));
}

void SetToCameraTest::iframeLabelComesBackWithItsBox_data()
{
    QTest::addColumn<QString>("codec");
    QTest::newRow("h264high") << "h264high";
    QTest::newRow("mpeg4") << "mpeg4";
}

void SetToCameraTest::iframeLabelComesBackWithItsBox()
{
    QFETCH(QString, codec);
    pick(Form1->ComboBox1, "2");   // JPEG: no I-frame interval
    QVERIFY(!Form1->ComboBox6->isVisibleTo(Form1));
    QVERIFY(!Form1->Label11->isVisibleTo(Form1));
    pick(Form1->ComboBox11, codec);
    QVERIFY(Form1->ComboBox6->isVisibleTo(Form1));
    QVERIFY(Form1->Label11->isVisibleTo(Form1));
    QCOMPARE(Form1->Label11->text(), QString("I-Frame Interval"));
}

QTEST_MAIN(SetToCameraTest)
#include "SetToCameraTest.moc"
