#include "app/Unit17.h"

#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit17.h"
#include "windowsupport/Operation.h"
#include "lens/SdCardRequests.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>

TForm17 *Form17 = nullptr;

using namespace qzr::lens;

namespace {

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
    // Stays on top, with only the system menu and the minimise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    // Unit17.ui holds the controls.
    setupUi(this);
    move(320, 220);
    // Each list shows its prompt over no chosen entry (setupUi chooses none
    // after everything else, which empties the text).
    ComboBox1->setEditText(QString::fromLatin1(kEncoderListPrompt));
    ComboBox2->setEditText(QString::fromLatin1(kCardStatusListPrompt));
    ComboBox3->setEditText(QString::fromLatin1(kRecordingListPrompt));

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
