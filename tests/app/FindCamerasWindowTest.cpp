// "Find Cameras": from the menu through the search to choosing a camera,
// against simulated fleets on loopback (WS-Discovery on "lo" with a
// discovery port of this test's own).
#include "ScriptedDialogs.h"
#include "windowsupport/FoundCamerasModel.h"
#include "SimFleet.h"
#include "app/FindCamerasWindow.h"
#include "app/SiteOverviewWindow.h"
#include "windowsupport/CameraTile.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "app/WindowSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTextDocumentFragment>
#include <QtTest>

using qzr::discoverytest::SimFleet;

class FindCamerasWindowTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<qzr::WindowSet> m_windows;
    quint16 m_discoveryPort = 0;

    FindCamerasWindow *window()
    {
        FindCamerasWindow *found = findCamerasWindow();
        qzr::discovery::SearchOptions options;
        options.interfaces = {QStringLiteral("lo")};
        options.discoveryPort = m_discoveryPort;
        options.wait_ms = 1200;
        found->setBaseOptions(options);
        return found;
    }

    QStringList rowTexts(int row)
    {
        QStringList texts;
        const QAbstractItemModel *model = FormFindCameras->CameraTable->model();
        for (int column = 0; column < model->columnCount(); ++column)
            texts << model->index(row, column).data().toString();
        return texts;
    }
    int rowCount() { return FormFindCameras->CameraTable->model()->rowCount(); }

private slots:
    void init()
    {
        m_discoveryPort = qzr::discoverytest::freeDiscoveryPort();
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_windows = std::make_unique<qzr::WindowSet>();
    }
    void cleanup()
    {
        m_windows.reset();
        m_dialogs.reset();
    }

    // The menu item opens the window and searches; the list fills with the
    // fleet; what "Read details" read stays shown through the next search;
    // a double-click connects the tool to the camera as "IP Setup" >
    // "Save Settings" does and closes the window.
    void menuToChosenCamera()
    {
        SimFleet fleet;
        QVERIFY(fleet.start({"--cameras", "2", "--address", "127.0.0.80", "--address-per-camera", "--mac",
                             "00:11:22:33:44:80"}, m_discoveryPort));
        window();
        auto *menu = Form1->MainMenu1->findChild<QMenu *>(QStringLiteral("IPSetup1"));
        QVERIFY(menu);
        QStringList items;
        for (QAction *action : menu->actions())
            items << action->text();
        QCOMPARE(items, (QStringList{"Select IP address", QStringLiteral("Find Cameras\u2026"),
                                     QStringLiteral("Site Overview\u2026"), "Change Camera IP address"}));
        Form3->hide();

        QSignalSpy finished(&FormFindCameras->finder(), &qzr::discovery::CameraFinder::finished);
        menu->actions().at(1)->trigger();
        QVERIFY(FormFindCameras->isVisible());
        QCOMPARE(FormFindCameras->windowTitle(), "Find Cameras");
        QVERIFY(FormFindCameras->isSearching());
        QVERIFY(FormFindCameras->StopSearchButton->isEnabled());
        QVERIFY(FormFindCameras->SearchAgainButton->isEnabled());
        QCOMPARE(FormFindCameras->SweepEdit->text(), "");
        QVERIFY(finished.wait(20'000));
        QVERIFY(!FormFindCameras->StopSearchButton->isEnabled());
        QVERIFY(FormFindCameras->SearchAgainButton->isEnabled());
        const QString port = QString::number(fleet.port());
        // The search logs in nowhere: the model is what the camera's Scopes
        // tell, and the camera asks for a login.
        QCOMPARE(rowCount(), 2);
        QCOMPARE(rowTexts(0), (QStringList{"127.0.0.80", port, "QZ-R410", "", "", "ws-discovery", "login needed"}));
        QCOMPARE(FormFindCameras->SearchProgress->value(), FormFindCameras->SearchProgress->maximum());
        QCOMPARE(FormFindCameras->StatusLabel->text(), "2 cameras found");

        // "Read details" names where the password goes, then reads there.
        QTableView *table = FormFindCameras->CameraTable;
        table->selectAll();
        QVERIFY(FormFindCameras->ReadDetailsButton->isEnabled());
        FormFindCameras->ReadDetailsButton->click();
        QCOMPARE(m_dialogs->confirmations,
                 QStringList{QStringLiteral("Read details|Log in with the main window's user and password to:\n"
                                            "127.0.0.80:%1\n127.0.0.81:%1\n\nOnly cameras you trust should get "
                                            "your password.").arg(port)});
        QVERIFY(finished.wait(20'000));
        QCOMPARE(rowTexts(0), (QStringList{"127.0.0.80", port, "QZ-R410", "2.10.0045", "00:11:22:33:44:80", "ws-discovery", ""}));
        QCOMPARE(rowTexts(1), (QStringList{"127.0.0.81", port, "QZ-R410", "2.10.0045", "00:11:22:33:44:81", "ws-discovery", ""}));
        QCOMPARE(FormFindCameras->StatusLabel->text(), "Details read");

        // The next search logs in nowhere, yet what was read stays shown.
        FormFindCameras->SearchAgainButton->click();
        QVERIFY(finished.wait(20'000));
        QCOMPARE(FormFindCameras->StatusLabel->text(), "2 cameras found");
        QCOMPARE(rowTexts(0), (QStringList{"127.0.0.80", port, "QZ-R410", "2.10.0045", "00:11:22:33:44:80", "ws-discovery", ""}));
        QCOMPARE(rowTexts(1), (QStringList{"127.0.0.81", port, "QZ-R410", "2.10.0045", "00:11:22:33:44:81", "ws-discovery", ""}));

        // "Show all on a wall": both cameras on the site's wall.
        QVERIFY(FormFindCameras->ShowWallButton->isEnabled());
        FormFindCameras->ShowWallButton->click();
        SiteOverviewWindow *wall = siteOverviewWindow();
        QVERIFY(wall->isVisible());
        QCOMPARE(wall->cameraCount(), 2);
        QCOMPARE(wall->tile(0)->address(), QStringLiteral("127.0.0.80:%1").arg(port));
        QCOMPARE(wall->tile(1)->address(), QStringLiteral("127.0.0.81:%1").arg(port));
        wall->close();

        const QPoint cell = table->visualRect(table->model()->index(1, 0)).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(m_dialogs->errors, QStringList());
        QCOMPARE(m_dialogs->logins, QStringList());
        QCOMPARE(Form1->Edit1->text(), "127.0.0.81");
        QCOMPARE(Form1->Edit2->text(), port);
        QCOMPARE(Form3->Edit1->text(), "127.0.0.81");
        QCOMPARE(Form1->Label18->text(), "Model: QZ-R410");
        QCOMPARE(Form1->Label24->text(), "IP: 127.0.0.81");
        QCOMPARE(Form1->Label22->text(), "FW 2.10.0045");
        QCOMPARE(Form1->Label23->text(), "MAC: 00:11:22:33:44:81");
        QVERIFY(!Form3->isVisible());
        QVERIFY(!FormFindCameras->isVisible());
    }

    // "Search again" sweeps the range of the field; flags are shown and
    // explained in the tooltip; "Use this camera" takes the selected row,
    // and for a camera that asked for a login it asks for one first.
    void searchAgainWithSweepAndFlags()
    {
        SimFleet fleet;
        QVERIFY(fleet.start({"--cameras", "3", "--address", "127.0.0.89", "--address-per-camera", "--conflict",
                             "--sweep-only", "1"}, m_discoveryPort));
        FindCamerasWindow *find = window();
        find->show();
        const QString port = QString::number(fleet.port());
        find->SweepEdit->setText(QStringLiteral("127.0.0.88/30:") + port);
        QSignalSpy finished(&find->finder(), &qzr::discovery::CameraFinder::finished);
        find->SearchAgainButton->click();
        QVERIFY(finished.wait(20'000));
        QCOMPARE(rowCount(), 3);
        QCOMPARE(rowTexts(0).mid(5), (QStringList{"ws-discovery,sweep", "address conflict, login needed"}));
        QCOMPARE(rowTexts(1).mid(5), (QStringList{"ws-discovery,sweep", "address conflict, login needed"}));
        QCOMPARE(rowTexts(2), (QStringList{"127.0.0.90", port, "", "", "", "sweep", "login needed"}));
        // The tooltip shows its text as written (markup escaped), whatever the camera sent.
        const QString tip = QTextDocumentFragment::fromHtml(
                                find->CameraTable->model()->index(0, 6).data(Qt::ToolTipRole).toString())
                                .toPlainText();
        QVERIFY2(tip.startsWith(QStringLiteral("Address conflict: more than one camera answers at 127.0.0.89:") + port),
                 qPrintable(tip));

        // Cancelling the login connects nothing.
        Form1->Edit1->setText(QStringLiteral("127.0.0.2"));
        Form1->Edit3->setText(QStringLiteral("viewer"));
        Form1->Edit4->setText(QStringLiteral("wrong"));
        find->CameraTable->selectRow(2);
        QVERIFY(find->UseCameraButton->isEnabled());
        find->UseCameraButton->click();
        QCOMPARE(m_dialogs->logins, QStringList{QStringLiteral("127.0.0.90:%1|").arg(port)});
        QCOMPARE(Form1->Edit1->text(), "127.0.0.2");
        QCOMPARE(Form1->Edit3->text(), "viewer");
        QCOMPARE(Form1->Label18->text(), "Model Name");
        QVERIFY(find->isVisible());

        // The user and password given go into the main window, which connects with them.
        m_dialogs->loginAnswer = true;
        m_dialogs->loginUser = QStringLiteral("admin");
        m_dialogs->loginPassword = QStringLiteral("kqm");
        find->UseCameraButton->click();
        QCOMPARE(m_dialogs->logins.size(), 2);
        QCOMPARE(m_dialogs->errors, QStringList());
        QCOMPARE(Form1->Edit3->text(), "admin");
        QCOMPARE(Form1->Edit4->text(), "kqm");
        QCOMPARE(Form1->Edit1->text(), "127.0.0.90");
        QCOMPARE(Form1->Edit2->text(), port);
        QCOMPARE(Form3->Edit1->text(), "127.0.0.90");
        QCOMPARE(Form1->Label18->text(), "Model: QZ-R410");
        QCOMPARE(Form1->Label24->text(), "IP: 127.0.0.90");
        QCOMPARE(Form1->Label23->text(), "MAC: 00:11:22:33:44:56");
        QVERIFY(!find->isVisible());
    }

    // A camera whose details cannot be read is flagged with the reason; when
    // connecting to it fails, the error is shown and the window stays.
    void unreadableCameraIsFlaggedAndNotConnected()
    {
        SimFleet fleet;
        QVERIFY(fleet.start({"--address", "127.0.0.95", "--fault", "servererror"}, m_discoveryPort));
        FindCamerasWindow *find = window();
        find->show();
        const QString port = QString::number(fleet.port());
        QSignalSpy finished(&find->finder(), &qzr::discovery::CameraFinder::finished);
        find->SearchAgainButton->click();
        QVERIFY(finished.wait(20'000));
        QCOMPARE(rowCount(), 1);
        QCOMPARE(rowTexts(0), (QStringList{"127.0.0.95", port, "QZ-R410", "", "", "ws-discovery", "not read"}));
        const QString tip = QTextDocumentFragment::fromHtml(
                                find->CameraTable->model()->index(0, 6).data(Qt::ToolTipRole).toString())
                                .toPlainText();
        QCOMPARE(tip, QStringLiteral("Not read: the model, firmware and MAC could not be read from "
                                     "127.0.0.95:%1: 500 Internal Server Error").arg(port));

        find->CameraTable->selectRow(0);
        find->UseCameraButton->click();
        QCOMPARE(m_dialogs->errors,
                 QStringList{QStringLiteral("127.0.0.95:%1 failed the request (500 Internal Server Error): try again, "
                                            "or restart the camera.")
                                 .arg(port)});
        QCOMPARE(Form1->Label18->text(), "Model Name");
        QVERIFY(find->isVisible());
    }

    // A refresh touches only the rows that changed: no reset, one row
    // replaced, one removed, one added at the end; camera text stays text.
    void refreshChangesOnlyWhatChanged()
    {
        using qzr::discovery::FoundCamera;
        const auto camera = [](const char *key, const char *address) {
            FoundCamera found;
            found.key = QString::fromLatin1(key);
            found.address = QString::fromLatin1(address);
            found.foundBy = qzr::discovery::FoundByProbe;
            return found;
        };
        FoundCamerasModel model;
        model.update({camera("a", "10.0.0.3"), camera("b", "10.0.0.1"), camera("c", "10.0.0.2")});
        QCOMPARE(model.rowCount(), 3);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        FoundCamera renamed = camera("c", "10.0.0.2");
        renamed.hardware = QStringLiteral("<b>QZ-R410</b>");
        model.update({camera("a", "10.0.0.3"), renamed, camera("d", "10.0.0.4")});
        QCOMPARE(reset.count(), 0);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(1).toInt(), 1); // "b"
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 1); // "c", now second
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(model.index(1, 2).data().toString(), "<b>QZ-R410</b>");
        QCOMPARE(model.index(2, 0).data().toString(), "10.0.0.4");
    }

    // A sweep range that cannot be read is reported and nothing is searched.
    void badSweepRangeIsReported()
    {
        FindCamerasWindow *find = window();
        find->SweepEdit->setText(QStringLiteral("192.168.0.0/16"));
        find->SearchAgainButton->click();
        QCOMPARE(m_dialogs->errors, QStringList{"'192.168.0.0/16' is not a sweep range: at most a /22 (1024 addresses) is swept."});
        QVERIFY(!find->isSearching());
    }

    // "Search" in the procedure area starts the search; "Stop search" ends
    // it and is usable only meanwhile. Escape and "Close" close the window
    // (and end a search under way).
    void searchAndStopButtons()
    {
        window();
        QSignalSpy finished(&FormFindCameras->finder(), &qzr::discovery::CameraFinder::finished);
        Form1->Button31->click();
        QVERIFY(FormFindCameras->isVisible());
        QVERIFY(FormFindCameras->isSearching());
        QVERIFY(FormFindCameras->StopSearchButton->isEnabled());
        Form1->Button32->click();
        QVERIFY(!FormFindCameras->isSearching());
        QVERIFY(!FormFindCameras->StopSearchButton->isEnabled());
        QVERIFY(FormFindCameras->SearchAgainButton->isEnabled());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(FormFindCameras->StatusLabel->text(), "0 cameras found");

        FormFindCameras->SearchAgainButton->click();
        QVERIFY(FormFindCameras->isSearching());
        QVERIFY(FormFindCameras->StopSearchButton->isEnabled());
        FormFindCameras->StopSearchButton->click();
        QVERIFY(!FormFindCameras->isSearching());
        QVERIFY(!FormFindCameras->StopSearchButton->isEnabled());

        QTest::keyClick(FormFindCameras->CameraTable, Qt::Key_Escape);
        QVERIFY(!FormFindCameras->isVisible());

        Form1->Button31->click();
        QVERIFY(FormFindCameras->isVisible());
        QVERIFY(FormFindCameras->isSearching());
        FormFindCameras->CloseButton->click();
        QVERIFY(!FormFindCameras->isVisible());
        QVERIFY(!FormFindCameras->isSearching());
        QCOMPARE(finished.count(), 3);
    }
};

QTEST_MAIN(FindCamerasWindowTest)
#include "FindCamerasWindowTest.moc"
