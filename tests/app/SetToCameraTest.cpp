// "Set to Camera" of the main window's encoder panel against the simulated camera.
#include "CameraWindows.h"
#include "app/Forms.h"
#include "app/WindowSet.h"
#include "sim/SimThread.h"

#include <QtTest>


class SetToCameraTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void h264WritesStoresAndReadsBack();
    void refusalsSendNothing_data();
    void refusalsSendNothing();

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
    QCOMPARE(sent[1], QString("/api/param?encode(1).status=save"));
    QCOMPARE(sent[2], QString("/api/param?encode(1).type"));   // the read-back
    QCOMPARE(m_camera.sim->savedValue("encode(1).framerate").value_or("?"), QString("10"));
    QCOMPARE(Form1->ComboBox3->currentText(), QString("10"));
    QCOMPARE(m_camera.dialogs->messages, QStringList({"Setting Complete, you might continue now"}));
    QCOMPARE(m_camera.dialogs->messagePositions.value(0).value_or(QPoint()), QPoint(500, 400));
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

QTEST_MAIN(SetToCameraTest)
#include "SetToCameraTest.moc"
