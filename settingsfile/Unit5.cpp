#include "settingsfile/Unit5.h"

#include "app/FormSupport.h"

#include <QPlainTextEdit>

TForm5 *Form5 = nullptr;

TForm5::TForm5(QWidget *parent)
    : QWidget(parent)
{
    Form5 = this;
    setObjectName(QStringLiteral("Form5"));
    qzr::setUpForm(this, QStringLiteral("Save/Load Camera Settings"), qzr::FormStyle::Normal, false, 200, 150, 520, 560);

    // The settings text, lime on dark; only the encoder reads write it.
    Memo1 = qzr::makeControl<QPlainTextEdit>(this, "Memo1", 8, 8, 504, 300);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, QColor(32, 32, 32));
    palette.setColor(QPalette::Text, QColor(0, 255, 0));
    Memo1->setPalette(palette);
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

void TForm5::appendSettingsItem(const QString &item, qzr::settingsfile::LineEnding ending)
{
    m_settingsText.append(item, ending);
    m_memoRefresh.request();
}

void TForm5::showSettingsText()
{
    // The memo counts lines as the settings text does: CR LF separates them.
    QString shown = m_settingsText.text();
    shown.replace(qzr::settingsfile::SettingsText::kLineBreak, QStringLiteral("\n"));
    Memo1->setPlainText(shown);
}
