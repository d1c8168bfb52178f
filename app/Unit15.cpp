#include "app/Unit15.h"

#include "protocol/ShownText.h"

#include "windowsupport/FormSupport.h"
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

namespace {

void emphasise(QLabel *label, const QColor &colour)
{
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QLineEdit *makeField(QWidget *parent, const char *name, const QString &text, QLabel *label, int x, int y, int w)
{
    auto *field = qzr::makeControl<QLineEdit>(parent, name, x, y, w, 24);
    field->setText(text);
    qzr::nameAfterLabel(field, label);
    return field;
}

} // namespace

TForm15::TForm15(QWidget *parent)
    : QWidget(parent)
{
    Form15 = this;
    setObjectName(QStringLiteral("Form15"));
    qzr::setUpForm(this, QStringLiteral("IP Settings"), qzr::FormStyle::SystemMenuOnly, true, 260, 160, 470, 410);
    setWindowFlag(Qt::WindowMinimizeButtonHint);

    Label6 = qzr::makeLabel(this, "Label6", QStringLiteral("Current IP Address"), 16, 16, 160, 22);
    Label7 = qzr::makeLabel(this, "Label7", QStringLiteral("IP"), 180, 16, 270, 22);
    emphasise(Label7, Qt::red);
    Label9 = qzr::makeLabel(this, "Label9", QStringLiteral("Current MAC Address"), 16, 44, 160, 22);
    Label8 = qzr::makeLabel(this, "Label8", QStringLiteral("MAC Address"), 180, 44, 270, 22);
    emphasise(Label8, Qt::blue);

    Label1 = qzr::makeLabel(this, "Label1", QStringLiteral("New IP Address"), 16, 82, 160, 22);
    const char *const octetNames[] = {"Edit1", "Edit2", "Edit3", "Edit4"};
    const char *const spinnerNames[] = {"UpDown1", "UpDown2", "UpDown3", "UpDown4"};
    const char *const octetTexts[] = {"192", "168", "0", "2"};
    QLineEdit *octets[4];
    UpDown *spinners[4];
    for (int i = 0; i < 4; ++i) {
        const int x = 180 + i * 66;
        octets[i] = makeField(this, octetNames[i], QString::fromLatin1(octetTexts[i]), Label1, x, 80, 42);
        octets[i]->setAccessibleName(QStringLiteral("New IP Address, octet %1").arg(i + 1));
        spinners[i] = qzr::makeControl<UpDown>(this, spinnerNames[i], x + 42, 80, 18, 24);
        spinners[i]->setAccessibleName(QStringLiteral("Octet %1 spinner").arg(i + 1));
        // Up to 254 each; the fourth from 1.
        spinners[i]->setRange(i == 3 ? 1 : 0, 254);
        spinners[i]->setPosition(i == 3 ? 1 : 0);
        connect(spinners[i], &UpDown::clicked, this, [this, i] { qzr::runReported([this, i] { UpDownClick(i); }); });
    }
    Edit1 = octets[0], Edit2 = octets[1], Edit3 = octets[2], Edit4 = octets[3];
    UpDown1 = spinners[0], UpDown2 = spinners[1], UpDown3 = spinners[2], UpDown4 = spinners[3];

    Label2 = qzr::makeLabel(this, "Label2", QStringLiteral("New Subnetmask"), 16, 114, 160, 22);
    Edit5 = makeField(this, "Edit5", QStringLiteral("255.255.255.0"), Label2, 180, 112, 180);
    Label3 = qzr::makeLabel(this, "Label3", QStringLiteral("New Gateway"), 16, 146, 160, 22);
    Edit6 = makeField(this, "Edit6", QStringLiteral("192.168.0.1"), Label3, 180, 144, 180);
    Button1 = qzr::makeButton(this, "Button1", QStringLiteral("Set IP + Subnetmask + Gateway"), 180, 176, 260, 30);

    Label4 = qzr::makeLabel(this, "Label4", QStringLiteral("New HTTP Port"), 16, 224, 160, 22);
    Edit7 = makeField(this, "Edit7", QStringLiteral("80"), Label4, 180, 222, 80);
    Button4 = qzr::makeButton(this, "Button4", QStringLiteral("Set"), 270, 220, 60, 28);
    Button4->setAccessibleName(QStringLiteral("Set HTTP Port"));
    Label5 = qzr::makeLabel(this, "Label5", QStringLiteral("New RTSP Port"), 16, 256, 160, 22);
    Edit8 = makeField(this, "Edit8", QStringLiteral("554"), Label5, 180, 254, 80);
    Edit8->setReadOnly(true);
    Label10 = qzr::makeLabel(this, "Label10", QStringLiteral("New admin Password"), 16, 288, 160, 22);
    Edit9 = makeField(this, "Edit9", QStringLiteral("kqm"), Label10, 180, 286, 120);
    Button6 = qzr::makeButton(this, "Button6", QStringLiteral("Set"), 310, 284, 60, 28);
    Button6->setAccessibleName(QStringLiteral("Set admin Password"));

    RadioButton2 = qzr::makeControl<QRadioButton>(this, "RadioButton2", 16, 326, 150, 24);
    RadioButton2->setText(QStringLiteral("DHCP Disabled"));
    RadioButton1 = qzr::makeControl<QRadioButton>(this, "RadioButton1", 180, 326, 150, 24);
    RadioButton1->setText(QStringLiteral("DHCP Enabled"));

    Button2 = qzr::makeButton(this, "Button2", QStringLiteral("Get Settings"), 16, 364, 150, 32);
    Button3 = qzr::makeButton(this, "Button3", QStringLiteral("Change Camera"), 180, 364, 150, 32);

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
