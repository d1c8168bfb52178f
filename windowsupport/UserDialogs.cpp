#include "windowsupport/UserDialogs.h"

#include "windowsupport/Operation.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "protocol/ShownText.h"

namespace qzr {

namespace {
UserDialogs *g_replacement = nullptr;
}

UserDialogs &dialogs()
{
    static QtUserDialogs qtDialogs;
    return g_replacement ? *g_replacement : qtDialogs;
}

void setDialogs(UserDialogs *replacement)
{
    g_replacement = replacement;
}

namespace {

// A message box that shows its text as plain text: an error or a message
// can carry a camera's status line or value.
void makePlain(QMessageBox &box, const QString &text)
{
    box.setTextFormat(Qt::PlainText);
    box.setText(shownText(text, kMaxShownMessageChars));
}

} // namespace

void QtUserDialogs::showError(const QString &text)
{
    QMessageBox box(QMessageBox::Critical, applicationTitle(), QString(), QMessageBox::Ok);
    makePlain(box, text);
    box.exec();
}

void QtUserDialogs::showMessage(const QString &text, std::optional<QPoint> topLeft)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), QString(), QMessageBox::Ok);
    makePlain(box, text);
    if (topLeft) {
        box.show();
        box.move(*topLeft);
    }
    box.exec();
}

void QtUserDialogs::showNotice(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Information, applicationTitle(), QString(), QMessageBox::Ok);
    makePlain(*box, text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->show();
}

bool QtUserDialogs::confirm(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, QString(), QMessageBox::Yes | QMessageBox::Cancel);
    makePlain(box, text);
    return box.exec() == QMessageBox::Yes;
}

QString QtUserDialogs::openFileName(const QString &caption, const QString &filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), caption, QString(), filter);
}

QString QtUserDialogs::saveFileName(const QString &caption, const QString &filter)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), caption, QString(), filter);
}

void QtUserDialogs::pause(int pause_ms)
{
    pauseWithoutFreezing(pause_ms);
}

bool QtUserDialogs::askLogin(const QString &site, const QString &realm, QString &user, QString &password)
{
    QDialog box(QApplication::activeWindow());
    box.setWindowTitle(applicationTitle());
    auto *form = new QFormLayout(&box);
    // The realm is the camera's own text.
    auto *question = new QLabel(realm.isEmpty() ? QStringLiteral("%1 asks you to log in.").arg(site)
                                                 : QStringLiteral("%1 asks you to log in (%2).").arg(site, shownText(realm)));
    question->setTextFormat(Qt::PlainText);
    form->addRow(question);
    auto *userField = new QLineEdit(&box);
    auto *passwordField = new QLineEdit(&box);
    passwordField->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("User"), userField);
    form->addRow(QStringLiteral("Password"), passwordField);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    form->addRow(buttons);
    if (box.exec() != QDialog::Accepted)
        return false;
    user = userField->text();
    password = passwordField->text();
    return true;
}

} // namespace qzr
