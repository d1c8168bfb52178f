#include "app/Unit7.h"

#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit7.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"
#include "app/WindowSet.h"
#include "protocol/CameraError.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

TForm7 *Form7 = nullptr;

using namespace qzr::image;

namespace {

// Progress bar maxima: a choice reads twelve values against the bar, the
// refresh nine; the remaining reads of the fifteen do not move it.
constexpr int kChoiceProgressMaximum = 12;
constexpr int kRefreshProgressMaximum = 9;
constexpr int kSetterProgressMaximum = 1;

void advance(QProgressBar *bar)
{
    // A step past the maximum leaves the bar where it is.
    bar->setValue(bar->value() + 1);
}

} // namespace

TForm7::TForm7(QWidget *parent)
    : QWidget(parent)
{
    Form7 = this;
    // Unit7.ui holds the controls; the window's flags and place are set here.
    setWindowFlags(Qt::Window);
    setupUi(this);
    move(150, 120);
    // Each list shows its prompt over no chosen entry (setupUi chooses none
    // after everything else, which empties the text).
    const std::pair<QComboBox *, QString> prompts[] = {
        {ComboBox8, QString::fromLatin1(kSceneListPrompt)},
        {ComboBox1, QStringLiteral("3D DNR")},
        {ComboBox2, QStringLiteral("AGC")},
        {ComboBox3, QStringLiteral("Sense Up")},
        {ComboBox4, QStringLiteral("Shutter speed")},
        {ComboBox5, QStringLiteral("Brightness")},
        {ComboBox6, QStringLiteral("White Balance")},
        {ComboBox7, QStringLiteral("BLC area")},
        {ComboBox9, QStringLiteral("Day/Night")},
        {ComboBox11, QStringLiteral("CLVI")},
        {ComboBox10, QStringLiteral("Gamma")},
        {ComboBox12, QStringLiteral("AVP Color")},
        {ComboBox13, QStringLiteral("AVP B&W")}};
    for (const auto &[combo, prompt] : prompts)
        combo->setEditText(prompt);

    // A scroll bar's side label follows its position, set by the user or by
    // the read-back; nothing is sent until the row's button is pressed.
    const auto follow = [this](QScrollBar *bar, QLabel *label) {
        connect(bar, &QScrollBar::valueChanged, label, [label](int position) { label->setNum(position); });
    };
    follow(ScrollBar1, Label4);
    follow(ScrollBar2, Label5);
    follow(ScrollBar3, Label1);

    // Only choosing an entry switches the scene file: text typed into the
    // list names no scene file and sends nothing.
    connect(ComboBox8, &QComboBox::activated, this,
            [this](int position) { qzr::runReported([this, position] { ComboBox8Change(position); }); });
    qzr::connectReported(Button15, &QPushButton::clicked, this, &TForm7::Button15Click);
    qzr::connectReported(Button16, &QPushButton::clicked, this, &TForm7::Button16Click);
    qzr::connectReported(Button17, &QPushButton::clicked, this, &TForm7::Button17Click);
    qzr::connectReported(Button8, &QPushButton::clicked, this, &TForm7::Button8Click);
    const std::pair<QPushButton *, Setter> setters[] = {
        {Button1, Setter::Dnr3d},      {Button2, Setter::Agc},       {Button3, Setter::SenseUp},
        {Button4, Setter::Shutter},    {Button5, Setter::Brightness}, {Button6, Setter::WhiteBalance},
        {Button7, Setter::Blc},        {Button9, Setter::DayNight},  {Button13, Setter::Clvi},
        {Button12, Setter::Pedestal},  {Button10, Setter::Color},    {Button11, Setter::Enhance},
        {Button14, Setter::Gamma},     {Button18, Setter::AvpColor}, {Button19, Setter::AvpBlackWhite}};
    for (const auto &[button, setter] : setters)
        connect(button, &QPushButton::clicked, this,
                [this, setter = setter] { qzr::runReported([this, setter] { runSetter(setter); }); });
}

TForm7::~TForm7()
{
    if (Form7 == this)
        Form7 = nullptr;
}

void TForm7::openFromMainWindow()
{
    qzr::SharedState &state = qzr::shared();
    state.EditedSceneNumber.clear();
    state.StoredSceneNumber.clear();
    // The main window's query fills the stored number with the camera's
    // current scene file.
    Form1->Button42Click();
    state.EditedSceneNumber = state.StoredSceneNumber;
    Button15Click();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    show();
    raise();
    Panel1->show();
}

void TForm7::ComboBox8Change(int position)
{
    const std::optional<QString> scene = sceneNumberAt(position);
    if (!scene)
        return;
    ProgressBar1->setMaximum(kChoiceProgressMaximum);
    ProgressBar1->setValue(0);
    qzr::SharedState &state = qzr::shared();
    state.EditedSceneNumber = *scene;
    state.StoredSceneNumber = *scene;
    // The switch goes to the camera the last connection set-up named; the
    // read-back sets it up again before each read.
    Form1->CameraGet(gotoRequest(*scene));
    Panel1->show();
    readBackScene();
}

void TForm7::Button15Click()
{
    qzr::SharedState &state = qzr::shared();
    state.EditedSceneNumber = state.StoredSceneNumber;
    const int scene = qzr::toIntegerOrThrow(state.StoredSceneNumber);
    // Selected in code: not a choice, so the camera is not switched.
    ComboBox8->setCurrentIndex(sceneNumberAt(scene) ? scene : -1);
    ProgressBar1->setMaximum(kRefreshProgressMaximum);
    ProgressBar1->setValue(0);
    Panel1->show();
    readBackScene();
}

void TForm7::Button16Click()
{
    const QString scene = qzr::shared().StoredSceneNumber;
    qzr::image::sendAll(Form1->session(), initializeSceneRequests(scene));
    Button15Click();
}

void TForm7::Button17Click()
{
    const QString scene = qzr::shared().StoredSceneNumber;
    qzr::image::sendAll(Form1->session(), selectActiveSceneRequests(scene));
    qzr::dialogs().showMessage(QString::fromLatin1(kActiveSceneSelectedMessage));
}

void TForm7::Button8Click()
{
    for (Setter setter : kSetToSceneFileOrder)
        runSetter(setter);
    ProgressBar1->setValue(ProgressBar1->maximum());
}

void TForm7::runSetter(Setter setter)
{
    ProgressBar1->setMaximum(kSetterProgressMaximum);
    ProgressBar1->setValue(0);
    Form1->ApplyConnection();
    qzr::image::sendAll(Form1->session(),
                        setterRequests(setter, qzr::shared().EditedSceneNumber, setterInputs()));
    // The gamma and AVP setters leave the bar at 0.
    if (isListSetter(setter) || setterFillsProgress(setter))
        advance(ProgressBar1);
}

void TForm7::readBackScene()
{
    const QString scene = qzr::shared().EditedSceneNumber;
    for (SceneKey key : kReadBackOrder) {
        Form1->ApplyConnection();
        showValue(key, Form1->ReadParameter(sceneKey(scene, key)));
        advance(ProgressBar1);
    }
}

void TForm7::showValue(SceneKey key, const QString &value)
{
    if (QScrollBar *bar = scrollBarFor(key)) {
        const std::optional<int> position = scrollPositionFromValue(value);
        if (!position)
            throw qzr::CameraError(notAnIntegerMessage(value));
        bar->setValue(*position);
        return;
    }
    QComboBox *combo = comboFor(key);
    // The entry standing for the value is selected, so that its setter
    // writes back what is shown; the text shown is the camera's own.
    combo->setCurrentIndex(entryForCameraValue(key, value).value_or(-1));
    combo->setEditText(value);
}

QComboBox *TForm7::comboFor(SceneKey key) const
{
    switch (key) {
    case SceneKey::Dnr3d: return ComboBox1;
    case SceneKey::Agc: return ComboBox2;
    case SceneKey::SenseUp: return ComboBox3;
    case SceneKey::Shutter: return ComboBox4;
    case SceneKey::Brightness: return ComboBox5;
    case SceneKey::WhiteBalance: return ComboBox6;
    case SceneKey::Blc: return ComboBox7;
    case SceneKey::DayNight: return ComboBox9;
    case SceneKey::Clvi: return ComboBox11;
    case SceneKey::Gamma: return ComboBox10;
    case SceneKey::AvpColor: return ComboBox12;
    case SceneKey::AvpBlackWhite: return ComboBox13;
    default: return nullptr;
    }
}

QScrollBar *TForm7::scrollBarFor(SceneKey key) const
{
    switch (key) {
    case SceneKey::Color: return ScrollBar1;
    case SceneKey::Enhance: return ScrollBar2;
    case SceneKey::Pedestal: return ScrollBar3;
    default: return nullptr;
    }
}

SetterInputs TForm7::setterInputs() const
{
    SetterInputs inputs;
    inputs.dnr3d = ComboBox1->currentIndex();
    inputs.agc = ComboBox2->currentIndex();
    inputs.senseUp = ComboBox3->currentIndex();
    inputs.shutter = ComboBox4->currentIndex();
    inputs.brightness = ComboBox5->currentIndex();
    inputs.whiteBalance = ComboBox6->currentIndex();
    inputs.blc = ComboBox7->currentIndex();
    inputs.dayNight = ComboBox9->currentIndex();
    inputs.clvi = ComboBox11->currentIndex();
    inputs.pedestal = ScrollBar3->value();
    inputs.color = ScrollBar1->value();
    inputs.enhance = ScrollBar2->value();
    inputs.gamma = ComboBox10->currentText();
    inputs.avpColor = ComboBox12->currentText();
    inputs.avpBlackWhite = ComboBox13->currentText();
    inputs.modelLabel = Form1->Label18->text();
    return inputs;
}
