// The encoder info page and the main window's encoder panel against the
// simulated camera.
#include "CameraWindows.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit5.h"
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

QColor codecBackground()
{
    return Form1->ComboBox11->palette().color(QPalette::Base);
}

QStringList settingsLines()
{
    return Form5->settingsText().lines();
}

const QStringList kEncoder1Lines{"encoder1", "h264high", "4000000", "1920x1080", "cbr", "30", "15"};
const QStringList kEncoder2Lines{"encoder2", "jpeg", "160k", "1920x1080", "afs", "30", "15"};
const QStringList kEncoder3Lines{"encoder3", "h264baseline", "1024000", "1280x720", "vbr", "60", "25"};

} // namespace

class EncoderInfoTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pageAndPanelAtStart();
    void refreshAllFillsThePageAndThePanel();
    void anOffEncoderChosenInThePanelIsPaintedRedAndEmptied();
    void aFailureInTheMiddleKeepsWhatWasWritten();
    void codecChoicesAdaptThePanelWithoutSending();

private:
    CameraWindows m_camera;
};

void EncoderInfoTest::init()
{
    QVERIFY(m_camera.startCamera());
    // Encoder 3 gets values of its own so that the last read is recognisable.
    m_camera.sim->setValue("encode(3).type", "h264baseline");
    m_camera.sim->setValue("encode(3).bitrate", "1024000");
    m_camera.sim->setValue("encode(3).framesize", "1280x720");
    m_camera.sim->setValue("encode(3).cbr_mode", "vbr");
    m_camera.sim->setValue("encode(3).iframeinterval", "60");
    m_camera.sim->setValue("encode(3).framerate", "25");
    m_camera.openWindows();
    m_camera.sim->clearRequests();
}

void EncoderInfoTest::cleanup()
{
    m_camera.close();
}

void EncoderInfoTest::pageAndPanelAtStart()
{
    QVERIFY(Form12->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(Form12->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(Form12->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(Form12->Edit7->isHidden());
    QVERIFY(Form12->Edit9->isHidden());
    QVERIFY(!Form12->Edit17->isHidden());
    QVERIFY(Form12->Edit1->isReadOnly() && Form12->Edit2->isReadOnly() && Form12->Edit5->isReadOnly());
    QVERIFY(!Form12->Edit6->isReadOnly());
    QVERIFY(!Form12->Edit7->isReadOnly());
    QVERIFY(Form12->Edit1->font().bold());
    QVERIFY(!Form12->Edit8->isReadOnly() && !Form12->Edit8->font().bold());
    QCOMPARE(Form12->Label6->text(), QString("I-Frame Interval"));
    QCOMPARE(Form12->ProgressBar1->maximum(), 6);
    QCOMPARE(Form12->Button1->text(), QString("REFRESH ALL"));
    QCOMPARE(Form12->Button3->text(), QString("Encoder2"));

    QCOMPARE(Form1->ComboBox1->currentText(), QString("Encoder Nr."));
    QCOMPARE(Form1->ComboBox11->currentText(), QString("CODEC"));
    QCOMPARE(Form1->ComboBox6->currentText(), QString("I-Frame Intervall"));
    QCOMPARE(Form1->ComboBox11->count(), 5);
    QCOMPARE(codecBackground(), QColor(128, 128, 128));
    QCOMPARE(Form1->ComboBox11->palette().color(QPalette::Text), QColor(Qt::white));
    QVERIFY(Form1->ComboBox12->isHidden());
    QVERIFY(Form1->Panel2->isVisibleTo(Form1));
}

void EncoderInfoTest::refreshAllFillsThePageAndThePanel()
{
    // A second refresh starts the settings text over with encoder 1.
    for (int round = 0; round < 2; ++round) {
        Form12->Button1->click();
        QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));
    }

    const QStringList page1{Form12->Edit1->text(), Form12->Edit2->text(), Form12->Edit3->text(),
                            Form12->Edit4->text(), Form12->Edit6->text(), Form12->Edit5->text()};
    QCOMPARE(page1, kEncoder1Lines.mid(1));
    const QStringList page2{Form12->Edit8->text(), Form12->Edit9->text(), Form12->Edit10->text(),
                            Form12->Edit11->text(), Form12->Edit12->text(), Form12->Edit14->text()};
    // The JPEG encoder's I-frame interval is still read and shown, in a hidden box.
    QCOMPARE(page2, kEncoder2Lines.mid(1));
    QVERIFY(!Form12->Edit9->isHidden());
    QVERIFY(Form12->Edit13->isHidden());
    QVERIFY(Form12->Edit12->isHidden());
    QCOMPARE(Form12->Edit13->text(), QString());
    const QStringList page3{Form12->Edit15->text(), Form12->Edit16->text(), Form12->Edit18->text(),
                            Form12->Edit19->text(), Form12->Edit20->text(), Form12->Edit21->text()};
    QCOMPARE(page3, kEncoder3Lines.mid(1));
    QVERIFY(!Form12->Label6->isHidden());

    // The panel shows encoder 3 as text, with item 3 of the encoder number chosen.
    QCOMPARE(Form1->ComboBox1->currentIndex(), 2);
    QCOMPARE(Form1->ComboBox11->currentText(), QString("h264baseline"));
    QCOMPARE(Form1->ComboBox5->currentText(), QString("1024000"));
    QCOMPARE(Form1->ComboBox2->currentText(), QString("1280x720"));
    QCOMPARE(Form1->ComboBox4->currentText(), QString("vbr"));
    QCOMPARE(Form1->ComboBox6->currentText(), QString("60"));
    QCOMPARE(Form1->ComboBox3->currentText(), QString("25"));
    QCOMPARE(Form1->ComboBox12->currentText(), QString("160k"));
    for (QComboBox *combo : {Form1->ComboBox11, Form1->ComboBox2, Form1->ComboBox3, Form1->ComboBox4,
                             Form1->ComboBox5, Form1->ComboBox6})
        QCOMPARE(combo->currentIndex(), -1);
    QVERIFY(!Form1->ComboBox5->isHidden());
    QVERIFY(Form1->ComboBox12->isHidden());
    QVERIFY(!Form1->ComboBox6->isHidden());
    QVERIFY(!Form1->Label11->isHidden());
    QCOMPARE(codecBackground(), QColor(0, 128, 0));

    QCOMPARE(settingsLines(), kEncoder1Lines + kEncoder2Lines + kEncoder3Lines);
    QVERIFY(!Form5->settingsText().endsWithLineBreak());
    QTRY_COMPARE(Form5->Memo1->toPlainText(), (kEncoder1Lines + kEncoder2Lines + kEncoder3Lines).join('\n'));
    QCOMPARE(Form12->ProgressBar1->value(), 6);
    QCOMPARE(Form1->ProgressBar1->maximum(), 7);
    QCOMPARE(Form1->ProgressBar1->value(), 7);

    // One key at a time: six requests per encoder, JPEG size instead of bitrate for JPEG.
    const auto requests = m_camera.sim->requests();
    QCOMPARE(requests.size(), 36);
    QCOMPARE(requests[6].target, QString("/api/param?encode(2).type"));
    QCOMPARE(requests[7].target, QString("/api/param?encode(2).quality"));
    QCOMPARE(requests[17].target, QString("/api/param?encode(3).framerate"));
}

void EncoderInfoTest::anOffEncoderChosenInThePanelIsPaintedRedAndEmptied()
{
    m_camera.sim->setValue("encode(2).type", "off");
    {
        const QSignalBlocker quiet(Form1->ComboBox1);
        Form1->ComboBox1->setCurrentIndex(0);
    }
    // The user steps from "1" to "2".
    QTest::keyClick(Form1->ComboBox1, Qt::Key_Down);
    QVERIFY2(m_camera.dialogs->errors.isEmpty(), qPrintable(m_camera.dialogs->errors.join('|')));

    QCOMPARE(Form1->ComboBox1->currentIndex(), 1);
    QCOMPARE(Form1->EncoderValues.encoderNumber, QString("2"));
    QCOMPARE(Form1->ComboBox11->currentText(), QString("off"));
    QCOMPARE(codecBackground(), QColor(255, 0, 0));
    QCOMPARE(Form12->Edit8->text(), QString("off"));
    for (QLineEdit *box : {Form12->Edit9, Form12->Edit13, Form12->Edit10, Form12->Edit11, Form12->Edit12,
                           Form12->Edit14})
        QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName() + ": " + box->text()));
    // The camera's values still reach the panel and the settings text.
    QCOMPARE(Form1->ComboBox5->currentText(), QString("2048000"));
    QCOMPARE(settingsLines(), QStringList({"encoder2", "off", "2048000", "1920x1080", "afs", "30", "15"}));
    // An "off" encoder leaves the visibility as it was.
    QVERIFY(!Form12->Edit13->isHidden());
    QVERIFY(Form12->Edit9->isHidden());
    QVERIFY(Form1->ComboBox12->isHidden());
    // Exactly one read; its own selections did not start another.
    QCOMPARE(m_camera.sim->requests().size(), 6);
    QCOMPARE(m_camera.sim->requests().value(0).target, QString("/api/param?encode(2).type"));
}

void EncoderInfoTest::aFailureInTheMiddleKeepsWhatWasWritten()
{
    // Request 9 is encoder 2's frame size.
    m_camera.sim->setFault(FaultMode::NotFound, 9);
    Form12->Button1->click();
    QCOMPARE(m_camera.dialogs->errors, QStringList({m_camera.notFound()}));

    QCOMPARE(Form12->Edit1->text(), QString("h264high"));
    QCOMPARE(Form12->Edit5->text(), QString("15"));
    QCOMPARE(Form12->Edit8->text(), QString("jpeg"));
    QCOMPARE(Form12->Edit9->text(), QString("160k"));
    QCOMPARE(Form12->Edit10->text(), QString());
    QCOMPARE(Form12->Edit15->text(), QString());
    QCOMPARE(Form1->ComboBox11->currentText(), QString("jpeg"));
    QCOMPARE(Form1->ComboBox12->currentText(), QString("160k"));
    QCOMPARE(Form1->ComboBox1->currentIndex(), 1);
    QCOMPARE(settingsLines(), kEncoder1Lines + QStringList({"encoder2", "jpeg", "160k"}));
    // Nothing is asked after the failure.
    const auto requests = m_camera.sim->requests();
    QCOMPARE(requests.size(), 9);
    QCOMPARE(requests.last().target, QString("/api/param?encode(2).framesize"));
}

namespace {

// Puts a combo on an item without it counting as a choice.
void placeQuietly(QComboBox *combo, int index)
{
    const QSignalBlocker quiet(combo);
    combo->setCurrentIndex(index);
}

} // namespace

void EncoderInfoTest::codecChoicesAdaptThePanelWithoutSending()
{
    QVERIFY(Form1->Button3->isHidden());
    // The user steps from "off" to "mpeg4".
    placeQuietly(Form1->ComboBox11, 3);
    QTest::keyClick(Form1->ComboBox11, Qt::Key_Down);
    QCOMPARE(Form1->ComboBox11->currentText(), QString("mpeg4"));
    QVERIFY(!Form1->Button3->isHidden());
    QVERIFY(!Form1->Button7->isHidden());
    QCOMPARE(Form1->EncoderValues.codec, QString("mpeg4"));
    QCOMPARE(Form1->EncoderValues.frameSize, QString("vga"));
    QCOMPARE(Form1->EncoderValues.iframeInterval, QString("30"));
    QCOMPARE(Form1->ComboBox2->currentText(), QString("vga"));
    QVERIFY(!Form1->ComboBox2->isEnabled());
    QCOMPARE(Form1->ComboBox6->currentText(), QString("30"));
    QVERIFY(!Form1->ComboBox6->isEnabled());
    QCOMPARE(Form1->ComboBox4->currentText(), QString("cbr"));
    QVERIFY(Form1->ComboBox12->isHidden());
    // The forced selections are not choices of their own.
    QCOMPARE(Form1->EncoderValues.mode, QString());

    // Back to "off": both are enabled again and keep their values.
    QTest::keyClick(Form1->ComboBox11, Qt::Key_Up);
    QCOMPARE(Form1->EncoderValues.codec, QString("off"));
    QVERIFY(Form1->ComboBox2->isEnabled());
    QVERIFY(Form1->ComboBox6->isEnabled());
    QCOMPARE(Form1->ComboBox2->currentText(), QString("vga"));

    // "jpeg": the JPEG size replaces bitrate and I-frames, full HD with "afs".
    placeQuietly(Form1->ComboBox11, 1);
    QTest::keyClick(Form1->ComboBox11, Qt::Key_Down);
    QCOMPARE(Form1->EncoderValues.codec, QString("jpeg"));
    QVERIFY(!Form1->ComboBox12->isHidden());
    QVERIFY(Form1->ComboBox5->isHidden());
    QVERIFY(Form1->ComboBox6->isHidden());
    QCOMPARE(Form1->ComboBox4->currentText(), QString("afs"));
    QCOMPARE(Form1->ComboBox2->currentText(), QString("1920x1080"));
    QVERIFY(!Form1->ComboBox2->isEnabled());

    // A JPEG size chosen as "120K" is held as the camera's "120k".
    QTest::keyClick(Form1->ComboBox12, Qt::Key_Down);
    QTest::keyClick(Form1->ComboBox12, Qt::Key_Down);
    QCOMPARE(Form1->ComboBox12->currentText(), QString("120K"));
    QCOMPARE(Form1->EncoderValues.jpegQualityToken, QString("120k"));
    // Other choices only change their working value.
    QTest::keyClick(Form1->ComboBox3, Qt::Key_Down);
    QCOMPARE(Form1->EncoderValues.frameRate, QString("1"));
    QTest::keyClick(Form1->ComboBox4, Qt::Key_Up);
    QCOMPARE(Form1->EncoderValues.mode, QString("vbr"));

    QCOMPARE(m_camera.sim->requests().size(), 0);
    QVERIFY(m_camera.dialogs->errors.isEmpty());
}

QTEST_MAIN(EncoderInfoTest)
#include "EncoderInfoTest.moc"
