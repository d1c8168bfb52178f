#include "app/Unit1.h"
#include "encoder/WriteCheck.h"

#include "diagnostics/DatagramListener.h"
#include "diagnostics/Diagnostics.h"
#include "app/FindCamerasWindow.h"
#include "windowsupport/FormSupport.h"
#include "protocol/Identity.h"
#include "windowsupport/Operation.h"
#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "app/Unit5.h"
#include "app/Unit6.h"
#include "app/Unit7.h"
#include "app/Unit11.h"
#include "app/Unit12.h"
#include "app/Unit13.h"
#include "app/Unit14.h"
#include "app/Unit15.h"
#include "app/Unit16.h"
#include "app/Unit17.h"
#include "windowsupport/UserDialogs.h"
#include "app/WindowSet.h"
#include "encoder/CodecRules.h"
#include "encoder/EncoderRequests.h"
#include "encoder/EncoderTables.h"
#include "encoder/SpecialSettings.h"
#include "protocol/CameraError.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QTimer>

#include <tuple>
#include <utility>

TForm1 *Form1 = nullptr;

using namespace qzr;

namespace {

QFont boldFont(QFont font, bool italic = false)
{
    font.setBold(true);
    font.setItalic(italic);
    return font;
}

void colourText(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

QLabel *makePicture(QWidget *parent, const char *name, const QString &resource, int x, int y)
{
    auto *picture = new QLabel(parent);
    picture->setObjectName(QString::fromLatin1(name));
    const QPixmap pixmap(resource);
    picture->setPixmap(pixmap);
    picture->setGeometry(x, y, pixmap.width(), pixmap.height());
    return picture;
}

// The narrowest width (at least the present one) at which an editable combo
// shows text whole in its edit field.
int widthShowingWhole(const QComboBox *combo, const QString &text)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = true;
    option.frame = true;
    // The edit field keeps a margin of 2 on each side and room for the cursor.
    const int needed = QFontMetrics(combo->font()).horizontalAdvance(text) + 2 * 2 + 1;
    constexpr int kWidest = 400;
    int width = combo->width();
    for (; width < kWidest; ++width) {
        option.rect = QRect(0, 0, width, combo->height());
        const QRect field =
            combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        if (field.width() >= needed)
            break;
    }
    return width;
}

void showWindow(QWidget *window)
{
    if (window) {
        window->show();
        window->raise();
    }
}

constexpr int kClientWidth = 998;
constexpr int kClientHeight = 543;
constexpr int kProcedureLeft = 1016;
constexpr int kPanel2Left = 8;
constexpr int kPanel2Top = 378;

} // namespace

TForm1::TForm1(QWidget *parent)
    : QMainWindow(parent)
    , m_session(m_replyLog)
{
    Form1 = this;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("QZ-R Serie Mulit Resolution Sample Aplication"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    buildShell(client);
    buildEncoderPanel(client);
    buildProcedureArea(client);
    buildDiagnostics();
    buildMenu();
    bindLiveView();

    move(19, 105);
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

    m_replyLog.setChangeHandler([this] { showReplyLog(); });
    m_session.setRunner(runWithoutFreezing);

    // Key preview: the window sees every key before the focused control.
    qApp->installEventFilter(this);

    shared().LiveViewActive = 0;
    shared().LiveChannel = QStringLiteral("1");
}

TForm1::~TForm1()
{
    qApp->removeEventFilter(this);
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::buildShell(QWidget *client)
{
    Image2 = makePicture(client, "Image2", QStringLiteral(":/pictures/banner.jpg"), 4, 2);
    Image1 = makePicture(client, "Image1", QStringLiteral(":/pictures/camera.jpg"), 160, 70);
    Image3 = makePicture(client, "Image3", QStringLiteral(":/pictures/white.jpg"), 668, 4);

    const int left = 680;
    Label18 = makeLabel(client, "Label18", QStringLiteral("Model Name"), left, 12, 300, 20);
    Label18->setFont(boldFont(font()));
    colourText(Label18, QColor(0, 128, 0));
    Label22 = makeLabel(client, "Label22", QStringLiteral("Firmware Version"), left, 34, 300, 20);
    Label22->setFont(boldFont(font()));
    colourText(Label22, Qt::blue);
    Label24 = makeLabel(client, "Label24", QStringLiteral("IP Address"), left, 56, 300, 20);
    Label24->setFont(boldFont(font()));
    colourText(Label24, Qt::red);
    Label23 = makeLabel(client, "Label23", QStringLiteral("MAC Address"), left, 78, 300, 20);
    Label23->setFont(boldFont(font()));

    Label12 = makeLabel(client, "Label12", QStringLiteral("Camera IP "), left, 112, 90, 22);
    Edit1 = makeControl<QLineEdit>(client, "Edit1", left + 95, 110, 200, 24);
    Edit1->setText(QStringLiteral("192.168.0.57"));
    Edit1->setFont(boldFont(font()));
    colourText(Edit1, Qt::red);
    Label13 = makeLabel(client, "Label13", QStringLiteral("HTTP Port"), left, 142, 90, 22);
    Edit2 = makeControl<QLineEdit>(client, "Edit2", left + 95, 140, 80, 24);
    Edit2->setText(QStringLiteral("80"));
    Label15 = makeLabel(client, "Label15", QStringLiteral("User"), left, 172, 90, 22);
    Edit3 = makeControl<QLineEdit>(client, "Edit3", left + 95, 170, 200, 24);
    Edit3->setText(QStringLiteral("admin"));
    Label19 = makeLabel(client, "Label19", QStringLiteral("Password"), left, 202, 90, 22);
    Edit4 = makeControl<QLineEdit>(client, "Edit4", left + 95, 200, 200, 24);
    Edit4->setText(QStringLiteral("kqm"));
    maskWithStars(Edit4);
    Edit4->setEchoMode(QLineEdit::Password);
    for (QLabel *label : {Label12, Label13, Label15, Label19})
        label->setFont(boldFont(font()));
    nameAfterLabel(Edit1, Label12);
    nameAfterLabel(Edit2, Label13);
    nameAfterLabel(Edit3, Label15);
    nameAfterLabel(Edit4, Label19);
    Edit1->installEventFilter(this);

    CheckBox5 = makeControl<QCheckBox>(client, "CheckBox5", left + 95, 228, 200, 22);
    CheckBox5->setText(QStringLiteral("Hide Password"));
    CheckBox5->setChecked(true);
    connectReported(CheckBox5, &QCheckBox::clicked, this, &TForm1::CheckBox5Click);

    // Live-view controls; hidden until a camera address has been chosen.
    Button2 = makeButton(client, "Button2", QStringLiteral("Start Live Stream"), left, 262, 150, 30);
    Button2->setFont(boldFont(font(), true));
    Button2->hide();
    Button7 = makeButton(client, "Button7", QStringLiteral("Full Screen"), left + 160, 262, 130, 30);
    Button7->hide();
    CheckBox7 = makeControl<QCheckBox>(client, "CheckBox7", left, 298, 220, 22);
    CheckBox7->setText(QStringLiteral("Display on Second Monitor"));
    colourText(CheckBox7, Qt::blue);
    CheckBox7->hide();
    connectReported(CheckBox7, &QCheckBox::clicked, this, &TForm1::CheckBox7Click);
    ComboBox10 = makeControl<QComboBox>(client, "ComboBox10", left, 324, 140, 24);
    ComboBox10->setEditable(true);
    ComboBox10->setInsertPolicy(QComboBox::NoInsert);
    ComboBox10->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    ComboBox10->setCurrentIndex(-1);
    ComboBox10->setEditText(QStringLiteral("Streaming Channel"));
    ComboBox10->hide();
    ComboBox8 = makeControl<QComboBox>(client, "ComboBox8", left + 150, 324, 150, 24);
    ComboBox8->setEditable(true);
    ComboBox8->setInsertPolicy(QComboBox::NoInsert);
    ComboBox8->addItems({QStringLiteral("Displ. Info OFF"), QStringLiteral("Displ. Info ON")});
    ComboBox8->setCurrentIndex(-1);
    ComboBox8->setEditText(QStringLiteral("Video Overlay ( Time... )"));
    ComboBox8->hide();
    // Both prompts are read whole, from their start: the overlay list ends at
    // the window's right edge, the channel list just before it.
    const int overlayWidth = widthShowingWhole(ComboBox8, ComboBox8->currentText());
    const int channelWidth = widthShowingWhole(ComboBox10, ComboBox10->currentText());
    ComboBox8->setGeometry(kClientWidth - 4 - overlayWidth, ComboBox8->y(), overlayWidth, ComboBox8->height());
    ComboBox10->setGeometry(qMin(left, ComboBox8->x() - 6 - channelWidth), ComboBox10->y(), channelWidth,
                            ComboBox10->height());
    CheckBox8 = makeControl<QCheckBox>(client, "CheckBox8", left, 352, 120, 22);
    CheckBox8->setText(QStringLiteral("Multicast"));
    CheckBox4 = makeControl<QCheckBox>(client, "CheckBox4", left + 130, 352, 160, 22);
    CheckBox4->setText(QStringLiteral("Check connection"));
    CheckBox4->hide();
    CheckBox6 = makeControl<QCheckBox>(client, "CheckBox6", left + 130, 376, 160, 22);
    CheckBox6->setText(QStringLiteral("Service"));
    CheckBox6->hide();

    // The live-view notes sit in the right column, below the live view's
    // window and clear of the encoder panel.
    Label2 = makeLabel(client, "Label2", QString(), 668, 400, 326, 18);
    Label2->setFont(boldFont(font()));
    colourText(Label2, Qt::red);
    Label1 = makeLabel(client, "Label1", QStringLiteral("To EXIT Full Screen mode press ESC key on Keyboard"), 668, 420, 326, 18);
    colourText(Label1, Qt::red);

    // The silver box with the frame-rate display controls, normally covered by
    // the encoder setter panel.
    Panel1 = makeControl<QFrame>(client, "Panel1", 8, 420, 640, 118);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setAutoFillBackground(true);
    QPalette silver = Panel1->palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    Panel1->setPalette(silver);
    Button20 = makeButton(Panel1, "Button20", QStringLiteral("PC Performance"), 8, 8, 130, 28);
    Button19 = makeButton(Panel1, "Button19", QStringLiteral("HD FPS"), 146, 8, 100, 28);
    Button19->hide();
    makeLabel(Panel1, "Label3", QStringLiteral("Intervall"), 8, 46, 70, 22);
    Edit6 = makeControl<QLineEdit>(Panel1, "Edit6", 80, 44, 50, 24);
    Edit6->setText(QStringLiteral("1"));
    makeLabel(Panel1, "Label4", QStringLiteral("Sekunden"), 136, 46, 80, 22);
    auto *warning = makeLabel(Panel1, "Label5", QStringLiteral("Functions in this Box will not work on your PC !"), 8, 84, 620, 22);
    warning->setFont(boldFont(font()));
    colourText(warning, Qt::red);
    Button15 = makeButton(client, "Button15", QStringLiteral("Full HD FPS"), 400, 424, 110, 28);
    Button16 = makeButton(client, "Button16", QStringLiteral("OFF"), 520, 424, 60, 28);
    Button14 = makeButton(client, "Button14", QStringLiteral("VGA FPS"), 400, 456, 110, 28);
    Button14->hide();

    Button3 = makeButton(client, "Button3", QStringLiteral("Set to Camera"), left, 440, 150, 30);
    Button3->hide();

    ProgressBar1 = makeControl<QProgressBar>(client, "ProgressBar1", left, 516, 300, 18);
    ProgressBar1->setRange(0, 2);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
}

void TForm1::buildEncoderPanel(QWidget *client)
{
    using namespace qzr::encoder;

    // The encoder panel covers the silver box: one encoder at a time, its
    // combos editable, each showing its prompt until something is read or chosen.
    // Its top strip holds the bitrate setter, its bottom row the frame-rate
    // and I-frame setters.
    Panel2 = makeControl<QFrame>(client, "Panel2", kPanel2Left, kPanel2Top, 640, 160);
    Panel2->setFrameShape(QFrame::Panel);
    Panel2->setAutoFillBackground(true);

    auto combo = [this](const char *name, const char *labelName, const QString &caption, int x, int y,
                        const char *prompt, const QStringList &items) {
        QLabel *label = makeLabel(Panel2, labelName, caption, x, y, 150, 18);
        auto *box = makeControl<QComboBox>(Panel2, name, x, y + 18, 150, 24);
        box->setEditable(true);
        // Typed text is sent as it stands but never becomes an item: the
        // items' positions pick the values.
        box->setInsertPolicy(QComboBox::NoInsert);
        box->addItems(items);
        box->setCurrentIndex(-1);
        box->setEditText(QString::fromLatin1(prompt));
        nameAfterLabel(box, label);
        return std::make_pair(box, label);
    };
    constexpr int kColumn = 158;
    constexpr int kTopRow = 30;
    constexpr int kBottomRow = 78;
    ComboBox1 = combo("ComboBox1", "Label7", QStringLiteral("Stream Number"), 8, kTopRow,
                      kEncoderNumberCombo.prompt, itemTexts(kEncoderNumberCombo.items)).first;
    ComboBox11 = combo("ComboBox11", "Label8", QStringLiteral("Encoder CODEC"), 8 + kColumn, kTopRow,
                       kCodecCombo.prompt, itemTexts(kCodecCombo.items)).first;
    ComboBox11->setAutoFillBackground(true);
    QPalette codecColours = ComboBox11->palette();
    codecColours.setColor(QPalette::Base, QColor(128, 128, 128));
    codecColours.setColor(QPalette::Button, QColor(128, 128, 128));
    codecColours.setColor(QPalette::Text, Qt::white);
    codecColours.setColor(QPalette::ButtonText, Qt::white);
    ComboBox11->setPalette(codecColours);
    ComboBox11->setFont(boldFont(font()));
    ComboBox2 = combo("ComboBox2", "Label9", QStringLiteral("Frame size"), 8 + 2 * kColumn, kTopRow,
                      kFrameSizeCombo.prompt, itemTexts(kFrameSizeCombo.items)).first;
    ComboBox3 = combo("ComboBox3", "Label10", QStringLiteral("Frame Rate ( fps )"), 8 + 3 * kColumn, kTopRow,
                      kFrameRateCombo.prompt, itemTexts(kFrameRateCombo.items)).first;
    ComboBox4 = combo("ComboBox4", "Label16", QStringLiteral("Bitrate Mode"), 8, kBottomRow,
                      kModeCombo.prompt, itemTexts(kModeCombo.items)).first;
    ComboBox5 = combo("ComboBox5", "Label17", QStringLiteral("Bitrate ( JPEG size )"), 8 + kColumn, kBottomRow,
                      kBitrateCombo.prompt, itemTexts(kBitrateCombo.items)).first;
    // The JPEG size takes the bitrate's place; hidden until JPEG applies.
    ComboBox12 = makeControl<QComboBox>(Panel2, "ComboBox12", 8 + kColumn, kBottomRow + 18, 150, 24);
    ComboBox12->setEditable(true);
    ComboBox12->setInsertPolicy(QComboBox::NoInsert);
    ComboBox12->addItems(itemTexts(kJpegQualityCombo.items));
    ComboBox12->setCurrentIndex(-1);
    ComboBox12->setEditText(QString::fromLatin1(kJpegQualityCombo.prompt));
    ComboBox12->setAccessibleName(QStringLiteral("JPEG size"));
    ComboBox12->hide();
    std::tie(ComboBox6, Label11) = combo("ComboBox6", "Label11", QStringLiteral("I-Frame Interval"),
                                         8 + 2 * kColumn, kBottomRow, kIFrameIntervalCombo.prompt,
                                         itemTexts(kIFrameIntervalCombo.items));
    QLabel *modeHint = makeLabel(Panel2, "Label20", QStringLiteral("afs = JPEG only !"), 8, kBottomRow + 42, 150, 14);
    colourText(modeHint, Qt::red);
    QLabel *sizeHint = makeLabel(Panel2, "Label21", QStringLiteral("JPEG at Full HD only !"), 8 + kColumn, kBottomRow + 42, 150, 14);
    colourText(sizeHint, Qt::red);

    // Only a user's choice is a change: items the encoder read selects do
    // not come back here.
    connectReported(ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);
    connectReported(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    const std::pair<QComboBox *, void (TForm1::*)()> choices[] = {
        {ComboBox11, &TForm1::ComboBox11Change}, {ComboBox12, &TForm1::ComboBox12Change},
        {ComboBox2, &TForm1::ComboBox2Change},   {ComboBox3, &TForm1::ComboBox3Change},
        {ComboBox4, &TForm1::ComboBox4Change},   {ComboBox5, &TForm1::ComboBox5Change},
        {ComboBox6, &TForm1::ComboBox6Change},
    };
    for (const auto &[box, handler] : choices)
        connectReported(box, &QComboBox::activated, this, handler);

    buildEncoderSetters(client);
}

void TForm1::buildEncoderSetters(QWidget *client)
{
    using namespace qzr::encoder;

    const auto setterCombo = [](QWidget *parent, const char *name, int x, int y, int w, const auto &combo) {
        auto *box = makeControl<QComboBox>(parent, name, x, y, w, 24);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->addItems(itemTexts(combo.items));
        box->setCurrentIndex(-1);
        box->setEditText(QString::fromLatin1(combo.prompt));
        box->setAccessibleName(QString::fromLatin1(combo.prompt));
        return box;
    };

    // The bitrate setter lies on the window itself, in front of the panel's
    // top strip.
    Button24 = makeButton(client, "Button24", QStringLiteral("Set Bitrate only for Encoder 1"),
                          kPanel2Left + 8, kPanel2Top + 4, 214, 24);
    ComboBox13 = setterCombo(client, "ComboBox13", kPanel2Left + 226, kPanel2Top + 4, 120, kSetterBitrateCombo);
    CheckBox1 = makeControl<QCheckBox>(Panel2, "CheckBox1", 360, 5, 150, 22);
    CheckBox1->setText(QStringLiteral("Special Settings"));

    // The two wider lists, beside the I-frame interval. They show only while
    // the panel lies behind the silver box, so they sit on the window itself,
    // in front of both, where the box leaves room for them.
    CheckBox2 = makeControl<QCheckBox>(client, "CheckBox2", kPanel2Left + 482, kPanel2Top + 80, 150, 20);
    CheckBox2->setText(QStringLiteral("30 fps Enable"));
    CheckBox2->hide();
    CheckBox3 = makeControl<QCheckBox>(client, "CheckBox3", kPanel2Left + 482, kPanel2Top + 100, 150, 20);
    CheckBox3->setText(QStringLiteral("8000 Kbit/s Enable"));
    CheckBox3->hide();

    constexpr int kSetterRow = 134;
    Button25 = makeButton(Panel2, "Button25", QStringLiteral("Set Framerate only for Encoder 1"), 8, kSetterRow, 214, 24);
    ComboBox14 = setterCombo(Panel2, "ComboBox14", 226, kSetterRow, 120, kSetterFrameRateCombo);
    Button1 = makeButton(Panel2, "Button1", QStringLiteral("Set I-Frame Interval"), 356, kSetterRow, 150, 24);
    ComboBox7 = setterCombo(Panel2, "ComboBox7", 510, kSetterRow, 122, kSetterIFrameCombo);

    connectReported(Button24, &QPushButton::clicked, this, &TForm1::Button24Click);
    connectReported(Button25, &QPushButton::clicked, this, &TForm1::Button25Click);
    connectReported(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    // Only a user's choice sets the held bitrate; texts an encoder read
    // writes into the setter combos are no choice.
    connectReported(ComboBox13, &QComboBox::activated, this, &TForm1::ComboBox13Change);
    connectReported(CheckBox1, &QCheckBox::clicked, this, &TForm1::CheckBox1Click);
    connectReported(CheckBox2, &QCheckBox::clicked, this, &TForm1::CheckBox2Click);
    connectReported(CheckBox3, &QCheckBox::clicked, this, &TForm1::CheckBox3Click);
}

namespace {

void applyChange(QWidget *control, const qzr::encoder::ControlChange &change)
{
    if (change.visible)
        control->setVisible(*change.visible);
    if (change.enabled)
        control->setEnabled(*change.enabled);
    if (change.selectItem) {
        if (auto *combo = qobject_cast<QComboBox *>(control)) {
            const QSignalBlocker quiet(combo);
            combo->setCurrentIndex(combo->findText(*change.selectItem));
        }
    }
}

} // namespace

void TForm1::ComboBox11Change()
{
    using namespace qzr::encoder;
    const auto chosenText = valueAt(kCodecCombo.items, ComboBox11->currentIndex());
    const CodecChoiceEffects effects =
        codecChoiceEffects(chosenText ? codecFromText(*chosenText) : std::nullopt);
    applyChange(Button3, effects.setToCameraButton);
    applyChange(Button7, effects.fullScreenButton);
    if (effects.codecWorkingValue)
        EncoderValues.codec = *effects.codecWorkingValue;
    if (effects.frameSizeWorkingValue)
        EncoderValues.frameSize = *effects.frameSizeWorkingValue;
    if (effects.iframeWorkingValue)
        EncoderValues.iframeInterval = *effects.iframeWorkingValue;
    applyChange(ComboBox5, effects.bitrateCombo);
    applyChange(ComboBox6, effects.iframeCombo);
    // The box's label comes and goes with it.
    if (effects.iframeCombo.visible)
        Label11->setVisible(*effects.iframeCombo.visible);
    applyChange(ComboBox4, effects.modeCombo);
    applyChange(ComboBox12, effects.jpegQualityCombo);
    applyChange(ComboBox2, effects.frameSizeCombo);
    applyChange(ComboBox1, effects.encoderNumberCombo);
}

void TForm1::ComboBox12Change()
{
    // The camera's token by position: "120K" is sent as "120k".
    if (const auto token = qzr::encoder::valueAt(qzr::encoder::kJpegQualityTokens, ComboBox12->currentIndex()))
        EncoderValues.jpegQualityToken = *token;
}

void TForm1::ComboBox2Change()
{
    EncoderValues.frameSize = ComboBox2->currentText();
}

void TForm1::ComboBox3Change()
{
    EncoderValues.frameRate = ComboBox3->currentText();
}

void TForm1::ComboBox4Change()
{
    EncoderValues.mode = ComboBox4->currentText();
}

void TForm1::ComboBox5Change()
{
    EncoderValues.bitrate = ComboBox5->currentText();
}

void TForm1::ComboBox6Change()
{
    EncoderValues.iframeInterval = ComboBox6->currentText();
}

void TForm1::ComboBox1Change()
{
    ComboBox2->show();
    const int index = ComboBox1->currentIndex();
    if (index < 0 || index >= qzr::encoder::kEncoderCount)
        return;
    EncoderValues.encoderNumber = ComboBox1->currentText();
    switch (index + qzr::encoder::kFirstEncoder) {
    case 1:
        Form12->Button2Click();
        break;
    case 2:
        Form12->Button3Click();
        break;
    default:
        Form12->Button4Click();
        break;
    }
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->setCurrentIndex(index);
}

void TForm1::buildProcedureArea(QWidget *client)
{
    // Controls beyond the visible area: other windows press these buttons as
    // procedures and use the two text areas as scratch space.
    Memo1 = makeControl<QPlainTextEdit>(client, "Memo1", kProcedureLeft, 8, 320, 200);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2 = makeControl<QPlainTextEdit>(client, "Memo2", kProcedureLeft, 216, 320, 60);
    Label14 = makeLabel(client, "Label14", QString(), 8, kClientHeight + 10, 200, 20);
    Label14->setFont(boldFont(font()));
    colourText(Label14, Qt::red);

    struct ProcedureButton
    {
        QPushButton **member;
        const char *name;
        const char *caption;
        bool visible;
    };
    const ProcedureButton buttons[] = {
        {&Button13, "Button13", "CAM2 Full HD", true},
        {&Button21, "Button21", "Ch 1", true},
        {&Button22, "Button22", "Ch 2", true},
        {&Button23, "Button23", "Ch 3", true},
        {&Button30, "Button30", "Ping", true},
        {&Button31, "Button31", "Search", true},
        {&Button32, "Button32", "Stop search", true},
        {&Button26, "Button26", "Test", true},
        {&Button28, "Button28", "Test", true},
        {&Button40, "Button40", "Model", true},
        {&Button41, "Button41", "Firmware", true},
        {&Button42, "Button42", "SceneFileNummer", true},
        {&Button43, "Button43", "Day Focus", true},
        {&Button44, "Button44", "NightFocus", true},
        {&Button48, "Button48", "Spare2", true},
        {&Button4, "Button4", "2x25fpsVideo", true},
        {&Button6, "Button6", "Get Encoding settings", true},
        {&Button8, "Button8", "LowLightDemo", true},
        {&Button9, "Button9", "2 x H264 Stream", true},
        {&Button10, "Button10", "3 x H264 Stream", true},
        {&Button11, "Button11", "Flickerless ( Scene File General only )", true},
        {&Button27, "Button27", "H264 Single Encoding", true},
        {&Button34, "Button34", "2 x 25fpsSettings", true},
        {&Button5, "Button5", "Cam2 VGA", true},
        {&Button35, "Button35", "720P Single", true},
        {&Button39, "Button39", "1920 + 360", true},
        {&Button45, "Button45", "Spare", true},
        {&Button29, "Button29", "FullHD + 720P + VGA", true},
        {&Button37, "Button37", "720P + VGA", true},
        {&Button38, "Button38", "FullHD + VGA", true},
        {&Button12, "Button12", "Fullscreen HD CAM 2", false},
        {&Button17, "Button17", "Full Scr", false},
        {&Button18, "Button18", "Button18", false},
    };
    int index = 0;
    for (const ProcedureButton &entry : buttons) {
        const int column = index % 3;
        const int row = index / 3;
        *entry.member = makeButton(client, entry.name, QString::fromLatin1(entry.caption),
                                   kProcedureLeft + column * 110, 284 + row * 26, 106, 24);
        (*entry.member)->setVisible(entry.visible);
        ++index;
    }

    connectReported(Button40, &QPushButton::clicked, this, &TForm1::Button40Click);
    connectReported(Button41, &QPushButton::clicked, this, &TForm1::Button41Click);
    connectReported(Button42, &QPushButton::clicked, this, &TForm1::Button42Click);
    connectReported(Button43, &QPushButton::clicked, this, &TForm1::Button43Click);
    connectReported(Button44, &QPushButton::clicked, this, &TForm1::Button44Click);
    connectReported(Button48, &QPushButton::clicked, this, &TForm1::Button48Click);
    connectReported(Button6, &QPushButton::clicked, this, &TForm1::Button6Click);
}

void TForm1::buildMenu()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    const auto item = [this](QMenu *menu, const char *name, const QString &text, auto &&action) {
        QAction *entry = menu ? menu->addAction(text) : MainMenu1->addAction(text);
        entry->setObjectName(QString::fromLatin1(name));
        connect(entry, &QAction::triggered, this, [action] { runReported(action); });
        return entry;
    };
    const auto submenu = [](QMenu *parent, const char *name, const QString &title) {
        QMenu *menu = parent->addMenu(title);
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };

    item(nullptr, "Exit1", QStringLiteral("Exit"), [this] { Exit1Click(); });

    QMenu *ipSetup = MainMenu1->addMenu(QStringLiteral("IP Setup"));
    ipSetup->setObjectName(QStringLiteral("IPSetup1"));
    item(ipSetup, "SelectIPaddress1", QStringLiteral("Select IP address"), [] { showWindow(Form3); });
    item(ipSetup, "FindCameras1", QStringLiteral("Find Cameras\u2026"), [] { findCamerasWindow()->openAndSearch(); });
    item(ipSetup, "ChangeCameraIPaddress1", QStringLiteral("Change Camera IP address"), [] { showWindow(Form15); });

    QMenu *demo = MainMenu1->addMenu(QStringLiteral("Demo Settings"));
    demo->setObjectName(QStringLiteral("DemoSettings1"));
    item(demo, "LowLightDemo1", QStringLiteral("LowLightDemo"), [this] { Button8Click(); });
    item(demo, "Flickerless1", QStringLiteral("Flickerless ( SF General )"), [this] { Button11Click(); });
    QMenu *three = submenu(demo, "N3xH264Stream1", QStringLiteral("3 x H264 Stream"));
    item(three, "StartDirect3Streams1", QStringLiteral("Start direct"), [this] { Button29Click(); });
    item(three, "Configure3Streams1", QStringLiteral("Configure 3 Streams"), [this] { Button10Click(); });
    QMenu *two = submenu(demo, "N2xH264stream1", QStringLiteral("2 x H264 stream"));
    item(two, "StartDirect2Streams1", QStringLiteral("Start direct"), [this] { Button38Click(); });
    item(two, "Configure2Streams1", QStringLiteral("Configure 2 Streams"), [this] { Button9Click(); });
    item(demo, "TerelleDefaultSetting1", QStringLiteral("Terelle Default Setting"), [this] {
        ProgressBar1->setValue(0);
        ProgressBar1->setMaximum(4);
        Button27Click();
    });
    item(demo, "DigitalZoom1", QStringLiteral("Digital Zoom"), [] { showWindow(Form11); });
    QMenu *fps25 = submenu(demo, "N720VGA25fps1", QStringLiteral("720 + VGA 25fps"));
    item(fps25, "StartDirect25fps1", QStringLiteral("Start direct"), [this] { Button37Click(); });
    item(fps25, "Configure2x25fps1", QStringLiteral("Configure 2 x 25fps"), [this] { Button34Click(); });

    QMenu *camera = MainMenu1->addMenu(QStringLiteral("Camera Settings"));
    camera->setObjectName(QStringLiteral("CameraSettings1"));
    item(camera, "CameraVideoSettings1", QStringLiteral("Camera Video Settings"),
         [] { qzr::runReported([] { Form7->openFromMainWindow(); }); });
    item(camera, "CameraEncoderInfo1", QStringLiteral("Camera Encoder Info"), [] { showWindow(Form12); });
    item(camera, "SaveLoadSettings1", QStringLiteral("Save/Load Settings to PC/Camera"), [] { showWindow(Form5); });
    item(camera, "SDCardSettings1", QStringLiteral("SD Card Settings"), [] { showWindow(Form17); });
    item(camera, "AutoFocusAdjust1", QStringLiteral("Auto Focus Adjust"), [] { showWindow(Form16); });

    item(nullptr, "About1", QStringLiteral("About"), [this] { About1Click(); });
}

void TForm1::refreshMemo1()
{
    Memo1->setPlainText(m_replyLog.lines().join(QLatin1Char('\n')));
}

void TForm1::showReplyLog()
{
    m_memo1Refresh.request();
    // Every change of the log advances the bar by one step, never past its
    // end; the bar is repainted with the window, not synchronously per step.
    ProgressBar1->setUpdatesEnabled(false);
    ProgressBar1->setValue(qMin(ProgressBar1->value() + 1, ProgressBar1->maximum()));
    ProgressBar1->setUpdatesEnabled(true);
}

void TForm1::ApplyConnection()
{
    m_session.applyConnection({Edit1->text(), Edit2->text(), Edit3->text(), Edit4->text()});
}

void TForm1::Button40Click()
{
    ApplyConnection();
    Label18->setText(identity::modelCaption(ReadParameter(identity::kModelKey)));
}

void TForm1::Button41Click()
{
    ApplyConnection();
    Label22->setText(identity::firmwareCaption(ReadParameter(identity::kRevisionKey)));
    ApplyConnection();
    const QString mac = ReadParameter(identity::kMacKey);
    Label23->setText(identity::macCaption(mac));
    if (Form15)
        Form15->Label8->setText(shownText(mac));
}

void TForm1::Button42Click()
{
    ApplyConnection();
    const QByteArray body = CameraGet(ParamQuery::read(identity::kSceneStatusKey));
    m_replyLog.setText(bodyText(body));
    m_replyLog.trimReply();
    SharedState &state = shared();
    state.EditedSceneNumber.clear();
    // The callers empty the stored number first; the digits are appended.
    state.StoredSceneNumber += valueFrom(m_replyLog.text(), defaultValueStart(identity::kSceneStatusKey));
    Memo2->setPlainText(state.StoredSceneNumber);
    m_replyLog.setText(m_replyLog.text() + state.StoredSceneNumber);
    m_replyLog.appendLine(QString());
}

void TForm1::Button43Click()
{
    ApplyConnection();
    const QString status = ReadParameter(identity::kFocusStatusKey);
    m_replyLog.setText(status);
}

void TForm1::Button44Click()
{
    ApplyConnection();
    const QString value = ReadParameter(identity::kNightFocusKey);
    m_replyLog.setText(value);
    shared().NightFocusValue = value;
}

void TForm1::Button48Click()
{
    ApplyConnection();
    LogReply(CameraGet(ParamQuery::read(identity::kFineFocusKey)));
}

void TForm1::CheckBox5Click()
{
    Edit4->setEchoMode(CheckBox5->isChecked() ? QLineEdit::Password : QLineEdit::Normal);
}

void TForm1::CheckBox7Click()
{
    // Only with more than one monitor does the box move the CAM 3 window.
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.size() == 1 || !Form6)
        return;
    if (CheckBox7->isChecked()) {
        if (screens.size() > 1)
            Form6->setGeometry(screens.at(1)->geometry());
        Image1->hide();
        Image2->hide();
        Image3->hide();
    } else {
        if (!screens.isEmpty())
            Form6->setGeometry(screens.at(0)->geometry());
        Image1->show();
        Image2->show();
        Image3->show();
        Form6->Button2Click();
    }
}

void TForm1::FormKeyPress(int key)
{
    if (key != Qt::Key_Escape)
        return;
    if (Form6)
        Form6->Button2Click();
    if (CheckBox7->isChecked()) {
        CheckBox7->setChecked(false);
        CheckBox7Click();
    }
}

void TForm1::Exit1Click()
{
    if (Form6 && Button2->text() == QLatin1String("Stop Live Stream"))
        Form6->ReleaseViewer();
    if (Form6 && Form14 && Form14->isStreaming())
        Form6->ReleaseViewer();
    QApplication::quit();
}

void TForm1::About1Click()
{
    dialogs().showMessage(QStringLiteral("%1\nVersion %2").arg(applicationTitle(), QCoreApplication::applicationVersion()));
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && event != m_lastPreviewedKey) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this) {
            // Seen once per key press, before the focused control; passed on.
            m_lastPreviewedKey = event;
            QTimer::singleShot(0, this, [this] { m_lastPreviewedKey = nullptr; });
            const int key = static_cast<QKeyEvent *>(event)->key();
            runReported([this, key] { FormKeyPress(key); });
        }
    } else if (watched == Edit1 && event->type() == QEvent::MouseButtonPress) {
        if (Form3) {
            Form3->show();
            Form3->raise();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // Closing the main window ends the program at once.
    event->accept();
    QApplication::quit();
}

void TForm1::Button3Click()
{
    ProgressBar1->setValue(0);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    // The working values are refreshed from what the combos show; the JPEG
    // quality token only comes from a choice in ComboBox12.
    encoder::WorkingValues &values = EncoderValues;
    values.codec = ComboBox11->currentText();
    values.encoderNumber = ComboBox1->currentText();
    values.frameSize = ComboBox2->currentText();
    values.frameRate = ComboBox3->currentText();
    values.mode = ComboBox4->currentText();
    if (values.codec != QLatin1String("jpeg"))
        values.bitrate = ComboBox5->currentText();
    values.iframeInterval = ComboBox6->currentText();

    // A codec the camera does not know, or a JPEG size never chosen, sends
    // nothing: say so instead of reporting a setting that never happened.
    values = encoder::valuesToSend(values);
    const encoder::PreparedRequest request = encoder::setToCameraRequest(values);
    if (request.isRefused()) {
        dialogs().showMessage(request.refusal());
        return;
    }

    ProgressBar1->setValue(0);
    ProgressBar1->setMaximum(7);
    m_replyLog.clear();
    ApplyConnection();
    const QStringList refused = encoder::setToCameraRefusedKeys(m_session, request, values.encoderNumber);

    // The read-back of the chosen encoder fills the panel with what the
    // camera holds; it is compared with what was sent.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    std::optional<encoder::EncoderSettings> held;
    const int chosen = ComboBox1->currentIndex();
    if (chosen >= 0 && chosen < 3 && ComboBox1->currentText() == ComboBox1->itemText(chosen))
        held = Form12->showEncoder(chosen + 1);
    const QList<encoder::UntakenSetting> untaken = encoder::untakenSettings(
        encoder::setToCameraValues(values), refused, held, [this](encoder::EncoderKey key) { return panelOffers(key); });
    if (!untaken.isEmpty()) {
        dialogs().showError(encoder::untakenMessage(untaken));
        return;
    }
    dialogs().showMessage(QStringLiteral("Setting Complete, you might continue now"), QPoint(500, 400));
}

QStringList TForm1::panelOffers(encoder::EncoderKey key) const
{
    auto itemsOf = [](const QComboBox *combo) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    };
    switch (key) {
    case encoder::EncoderKey::Type:
        return itemsOf(ComboBox11);
    case encoder::EncoderKey::Quality:
        return encoder::itemTexts(encoder::kJpegQualityTokens);
    case encoder::EncoderKey::Bitrate:
        return itemsOf(ComboBox5);
    case encoder::EncoderKey::FrameSize:
        return itemsOf(ComboBox2);
    case encoder::EncoderKey::CbrMode:
        return itemsOf(ComboBox4);
    case encoder::EncoderKey::IFrameInterval:
        return itemsOf(ComboBox6);
    case encoder::EncoderKey::FrameRate:
        break;
    }
    return itemsOf(ComboBox3);
}

namespace {

// Appends the items when checked; otherwise deletes the item at the
// widening's position once per item. The combo keeps showing its text even
// when the deleted item was the selected one.
void applyWidening(QComboBox *combo, const qzr::encoder::ListWidening &widening, bool checked)
{
    const QSignalBlocker quiet(combo);
    if (checked) {
        combo->addItems(widening.items);
        return;
    }
    const QString shown = combo->currentText();
    for (int i = 0; i < widening.items.size(); ++i) {
        if (combo->currentIndex() == widening.removeIndex) {
            combo->setCurrentIndex(-1);
            combo->setEditText(shown);
        }
        combo->removeItem(widening.removeIndex);
    }
}

} // namespace

void TForm1::finishSetter(const QByteArray &reply, encoder::EncoderKey key, const QString &value,
                          const QStringList &offered, bool stepToMaximum)
{
    // The read-back of encoder 1 shows what the camera holds; the bar keeps
    // the setter's range.
    const int maximum = ProgressBar1->maximum();
    const int position = ProgressBar1->value();
    const encoder::EncoderSettings held = Form12->showEncoder(1);
    ProgressBar1->setMaximum(maximum);
    ProgressBar1->setValue(position);
    const QList<encoder::UntakenSetting> untaken = encoder::untakenSettings(
        encoder::setterValues(key, value), refusedKeys(reply), held,
        [&offered](encoder::EncoderKey) { return offered; });
    if (!untaken.isEmpty()) {
        m_replyLog.clear();
        dialogs().showError(encoder::untakenMessage(untaken));
        return;
    }
    ProgressBar1->setValue(stepToMaximum ? ProgressBar1->maximum()
                                         : qMin(ProgressBar1->value() + 1, ProgressBar1->maximum()));
    m_replyLog.clear();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    dialogs().showMessage(QStringLiteral("Setting Complete, you might continue now"), QPoint(500, 400));
}

void TForm1::ComboBox13Change()
{
    // By position: the captions are kbit/s, the camera takes bit/s.
    if (const auto value = encoder::valueAt(encoder::kSetterBitrateValues, ComboBox13->currentIndex()))
        SetterBitrate = *value;
}

void TForm1::Button24Click()
{
    // With no bitrate ever chosen there is nothing sensible to send.
    const encoder::PreparedRequest request = encoder::bitrateSetterRequest(SetterBitrate);
    if (request.isRefused()) {
        dialogs().showMessage(request.refusal());
        return;
    }
    ProgressBar1->setValue(0);
    ProgressBar1->setMaximum(3);
    ApplyConnection();
    const QByteArray reply = CameraGet(request.query());
    finishSetter(reply, encoder::EncoderKey::Bitrate, SetterBitrate,
                 encoder::itemTexts(encoder::kSetterBitrateValues).mid(0, ComboBox13->count()), false);
}

void TForm1::Button25Click()
{
    ProgressBar1->setValue(0);
    ProgressBar1->setMaximum(3);
    if (const auto value = encoder::valueAt(encoder::kSetterFrameRateValues, ComboBox14->currentIndex()))
        EncoderValues.frameRate = *value;
    ApplyConnection();
    const QByteArray reply = CameraGet(encoder::frameRateSetterRequest(EncoderValues.frameRate));
    finishSetter(reply, encoder::EncoderKey::FrameRate, EncoderValues.frameRate,
                 encoder::itemTexts(encoder::kSetterFrameRateValues), true);
}

void TForm1::Button1Click()
{
    ProgressBar1->setValue(0);
    ProgressBar1->setMaximum(3);
    if (const auto value = encoder::valueAt(encoder::kSetterIFrameValues, ComboBox7->currentIndex()))
        EncoderValues.iframeInterval = *value;
    ApplyConnection();
    const QByteArray reply = CameraGet(encoder::iframeSetterRequest(EncoderValues.iframeInterval));
    finishSetter(reply, encoder::EncoderKey::IFrameInterval, EncoderValues.iframeInterval,
                 encoder::itemTexts(encoder::kSetterIFrameValues), false);
}

void TForm1::CheckBox1Click()
{
    const encoder::SpecialSettingsEffects effects =
        encoder::specialSettingsEffects(CheckBox1->isChecked(), Edit4->text());
    if (effects.lowersEncoderPanel)
        Panel2->lower();
    if (effects.raisesEncoderPanel) {
        Panel2->raise();
        Button24->raise();
        ComboBox13->raise();
    }
    if (effects.showsCheckConnection)
        CheckBox4->show();
    if (effects.serviceBoxesVisible) {
        for (QCheckBox *box : {CheckBox6, CheckBox2, CheckBox3}) {
            box->setVisible(*effects.serviceBoxesVisible);
            box->raise();
        }
    }
}

void TForm1::CheckBox2Click()
{
    applyWidening(ComboBox3, encoder::frameRateWidening(), CheckBox2->isChecked());
}

void TForm1::CheckBox3Click()
{
    const bool checked = CheckBox3->isChecked();
    applyWidening(ComboBox13, encoder::setterBitrateWidening(), checked);
    applyWidening(ComboBox5, encoder::panelBitrateWidening(), checked);
}

void TForm1::Button6Click()
{
    m_replyLog.clear();
    // User and password from the fields; the address stays the one the last
    // ApplyConnection saw.
    m_session.applyCredentialsOnly({Edit1->text(), Edit2->text(), Edit3->text(), Edit4->text()});
    for (const ParamQuery &query : encoder::encodingDumpRequests()) {
        const QByteArray body = CameraGet(query);
        const QString shown = m_replyLog.text();
        m_replyLog.setText((shown.isEmpty() ? shown : shown + QStringLiteral("\r\n")) + bodyText(body)
                           + QStringLiteral("\r\n"));
    }
}

void TForm1::buildDiagnostics()
{
    // The ping list and the connection check's note lie in the encoder setter
    // panel, hidden until the check runs.
    ListBox1 = makeControl<QListWidget>(Panel2, "ListBox1", 324, 112, 308, 22);
    QPalette lime = ListBox1->palette();
    lime.setColor(QPalette::Base, QColor(32, 32, 32));
    lime.setColor(QPalette::Text, QColor(0, 255, 0));
    ListBox1->setPalette(lime);
    ListBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setAccessibleName(QStringLiteral("Ping result"));
    ListBox1->hide();
    Memo3 = makeControl<QPlainTextEdit>(Panel2, "Memo3", 514, 2, 120, 26);
    Memo3->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(diagnostics::kCheckConnectionTickMs);
    // A tick that comes while an operation waits is handled after it, in
    // order with the datagrams; ticks meanwhile count as one, and a timer
    // stopped by then leaves none behind.
    connect(Timer1, &QTimer::timeout, this, [this] {
        if (m_tickQueued)
            return;
        m_tickQueued = true;
        handleWhenIdle(this, [this] {
            m_tickQueued = false;
            if (Timer1->isActive())
                runReported([this] { Timer1Timer(); });
        });
    });

    connectReported(Button30, &QAbstractButton::clicked, this, &TForm1::Button30Click);
    connectReported(Button31, &QAbstractButton::clicked, this, &TForm1::Button31Click);
    connectReported(Button32, &QAbstractButton::clicked, this, &TForm1::Button32Click);
    connectReported(Button26, &QAbstractButton::clicked, this, &TForm1::Button26Click);
    connectReported(CheckBox4, &QAbstractButton::clicked, this, &TForm1::CheckBox4Click);
    connectReported(CheckBox6, &QAbstractButton::clicked, this, &TForm1::CheckBox6Click);
}

void TForm1::colourReplyLog(const QColor &colour)
{
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, colour);
    Memo1->setPalette(palette);
}

void TForm1::Button30Click()
{
    Timer1->stop();
    // The port plays no part in an echo, but it has to be a whole number.
    toIntegerOrThrow(Edit2->text());
    icmp::EchoRequest request;
    request.host = Edit1->text();
    request.wait_ms = icmp::kEchoWaitMs;
    request.sequence = ++m_pingSequence;
    const EchoSender echo = m_echo;
    icmp::EchoResult result;
    runWorkWithoutFreezing([&] { result = echo(request); });
    if (result.failed())
        throw CameraError(result.errorText);
    IdIcmpClient1Reply(result);
}

void TForm1::IdIcmpClient1Reply(const icmp::EchoResult &result)
{
    toIntegerOrThrow(Edit2->text());
    if (result.answer) {
        ListBox1->addItem(diagnostics::pingLine(*result.answer));
        ListBox1->scrollToBottom();
    } else {
        colourReplyLog(Qt::red);
        m_replyLog.setText(diagnostics::noConnectionLogText());
        ListBox1->clear();
        if (CheckBox4->isChecked()) {
            CheckBox4->setChecked(false);
            CheckBox4Click();
        }
        dialogs().showMessage(diagnostics::noConnectionMessage());
    }
    if (diagnostics::pingListOverflows(ListBox1->count()))
        ListBox1->clear();
}

void TForm1::CheckBox4Click()
{
    if (CheckBox4->isChecked()) {
        Timer1->start();
        Memo3->show();
        return;
    }
    Timer1->stop();
    ListBox1->hide();
    colourReplyLog(Qt::white);
    Memo3->hide();
    m_replyLog.clear();
}

void TForm1::Timer1Timer()
{
    ListBox1->show();
    ListBox1->raise();
    Button30Click();
}

void TForm1::Button31Click()
{
    findCamerasWindow()->openAndSearch();
}

void TForm1::Button32Click()
{
    Timer1->stop();
    if (FormFindCameras)
        FormFindCameras->stopSearch();
}

bool TForm1::startUdpLog(quint16 port)
{
    delete IdUDPServer1;
    IdUDPServer1 = nullptr;
    auto *listener = new DatagramListener(this);
    if (!listener->listen(port)) {
        const QString message =
            withFinalPeriod(diagnostics::udpLogOffMessage(diagnostics::bindFailureReason(listener->bindErrno()), port));
        delete listener;
        // Told once the event loop runs: over the windows, and without
        // holding up the start.
        QTimer::singleShot(0, this, [message] { dialogs().showError(message); });
        return false;
    }
    IdUDPServer1 = listener;
    // Datagrams that arrive while an operation waits are handled after it.
    connect(listener, &DatagramListener::received, this, [this](const QByteArray &datagram) {
        handleWhenIdle(this, [this, datagram] { runReported([this, &datagram] { IdUDPServer1UDPRead(datagram); }); });
    });
    return true;
}

void TForm1::IdUDPServer1UDPRead(const QByteArray &datagram)
{
    m_replyLog.setText(m_replyLog.text() + diagnostics::datagramText(datagram));
    m_replyLog.appendLine(QString());
}

void TForm1::CheckBox6Click()
{
    // The last-used address as it is: no ApplyConnection here. Before any
    // camera operation there is none, and an empty host would send the
    // browser to a host named "cgi-bin": the connection fields stand in.
    if (!Form13)
        return;
    Form13->show();
    Form13->raise();
    const bool addressed = !m_session.lastCameraIp().isEmpty();
    Form13->Navigate(diagnostics::serviceUrl(addressed ? m_session.lastCameraIp() : Edit1->text(),
                                             addressed ? m_session.lastCameraPort() : Edit2->text()));
}

void TForm1::Button26Click()
{
    m_replyLog.clear();
    ApplyConnection();
    LogReply(CameraGet(ParamQuery::read(diagnostics::testKey())));
    for (int i = 0; i < 4; ++i)
        m_replyLog.deleteLine(0);
    m_replyLog.setText(diagnostics::testResult(m_replyLog.text()));
}
