#include "app/Unit7.h"

#include "windowsupport/FormSupport.h"
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

// Rows of Panel1.
constexpr int kRowTop = 6;
constexpr int kRowHeight = 29;
constexpr int kValueLeft = 16;
constexpr int kValueWidth = 180;
constexpr int kButtonLeft = 208;
constexpr int kButtonWidth = 170;
constexpr int kSideLabelLeft = 392;
constexpr int kControlHeight = 25;

int rowY(int row)
{
    return kRowTop + row * kRowHeight;
}

// An editable drop-down list: the entries to choose from, and any text shown
// (the read-back writes the camera's own value there). Typed text is never
// added to the list.
QComboBox *makeList(QWidget *parent, const char *name, const QString &prompt, const QStringList &entries, int row)
{
    auto *combo = qzr::makeControl<QComboBox>(parent, name, kValueLeft, rowY(row), kValueWidth, kControlHeight);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(entries);
    combo->setCurrentIndex(-1);
    combo->setEditText(prompt);
    combo->setAccessibleName(prompt);
    return combo;
}

template <std::size_t N>
QStringList shownTexts(const std::array<ListEntry, N> &entries)
{
    QStringList texts;
    for (const ListEntry &entry : entries)
        texts << QString::fromLatin1(entry.shown);
    return texts;
}

template <std::size_t N>
QStringList texts(const std::array<const char *, N> &entries)
{
    QStringList result;
    for (const char *entry : entries)
        result << QString::fromLatin1(entry);
    return result;
}

QStringList dayNightTexts()
{
    QStringList result;
    for (const DayNightEntry &entry : kDayNightEntries)
        result << QString::fromLatin1(entry.shown);
    return result;
}

QScrollBar *makeScrollBar(QWidget *parent, const char *name, const QString &accessibleName, int row)
{
    auto *bar = qzr::makeControl<QScrollBar>(parent, name, kValueLeft, rowY(row) + 3, kValueWidth, 19);
    bar->setOrientation(Qt::Horizontal);
    bar->setRange(kScrollBarMin, kScrollBarMax);
    bar->setValue(kScrollBarStart);
    bar->setAccessibleName(accessibleName);
    return bar;
}

QPushButton *makeRowButton(QWidget *parent, const char *name, Setter setter, int row)
{
    return qzr::makeButton(parent, name, QString::fromLatin1(setterCaption(setter)), kButtonLeft, rowY(row),
                           kButtonWidth, kControlHeight);
}

QLabel *makeSideLabel(QWidget *parent, const char *name, const QString &text, int row)
{
    return qzr::makeLabel(parent, name, text, kSideLabelLeft, rowY(row), 230, kControlHeight);
}

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
    setObjectName(QStringLiteral("Form7"));
    qzr::setUpForm(this, QStringLiteral("Camera Video Settings"), qzr::FormStyle::Normal, false, 150, 120, 640, 600);

    // The scene list: large green bold text.
    QStringList scenes;
    for (const char *scene : kSceneEntries)
        scenes << QString::fromLatin1(scene);
    ComboBox8 = qzr::makeControl<QComboBox>(this, "ComboBox8", 16, 8, 320, 36);
    ComboBox8->setEditable(true);
    ComboBox8->setInsertPolicy(QComboBox::NoInsert);
    ComboBox8->addItems(scenes);
    ComboBox8->setCurrentIndex(-1);
    ComboBox8->setEditText(QString::fromLatin1(kSceneListPrompt));
    ComboBox8->setAccessibleName(QString::fromLatin1(kSceneListPrompt));
    QFont sceneFont = ComboBox8->font();
    sceneFont.setPointSize(14);
    sceneFont.setBold(true);
    ComboBox8->setFont(sceneFont);
    QPalette scenePalette = ComboBox8->palette();
    scenePalette.setColor(QPalette::Text, QColor(0, 128, 0));
    ComboBox8->setPalette(scenePalette);

    ProgressBar1 = qzr::makeControl<QProgressBar>(this, "ProgressBar1", 16, 50, 608, 16);
    ProgressBar1->setRange(0, 7);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    // The refresh's trigger, pressed only in code.
    Button15 = qzr::makeButton(this, "Button15", QStringLiteral("ComboboxClick"), 360, 12, 110, 25);
    Button15->setVisible(false);

    Panel1 = qzr::makeControl<QWidget>(this, "Panel1", 0, 74, 640, 526);
    Panel1->setVisible(false);

    ComboBox1 = makeList(Panel1, "ComboBox1", QStringLiteral("3D DNR"), shownTexts(kDnrEntries), 0);
    Button1 = makeRowButton(Panel1, "Button1", Setter::Dnr3d, 0);
    ComboBox2 = makeList(Panel1, "ComboBox2", QStringLiteral("AGC"), shownTexts(kAgcEntries), 1);
    Button2 = makeRowButton(Panel1, "Button2", Setter::Agc, 1);
    Label2 = makeSideLabel(Panel1, "Label2", QStringLiteral("manual equals OFF"), 1);
    ComboBox3 = makeList(Panel1, "ComboBox3", QStringLiteral("Sense Up"), shownTexts(kSenseUpEntries), 2);
    Button3 = makeRowButton(Panel1, "Button3", Setter::SenseUp, 2);
    Label3 = makeSideLabel(Panel1, "Label3", QStringLiteral("0 equals OFF"), 2);
    ComboBox4 = makeList(Panel1, "ComboBox4", QStringLiteral("Shutter speed"), shownTexts(kShutterEntries), 3);
    Button4 = makeRowButton(Panel1, "Button4", Setter::Shutter, 3);
    ComboBox5 = makeList(Panel1, "ComboBox5", QStringLiteral("Brightness"), shownTexts(kBrightnessEntries), 4);
    Button5 = makeRowButton(Panel1, "Button5", Setter::Brightness, 4);
    ComboBox6 = makeList(Panel1, "ComboBox6", QStringLiteral("White Balance"), shownTexts(kWhiteBalanceEntries), 5);
    Button6 = makeRowButton(Panel1, "Button6", Setter::WhiteBalance, 5);
    ComboBox7 = makeList(Panel1, "ComboBox7", QStringLiteral("BLC area"), shownTexts(kBlcEntries), 6);
    Button7 = makeRowButton(Panel1, "Button7", Setter::Blc, 6);
    ComboBox9 = makeList(Panel1, "ComboBox9", QStringLiteral("Day/Night"), dayNightTexts(), 7);
    Button9 = makeRowButton(Panel1, "Button9", Setter::DayNight, 7);
    Label6 = makeSideLabel(Panel1, "Label6", QStringLiteral("auto = R410 + R420 "), 7);
    ComboBox11 = makeList(Panel1, "ComboBox11", QStringLiteral("CLVI"), shownTexts(kClviEntries), 8);
    Button13 = makeRowButton(Panel1, "Button13", Setter::Clvi, 8);
    ComboBox10 = makeList(Panel1, "ComboBox10", QStringLiteral("Gamma"), texts(kGammaEntries), 9);
    Button14 = makeRowButton(Panel1, "Button14", Setter::Gamma, 9);
    ScrollBar3 = makeScrollBar(Panel1, "ScrollBar3", QStringLiteral("Black level"), 10);
    Button12 = makeRowButton(Panel1, "Button12", Setter::Pedestal, 10);
    Label1 = makeSideLabel(Panel1, "Label1", QString(), 10);
    ScrollBar1 = makeScrollBar(Panel1, "ScrollBar1", QStringLiteral("Color"), 11);
    Button10 = makeRowButton(Panel1, "Button10", Setter::Color, 11);
    Label4 = makeSideLabel(Panel1, "Label4", QString(), 11);
    ScrollBar2 = makeScrollBar(Panel1, "ScrollBar2", QStringLiteral("Enhance"), 12);
    Button11 = makeRowButton(Panel1, "Button11", Setter::Enhance, 12);
    Label5 = makeSideLabel(Panel1, "Label5", QString(), 12);
    ComboBox12 = makeList(Panel1, "ComboBox12", QStringLiteral("AVP Color"), texts(kAvpEntries), 13);
    Button18 = makeRowButton(Panel1, "Button18", Setter::AvpColor, 13);
    ComboBox13 = makeList(Panel1, "ComboBox13", QStringLiteral("AVP B&W"), texts(kAvpEntries), 14);
    Button19 = makeRowButton(Panel1, "Button19", Setter::AvpBlackWhite, 14);
    Button8 = qzr::makeButton(Panel1, "Button8", QStringLiteral("Set to Scene File"), kValueLeft, rowY(15) + 8,
                              kValueWidth, 30);
    Button17 = qzr::makeButton(Panel1, "Button17", QStringLiteral("Select as Active Scene File"), kButtonLeft,
                               rowY(15) + 8, 230, 30);
    Button16 = qzr::makeButton(Panel1, "Button16", QStringLiteral("Initialize Scene File ( Load Factory default )"),
                               kValueLeft, rowY(16) + 16, 422, 30);

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
