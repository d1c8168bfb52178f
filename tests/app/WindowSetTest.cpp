// The window set at start-up and the main window's own shell.
#include "ScriptedDialogs.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "app/Unit6.h"
#include "app/Unit8.h"
#include "app/Unit9.h"
#include "app/Unit11.h"
#include "app/Unit13.h"
#include "app/WindowSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QApplication>
#include <QtTest>

class WindowSetTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_windows = std::make_unique<qzr::WindowSet>(); }
    void cleanup() { m_windows.reset(); }

    void seventeenWindowsWithTheirCaptions();
    void onlyMainWindowAndIpSetupAreVisible();
    void mainWindowPlaceAndProcedureArea();
    void picturesAreDecodedJpegs();
    void escapeReturnsTheCam3WindowAndClearsSecondMonitor();
    void hidePasswordTogglesTheMask();
    void anyMousePressOnTheAddressShowsIpSetup_data();
    void anyMousePressOnTheAddressShowsIpSetup();
    void startOptionsPresetTheConnectionFields();
    void everyLabelShowsPlainText();

private:
    std::unique_ptr<qzr::WindowSet> m_windows;
    ScriptedDialogs m_dialogs;
};

void WindowSetTest::seventeenWindowsWithTheirCaptions()
{
    const QStringList captions = {
        "QZ-R Serie Mulit Resolution Sample Aplication", "1920x1080 CAM 1", "IP Setup", "Setting Password",
        "Save/Load Camera Settings", "1920x1080 CAM 3", "Camera Video Settings", "MultiStreaming Demo",
        "Full HD 1920x1080", "ONVIF Settings", "Digital Zoom", "Encoder Setting Info Page", "Service Page",
        "Multicast Setup", "IP Settings", "FOCUS", "SD Card Settings"};
    QMap<QString, QWidget *> byClass;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        const QString className = window->metaObject()->className();
        if (className.startsWith("TForm"))
            byClass.insert(className, window);
    }
    QCOMPARE(byClass.size(), 17);
    for (int n = 1; n <= 17; ++n) {
        QWidget *window = byClass.value(QString("TForm%1").arg(n));
        QVERIFY2(window, qPrintable(QString("TForm%1 missing").arg(n)));
        QCOMPARE(window->windowTitle(), captions[n - 1]);
    }
    QVERIFY(Form1->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(Form6->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(Form6->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(Form3->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!(Form3->windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(Form13->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(Form9->geometry(), QRect(46, 603, 638, 393));
    QCOMPARE(Form8->geometry(), QRect(3, 161, 1500, 732));
    QCOMPARE(Form11->geometry(), QRect(745, 345, 207, 175));
    QCOMPARE(Form6->geometry(), QRect(20, 150, 642, 362));
}

void WindowSetTest::onlyMainWindowAndIpSetupAreVisible()
{
    QStringList visible;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible())
            visible << window->metaObject()->className();
    }
    visible.sort();
    QCOMPARE(visible, QStringList({"TForm1", "TForm3"}));
    QVERIFY(!Form1->Button2->isVisibleTo(Form1));   // "Start Live Stream"
    QVERIFY(!Form1->Button7->isVisibleTo(Form1));   // "Full Screen"
    QVERIFY(!Form1->CheckBox7->isVisibleTo(Form1)); // "Display on Second Monitor"
    QVERIFY(!Form1->Button3->isVisibleTo(Form1));   // "Set to Camera"
    QCOMPARE(qzr::shared().LiveViewActive, 0);
    QCOMPARE(qzr::shared().LiveChannel, QString("1"));
}

void WindowSetTest::mainWindowPlaceAndProcedureArea()
{
    QCOMPARE(Form1->pos(), QPoint(19, 105));
    QCOMPARE(Form1->centralWidget()->size(), QSize(998, 543));
    const QStringList procedureButtons = {"Button4", "Button5", "Button6", "Button8", "Button9", "Button10",
                                          "Button11", "Button13", "Button21", "Button22", "Button23",
                                          "Button26", "Button27", "Button28", "Button30", "Button31",
                                          "Button32", "Button34", "Button35", "Button39", "Button40",
                                          "Button41", "Button42", "Button43", "Button44", "Button45", "Button48"};
    for (const QString &name : procedureButtons) {
        auto *button = Form1->findChild<QPushButton *>(name);
        QVERIFY2(button, qPrintable(name + " missing"));
        QVERIFY2(button->x() >= 1016 || button->y() >= 543, qPrintable(name + " lies in the visible area"));
        QVERIFY2(button->isEnabled(), qPrintable(name + " disabled"));
    }
    QCOMPARE(Form1->findChild<QPushButton *>("Button42")->text(), QString("SceneFileNummer"));
    for (const char *name : {"Memo1", "Memo2"}) {
        auto *memo = Form1->findChild<QPlainTextEdit *>(name);
        QVERIFY(memo);
        QVERIFY(memo->x() >= 1016);
    }
    QCOMPARE(Form1->Edit1->text(), QString("192.168.0.57"));
    QCOMPARE(Form1->Edit2->text(), QString("80"));
    QCOMPARE(Form1->Edit3->text(), QString("admin"));
    QCOMPARE(Form1->Edit4->text(), QString("kqm"));
    QCOMPARE(Form1->ProgressBar1->maximum(), 2);
}

void WindowSetTest::picturesAreDecodedJpegs()
{
    const struct { QLabel *picture; QSize size; } pictures[] = {
        {Form1->Image1, {329, 305}}, {Form1->Image2, {497, 65}}, {Form1->Image3, {321, 352}}};
    for (const auto &entry : pictures) {
        QVERIFY2(!entry.picture->pixmap().isNull(), qPrintable(entry.picture->objectName() + " has no picture"));
        QCOMPARE(entry.picture->pixmap().size(), entry.size);
    }
}

void WindowSetTest::escapeReturnsTheCam3WindowAndClearsSecondMonitor()
{
    Form6->setGeometry(0, 0, 1280, 720);
    Form1->CheckBox7->setChecked(true);
    Form1->Edit2->setFocus();
    QTest::keyClick(Form1->Edit2, Qt::Key_Escape);
    QCOMPARE(Form6->geometry(), QRect(20, 150, 642, 362));
    QVERIFY(!Form1->CheckBox7->isChecked());
    QVERIFY(m_dialogs.errors.isEmpty());
    // Other keys reach the focused control unchanged.
    QTest::keyClick(Form1->Edit2, Qt::Key_1);
    QCOMPARE(Form1->Edit2->text(), QString("801"));
}

void WindowSetTest::hidePasswordTogglesTheMask()
{
    QCOMPARE(Form1->Edit4->echoMode(), QLineEdit::Password);
    QCOMPARE(Form1->Edit4->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, Form1->Edit4), int('*'));
    QTest::mouseClick(Form1->CheckBox5, Qt::LeftButton);
    QCOMPARE(Form1->Edit4->echoMode(), QLineEdit::Normal);
    QCOMPARE(Form1->Edit4->displayText(), QString("kqm"));
    QTest::mouseClick(Form1->CheckBox5, Qt::LeftButton);
    QCOMPARE(Form1->Edit4->echoMode(), QLineEdit::Password);
    QCOMPARE(Form1->Edit4->text(), QString("kqm"));
}

void WindowSetTest::anyMousePressOnTheAddressShowsIpSetup_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right") << Qt::RightButton;
}

void WindowSetTest::anyMousePressOnTheAddressShowsIpSetup()
{
    QFETCH(Qt::MouseButton, button);
    Form3->hide();
    QTest::mousePress(Form1->Edit1, button);
    QVERIFY(Form3->isVisible());
    QCOMPARE(Form1->Edit1->text(), QString("192.168.0.57"));
}

void WindowSetTest::startOptionsPresetTheConnectionFields()
{
    m_windows.reset();
    qzr::StartOptions options;
    options.address = "127.0.0.1";
    options.port = "8080";
    m_windows = std::make_unique<qzr::WindowSet>(options);
    QCOMPARE(Form1->Edit1->text(), QString("127.0.0.1"));
    QCOMPARE(Form3->Edit1->text(), QString("127.0.0.1"));
    QCOMPARE(Form1->Edit2->text(), QString("8080"));
}

void WindowSetTest::everyLabelShowsPlainText()
{
    // Labels show what cameras send: none of them may take markup for rich
    // text, whatever its Designer file says (pictures aside).
    int labels = 0;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        for (QLabel *label : window->findChildren<QLabel *>()) {
            if (!label->pixmap().isNull())
                continue;
            ++labels;
            if (label->textFormat() != Qt::PlainText)
                QFAIL(qPrintable(QStringLiteral("%1/%2 takes markup").arg(window->objectName(), label->objectName())));
        }
    }
    QVERIFY(labels >= 70);
}

QTEST_MAIN(WindowSetTest)
#include "WindowSetTest.moc"
