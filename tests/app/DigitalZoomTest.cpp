// "Digital Zoom": the camera zooms while a button is held and stops when the
// press ends, wherever the mouse is released.
#include "CameraWindows.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit11.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QLabel>
#include <QtTest>

class DigitalZoomTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_camera.startCamera());
        m_camera.openWindows();
        Form11->show();
    }
    void cleanup() { m_camera.close(); }

    void pressAndReleaseOverTheButton_data();
    void pressAndReleaseOverTheButton();
    void releaseAwayFromTheButtonStillStops_data();
    void releaseAwayFromTheButtonStillStops();
    void spaceBarSendsOnlyTheStop();
    void stopGoesToTheCameraOfTheStart();
    void warningIsReadWhole();

private:
    QStringList targets() const
    {
        QStringList list;
        for (const auto &request : m_camera.sim->requests())
            list << request.target;
        return list;
    }
    QPushButton *button(const QString &name) const { return Form11->findChild<QPushButton *>(name); }

    CameraWindows m_camera;
};

static const QString kStop = "/api/param?camera.motion.zoom.status=stop";
static const QString kStartIn = "/api/param?camera.motion.zoom.mode=in&camera.motion.zoom.status=start";
static const QString kStartOut = "/api/param?camera.motion.zoom.mode=out&camera.motion.zoom.status=start";

void DigitalZoomTest::pressAndReleaseOverTheButton_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("start");
    QTest::newRow("zoom in") << "Button1" << kStartIn;
    QTest::newRow("zoom out") << "Button2" << kStartOut;
}

void DigitalZoomTest::pressAndReleaseOverTheButton()
{
    QFETCH(QString, name);
    QFETCH(QString, start);
    QTest::mouseClick(button(name), Qt::LeftButton);
    QCOMPARE(targets(), QStringList({start, kStop}));
    QVERIFY(m_camera.dialogs->errors.isEmpty());
}

void DigitalZoomTest::releaseAwayFromTheButtonStillStops_data()
{
    QTest::addColumn<Qt::MouseButton>("mouseButton");
    QTest::addColumn<QPoint>("releaseAt");
    QTest::newRow("left, released outside") << Qt::LeftButton << QPoint(-40, -40);
    QTest::newRow("right, released over it") << Qt::RightButton << QPoint(10, 10);
}

void DigitalZoomTest::releaseAwayFromTheButtonStillStops()
{
    QFETCH(Qt::MouseButton, mouseButton);
    QFETCH(QPoint, releaseAt);
    QPushButton *zoomIn = button("Button1");
    QTest::mousePress(zoomIn, mouseButton, {}, QPoint(10, 10));
    QCOMPARE(targets(), QStringList({kStartIn}));
    QTest::mouseRelease(zoomIn, mouseButton, {}, releaseAt);
    QCOMPARE(targets(), QStringList({kStartIn, kStop}));
}

void DigitalZoomTest::spaceBarSendsOnlyTheStop()
{
    // The stop goes to the last-used address: an earlier operation set it.
    Form1->ApplyConnection();
    QPushButton *zoomOut = button("Button2");
    zoomOut->setFocus();
    QTest::keyClick(zoomOut, Qt::Key_Space);
    QCOMPARE(targets(), QStringList({kStop}));
}

void DigitalZoomTest::stopGoesToTheCameraOfTheStart()
{
    // The stop uses the last-used address: a field edited while zooming
    // does not redirect it.
    QPushButton *zoomIn = button("Button1");
    QTest::mousePress(zoomIn, Qt::LeftButton, {}, QPoint(10, 10));
    Form1->Edit2->setText("1");
    QTest::mouseRelease(zoomIn, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(targets(), QStringList({kStartIn, kStop}));
    QVERIFY(m_camera.dialogs->errors.isEmpty());
}

void DigitalZoomTest::warningIsReadWhole()
{
    QLabel *warning = Form11->findChild<QLabel *>("Label1");
    QVERIFY(warning);
    QCOMPARE(warning->text(), QString("Only working with MPEG4 picture!"));
    const QRect room = warning->contentsRect();
    const int flags = int(warning->alignment()) | (warning->wordWrap() ? int(Qt::TextWordWrap) : 0);
    const QRect needed = warning->fontMetrics().boundingRect(room, flags, warning->text());
    QVERIFY2(room.contains(needed), qPrintable(QString("needs %1x%2, has %3x%4").arg(needed.width()).arg(needed.height())
                                                   .arg(room.width()).arg(room.height())));
    QVERIFY(Form11->rect().contains(warning->geometry()));
}

QTEST_MAIN(DigitalZoomTest)
#include "DigitalZoomTest.moc"
