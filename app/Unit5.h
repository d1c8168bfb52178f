#pragma once
#include "windowsupport/DeferredRefresh.h"
#include "encoder/SettingsText.h"

#include <QWidget>

#include "ui_Unit5.h"

// "Save/Load Camera Settings": saves a camera's encoder and image settings to
// a text file and uploads such a file into a camera.
class TForm5 : public QWidget, public Ui::TForm5
{
    Q_OBJECT

public:
    explicit TForm5(QWidget *parent = nullptr);
    ~TForm5() override;

    // The settings text the encoder reads build; Memo1 shows it.
    const qzr::settingsfile::SettingsText &settingsText() const { return m_settingsText; }
    void clearSettingsText();
    void appendSettingsItem(const QString &item,
                            qzr::settingsfile::LineEnding ending = qzr::settingsfile::LineEnding::EndLine);

    // "Save Settings to PC HDD": reads the encoders, the scene file the
    // camera uses and its image values, then writes the file whole.
    void Button1Click();
    // "Upload Settings to Camera": after confirmation, checks the chosen
    // file and writes it into the camera the main window names.
    void Button2Click();

    // Unit5.ui: Memo1 (the settings text), Button1, Panel1 with Label1,
    // Label2 and Button2, ProgressBar1.

private:
    void showSettingsText();
    void replaceSettingsText(const QStringList &lines);
    void advanceProgress(int steps = 1);

    qzr::settingsfile::SettingsText m_settingsText;
    qzr::DeferredRefresh m_memoRefresh{this, [this] { showSettingsText(); }};
};

extern TForm5 *Form5;
