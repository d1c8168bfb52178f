#include "app/Unit5.h"

#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit5.h"
#include "app/Unit7.h"
#include "app/Unit12.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"
#include "app/WindowSet.h"
#include "protocol/CameraError.h"
#include "settingsfile/CameraSettings.h"
#include "settingsfile/SafeFile.h"
#include "settingsfile/SettingsFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

TForm5 *Form5 = nullptr;

using namespace qzr::settingsfile;

namespace {

// More than a settings file takes on the disk.
constexpr qint64 kSettingsFileBytesAtMost = 8 * 1024;
// The save's bar: one step per encoder read.
constexpr int kSaveProgressMaximum = 3;
const QString kFileFilter = QStringLiteral("*.txt");
const QString kDefaultSuffix = QStringLiteral("txt");
// Where the upload's completion message appears on the screen.
constexpr QPoint kCompletionMessagePosition(400, 300);

// A name chosen without an extension gets ".txt", as the dialog's default.
QString withDefaultSuffix(const QString &fileName)
{
    return QFileInfo(fileName).suffix().isEmpty() ? fileName + QLatin1Char('.') + kDefaultSuffix : fileName;
}

} // namespace

TForm5::TForm5(QWidget *parent)
    : QWidget(parent)
{
    Form5 = this;
    // Stays on top, with only the system menu and the minimise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    // Unit5.ui holds the controls.
    setupUi(this);
    move(200, 150);

    qzr::connectReported(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
    qzr::connectReported(Button2, &QPushButton::clicked, this, &TForm5::Button2Click);
}

TForm5::~TForm5()
{
    if (Form5 == this)
        Form5 = nullptr;
}

void TForm5::clearSettingsText()
{
    m_settingsText.clear();
    m_memoRefresh.request();
}

void TForm5::appendSettingsItem(const QString &item, LineEnding ending)
{
    m_settingsText.append(item, ending);
    m_memoRefresh.request();
}

void TForm5::replaceSettingsText(const QStringList &lines)
{
    m_settingsText.clear();
    for (const QString &line : lines)
        m_settingsText.append(line);
    m_memoRefresh.request();
}

void TForm5::showSettingsText()
{
    // The memo counts lines as the settings text does: CR LF separates them.
    QString shown = m_settingsText.text();
    shown.replace(SettingsText::kLineBreak, QStringLiteral("\n"));
    Memo1->setPlainText(shown);
    Memo1->verticalScrollBar()->setValue(Memo1->verticalScrollBar()->maximum());
}

void TForm5::advanceProgress(int steps)
{
    ProgressBar1->setValue(std::min(ProgressBar1->value() + steps, ProgressBar1->maximum()));
}

void TForm5::Button1Click()
{
    qzr::SharedState &state = qzr::shared();
    state.StoredSceneNumber.clear();
    ProgressBar1->setMaximum(kSaveProgressMaximum);
    ProgressBar1->setValue(0);

    // A cancelled dialog writes nothing and asks the camera nothing.
    const QString chosen = qzr::dialogs().saveFileName(QStringLiteral("Save Settings to PC HDD"), kFileFilter);
    if (chosen.isEmpty())
        return;
    const QString fileName = withDefaultSuffix(chosen);
    // A file that cannot be written is named before the camera is read.
    const QString unwritable = fileWriteProblem(fileName, kSettingsFileBytesAtMost);
    if (!unwritable.isEmpty())
        throw qzr::CameraError(unwritable);
    clearSettingsText();
    appendSettingsItem(fileName);

    // Lines 1 to 21: the encoder 1 read clears the text first.
    Form12->Button2Click();
    advanceProgress();
    Form12->Button3Click();
    advanceProgress();
    Form12->Button4Click();
    advanceProgress();
    m_settingsText.endLine(); // the encoder 3 read leaves its last line open

    appendSettingsItem(QString::fromLatin1(kSceneMarker));
    Form1->Button42Click();
    appendSettingsItem(state.StoredSceneNumber);

    // The image values of the scene file the camera uses, as the video
    // settings window reads them.
    state.EditedSceneNumber = state.StoredSceneNumber;
    Form7->Button15Click();
    for (QComboBox *combo : {Form7->ComboBox1, Form7->ComboBox2, Form7->ComboBox3, Form7->ComboBox4,
                             Form7->ComboBox5, Form7->ComboBox6, Form7->ComboBox7, Form7->ComboBox9,
                             Form7->ComboBox11, Form7->ComboBox10})
        appendSettingsItem(combo->currentText());
    for (QScrollBar *bar : {Form7->ScrollBar3, Form7->ScrollBar1, Form7->ScrollBar2})
        appendSettingsItem(QString::number(bar->value()));

    const QStringList lines = m_settingsText.lines();
    if (lines.size() != kFileLineCount)
        throw qzr::CameraError(QStringLiteral("Cannot create file %1\r\nThe settings have %2 lines instead of %3")
                                   .arg(fileName)
                                   .arg(lines.size())
                                   .arg(kFileLineCount));
    // The writer names the file and the reason ("Cannot create file ...").
    const QString failure = writeSettingsFile(fileName, lines);
    if (!failure.isEmpty())
        throw qzr::CameraError(failure);
    // A value that an upload refuses is named now, not at the upload.
    if (const std::optional<QString> problem = validateSettings(lines))
        qzr::dialogs().showMessage(savedButRefusedText(fileName, *problem));
}

void TForm5::Button2Click()
{
    // Every request of the upload goes to the camera named now.
    Form1->ApplyConnection();
    if (!qzr::dialogs().confirm(QString::fromLatin1(kUploadConfirmTitle), QString::fromLatin1(kUploadConfirmText))) {
        ProgressBar1->setValue(0);
        qzr::dialogs().showMessage(QString::fromLatin1(kUploadCancelledMessage));
        return;
    }
    ProgressBar1->setMaximum(kUploadProgressMaximum);
    ProgressBar1->setValue(0);

    // A cancelled dialog sends nothing.
    const QString fileName = qzr::dialogs().openFileName(QStringLiteral("Upload Settings to Camera"), kFileFilter);
    if (fileName.isEmpty())
        return;
    clearSettingsText();
    appendSettingsItem(fileName);
    QString reason;
    const std::optional<QStringList> lines = readSettingsFile(fileName, &reason);
    if (!lines)
        throw qzr::CameraError(reason); // "Cannot open file ..."
    replaceSettingsText(*lines);

    // Nothing of a file that is not a whole settings file reaches the camera.
    if (const std::optional<QString> problem = validateSettings(*lines))
        throw qzr::CameraError(QStringLiteral("%1 is not a settings file.\r\n%2").arg(fileName, *problem));

    qzr::shared().StoredSceneNumber = lines->value(kSceneNumberLine - 1);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    int taken = 0;
    for (const UploadStep &step : uploadSteps(*lines)) {
        // A write or store command that the camera refuses ends the upload;
        // the message names what the camera had already taken.
        try {
            Form1->session().cameraWrite(step.request);
        } catch (const qzr::CameraError &error) {
            if (taken == 0)
                throw;
            throw qzr::CameraError(QStringLiteral("%1 (written: %2)")
                                       .arg(error.text(), uploadProgressText(lines->value(kSceneNumberLine - 1), taken)));
        }
        ++taken;
        if (step.pauseAfterMs > 0)
            qzr::dialogs().pause(step.pauseAfterMs);
        advanceProgress(step.progressAfter);
    }
    // The camera may answer OK and keep its old value: what it holds of the
    // file is read back, and anything not kept is named instead of done.
    const QList<SettingDifference> notKept = uploadedSettingsNotKept(Form1->session(), *lines);
    if (!notKept.isEmpty())
        throw qzr::CameraError(notKeptText(notKept));
    qzr::dialogs().showMessage(QString::fromLatin1(kUploadCompleteMessage), kCompletionMessagePosition);
}
