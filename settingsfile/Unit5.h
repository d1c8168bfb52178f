#pragma once
#include "app/DeferredRefresh.h"
#include "settingsfile/SettingsText.h"

#include <QWidget>

class QPlainTextEdit;

// Saves a camera's settings to a text file and uploads such a file.
class TForm5 : public QWidget
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

    QPlainTextEdit *Memo1;

private:
    void showSettingsText();

    qzr::settingsfile::SettingsText m_settingsText;
    qzr::DeferredRefresh m_memoRefresh{this, [this] { showSettingsText(); }};
};

extern TForm5 *Form5;
