#include "app/Unit15.h"

#include "protocol/ShownText.h"

#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "app/Unit15.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"
#include "windowsupport/UpDown.h"
#include "protocol/CameraError.h"
#include "protocol/Logging.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QProgressBar>

TForm15 *Form15 = nullptr;

namespace net = qzr::network;

TForm15::TForm15(QWidget *parent)
    : QWidget(parent)
{
    Form15 = this;
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowStaysOnTopHint);
    // Unit15.ui holds the controls; the window's flags and place, and the
    // spinners' ranges, are set here.
    setupUi(this);
    move(260, 160);

    const std::array<UpDown *, 4> spinners = {UpDown1, UpDown2, UpDown3, UpDown4};
    for (int i = 0; i < 4; ++i) {
        // Up to 254 each; the fourth from 1.
        spinners[i]->setRange(i == 3 ? 1 : 0, 254);
        spinners[i]->setPosition(i == 3 ? 1 : 0);
        connect(spinners[i], &UpDown::clicked, this, [this, i] { qzr::runReported([this, i] { UpDownClick(i); }); });
    }

    qzr::connectReported(Button1, &QPushButton::clicked, this, &TForm15::Button1Click);
    qzr::connectReported(Button2, &QPushButton::clicked, this, &TForm15::Button2Click);
    qzr::connectReported(Button3, &QPushButton::clicked, this, &TForm15::Button3Click);
    qzr::connectReported(Button4, &QPushButton::clicked, this, &TForm15::Button4Click);
    qzr::connectReported(Button6, &QPushButton::clicked, this, &TForm15::Button6Click);
    // A click on the radio button already chosen changes nothing and sends nothing.
    connect(RadioButton1, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            qzr::runReported([this] { RadioButton1Click(); });
    });
    connect(RadioButton2, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            qzr::runReported([this] { RadioButton2Click(); });
    });
}

TForm15::~TForm15()
{
    if (Form15 == this)
        Form15 = nullptr;
}

void TForm15::Button1Click()
{
    const auto fields = octetFields();
    const std::array<QString, 4> octets = {fields[0]->text(), fields[1]->text(), fields[2]->text(), fields[3]->text()};
    // A mistyped address would leave the camera where nobody reaches it:
    // nothing is asked or sent until all three fields make sense.
    if (const auto problem = net::addressSettingsProblem(octets, Edit5->text(), Edit6->text())) {
        qzr::dialogs().showMessage(*problem);
        return;
    }
    const QString address = net::joinedAddress(octets);
    if (!qzr::dialogs().confirm(net::kConfirmTitle, net::addressConfirmation(address))) {
        qzr::dialogs().showMessage(net::kNothingChanged);
        return;
    }
    Form1->ApplyConnection();
    Form1->CameraGet(net::addressRequest(address, Edit5->text(), Edit6->text()));
    Form1->CameraGet(net::interfaceRestartRequest());
    qzr::dialogs().showMessage(net::kRestartNotice);
}

void TForm15::Button2Click()
{
    QLineEdit *const fields[] = {Edit5, Edit6, Edit7, Edit8};
    for (size_t i = 0; i < net::kReadBackKeys.size(); ++i) {
        Form1->ApplyConnection();
        fields[i]->setText(qzr::shownText(Form1->ReadParameter(net::kReadBackKeys[i])));
    }
    Form1->Button41Click();
}

void TForm15::Button3Click()
{
    // Without waiting: the address window is what the user needs now. A PC
    // that does not let the tool clear its cache still finds the camera once
    // the old entry has aged out; the user is told so, once.
    const net::DetachedCommand flush = net::addressCacheFlushCommand();
    m_runCommand(this, flush, [flush](const QString &failure) {
        if (failure.isEmpty())
            return;
        qCInfo(lcNetwork).noquote() << "address cache not cleared:" << failure;
        qzr::dialogs().showNotice(net::cacheNotClearedNotice(flush, failure));
    });
    Form3->show();
    Form3->raise();
    Form3->activateWindow();
}

bool TForm15::cameraAnswersOn(int port)
{
    TForm1 *main = Form1;
    main->session().applyConnection(
        {main->Edit1->text(), QString::number(port), main->Edit3->text(), main->Edit4->text()});
    try {
        main->CameraGet(qzr::ParamQuery::read(net::kHttpPortKey));
        return true;
    } catch (const qzr::CameraError &error) {
        if (error.failure() == qzr::RequestFailure::Cancelled)
            throw;
        return false;
    }
}

void TForm15::Button4Click()
{
    const QString port = Edit7->text();
    if (const auto problem = net::httpPortProblem(port)) {
        qzr::dialogs().showMessage(*problem);
        return;
    }
    // Both go to the old port: the camera moves only with its restart.
    TForm1 *main = Form1;
    main->ApplyConnection();
    const QString oldPort = QString::number(main->session().requestPort());
    main->CameraGet(net::httpPortRequest(port));
    try {
        main->CameraGet(net::httpRestartRequest());
    } catch (const qzr::CameraError &error) {
        // A camera that answered with an error status refused the restart;
        // a reply lost on the way may well have been a restart that worked.
        if (error.failure() == qzr::RequestFailure::Status || error.failure() == qzr::RequestFailure::Cancelled)
            throw;
        qCInfo(lcNetwork).noquote() << "restart reply lost:" << error.text();
    }

    // "Done !" only where the camera really answers.
    const net::PortSearchResult found = net::searchMovedCamera(
        port.toInt(), oldPort.toInt(), [this](int candidate) { return cameraAnswersOn(candidate); },
        [](int pause_ms) { qzr::dialogs().pause(pause_ms); });
    main->ApplyConnection();
    switch (found) {
    case net::PortSearchResult::NewPort:
        main->Edit2->setText(port);
        main->ApplyConnection();
        qzr::dialogs().showMessage(net::kDone);
        break;
    case net::PortSearchResult::OldPort:
        qzr::dialogs().showMessage(net::portKeptMessage(port, oldPort));
        break;
    case net::PortSearchResult::Neither:
        qzr::dialogs().showMessage(net::portNotFoundMessage(port, oldPort));
        break;
    }
}

void TForm15::Button6Click()
{
    const QString password = Edit9->text();
    TForm1 *main = Form1;
    main->ApplyConnection();
    main->CameraGet(net::passwordRequest(password));
    const qzr::ConnectionFields old{main->Edit1->text(), main->Edit2->text(), main->Edit3->text(), main->Edit4->text()};
    qzr::ConnectionFields changed = old;
    changed.password = password;
    main->session().applyCredentialsOnly(changed);
    qzr::dialogs().pause(net::kPasswordSettle_ms);
    // One read with the new password tells whether the camera took it.
    try {
        main->CameraGet(qzr::ParamQuery::read(net::kHttpPortKey));
    } catch (const qzr::CameraError &error) {
        main->session().applyCredentialsOnly(old);
        if (error.failure() == qzr::RequestFailure::Cancelled)
            throw qzr::CameraError::cancelled(
                QStringLiteral("Cancelled: whether the camera took the new password is not known"));
        qzr::dialogs().showMessage(net::passwordKeptMessage(error.text()));
        return;
    }
    qzr::dialogs().showMessage(net::kDone);
    main->Edit4->setText(password);
}

void TForm15::RadioButton1Click()
{
    switchDhcp(true, RadioButton2);
}

void TForm15::RadioButton2Click()
{
    switchDhcp(false, RadioButton1);
}

void TForm15::switchDhcp(bool enabled, QRadioButton *other)
{
    Form1->ApplyConnection();
    Form1->CameraGet(net::dhcpRequest(enabled));
    Form1->CameraGet(net::interfaceRestartRequest());
    other->setChecked(false);
    qzr::dialogs().showMessage(net::kRestartNotice);
}

void TForm15::UpDownClick(int octet)
{
    const UpDown *const spinners[] = {UpDown1, UpDown2, UpDown3, UpDown4};
    octetFields()[size_t(octet)]->setText(QString::number(spinners[octet]->position()));
}
