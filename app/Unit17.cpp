#include "app/Unit17.h"

#include "windowsupport/FormSupport.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit17.h"
#include "windowsupport/Operation.h"
#include "lens/SdCardRequests.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>

TForm17 *Form17 = nullptr;

using namespace qzr::lens;

namespace {

constexpr int kListLeft = 16;
constexpr int kListWidth = 180;
constexpr int kControlHeight = 25;

template <std::size_t N>
QComboBox *makeList(QWidget *parent, const char *name, const char *prompt, const std::array<const char *, N> &entries,
                    int top)
{
    auto *combo = qzr::makeControl<QComboBox>(parent, name, kListLeft, top, kListWidth, kControlHeight);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    for (const char *entry : entries)
        combo->addItem(QString::fromLatin1(entry));
    combo->setCurrentIndex(-1);
    combo->setEditText(QString::fromLatin1(prompt));
    combo->setAccessibleName(QString::fromLatin1(prompt));
    return combo;
}

void showIn(QLabel *label, const QString &text, unsigned rgb)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgb(QRgb(rgb)));
    label->setPalette(palette);
    label->setText(text);
}

} // namespace

TForm17::TForm17(QWidget *parent)
    : QWidget(parent)
{
    Form17 = this;
    setObjectName(QStringLiteral("Form17"));
    qzr::setUpForm(this, QStringLiteral("SD Card Settings"), qzr::FormStyle::Normal, true, 320, 220, 460, 360);
    // Stays on top, with only the system menu and the minimise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);

    ComboBox1 = makeList(this, "ComboBox1", kEncoderListPrompt, kEncoderEntries, 16);

    // Guidance only.
    Panel1 = qzr::makeControl<QFrame>(this, "Panel1", 8, 48, 444, 120);
    Panel1->setFrameShape(QFrame::StyledPanel);
    Label1 = qzr::makeLabel(Panel1, "Label1", QStringLiteral("Select Stream to be  recorded on SD Card"), 8, 6,
                            428, 20);
    Label2 = qzr::makeLabel(Panel1, "Label2", QStringLiteral("Note :"), 8, 30, 428, 20);
    Label3 = qzr::makeLabel(Panel1, "Label3",
                            QStringLiteral("Encoder used for SD Card recording must be set to H264 mode !"), 8, 50,
                            428, 20);
    Label4 = qzr::makeLabel(Panel1, "Label4",
                            QStringLiteral("Selecting Encoder settings other then shown in Camera Browser"), 8, 72,
                            428, 20);
    Label5 = qzr::makeLabel(Panel1, "Label5",
                            QStringLiteral("Interface, are not tested and might not work correct !"), 8, 92, 428, 20);

    Label6 = qzr::makeLabel(this, "Label6", QStringLiteral("SD Card Capacity is "), 16, 180, 150, 20);
    Label7 = qzr::makeLabel(this, "Label7", QString(), 168, 180, 160, 20);
    Button1 = qzr::makeButton(this, "Button1", QStringLiteral("Check SD Card capacity"), 16, 204, 180, kControlHeight);

    Label8 = qzr::makeLabel(this, "Label8", QStringLiteral("Select Status of SD Card. Current Status is "), 16, 240,
                            280, 20);
    Label9 = qzr::makeLabel(this, "Label9", QStringLiteral("OFF"), 300, 240, 60, 20);
    ComboBox2 = makeList(this, "ComboBox2", kCardStatusListPrompt, kCardStatusEntries, 262);

    Label10 = qzr::makeLabel(this, "Label10", QStringLiteral("Constant Recording set to"), 16, 298, 170, 20);
    Label11 = qzr::makeLabel(this, "Label11", QString(), 188, 298, 60, 20);
    ComboBox3 = makeList(this, "ComboBox3", kRecordingListPrompt, kRecordingEntries, 320);

    // Only choosing an entry sends: text typed over a prompt names no entry.
    const auto onChoice = [this](QComboBox *combo, void (TForm17::*action)(int)) {
        connect(combo, &QComboBox::activated, this, [this, action](int position) {
            qzr::runReported([this, action, position] { (this->*action)(position); });
        });
    };
    onChoice(ComboBox1, &TForm17::ComboBox1Change);
    onChoice(ComboBox2, &TForm17::ComboBox2Change);
    onChoice(ComboBox3, &TForm17::ComboBox3Change);
    qzr::connectReported(Button1, &QPushButton::clicked, this, &TForm17::Button1Click);
}

TForm17::~TForm17()
{
    if (Form17 == this)
        Form17 = nullptr;
}

void TForm17::ComboBox1Change(int position)
{
    const std::optional<qzr::ParamQuery> request = recordingSourceRequest(position);
    if (!request)
        return;
    Form1->ApplyConnection();
    Form1->CameraGet(*request);
}

void TForm17::ComboBox2Change(int position)
{
    const std::optional<SwitchChoice> choice = cardStatusChoice(position);
    if (!choice)
        return;
    Form1->ApplyConnection();
    Form1->CameraGet(choice->request);
    // Only once the camera took the request.
    showIn(Label9, indicationText(choice->shown), indicationRgb(choice->shown));
}

void TForm17::ComboBox3Change(int position)
{
    const std::optional<SwitchChoice> choice = recordingChoice(position);
    if (!choice)
        return;
    Form1->ApplyConnection();
    Form1->CameraGet(choice->request);
    showIn(Label11, indicationText(choice->shown), indicationRgb(choice->shown));
}

void TForm17::Button1Click()
{
    Form1->ApplyConnection();
    const QString capacity = Form1->ReadParameter(QString::fromLatin1(kCardCapacityKey));
    showIn(Label7, capacityCaption(capacity), kCapacityRgb);
}
